// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/microscope_session.h"

#include <thread>

#include "commands/command_codes.h"
#include "commands/command_timing.h"
#include "commands/connection_keeper.h"
#include "link/frame.h"
#include "link/port_table.h"

namespace dm::cli {

namespace {

constexpr std::chrono::milliseconds kStopPoll{20};
constexpr std::chrono::milliseconds kPortPoll{20};  // the window's Timer1 period

SerialPort::PortTableSource TableFor(const std::string& portPath) {
    if (portPath.empty()) {
        return &PortTable::FromSystem;
    }
    return [portPath] { return PortTable({portPath}); };
}

}  // namespace

MicroscopeSession::MicroscopeSession(const std::string& portPath, const std::atomic<bool>& stop)
    : stop_(stop),
      portPath_(portPath),
      buffer_(std::make_unique<ReceiveBuffer>()),
      port_(*buffer_, TableFor(portPath)) {
    commandThread_ = std::make_unique<TCmdProcThread>(state_);
    dataThread_ = std::make_unique<TDataProcThread>(*buffer_, port_, state_, pictures_, snapshots_,
                                                    *this, window_);
    // Nothing is kept on disk between runs: the scratch folder is never written.
    commands_ = std::make_unique<DeviceCommands>(state_, port_, window_, pictures_, *commandThread_,
                                                 QString());
    commands_->Register(*commandThread_);
    port_.SetLossHandler([this] { MarkLinkLost(state_); });
    commandThread_->start();
    dataThread_->start();
    poller_ = std::jthread([this](const std::stop_token& stopToken) {
        while (!stopToken.stop_requested()) {
            port_.PollPort();
            std::this_thread::sleep_for(kPortPoll);
        }
    });
}

MicroscopeSession::~MicroscopeSession() {
    // The command thread first: it may be waiting for a picture the data thread delivers.
    commandThread_->RequestStop();
    commandThread_->wait();
    Disconnect();
    poller_.request_stop();
    poller_.join();
    dataThread_->RequestStop();
    dataThread_->wait();
}

bool MicroscopeSession::Run(uint16_t code) {
    Start(code);
    return WaitForCommands();
}

void MicroscopeSession::Start(uint16_t code) {
    commandThread_->RequestCommand(code);
}

bool MicroscopeSession::WaitForCommands() {
    while (!commandThread_->WaitUntilIdle(kStopPoll)) {
        if (Stopped()) {
            // The running command ends at its next wait; none starts after it.
            commandThread_->RequestStop();
            commandThread_->wait();
            return false;
        }
    }
    return !Stopped();
}

bool MicroscopeSession::Pause(std::chrono::milliseconds duration) const {
    const auto until = std::chrono::steady_clock::now() + duration;
    while (!Stopped() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::min(kStopPoll, duration));
    }
    return !Stopped();
}

bool MicroscopeSession::Connect() {
    return Run(command::kPortSearch) && Connected();
}

bool MicroscopeSession::Connected() const {
    return state_.connected.load(std::memory_order_acquire) && port_.IsOpen();
}

// As the window's disconnect: the frame, a pause for it to go out, then the port closes.
void MicroscopeSession::Disconnect() {
    if (!Connected()) {
        port_.ClosePort();
        return;
    }
    state_.connected.store(false, std::memory_order_release);  // closing is no loss
    const auto frame = frame::MakeHeader(frame::kDisconnect);
    port_.WritePort(frame.data(), static_cast<int32_t>(frame.size()));
    std::this_thread::sleep_for(timing::kDisconnectPause);
    port_.ClosePort();
}

void MicroscopeSession::RenderLiveFrame(uint32_t info, const uint8_t* /*jpeg*/, uint32_t /*size*/) {
    state_.currentPictureInfo.store(info, std::memory_order_relaxed);
    liveFrames_.fetch_add(1, std::memory_order_acq_rel);
}

}  // namespace dm::cli
