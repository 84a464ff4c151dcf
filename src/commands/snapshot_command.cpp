// Snapshot: fetch one picture, give it the next snapshot name and let the user choose
// where the window saves it.
#include "commands/command_timing.h"
#include "commands/device_commands.h"
#include "commands/message_numbers.h"
#include "commands/picture_routing.h"
#include "link/frame.h"

namespace dm {

namespace {
const char* const kBufferFullText = "Image Buffer Full!!";

// "P" + year, month and day without leading zeros or separators + "_" + number.
QString SnapshotBaseName(const QDate& date, uint16_t number) {
    return QStringLiteral("P%1%2%3_%4")
        .arg(date.year())
        .arg(date.month())
        .arg(date.day())
        .arg(number);
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

    if (window_.AskWarning(window_.Message(message::kSnapshotSaveQuestion))) {
        if (const auto chosen = window_.ChooseSnapshotFile(fileName)) {
            state_.snapshotFileName = *chosen;
            state_.snapshotSaveRequested.store(true, std::memory_order_release);
        }
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
