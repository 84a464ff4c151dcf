// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/device_commands.h"

#include "view/picture_files.h"

#include <QFile>
#include <algorithm>
#include <array>

#include "base/message_numbers.h"
#include "commands/catalogue_format.h"
#include "commands/command_codes.h"
#include "commands/command_timing.h"
#include "commands/picture_routing.h"
#include "link/frame.h"

namespace dm {

DeviceCommands::DeviceCommands(DeviceState& state, DevicePort& port, WindowPort& window,
                               IMAGE_BUFFER& pictures, TCmdProcThread& thread,
                               QString scratchFolder, DateSource today)
    : state_(state),
      port_(port),
      window_(window),
      pictures_(pictures),
      thread_(thread),
      scratchFolder_(std::move(scratchFolder)),
      today_(today ? std::move(today) : DateSource([] { return QDate::currentDate(); })),
      snapshotNames_(kSnapshotNameSlots) {}

void DeviceCommands::Register(TCmdProcThread& thread) {
    thread.SetCommand(command::kDownloadAll, [this] { DownloadAll(); });
    thread.SetCommand(command::kDeleteSelected, [this] { DeleteSelected(); });
    thread.SetCommand(command::kDeleteAll, [this] { DeleteAll(); });
    thread.SetCommand(command::kUpload, [this] { Upload(); });
    thread.SetCommand(command::kSnapshot, [this] { Snapshot(); });
    thread.SetCommand(command::kCameraOn, [this] { CameraOn(); });
    thread.SetCommand(command::kPortSearch, [this] { PortSearch(); });
    thread.SetCommand(command::kPortSurvey, [this] { SurveyPorts(); });
    for (int key = 1; key <= frame::kKeyCount; ++key) {
        thread.SetCommand(command::KeyCode(key), [this, key] { SendKey(key); });
    }
}

bool DeviceCommands::WriteFrame(uint8_t command, uint16_t length) {
    const auto header = frame::MakeHeader(command, length);
    return Write(header.data(), static_cast<int32_t>(header.size()));
}

// Picture and delete requests: the header with length 4, then the word.
bool DeviceCommands::WriteFrameWithWord(uint8_t command, uint32_t word) {
    std::array<uint8_t, frame::kHeaderSize + frame::kRequestArgumentSize> bytes{};
    const auto header = frame::MakeHeader(command, frame::kRequestArgumentSize);
    std::copy(header.begin(), header.end(), bytes.begin());
    frame::WriteLe32(bytes.data() + frame::kHeaderSize, word);
    return Write(bytes.data(), static_cast<int32_t>(bytes.size()));
}

bool DeviceCommands::LinkLost() const {
    return state_.linkLost.load(std::memory_order_acquire);
}

bool DeviceCommands::Interrupted() const {
    return thread_.CutShort() || LinkLost();
}

void DeviceCommands::ShowErrorUnlessInterrupted(int number) {
    if (!Interrupted()) {
        window_.ShowError(window_.Message(number));
    }
}

bool DeviceCommands::WaitForTransfer(std::chrono::milliseconds period, int limit) {
    const auto giveUpAt = std::chrono::steady_clock::now() + timing::kReplyHardLimit;
    const auto answered = [this] {
        return state_.transferStatus.load(std::memory_order_acquire) != kTransferPending;
    };
    uint64_t seen = state_.replyProgress.load(std::memory_order_acquire);
    int silentSleeps = 0;
    for (;;) {
        if (answered()) {
            return true;
        }
        // Nothing more is wanted, or can come from a microscope that went away.
        if (Interrupted()) {
            return false;
        }
        if (!thread_.WaitForReply(period, [&] { return answered() || LinkLost(); })) {
            return false;
        }
        if (answered() || LinkLost()) {
            continue;
        }
        const uint64_t received = state_.replyProgress.load(std::memory_order_acquire);
        if (received != seen) {
            seen = received;
            silentSleeps = 0;
        } else {
            ++silentSleeps;
        }
        if (silentSleeps > limit || std::chrono::steady_clock::now() >= giveUpAt) {
            AbandonReply();
            return false;
        }
    }
}

// A closed port or a failed write: the request did not reach the microscope.
bool DeviceCommands::Write(const uint8_t* bytes, int32_t n) {
    return thread_.WriteUnlessWithdrawn([&] { return port_.WritePort(bytes, n) == n; });
}

// A reply that stalled halfway may still hold the data thread in its payload wait, which
// would complete it with the bytes of the next reply. The data thread drops it and says
// so; a data thread held by a box cannot, and after a short wait the flag is taken back.
void DeviceCommands::AbandonReply() {
    state_.abandonReply.store(true, std::memory_order_release);
    for (int polls = 0;
         polls < timing::kAbandonPollLimit && state_.abandonReply.load(std::memory_order_acquire);
         ++polls) {
        if (!thread_.Sleep(timing::kAbandonPoll)) {
            break;
        }
    }
    state_.abandonReply.store(false, std::memory_order_release);
}

QString DeviceCommands::ScratchPicturePath(uint32_t pictureNumber) const {
    return dm::ScratchPicturePath(scratchFolder_, pictureNumber);
}

// A missing scratch picture is no error: it may never have been converted.
void DeviceCommands::DeleteScratchPicture(uint32_t info) const {
    QFile::remove(ScratchPicturePath(frame::PictureNumber(info)));
}

void DeviceCommands::DeleteSelected() {
    const int row = window_.SelectedRow();
    if (row < 0) {
        return;
    }
    // A row without a record (nothing downloaded yet) still names its own picture.
    const uint32_t info =
        row < pictures_.Count() ? pictures_.InfoAt(row) : state_.directory.Entry(row).info;
    // The question names the picture as the list does: its number, not the zoom code with it.
    const QString question = FormatCatalogueMessage(window_.Message(message::kDeleteOneQuestion),
                                                    frame::PictureNumber(info));
    if (!window_.AskOkCancel(question)) {
        return;
    }
    // Nothing is removed here unless the microscope was asked to remove it there.
    if (!WriteFrameWithWord(frame::kDeleteRequest, info)) {
        ShowErrorUnlessInterrupted(message::kRequestNotSent);
        return;
    }
    pictures_.RemoveAt(row);
    // The row count still includes the row being deleted.
    const int rows = window_.RowCount();
    for (int b = row; b < rows; ++b) {
        state_.directory.SetEntry(b, state_.directory.Entry(b + 1));
    }
    DeleteScratchPicture(info);
    window_.RemoveRow(row);
    state_.memoryFull.store(false, std::memory_order_relaxed);
}

void DeviceCommands::DeleteAll() {
    const QString question =
        FormatCatalogueMessage(window_.Message(message::kDeleteAllQuestion), std::nullopt);
    if (!window_.AskOkCancel(question)) {
        return;
    }
    if (!WriteFrame(frame::kDeleteAllRequest)) {
        ShowErrorUnlessInterrupted(message::kRequestNotSent);
        return;
    }
    const int32_t count = pictures_.Count();
    for (int32_t i = 0; i < count; ++i) {
        DeleteScratchPicture(pictures_.InfoAt(i));
    }
    window_.ClearRows();
    pictures_.Clear();
    state_.memoryFull.store(false, std::memory_order_relaxed);
}

void DeviceCommands::CameraOn() {
    const PictureRouting routing(state_, kLiveRoute);
    WriteFrame(frame::kCameraOn);
    window_.ApplyButtonSet(ButtonSet::Busy);
    window_.SetEnabled(Control::CameraBtn, true);  // so the user can switch it off
    // The camera-off signal or any other request ends the stream.
    while (!thread_.WaitForCameraStop(timing::kCameraPoll)) {
    }
    WriteFrame(frame::kCameraOff);
    // Switched off by the user: the window applied the ready set when the button was
    // clicked, but a click right after the stream started lands before the busy set
    // above, which would leave every button disabled with the camera off.
    if (!state_.cameraOn.load(std::memory_order_acquire) && !Interrupted()) {
        window_.ApplyButtonSet(ButtonSet::Ready);
    }
}

void DeviceCommands::SendKey(int key) {
    WriteFrame(static_cast<uint8_t>(frame::kKeyBase + key));
    thread_.Sleep(timing::kKeyPause);
}

}  // namespace dm
