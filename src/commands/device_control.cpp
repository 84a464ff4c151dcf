// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/device_control.h"

#include <thread>

#include "commands/command_codes.h"
#include "commands/command_timing.h"
#include "link/frame.h"

namespace dm {

namespace {
const char* const kCameraOnGlyph = "Camera-On.bmp";    // shown while the camera is off
const char* const kCameraOffGlyph = "Camera-Off.bmp";  // shown while it streams

constexpr int kUpKey = 1;
constexpr int kLeftKey = 2;
constexpr int kCentralKey = 3;
constexpr int kRightKey = 4;
constexpr int kDownKey = 5;
constexpr int kZoomOutKey = 6;
constexpr int kLockKey = 7;
constexpr int kZoomInKey = 8;
}  // namespace

DeviceControl::DeviceControl(DeviceState& state, DevicePort& port, TCmdProcThread& thread,
                             WindowPort& window, std::function<void()> startSnapshot)
    : state_(state),
      port_(port),
      thread_(thread),
      window_(window),
      startSnapshot_(std::move(startSnapshot)),
      showDisconnected_([this] {
          window_.SetConnected(false);
          window_.ApplyButtonSet(ButtonSet::Disconnected);
      }) {}

void DeviceControl::SetSnapshotStarter(std::function<void()> startSnapshot) {
    startSnapshot_ = std::move(startSnapshot);
}

// Connects or disconnects by the port-open flag: after a search the two agree.
void DeviceControl::ConnectBtnClick() {
    // The search opens and closes ports itself: a click meanwhile would close the port it
    // is probing, and the search would report a microscope behind a closed port.
    if (thread_.IsRunningOrQueued(command::kPortSearch)) {
        return;
    }
    if (port_.IsOpen()) {
        Disconnect();
    } else {
        thread_.RequestCommand(command::kPortSearch);
    }
}

// On the window thread, whether or not the microscope is still there. Nothing the user
// asked for before goes out after the disconnect frame.
void DeviceControl::Disconnect() {
    state_.connected.store(false, std::memory_order_release);  // closing is no loss
    thread_.WithdrawAll();
    const auto frame = frame::MakeHeader(frame::kDisconnect);
    port_.WritePort(frame.data(), static_cast<int32_t>(frame.size()));
    std::this_thread::sleep_for(timing::kDisconnectPause);
    port_.ClosePort();
    // A reply cut off by the close must not be completed by the next connection's bytes.
    state_.abandonReply.store(true, std::memory_order_release);
    showDisconnected_();
}

void DeviceControl::SetDisconnectedView(std::function<void()> showDisconnected) {
    showDisconnected_ = std::move(showDisconnected);
}

void DeviceControl::DownloadBtnClick() {
    thread_.RequestCommand(command::kDownloadAll);
}

void DeviceControl::UploadBtnClick() {
    thread_.RequestCommand(command::kUpload);
}

void DeviceControl::CameraBtnClick() {
    // A snapshot turns the camera on again when it ends: switching it off meanwhile would
    // leave it streaming while the window takes it for off, and the next click dead.
    if (state_.snapshotInProgress.load(std::memory_order_relaxed)) {
        return;
    }
    if (!state_.cameraOn.load(std::memory_order_relaxed)) {
        thread_.RequestCommand(command::kCameraOn);
        window_.SetCameraGlyph(QString::fromLatin1(kCameraOffGlyph));
        window_.SetEnabled(Control::SnapShotBtn, true);
        window_.SetEnabled(Control::ListView1, false);
        state_.cameraOn.store(true, std::memory_order_relaxed);
        window_.SetBrowseViewVisible(false);  // the live picture shows through
        return;
    }
    // The running camera command sees the signal and sends the camera-off request.
    thread_.SignalCameraOff();
    window_.SetCameraGlyph(QString::fromLatin1(kCameraOnGlyph));
    window_.SetEnabled(Control::SnapShotBtn, false);
    window_.SetEnabled(Control::ListView1, true);
    window_.ApplyButtonSet(ButtonSet::Ready);
    state_.cameraOn.store(false, std::memory_order_relaxed);
}

// The camera-on flag stays set: the finishing machine turns the stream on again.
void DeviceControl::SnapShotBtnClick() {
    state_.snapshotInProgress.store(true, std::memory_order_relaxed);
    if (startSnapshot_) {
        startSnapshot_();
    }
    thread_.SignalCameraOff();
    window_.SetCameraGlyph(QString::fromLatin1(kCameraOnGlyph));
    window_.SetEnabled(Control::SnapShotBtn, false);
}

void DeviceControl::UpBtnClick() {
    SendKey(kUpKey);
}
void DeviceControl::LeftBtnClick() {
    SendKey(kLeftKey);
}
void DeviceControl::CentralBtnClick() {
    SendKey(kCentralKey);
}
void DeviceControl::RightBtnClick() {
    SendKey(kRightKey);
}
void DeviceControl::DownBtnClick() {
    SendKey(kDownKey);
}
void DeviceControl::ZoomOutBtnClick() {
    SendKey(kZoomOutKey);
}
void DeviceControl::LockBtnClick() {
    SendKey(kLockKey);
}
void DeviceControl::ZoomInBtnClick() {
    SendKey(kZoomInKey);
}

// Down and the zoom keys are ignored by the microscope while its camera streams: the
// queued key itself ends the camera-on command, which sends the camera-off request before
// the key goes out, and Timer3 restarts the camera afterwards. No handler waits.
void DeviceControl::SendKey(int key) {
    thread_.RequestCommand(command::KeyCode(key));
}

// Restarts the camera only when the command thread has nothing to do: after a key, the
// next tick finds it idle; a tick while requests wait leaves them alone.
void DeviceControl::Timer3Timer() {
    if (!state_.cameraOn.load(std::memory_order_relaxed) ||
        state_.snapshotInProgress.load(std::memory_order_relaxed)) {
        return;
    }
    thread_.RequestIfIdle(command::kCameraOn);
}

}  // namespace dm
