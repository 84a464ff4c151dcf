// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// ThreadSanitizer settings for a program's entry file; include it in exactly one source
// file of each executable (the program's main, the tests' main). Empty in other builds.
//
// ThreadSanitizer cannot see Qt's futex-based QMutex, so a QWaitCondition that Qt
// destroys after QThread::wait() (or at the end of its image thread pool) looks like it
// races with the wake-up that was already ordered by that mutex. Only these Qt internals
// are silenced; every race in our code is still reported.
//
// Likewise Qt's libraries are not built for ThreadSanitizer, so memory that Qt hands
// between its own threads (the raster painter's helpers, queued calls) would be
// reported; accesses made by Qt's own code are left out, ours are all checked.

#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_options() {
    return "ignore_noninstrumented_modules=1";
}

extern "C" const char* __tsan_default_suppressions() {
    return "race:QWaitCondition::~QWaitCondition\n";
}
#endif
