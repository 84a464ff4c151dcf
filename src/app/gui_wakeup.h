// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Wakes the window thread from any thread, carrying no data: the caller hands its data
// over under its own lock and then wakes the window, which runs `onWake` from its event
// loop (nested loops included). On POSIX the wake is a byte through a pipe watched by a
// socket notifier, so no Qt object is shared between the threads and ThreadSanitizer
// sees every hand-over through the caller's lock.

#include <functional>

class QObject;
class QSocketNotifier;

namespace dm {

class GuiWakeup {
  public:
    // Created on the window thread; `context` lives there and outlives this object.
    GuiWakeup(QObject* context, std::function<void()> onWake);
    ~GuiWakeup();
    GuiWakeup(const GuiWakeup&) = delete;
    GuiWakeup& operator=(const GuiWakeup&) = delete;

    // Any thread, until destruction starts. Wakes pending at once may run `onWake` once.
    void Wake();

  private:
    QObject* context_;
    std::function<void()> onWake_;
#ifndef _WIN32
    void Drain();
    int readFd_ = -1;
    int writeFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
#endif
};

}  // namespace dm
