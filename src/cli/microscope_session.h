// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One conversation with the microscope for the command line: the serial link, the data
// and command threads and the device commands, as the window has them, without a window.
// Each command runs to its end before the next; a stop request (Ctrl+C) ends the one
// running at its next wait.
//
// Threads: the main thread owns it and calls every member; the workers report through
// the console window and the device state.

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "cli/console_window.h"
#include "commands/cmd_proc_thread.h"
#include "commands/device_commands.h"
#include "inbound/data_proc_thread.h"
#include "inbound/device_state.h"
#include "inbound/image_buffer.h"
#include "inbound/live_frame_sink.h"
#include "link/receive_buffer.h"
#include "link/serial_port.h"

namespace dm::cli {

class MicroscopeSession : public LiveFrameSink {
  public:
    // portPath: the one device to use; empty searches the machine's port table in the
    // order Connect does. stop: set (from a signal handler) to end the running command.
    MicroscopeSession(const std::string& portPath, const std::atomic<bool>& stop);
    // Disconnects (the disconnect frame goes out) and joins the threads.
    ~MicroscopeSession() override;
    MicroscopeSession(const MicroscopeSession&) = delete;
    MicroscopeSession& operator=(const MicroscopeSession&) = delete;

    ConsoleWindow& Window() { return window_; }
    DeviceCommands& Commands() { return *commands_; }
    DeviceState& State() { return state_; }
    const IMAGE_BUFFER& Pictures() const { return pictures_; }
    const IMAGE_BUFFER& Snapshots() const { return snapshots_; }

    // Runs the command and waits for its end. False when it was stopped on the way.
    bool Run(uint16_t code);
    // Starts the command and returns at once (the camera stream).
    void Start(uint16_t code);
    // Waits for the running command's end; false when stopped.
    bool WaitForCommands();
    // Sleeps unless stopped; false when stopped.
    bool Pause(std::chrono::milliseconds duration) const;
    bool Stopped() const { return stop_.load(std::memory_order_relaxed); }
    // The command thread's camera-off signal.
    void SignalCameraOff() { commandThread_->SignalCameraOff(); }

    // The port search; true when a microscope answered and the link started.
    bool Connect();
    bool Connected() const;
    // The --port device, empty when the ports are searched.
    const std::string& PortPath() const { return portPath_; }
    // The microscope went away during the conversation.
    bool LinkLost() const { return state_.linkLost.load(std::memory_order_acquire); }
    // Live frames seen so far; the info word of the last is in the device state.
    int LiveFrames() const { return liveFrames_.load(std::memory_order_acquire); }

    // The data thread's live pictures: only their info word and count are kept.
    void RenderLiveFrame(uint32_t info, const uint8_t* jpeg, uint32_t size) override;

  private:
    void Disconnect();

    const std::atomic<bool>& stop_;
    std::string portPath_;
    ConsoleWindow window_;
    DeviceState state_;
    std::unique_ptr<ReceiveBuffer> buffer_;  // 128 KiB: kept off the stack
    SerialPort port_;
    IMAGE_BUFFER pictures_;
    IMAGE_BUFFER snapshots_;
    std::unique_ptr<TCmdProcThread> commandThread_;
    std::unique_ptr<TDataProcThread> dataThread_;
    std::unique_ptr<DeviceCommands> commands_;
    std::atomic<int> liveFrames_{0};
    // Moves what the driver holds into the receive buffer every 20 ms, as the window's
    // Timer1 does.
    std::jthread poller_;
};

}  // namespace dm::cli
