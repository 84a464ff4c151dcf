// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/interrupt.h"

#include <csignal>

namespace dm::cli {

namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is raised in a signal handler");

extern "C" void RaiseInterrupt(int /*signal*/) {
    interrupted.store(true, std::memory_order_relaxed);
}

}  // namespace

const std::atomic<bool>& InstallInterruptHandlers() {
    std::signal(SIGINT, RaiseInterrupt);
    std::signal(SIGTERM, RaiseInterrupt);
    return interrupted;
}

DefaultInterrupts::DefaultInterrupts() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

DefaultInterrupts::~DefaultInterrupts() {
    InstallInterruptHandlers();
}

}  // namespace dm::cli
