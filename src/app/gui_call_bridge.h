#pragma once
// Runs calls from worker threads on the window thread, one after another in the order
// they were made, and waits for each to finish. On the window thread itself a call runs
// at once. Once Close() is called (the window is going away) every waiting caller is
// released and later calls return at once without running, so a worker never hangs on a
// window that will not answer.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QObject;

namespace dm {

class GuiCallBridge {
  public:
    // `context` lives on the window thread and outlives every call made through the bridge.
    explicit GuiCallBridge(QObject* context);

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
    struct Shared {
        std::mutex lock;
        std::condition_variable finished;
        bool closed = false;
    };

    QObject* context_;
    std::shared_ptr<Shared> shared_;
};

}  // namespace dm
