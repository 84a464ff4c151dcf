// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/cmd_proc_thread.h"

#include <algorithm>

#include "commands/command_codes.h"

namespace dm {

static_assert(command::kNone == kNoCommandRunning, "no command runs: the state says the same");

namespace {
const char* const kThreadName = "CmdProcThread";
}  // namespace

TCmdProcThread::TCmdProcThread(DeviceState& state, QObject* parent)
    : QThread(parent), state_(state) {
    setObjectName(QString::fromLatin1(kThreadName));  // Qt names the OS thread from it
}

TCmdProcThread::~TCmdProcThread() {
    RequestStop();
    wait();
}

void TCmdProcThread::SetCommand(uint16_t code, Command command) {
    table_[code] = std::move(command);
}

bool TCmdProcThread::RequestCommand(uint16_t code) {
    if (code == command::kCameraOffSignal) {
        SignalCameraOff();
        return true;
    }
    if (code == command::kNone) {
        return true;
    }
    std::lock_guard lock(gateLock_);
    if (code == command::kCameraOn &&
        std::find(queue_.begin(), queue_.end(), code) != queue_.end()) {
        return true;
    }
    if (queue_.size() >= kQueueCapacity) {
        return false;
    }
    queue_.push_back(code);
    gateChanged_.notify_all();
    return true;
}

bool TCmdProcThread::RequestIfIdle(uint16_t code) {
    std::lock_guard lock(gateLock_);
    if (!IdleLocked()) {
        return false;
    }
    queue_.push_back(code);
    gateChanged_.notify_all();
    return true;
}

void TCmdProcThread::SignalCameraOff() {
    std::lock_guard lock(gateLock_);
    std::erase(queue_, command::kCameraOn);
    if (running_ == command::kCameraOn) {
        cameraStop_ = true;
    }
    gateChanged_.notify_all();
}

void TCmdProcThread::WithdrawAll() {
    {
        std::lock_guard writing(writeLock_);
        std::lock_guard lock(gateLock_);
        queue_.clear();
        if (running_ != command::kNone) {
            withdrawn_.store(true, std::memory_order_release);
            cameraStop_ = true;
        }
        gateChanged_.notify_all();
    }
    state_.replies.Ring();
}

bool TCmdProcThread::WriteUnlessWithdrawn(const std::function<bool()>& write) {
    std::lock_guard writing(writeLock_);
    return !Withdrawn() && write();
}

bool TCmdProcThread::CameraShouldStopLocked() const {
    return cameraStop_ || !queue_.empty() || CutShort();
}

bool TCmdProcThread::CameraShouldStop() const {
    std::lock_guard lock(gateLock_);
    return CameraShouldStopLocked();
}

bool TCmdProcThread::WaitForCameraStop(std::chrono::milliseconds timeout) {
    std::unique_lock lock(gateLock_);
    return gateChanged_.wait_for(lock, timeout, [this] { return CameraShouldStopLocked(); });
}

void TCmdProcThread::RequestStop() {
    {
        std::lock_guard lock(gateLock_);
        stop_.store(true, std::memory_order_release);
        gateChanged_.notify_all();
    }
    state_.replies.Ring();
}

bool TCmdProcThread::IsIdle() const {
    std::lock_guard lock(gateLock_);
    return IdleLocked();
}

bool TCmdProcThread::IsRunningOrQueued(uint16_t code) const {
    std::lock_guard lock(gateLock_);
    return running_ == code || std::find(queue_.begin(), queue_.end(), code) != queue_.end();
}

bool TCmdProcThread::WaitUntilIdle(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(gateLock_);
    return gateChanged_.wait_for(lock, timeout, [this] { return IdleLocked(); });
}

bool TCmdProcThread::Sleep(std::chrono::milliseconds duration) {
    std::unique_lock lock(gateLock_);
    return !gateChanged_.wait_for(lock, duration, [this] { return CutShort(); });
}

bool TCmdProcThread::WaitForReply(std::chrono::milliseconds duration,
                                  const std::function<bool()>& done) {
    state_.replies.Wait(duration, [&] { return CutShort() || done(); });
    return !CutShort();
}

// Waits for the next request; false on a stop request.
bool TCmdProcThread::TakeNext(uint16_t& code) {
    std::unique_lock lock(gateLock_);
    gateChanged_.wait(lock, [this] { return !queue_.empty() || StopRequested(); });
    if (StopRequested()) {
        return false;
    }
    code = queue_.front();
    queue_.pop_front();
    running_ = code;
    cameraStop_ = false;
    withdrawn_.store(false, std::memory_order_release);
    state_.runningCommand.store(code, std::memory_order_release);
    return true;
}

void TCmdProcThread::Finished() {
    std::lock_guard lock(gateLock_);
    running_ = command::kNone;
    state_.runningCommand.store(command::kNone, std::memory_order_release);
    gateChanged_.notify_all();
}

void TCmdProcThread::run() {
    uint16_t code = command::kNone;
    while (TakeNext(code)) {
        if (const auto found = table_.find(code); found != table_.end()) {
            found->second();
        }
        Finished();
    }
}

}  // namespace dm
