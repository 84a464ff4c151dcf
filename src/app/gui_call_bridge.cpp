#include "app/gui_call_bridge.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

namespace dm {

GuiCallBridge::GuiCallBridge(QObject* context)
    : context_(context), shared_(std::make_shared<Shared>()) {}

bool GuiCallBridge::Run(std::function<void()> task) {
    if (QThread::currentThread() == context_->thread()) {
        if (IsClosed()) {
            return false;
        }
        task();
        return true;
    }
    // The queued task and the waiting caller share `done` and the bridge state through
    // shared pointers: a caller released by Close() returns while the task may still be
    // queued or running, and neither may outlive what it touches.
    auto done = std::make_shared<bool>(false);
    std::shared_ptr<Shared> shared = shared_;
    {
        std::lock_guard<std::mutex> guard(shared->lock);
        if (shared->closed) {
            return false;
        }
    }
    QMetaObject::invokeMethod(
        context_,
        [shared, done, task = std::move(task)] {
            {
                std::lock_guard<std::mutex> guard(shared->lock);
                if (shared->closed) {
                    return;
                }
            }
            task();
            std::lock_guard<std::mutex> guard(shared->lock);
            *done = true;
            shared->finished.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> guard(shared->lock);
    shared->finished.wait(guard, [&] { return *done || shared->closed; });
    return *done;
}

void GuiCallBridge::Close() {
    std::lock_guard<std::mutex> guard(shared_->lock);
    shared_->closed = true;
    shared_->finished.notify_all();
}

bool GuiCallBridge::IsClosed() const {
    std::lock_guard<std::mutex> guard(shared_->lock);
    return shared_->closed;
}

}  // namespace dm
