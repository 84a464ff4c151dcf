// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Ctrl+C (SIGINT) and SIGTERM end the command line cleanly: the handler only raises a
// flag; the running command sees it at its next wait, the microscope is sent the
// disconnect frame and no file is left half written.

#include <atomic>

namespace dm::cli {

// Installs the handlers; the flag they raise.
const std::atomic<bool>& InstallInterruptHandlers();

// While it lives, Ctrl+C ends the program at once, as before any handler: for a question
// on the terminal, which a raised flag would not cut short.
class DefaultInterrupts {
  public:
    DefaultInterrupts();
    ~DefaultInterrupts();  // the handlers again
    DefaultInterrupts(const DefaultInterrupts&) = delete;
    DefaultInterrupts& operator=(const DefaultInterrupts&) = delete;
};

}  // namespace dm::cli
