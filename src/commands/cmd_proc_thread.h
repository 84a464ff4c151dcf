// SPDX-License-Identifier: GPL-3.0-or-later
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
// WithdrawAll (a disconnect, the way out, a lost link) empties the queue and withdraws the
// running command: its waits end at once and nothing it writes through WriteUnlessWithdrawn
// goes out any more, so a frame the window writes after WithdrawAll is the last on the wire.
//
// DeviceState::runningCommand mirrors the code of the command now running
// (kNoCommandRunning when none), for anyone who wants to look.
//
// Threads: RequestCommand, RequestIfIdle, SignalCameraOff and WithdrawAll are for the
// window thread; SetCommand only before the first request. Commands use Sleep,
// WaitForReply and WaitForCameraStop so a stop request or a withdrawal cuts their waits
// short. Destruction requests a stop and joins.

#include <QThread>
#include <atomic>
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
    // Withdraws every waiting request and the running command. Returns once a write of
    // that command in progress has ended; it writes nothing more. Window thread.
    void WithdrawAll();

    // For the camera-on command: true once it should end (signal, another request waiting,
    // stop request).
    bool CameraShouldStop() const;
    // Command thread: blocks until CameraShouldStop() or the timeout; true when it should.
    bool WaitForCameraStop(std::chrono::milliseconds timeout);

    void RequestStop();
    bool StopRequested() const { return stop_.load(std::memory_order_acquire); }
    // True once the running command was withdrawn, until the next command starts.
    bool Withdrawn() const { return withdrawn_.load(std::memory_order_acquire); }
    // The running command should end: a stop request or a withdrawal.
    bool CutShort() const { return StopRequested() || Withdrawn(); }
    // Command thread: runs write() unless the running command was withdrawn; false then.
    bool WriteUnlessWithdrawn(const std::function<bool()>& write);

    // True while nothing runs and nothing waits.
    bool IsIdle() const;
    // True while the command of this code runs or waits in the queue.
    bool IsRunningOrQueued(uint16_t code) const;
    bool WaitUntilIdle(std::chrono::milliseconds timeout) const;

    // Command-thread sleep that ends early on a stop request or a withdrawal; false then.
    bool Sleep(std::chrono::milliseconds duration);
    // Command-thread wait for the data thread's report (DeviceState::replies): ends as
    // soon as done() holds, on a stop request or a withdrawal, or after the duration.
    // False when stopped or withdrawn.
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
    // Held around every write of a command and while a withdrawal is made (before
    // gateLock_), so no write of the withdrawn command starts after WithdrawAll.
    std::mutex writeLock_;
    // Set under both locks; cleared under gateLock_ as the next command starts, when no
    // write can be in progress.
    std::atomic<bool> withdrawn_{false};
};

}  // namespace dm
