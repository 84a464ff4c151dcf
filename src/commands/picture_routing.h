// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the data thread sends the picture frames that arrive while one command runs. A
// command that receives pictures sets its route as it starts and puts back the route it
// found as it ends, so a click that queues another command never changes where the
// running command's pictures go.
//
// Threads: command thread; the data thread reads the flags (DeviceState).

#include "inbound/device_state.h"

namespace dm {

struct PictureRoute {
    bool liveView = false;         // rendered into the live view
    bool collect = false;          // appended to the picture list
    bool snapshotCapture = false;  // the next one becomes the snapshot
};

inline constexpr PictureRoute kLiveRoute{.liveView = true};
inline constexpr PictureRoute kCollectRoute{.collect = true};
inline constexpr PictureRoute kSnapshotRoute{.snapshotCapture = true};

class PictureRouting {
  public:
    PictureRouting(DeviceState& state, PictureRoute route);
    ~PictureRouting();
    PictureRouting(const PictureRouting&) = delete;
    PictureRouting& operator=(const PictureRouting&) = delete;

  private:
    void Apply(const PictureRoute& route);

    DeviceState& state_;
    PictureRoute found_;
};

}  // namespace dm
