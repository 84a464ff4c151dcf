// SPDX-License-Identifier: GPL-3.0-or-later
// Snapshot: fetch one picture, give it the next snapshot name and let the user choose
// where the window saves it.
#include "base/message_numbers.h"
#include "commands/command_timing.h"
#include "commands/device_commands.h"
#include "commands/picture_routing.h"
#include "link/frame.h"

namespace dm {

namespace {
const char* const kBufferFullText = "Image Buffer Full!!";

const QString kSnapshotDateFormat = QStringLiteral("yyyyMMdd");

// "P" + the date in 8 digits + "_" + number: one day's names never equal another day's
// and they sort by date.
QString SnapshotBaseName(const QDate& date, uint16_t number) {
    return QStringLiteral("P%1_%2").arg(date.toString(kSnapshotDateFormat)).arg(number);
}
}  // namespace

void DeviceCommands::Snapshot() {
    // Only a request the window still waits for runs; one it gave up on does nothing.
    uint8_t expected = kSnapshotRequestWaiting;
    if (!state_.snapshotRequest.compare_exchange_strong(expected, kSnapshotRequestRunning,
                                                        std::memory_order_acq_rel)) {
        return;
    }
    state_.snapshotBusy.store(true, std::memory_order_release);
    window_.ApplyButtonSet(ButtonSet::Busy);
    const PictureRouting routing(state_, kSnapshotRoute);

    state_.transferStatus.store(kTransferPending, std::memory_order_release);
    WriteFrame(frame::kGetSnapshot, state_.getSnapshotSelector.load(std::memory_order_relaxed));
    WaitForTransfer(timing::kSnapshotPoll, timing::kSnapshotPollLimit);  // late: named anyway
    if (Interrupted()) {
        state_.snapshotBusy.store(false, std::memory_order_release);
        return;
    }
    window_.ApplyButtonSet(ButtonSet::Ready);

    // The counter stops at the full mark: it never wraps and never indexes past the table.
    uint16_t counter = state_.snapshotCounter.load(std::memory_order_relaxed);
    if (counter < kSnapshotBufferFull) {
        ++counter;
        state_.snapshotCounter.store(counter, std::memory_order_relaxed);
    }
    if (counter >= kSnapshotBufferFull) {
        window_.ShowError(QString::fromLatin1(kBufferFullText));
        state_.snapshotBusy.store(false, std::memory_order_release);
        return;
    }

    const QString baseName = SnapshotBaseName(today_(), counter);
    snapshotNames_[counter] = baseName;
    const QString fileName = baseName + QStringLiteral(".jpg");

    std::optional<QString> chosen = window_.UnaskedSnapshotFile(fileName);
    if (!chosen && window_.AskWarning(window_.Message(message::kSnapshotSaveQuestion))) {
        chosen = window_.ChooseSnapshotFile(fileName);
    }
    if (chosen) {
        state_.snapshotFileName = *chosen;
        state_.snapshotSaveRequested.store(true, std::memory_order_release);
    }
    state_.snapshotBusy.store(false, std::memory_order_release);
}

QString DeviceCommands::SnapshotName(uint16_t counter) const {
    if (counter >= snapshotNames_.size()) {
        return {};
    }
    return snapshotNames_[counter];
}

}  // namespace dm
