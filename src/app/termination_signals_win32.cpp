// SPDX-License-Identifier: GPL-3.0-or-later
#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>

#include "app/gui_wakeup.h"
#include "app/termination_signals.h"

namespace dm {

namespace {

std::atomic<GuiWakeup*> gWakeup{nullptr};

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            if (GuiWakeup* wakeup = gWakeup.load()) {
                wakeup->Wake();
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

void TerminationSignals::Install() {
    gWakeup.store(wakeup_.get());
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void TerminationSignals::Uninstall() {
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    gWakeup.store(nullptr);
}

}  // namespace dm

#endif  // _WIN32
