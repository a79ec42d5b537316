// Compiled into every program of the ARTICLES_ASAN build. libgsf loses a few
// bytes when it refuses some damaged compound files (fuzz/README.md); that
// leak is not ours, so it is not reported.
extern "C" const char* __lsan_default_suppressions() { return "leak:libgsf-1.so\n"; }
