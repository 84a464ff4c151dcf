#pragma once
// TCmdProcThread: runs the window's requests against the microscope, one at a time, in
// the order they were made.
//
// The window queues a request code; the thread takes the oldest, runs the command
// registered for it (codes not in the table run nothing) and takes the next. The queue
// is small and bounded: a request made while it is full is dropped (RequestCommand says
// so). Only the window's clicks fill it, and the button sets leave few of them enabled
// while a command runs, so in practice it holds a key or two.
//
// The camera-on command streams until the camera-off signal comes or anything else is
// requested (CameraShouldStop); it then sends the camera-off request itself, so a key
// requested while the camera streams goes out after the camera-off request.
//
// DeviceState::pendingCommand mirrors the code of the command now running (0 when none),
// for anyone who wants to look.
//
// Threads: RequestCommand, RequestIfIdle and SignalCameraOff are for the window thread;
// SetCommand only before the first request. Commands use Sleep and WaitForCameraStop so
// a stop request cuts their waits short. Destruction requests a stop and joins.

#include <QThread>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "inbound/device_state.h"

namespace dm {

class TCmdProcThread : public QThread {
  public:
    using Command = std::function<void()>;

    static constexpr std::size_t kQueueCapacity = 16;

    explicit TCmdProcThread(DeviceState& state, QObject* parent = nullptr);
    ~TCmdProcThread() override;

    void SetCommand(uint16_t code, Command command);

    // Queues the request. False when the queue was full and the request was dropped. A
    // camera-on request while one is already waiting is not queued twice.
    bool RequestCommand(uint16_t code);
    // Queues the request only when nothing runs and nothing waits (the camera keep-alive).
    bool RequestIfIdle(uint16_t code);
    // Ends a streaming camera-on command and withdraws camera-on requests still waiting.
    void SignalCameraOff();
    // Withdraws every waiting request and ends a streaming camera-on command: the
    // microscope went away. Window thread.
    void WithdrawAll();

    // For the camera-on command: true once it should end (signal, another request waiting,
    // stop request).
    bool CameraShouldStop() const;
    // Command thread: blocks until CameraShouldStop() or the timeout; true when it should.
    bool WaitForCameraStop(std::chrono::milliseconds timeout);

    void RequestStop();
    bool StopRequested() const { return stop_.load(std::memory_order_acquire); }

    // True while nothing runs and nothing waits.
    bool IsIdle() const;
    // True while the command of this code runs or waits in the queue.
    bool IsRunningOrQueued(uint16_t code) const;
    bool WaitUntilIdle(std::chrono::milliseconds timeout) const;

    // Command-thread sleep that ends early on a stop request; false when stopped.
    bool Sleep(std::chrono::milliseconds duration);
    // Command-thread wait for the data thread's report (DeviceState::replies): ends as
    // soon as done() holds, on a stop request, or after the duration. False when stopped.
    bool WaitForReply(std::chrono::milliseconds duration, const std::function<bool()>& done);

  protected:
    void run() override;

  private:
    bool IdleLocked() const { return running_ == 0 && queue_.empty(); }
    bool CameraShouldStopLocked() const;
    bool TakeNext(uint16_t& code);
    void Finished();

    DeviceState& state_;
    std::map<uint16_t, Command> table_;
    mutable std::mutex gateLock_;
    mutable std::condition_variable gateChanged_;
    std::deque<uint16_t> queue_;  // under gateLock_
    uint16_t running_ = 0;        // under gateLock_
    bool cameraStop_ = false;     // under gateLock_
    std::atomic<bool> stop_{false};
};

}  // namespace dm
