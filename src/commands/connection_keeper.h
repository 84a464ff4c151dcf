// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps the window honest about the link when the microscope goes away while connected
// (a pulled cable, a hung-up line), and brings it back when it returns.
//
// The link reports the loss on whatever thread met it (LinkLost); from then on commands
// end without waiting or reporting. The window's 20 ms tick (Tick) then withdraws waiting
// requests, lets the running command and the finishing steps end, puts the window in the
// disconnected state with the downloaded pictures still viewable and saveable, and tells
// the user once. A disconnect by the user ends the same way, without the word. While the link stays
// lost it looks at the port table every kNewPortCheck: a device that was not there at the last look
// (not listed, or listed but absent) is probed once, by a quiet port search, and if it answers the
// program is connected again (found box included) and the camera switched back on if it was on.
//
// Threads: LinkLost from any thread; everything else on the window thread.

#include <chrono>
#include <functional>
#include <set>
#include <string>

#include "commands/cmd_proc_thread.h"
#include "commands/device_commands.h"
#include "inbound/device_state.h"
#include "inbound/window_port.h"
#include "link/device_port.h"

namespace dm {

// The loss of a connected microscope, as every waiting command must see it: the link-lost
// flag set, the reply in progress abandoned and the reply waits woken. False (and nothing
// done) when it was not connected: a port the user closed is no loss. Any thread.
bool MarkLinkLost(DeviceState& state);

class ConnectionKeeper {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kNewPortCheck{2000};

    // cameraOn switches the camera on as its button does.
    ConnectionKeeper(DeviceState& state, DevicePort& port, TCmdProcThread& thread,
                     WindowPort& window, DeviceCommands& commands, std::function<void()> cameraOn);

    // The link's loss handler. Does nothing unless a microscope was connected.
    void LinkLost();
    // The user disconnected (the port is closed): the window is shown disconnected, as
    // after a loss but without a word and without looking for the microscope's return,
    // at once when nothing runs, else at the first tick after the running command and
    // the finishing steps have ended.
    void Disconnected();

    // Every window tick.
    void Tick(Clock::time_point now = Clock::now());

    // True from the loss until a port search connects again.
    bool InLostState() const { return phase_ != Phase::kWatching; }

  private:
    enum class Phase { kWatching, kEnding, kLost, kClosing };

    void BeginEnding();
    bool WorkSettled() const;
    void EnterLost(Clock::time_point now);
    void EndClosing();
    void ShowDisconnected();
    void WatchForReturn(Clock::time_point now);
    std::set<std::string> PresentDevices() const;
    std::vector<std::string> NewDevices();

    DeviceState& state_;
    DevicePort& port_;
    TCmdProcThread& thread_;
    WindowPort& window_;
    DeviceCommands& commands_;
    std::function<void()> cameraOn_;

    Phase phase_ = Phase::kWatching;
    bool resumeCamera_ = false;
    bool reconnecting_ = false;  // a quiet search of ours is queued or running
    Clock::time_point nextCheck_;
    std::set<std::string> seen_;  // the devices present at the last look
};

}  // namespace dm
