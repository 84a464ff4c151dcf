// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Snapshot finishing: the state machine that Timer1 steps every 20 ms after a click on
// the snapshot button.
//   settling   : let the camera-off request go out; on the 51st tick move on;
//   requesting : start the snapshot command (which routes the next picture frame to
//                the snapshot list);
//   finishing  : once the command is done, save the snapshot if the user asked for it
//                (SnapshotSaving, in view), then switch the camera on again. A command
//                that has not started within kSnapshotStartLimit ticks is abandoned
//                (DeviceState::snapshotRequest): the user is told and the camera comes
//                back on all the same.
// Window thread; meets the command thread only through the device state flags and the
// request callable (store a pending code and resume the command thread).

#include <cstdint>
#include <functional>

#include "inbound/device_state.h"
#include "inbound/image_buffer.h"
#include "inbound/window_port.h"
#include "view/digital_zoom.h"
#include "view/snapshot_saving.h"

namespace dm {

// Timer1 ticks (20 ms) the finishing step waits for the snapshot command to start: 10 s.
inline constexpr uint16_t kSnapshotStartLimit = 500;

enum class SnapshotState : uint8_t { Idle = 0, Settling = 1, Requesting = 2, Finishing = 3 };

class SnapshotFinisher {
  public:
    using RequestCommand = std::function<void(uint16_t code)>;

    // zoom writes the snapshot's scratch picture into a folder of snapshots only.
    SnapshotFinisher(DeviceState& state, WindowPort& window, const IMAGE_BUFFER& snapshots,
                     DigitalZoom& zoom, RequestCommand requestCommand);

    // SnapShotBtnClick: starts settling and remembers how many snapshots exist.
    void Begin();
    // One Timer1 tick.
    void Step();

    SnapshotState State() const { return state_; }

  private:
    void Settle();
    void RequestSnapshot();
    void Finish();
    // True when the command never started and has now been given up; the camera is back.
    bool AbandonedUnstarted();
    void RestoreCamera();
    void EndForEndedLink();

    DeviceState& device_;
    WindowPort& window_;
    SnapshotSaving saving_;
    RequestCommand requestCommand_;
    SnapshotState state_ = SnapshotState::Idle;
    uint16_t settleTicks_ = 0;
    uint16_t startTicks_ = 0;
    int32_t snapshotsAtClick_ = 0;
};

}  // namespace dm
