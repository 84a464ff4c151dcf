#include "commands/cmd_proc_thread.h"

#include "commands/command_codes.h"

namespace dm {

namespace {
const char* const kThreadName = "CmdProcThread";
}  // namespace

// The thread starts closed at its gate, so a request made before run() reaches the gate
// is kept: the gate is idle until the first resume.
TCmdProcThread::TCmdProcThread(DeviceState& state, QObject* parent)
    : QThread(parent), state_(state), idle_(true) {
    setObjectName(QString::fromLatin1(kThreadName));  // Qt names the OS thread from it
}

TCmdProcThread::~TCmdProcThread() {
    RequestStop();
    wait();
}

void TCmdProcThread::SetCommand(uint16_t code, Command command) {
    table_[code] = std::move(command);
}

void TCmdProcThread::RequestCommand(uint16_t code) {
    StoreCode(code);
    Resume();
}

void TCmdProcThread::StoreCode(uint16_t code) {
    state_.pendingCommand.store(code, std::memory_order_release);
}

void TCmdProcThread::Resume() {
    std::lock_guard lock(gateLock_);
    if (idle_) {
        resumed_ = true;
        idle_ = false;  // busy from now until the code has been handled
        gateChanged_.notify_all();
    }
}

void TCmdProcThread::RequestStop() {
    std::lock_guard lock(gateLock_);
    stop_.store(true, std::memory_order_release);
    gateChanged_.notify_all();
}

bool TCmdProcThread::IsIdle() const {
    std::lock_guard lock(gateLock_);
    return idle_;
}

bool TCmdProcThread::WaitUntilIdle(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(gateLock_);
    return gateChanged_.wait_for(lock, timeout, [this] { return idle_; });
}

bool TCmdProcThread::Sleep(std::chrono::milliseconds duration) {
    std::unique_lock lock(gateLock_);
    return !gateChanged_.wait_for(lock, duration, [this] { return StopRequested(); });
}

void TCmdProcThread::run() {
    for (;;) {
        {
            std::unique_lock lock(gateLock_);
            gateChanged_.wait(lock, [this] { return resumed_ || StopRequested(); });
            if (StopRequested()) {
                idle_ = true;
                gateChanged_.notify_all();
                return;
            }
            resumed_ = false;
        }

        const uint16_t code = state_.pendingCommand.load(std::memory_order_acquire);
        if (const auto found = table_.find(code); found != table_.end()) {
            found->second();
        }
        state_.pendingCommand.store(command::kNone, std::memory_order_release);

        std::lock_guard lock(gateLock_);
        idle_ = true;
        gateChanged_.notify_all();
    }
}

}  // namespace dm
