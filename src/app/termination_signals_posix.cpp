// SPDX-License-Identifier: GPL-3.0-or-later
#include <csignal>

#include <atomic>

#include "app/gui_wakeup.h"
#include "app/termination_signals.h"

namespace dm {

namespace {

constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Read by the handler: a lock-free atomic is all a signal handler may touch.
std::atomic<GuiWakeup*> gWakeup{nullptr};
static_assert(std::atomic<GuiWakeup*>::is_always_lock_free);

extern "C" void OnEndingSignal(int /*signal*/) {
    if (GuiWakeup* wakeup = gWakeup.load()) {
        wakeup->Wake();
    }
}

}  // namespace

void TerminationSignals::Install() {
    gWakeup.store(wakeup_.get());
    struct sigaction action {};
    action.sa_handler = OnEndingSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // the window's system calls simply go on
    for (const int signal : kEndingSignals) {
        sigaction(signal, &action, nullptr);
    }
}

// The default action again: a second signal after this ends the program at once.
void TerminationSignals::Uninstall() {
    for (const int signal : kEndingSignals) {
        std::signal(signal, SIG_DFL);
    }
    gWakeup.store(nullptr);
}

}  // namespace dm
