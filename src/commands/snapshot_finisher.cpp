// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/snapshot_finisher.h"

#include <utility>

#include "base/message_numbers.h"
#include "commands/command_codes.h"

namespace dm {

namespace {
constexpr uint16_t kSettleTicks = 50;  // 50 ticks of 20 ms: about one second
const QString kCameraOnGlyph = QStringLiteral("Camera-Off.bmp");  // shows "switch off"
}  // namespace

SnapshotFinisher::SnapshotFinisher(DeviceState& state, WindowPort& window,
                                   const IMAGE_BUFFER& snapshots, DigitalZoom& zoom,
                                   RequestCommand requestCommand)
    : device_(state),
      window_(window),
      saving_(window, snapshots, zoom),
      requestCommand_(std::move(requestCommand)) {}

void SnapshotFinisher::Begin() {
    snapshotsAtClick_ = saving_.Count();
    settleTicks_ = 0;
    state_ = SnapshotState::Settling;
}

void SnapshotFinisher::Step() {
    if (state_ != SnapshotState::Idle && !device_.connected.load(std::memory_order_acquire)) {
        EndForEndedLink();
        return;
    }
    switch (state_) {
        case SnapshotState::Idle:
            return;
        case SnapshotState::Settling:
            Settle();
            return;
        case SnapshotState::Requesting:
            RequestSnapshot();
            return;
        case SnapshotState::Finishing:
            Finish();
            return;
    }
}

void SnapshotFinisher::Settle() {
    if (++settleTicks_ > kSettleTicks) {
        settleTicks_ = 0;
        state_ = SnapshotState::Requesting;
    }
}

void SnapshotFinisher::RequestSnapshot() {
    // Busy and waiting before the request, so even a command that ends at once is seen.
    device_.snapshotBusy.store(true);
    device_.snapshotRequest.store(kSnapshotRequestWaiting, std::memory_order_release);
    startTicks_ = 0;
    requestCommand_(command::kSnapshot);
    state_ = SnapshotState::Finishing;
}

void SnapshotFinisher::Finish() {
    if (AbandonedUnstarted() || device_.snapshotBusy.load(std::memory_order_acquire)) {
        return;
    }
    if (device_.snapshotSaveRequested.load(std::memory_order_acquire)) {
        device_.snapshotSaveRequested.store(false, std::memory_order_relaxed);
        // The zoom and number come from the live picture shown just before the snapshot.
        saving_.SaveNewest(snapshotsAtClick_,
                           device_.currentPictureInfo.load(std::memory_order_relaxed),
                           device_.snapshotFileName);
    }
    RestoreCamera();
}

bool SnapshotFinisher::AbandonedUnstarted() {
    if (device_.snapshotRequest.load(std::memory_order_acquire) != kSnapshotRequestWaiting ||
        ++startTicks_ < kSnapshotStartLimit) {
        return false;
    }
    uint8_t expected = kSnapshotRequestWaiting;
    if (!device_.snapshotRequest.compare_exchange_strong(expected, kSnapshotRequestAbandoned,
                                                         std::memory_order_acq_rel)) {
        return false;  // it started just now: wait for it as usual
    }
    device_.snapshotBusy.store(false);
    window_.ShowError(window_.Message(message::kSnapshotFailed));
    RestoreCamera();
    return true;
}

// No box and no camera: the window tells of a loss, and a disconnect is the user's own.
// A snapshot command that already runs ends at once (its reply wait sees the loss or its
// withdrawal) and is waited for.
void SnapshotFinisher::EndForEndedLink() {
    uint8_t expected = kSnapshotRequestWaiting;
    device_.snapshotRequest.compare_exchange_strong(expected, kSnapshotRequestAbandoned,
                                                    std::memory_order_acq_rel);
    if (device_.snapshotBusy.load(std::memory_order_acquire) &&
        device_.snapshotRequest.load(std::memory_order_acquire) == kSnapshotRequestRunning) {
        return;
    }
    device_.snapshotBusy.store(false);
    device_.snapshotSaveRequested.store(false);
    device_.snapshotInProgress.store(false);
    state_ = SnapshotState::Idle;
}

void SnapshotFinisher::RestoreCamera() {
    device_.snapshotInProgress.store(false);
    requestCommand_(command::kCameraOn);
    window_.SetCameraGlyph(kCameraOnGlyph);
    window_.SetEnabled(Control::ListView1, false);
    window_.SetEnabled(Control::SnapShotBtn, true);
    state_ = SnapshotState::Idle;
}

}  // namespace dm
