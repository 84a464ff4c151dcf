// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Wakes the command thread's reply waits the moment there is something to look at: the
// data thread rings it after it set the transfer status or the probe reply, the link when
// the microscope went away, the command thread's stop request when the program ends.
//
// Threads: Ring from any thread; Wait from the command thread. A ring before the wait
// began is not remembered: the waiter checks its condition under the lock first.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace dm {

class ReplySignal {
  public:
    void Ring() {
        std::lock_guard lock(lock_);
        rung_.notify_all();
    }

    // Blocks until done() holds or the timeout passes; returns done().
    template <typename Done>
    bool Wait(std::chrono::milliseconds timeout, Done done) {
        std::unique_lock lock(lock_);
        return rung_.wait_for(lock, timeout, done);
    }

  private:
    std::mutex lock_;
    std::condition_variable rung_;
};

}  // namespace dm
