// Download all: the directory, one list row per entry, then every picture in turn.
#include <array>

#include "commands/command_timing.h"
#include "commands/device_commands.h"
#include "commands/message_numbers.h"
#include "link/frame.h"
#include "view/magnification.h"

namespace dm {

namespace {

constexpr int kNameDigits = 8;
constexpr int kSizeDigits = 8;
constexpr int kTransferShare = 80;  // the bar's share of the transfer; conversion is the rest
constexpr std::array<uint8_t, 1> kNoBytes{};  // the record of a picture that never came

PictureRow MakeRow(const frame::DirectoryEntry& entry) {
    PictureRow row;
    row.name = QStringLiteral("%1.jpg").arg(frame::PictureNumber(entry.info), kNameDigits, 10,
                                            QLatin1Char('0'));
    row.size = QStringLiteral("%1").arg(entry.size, kSizeDigits, 10, QLatin1Char('0'));
    // A zoom range without a magnification leaves the column empty.
    if (const auto magnification = ZoomCodeToMagnification(frame::ZoomCode(entry.info))) {
        row.zoom = QString::number(*magnification);
    }
    return row;
}

}  // namespace

void DeviceCommands::DownloadAll() {
    state_.transferStatus.store(kTransferPending, std::memory_order_release);
    WriteFrame(frame::kDirectoryRequest);
    if (!WaitForTransfer(timing::kDirectoryPoll, timing::kDirectoryPollLimit)) {
        if (!thread_.StopRequested()) {
            window_.ShowError(window_.Message(message::kNoDirectoryReply));
        }
        return;
    }
    // The directory frame's payload stalled: the data thread dropped it.
    if (state_.transferStatus.load(std::memory_order_acquire) == kTransferTimedOut) {
        return;
    }
    FillPictureRows();
    if (state_.directory.Count() == 0) {
        window_.ShowInfo(window_.Message(message::kDirectoryEmpty));
        pictures_.Clear();
        return;
    }
    FetchPictures();
}

void DeviceCommands::FillPictureRows() {
    window_.ClearRows();
    const int count = state_.directory.Count();
    for (int i = 0; i < count; ++i) {
        window_.AddRow(MakeRow(state_.directory.Entry(i)));
    }
}

void DeviceCommands::FetchPictures() {
    pictures_.Clear();
    window_.ApplyButtonSet(ButtonSet::Busy);
    window_.SetEnabled(Control::CameraBtn, false);
    window_.SetProgress(0);

    const int count = state_.directory.Count();
    for (int i = 0; i < count && !thread_.StopRequested(); ++i) {
        const frame::DirectoryEntry entry = state_.directory.Entry(i);
        state_.transferStatus.store(kTransferPending, std::memory_order_release);
        WriteFrameWithWord(frame::kPictureRequest, frame::PictureNumber(entry.info));
        WaitForTransfer(timing::kPicturePoll, timing::kPicturePollLimit);
        // Record i must stay entry i and row i: a picture that did not come gets an
        // empty record with its own info word, so later rows (and deletes) stay aligned.
        if (pictures_.Count() < i + 1) {
            pictures_.AppendPicture(entry.info, kNoBytes.data(), 0);
        }
        window_.SetProgress((kTransferShare * i + kTransferShare) / count);
    }
    state_.downloadFinished.store(true, std::memory_order_release);
}

}  // namespace dm
