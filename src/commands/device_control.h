// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's side of the device buttons: each handler asks the command thread for
// work (the commands set the picture routing they need themselves). Only the disconnect
// talks to the microscope itself.
//
// Threads: window thread only (handlers and Timer3).

#include <functional>

#include "commands/cmd_proc_thread.h"
#include "inbound/device_state.h"
#include "inbound/window_port.h"
#include "link/device_port.h"

namespace dm {

class DeviceControl {
  public:
    // startSnapshot starts the window's snapshot finishing machine (settling first).
    DeviceControl(DeviceState& state, DevicePort& port, TCmdProcThread& thread, WindowPort& window,
                  std::function<void()> startSnapshot = {});

    void SetSnapshotStarter(std::function<void()> startSnapshot);
    // What shows the window disconnected after the port closed; by default the connected
    // flag is cleared and the disconnected set applied at once.
    void SetDisconnectedView(std::function<void()> showDisconnected);

    void ConnectBtnClick();
    void DownloadBtnClick();
    void UploadBtnClick();
    void CameraBtnClick();
    void SnapShotBtnClick();

    void UpBtnClick();
    void LeftBtnClick();
    void CentralBtnClick();
    void RightBtnClick();
    void DownBtnClick();
    void ZoomOutBtnClick();
    void LockBtnClick();
    void ZoomInBtnClick();

    // Every 500 ms: keeps the camera streaming after a key command ended it.
    void Timer3Timer();

  private:
    void Disconnect();
    void SendKey(int key);

    DeviceState& state_;
    DevicePort& port_;
    TCmdProcThread& thread_;
    WindowPort& window_;
    std::function<void()> startSnapshot_;
    std::function<void()> showDisconnected_;
};

}  // namespace dm
