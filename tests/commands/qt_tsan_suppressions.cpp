// ThreadSanitizer cannot see Qt's futex-based QMutex, so a QWaitCondition that Qt
// destroys after QThread::wait() (or at the end of its image thread pool) looks like it
// races with the wake-up that was already ordered by that mutex. The races reported
// through these Qt internals are not ours; everything else is still reported.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
    return "race:QWaitCondition::~QWaitCondition\n";
}
#endif
