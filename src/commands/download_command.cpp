// SPDX-License-Identifier: GPL-3.0-or-later
// Download all: the directory, one list row per entry, then every picture in turn.
#include <algorithm>
#include <array>

#include "base/message_numbers.h"
#include "commands/command_timing.h"
#include "commands/device_commands.h"
#include "commands/picture_routing.h"
#include "inbound/picture_claim.h"
#include "link/frame.h"
#include "view/magnification.h"
#include "view/picture_files.h"

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
    const PictureRouting routing(state_, kCollectRoute);
    state_.transferStatus.store(kTransferPending, std::memory_order_release);
    state_.directoryExpected.store(true, std::memory_order_release);
    WriteFrame(frame::kDirectoryRequest);
    const bool answered = WaitForTransfer(timing::kDirectoryPoll, timing::kDirectoryPollLimit);
    state_.directoryExpected.store(false, std::memory_order_release);
    if (Interrupted()) {
        return;
    }
    if (!answered) {
        window_.ShowError(window_.Message(message::kNoDirectoryReply));
        return;
    }
    // The directory frame's payload stalled: the data thread dropped it. The rows on show
    // stay as they were.
    if (state_.transferStatus.load(std::memory_order_acquire) == kTransferTimedOut) {
        window_.ShowError(window_.Message(message::kDirectoryIncomplete));
        return;
    }
    FillPictureRows();
    if (state_.directory.Count() == 0) {
        window_.ShowInfo(window_.Message(message::kDirectoryEmpty));
        pictures_.Clear();
        return;
    }
    TellIfDirectoryCut();
    FetchPictures();
}

// The directory keeps 64 entries; a microscope that holds more is listed in part, and the
// user is told before the pictures are fetched.
void DeviceCommands::TellIfDirectoryCut() {
    const int listed = state_.directory.Count();
    const int held = state_.directory.Announced();
    if (held > listed) {
        window_.ShowInfo(window_.Message(message::kDirectoryCut).arg(listed).arg(held));
    }
}

void DeviceCommands::FillPictureRows() {
    window_.ClearRows();
    const int count = state_.directory.Count();
    for (int i = 0; i < count; ++i) {
        window_.AddRow(MakeRow(state_.directory.Entry(i)));
    }
}

// Record i must stay entry i and row i. A picture that did not come gets an empty record
// with its own info word, so later rows (and deletes) stay aligned; closing the claim
// keeps it from being added late, into the next row.
void DeviceCommands::KeepRowFilled(int row, const frame::DirectoryEntry& entry) {
    if (CloseUnansweredClaim(state_, frame::PictureNumber(entry.info))) {
        pictures_.AppendPicture(entry.info, kNoBytes.data(), 0);
        return;
    }
    // The data thread took the claim: its record is linked before it reports the status,
    // so this wait is short unless the wait above gave up at the same moment.
    for (int tries = 0; pictures_.Count() < row + 1 && tries < timing::kClaimedRecordTries;
         ++tries) {
        if (!thread_.Sleep(timing::kClaimedRecordPoll)) {
            return;
        }
    }
}

void DeviceCommands::SetDownloadSelection(std::optional<std::vector<uint32_t>> numbers) {
    std::lock_guard lock(commandLineLock_);
    downloadSelection_ = std::move(numbers);
}

bool DeviceCommands::Wanted(const std::optional<std::vector<uint32_t>>& selection,
                            uint32_t number) const {
    return !selection ||
           std::find(selection->begin(), selection->end(), number) != selection->end();
}

void DeviceCommands::FetchPictures() {
    std::optional<std::vector<uint32_t>> selection;
    {
        std::lock_guard lock(commandLineLock_);
        selection = downloadSelection_;
    }
    pictures_.Clear();
    // Scratch pictures of an earlier download must never stand in for this one's.
    EmptyScratchFolder(scratchFolder_);
    window_.ApplyButtonSet(ButtonSet::Busy);
    window_.SetEnabled(Control::CameraBtn, false);
    window_.SetProgress(0);

    const int count = state_.directory.Count();
    // A disconnect or a microscope that went away ends the loop; what arrived is still
    // finished.
    for (int i = 0; i < count && !Interrupted(); ++i) {
        const frame::DirectoryEntry entry = state_.directory.Entry(i);
        const uint32_t number = frame::PictureNumber(entry.info);
        if (!Wanted(selection, number)) {
            pictures_.AppendPicture(entry.info, kNoBytes.data(), 0);
            continue;
        }
        state_.pictureClaim.store(number, std::memory_order_release);
        state_.transferStatus.store(kTransferPending, std::memory_order_release);
        WriteFrameWithWord(frame::kPictureRequest, number);
        WaitForTransfer(timing::kPicturePoll, timing::kPicturePollLimit);
        KeepRowFilled(i, entry);
        window_.SetProgress((kTransferShare * i + kTransferShare) / count);
    }
    // A picture that comes after the last wait ended belongs to no row: nothing more is
    // added until the next download.
    state_.pictureClaim.store(kClaimClosed, std::memory_order_release);
    state_.downloadFinished.store(true, std::memory_order_release);
}

}  // namespace dm
