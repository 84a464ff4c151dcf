// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Ends the program the way its Exit button does when the system asks it to end: on
// POSIX SIGTERM (kill, shutdown), SIGINT (Ctrl+C in a terminal) and SIGHUP (logout, the
// terminal closed); on Windows the console's close, Ctrl+C and logoff events. The
// disconnect frame is sent and the scratch pictures are removed, as on Exit.
//
// The signal only wakes the window thread (GuiWakeup's pipe write is async-signal-safe);
// `onTerminate` runs there, from the event loop, nested loops of open boxes included.
// Threads: construct and destroy on the window thread; one instance at a time.

#include <functional>
#include <memory>

class QObject;

namespace dm {

class GuiWakeup;

class TerminationSignals {
  public:
    TerminationSignals(QObject* context, std::function<void()> onTerminate);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

  private:
    void Install();
    void Uninstall();

    std::unique_ptr<GuiWakeup> wakeup_;
};

}  // namespace dm
