// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/connection_keeper.h"

#include "base/message_numbers.h"
#include "commands/command_codes.h"

namespace dm {

namespace {
const char* const kCameraOnGlyph = "Camera-On.bmp";  // the camera is off
}  // namespace

ConnectionKeeper::ConnectionKeeper(DeviceState& state, DevicePort& port, TCmdProcThread& thread,
                                   WindowPort& window, DeviceCommands& commands,
                                   std::function<void()> cameraOn)
    : state_(state),
      port_(port),
      thread_(thread),
      window_(window),
      commands_(commands),
      cameraOn_(std::move(cameraOn)) {}

// The payload wait of the data thread and every reply wait end at once.
bool MarkLinkLost(DeviceState& state) {
    if (!state.connected.exchange(false, std::memory_order_acq_rel)) {
        return false;
    }
    state.linkLost.store(true, std::memory_order_release);
    state.abandonReply.store(true, std::memory_order_release);
    state.replies.Ring();
    return true;
}

void ConnectionKeeper::LinkLost() {
    MarkLinkLost(state_);
}

void ConnectionKeeper::Tick(Clock::time_point now) {
    switch (phase_) {
        case Phase::kWatching:
            if (state_.linkLost.load(std::memory_order_acquire)) {
                BeginEnding();
            }
            return;
        case Phase::kEnding:
            if (WorkSettled()) {
                EnterLost(now);
            }
            return;
        case Phase::kLost:
            WatchForReturn(now);
            return;
        case Phase::kClosing:
            EndClosing();
            return;
    }
}

void ConnectionKeeper::Disconnected() {
    BeginEnding();
    phase_ = Phase::kClosing;
    EndClosing();
}

// A click on Connect meanwhile may have connected again: that search showed its own state.
void ConnectionKeeper::EndClosing() {
    if (state_.connected.load(std::memory_order_acquire)) {
        phase_ = Phase::kWatching;
        return;
    }
    if (WorkSettled()) {
        phase_ = Phase::kWatching;
        ShowDisconnected();
    }
}

// The camera stops being kept alive; a camera-on command still streaming ends.
void ConnectionKeeper::BeginEnding() {
    phase_ = Phase::kEnding;
    resumeCamera_ = state_.cameraOn.exchange(false, std::memory_order_relaxed);
    state_.liveView.store(false, std::memory_order_relaxed);
    thread_.WithdrawAll();
}

// The running command, the download finishing and the snapshot steps apply button sets
// of their own as they end: the disconnected state comes after them.
bool ConnectionKeeper::WorkSettled() const {
    return thread_.IsIdle() && !state_.downloadFinished.load(std::memory_order_acquire) &&
           !state_.snapshotInProgress.load(std::memory_order_relaxed);
}

void ConnectionKeeper::EnterLost(Clock::time_point now) {
    phase_ = Phase::kLost;
    port_.ClosePort();  // already closed by the link; a no-op then
    seen_ = PresentDevices();
    nextCheck_ = now + kNewPortCheck;
    ShowDisconnected();
    // Last: the box holds this call while its own loop runs the ticks.
    window_.ShowError(window_.Message(message::kLinkLost));
}

void ConnectionKeeper::ShowDisconnected() {
    window_.SetProgress(0);
    window_.SetConnected(false);
    window_.ApplyButtonSet(ButtonSet::Disconnected);
    window_.SetEnabled(Control::ConnectBtn, true);  // the busy set of a command disabled it
    window_.SetCameraGlyph(QString::fromLatin1(kCameraOnGlyph));
    window_.SetEnabled(Control::SnapShotBtn, false);
    window_.SetEnabled(Control::ListView1, true);
    // Pictures that arrived stay the user's: they can still be saved.
    const bool pictures = window_.RowCount() > 0;
    window_.SetEnabled(Control::SaveBtn, pictures);
    window_.SetEnabled(Control::SaveAllBtn, pictures);
}

void ConnectionKeeper::WatchForReturn(Clock::time_point now) {
    // Connected again, by our quiet search or by the user's click; once the search has
    // ended, so that the camera follows the link-start frame.
    if (port_.IsOpen() && !state_.linkLost.load(std::memory_order_acquire) && thread_.IsIdle()) {
        phase_ = Phase::kWatching;
        if (reconnecting_ && resumeCamera_ && cameraOn_) {
            cameraOn_();
        }
        reconnecting_ = false;
        resumeCamera_ = false;
        return;
    }
    if (now < nextCheck_ || !thread_.IsIdle()) {
        return;
    }
    nextCheck_ = now + kNewPortCheck;
    reconnecting_ = false;
    const std::vector<std::string> fresh = NewDevices();
    if (fresh.empty()) {
        return;
    }
    commands_.SetReconnectCandidates(fresh);
    reconnecting_ = thread_.RequestCommand(command::kPortSearch);
}

// A configured name stays in the table while its device is unplugged: only devices that
// are there count.
std::set<std::string> ConnectionKeeper::PresentDevices() const {
    std::set<std::string> present;
    for (const std::string& device : port_.DeviceNames()) {
        if (port_.DevicePresent(device)) {
            present.insert(device);
        }
    }
    return present;
}

// Devices gone since the last look are forgotten, so one that comes back under its old
// name is new again.
std::vector<std::string> ConnectionKeeper::NewDevices() {
    std::set<std::string> present = PresentDevices();
    std::vector<std::string> fresh;
    for (const std::string& device : present) {
        if (seen_.count(device) == 0) {
            fresh.push_back(device);
        }
    }
    seen_ = std::move(present);
    return fresh;
}

}  // namespace dm
