// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/picture_routing.h"

namespace dm {

PictureRouting::PictureRouting(DeviceState& state, PictureRoute route)
    : state_(state),
      found_{state.liveView.load(std::memory_order_acquire),
             state.collect.load(std::memory_order_acquire),
             state.snapshotCapture.load(std::memory_order_acquire)} {
    Apply(route);
}

PictureRouting::~PictureRouting() {
    Apply(found_);
}

// Release: the data thread routes with acquire loads.
void PictureRouting::Apply(const PictureRoute& route) {
    state_.liveView.store(route.liveView, std::memory_order_release);
    state_.collect.store(route.collect, std::memory_order_release);
    state_.snapshotCapture.store(route.snapshotCapture, std::memory_order_release);
}

}  // namespace dm
