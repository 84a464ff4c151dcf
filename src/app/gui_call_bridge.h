// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs calls from worker threads on the window thread, one after another in the order
// they were made, and waits for each to finish. On the window thread itself a call runs
// at once. Once Close() is called (the window is going away) every waiting caller is
// released and later calls return at once without running, so a worker never hangs on a
// window that will not answer.
//
// Every hand-over (the call, its result, its completion) passes through one std::mutex;
// the window thread is only woken, so the exchange holds without relying on Qt's
// internal locks.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "app/gui_wakeup.h"

class QObject;

namespace dm {

class GuiCallBridge {
  public:
    // Created on the window thread; `context` lives there and outlives the bridge.
    explicit GuiCallBridge(QObject* context);
    ~GuiCallBridge();

    // True when `task` ran to its end; false when the bridge was closed first.
    bool Run(std::function<void()> task);

    // Runs `task` and returns its result, or `fallback` when the bridge was closed first.
    template <typename R>
    R Call(std::function<R()> task, R fallback) {
        auto result = std::make_shared<std::optional<R>>();
        const bool ran = Run([result, task = std::move(task)] { *result = task(); });
        if (!ran || !result->has_value()) {
            return fallback;
        }
        return std::move(**result);
    }

    void Close();
    bool IsClosed() const;

  private:
    struct PendingCall {
        std::function<void()> task;
        bool done = false;
    };
    // Shared with the callers, who may still be waiting when the bridge goes.
    struct Shared {
        std::mutex lock;
        std::condition_variable finished;
        bool closed = false;
        std::deque<std::shared_ptr<PendingCall>> queue;
    };

    void RunPending();  // window thread

    QObject* context_;
    std::shared_ptr<Shared> shared_;
    GuiWakeup wakeup_;
};

}  // namespace dm
