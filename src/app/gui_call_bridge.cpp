// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui_call_bridge.h"

#include <QObject>
#include <QThread>

namespace dm {

GuiCallBridge::GuiCallBridge(QObject* context)
    : context_(context),
      shared_(std::make_shared<Shared>()),
      wakeup_(context, [this] { RunPending(); }) {}

GuiCallBridge::~GuiCallBridge() {
    Close();
}

bool GuiCallBridge::Run(std::function<void()> task) {
    if (QThread::currentThread() == context_->thread()) {
        if (IsClosed()) {
            return false;
        }
        task();
        return true;
    }
    auto call = std::make_shared<PendingCall>();
    call->task = std::move(task);
    std::shared_ptr<Shared> shared = shared_;
    std::unique_lock<std::mutex> guard(shared->lock);
    if (shared->closed) {
        return false;
    }
    shared->queue.push_back(call);
    // Woken under the lock: once Close() has run, no caller touches the bridge again.
    wakeup_.Wake();
    shared->finished.wait(guard, [&] { return call->done || shared->closed; });
    return call->done;
}

void GuiCallBridge::RunPending() {
    for (;;) {
        std::shared_ptr<PendingCall> call;
        {
            std::lock_guard<std::mutex> guard(shared_->lock);
            if (shared_->closed || shared_->queue.empty()) {
                return;
            }
            call = shared_->queue.front();
            shared_->queue.pop_front();
        }
        // Outside the lock: the call may open a modal box, whose event loop runs the
        // calls of other threads meanwhile.
        call->task();
        std::lock_guard<std::mutex> guard(shared_->lock);
        call->done = true;
        shared_->finished.notify_all();
    }
}

void GuiCallBridge::Close() {
    std::lock_guard<std::mutex> guard(shared_->lock);
    shared_->closed = true;
    shared_->queue.clear();
    shared_->finished.notify_all();
}

bool GuiCallBridge::IsClosed() const {
    std::lock_guard<std::mutex> guard(shared_->lock);
    return shared_->closed;
}

}  // namespace dm
