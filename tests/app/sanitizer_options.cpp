// ThreadSanitizer sees none of the locking inside the Qt libraries (they are not built
// for it), so memory that Qt hands between its own threads, such as the raster painter's
// helper threads, would be reported as racing. Accesses made by Qt's code are therefore
// left out; every access made by this project's code is still checked.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_options() { return "ignore_noninstrumented_modules=1"; }
#endif
