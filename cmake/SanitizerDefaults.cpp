// Compiled into every program of the ARTICLES_ASAN build. libfreexl loses the
// cell table of some damaged .xls files inside the library although the handle
// is closed (fuzz/README.md); that leak is not ours, so it is not reported.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfreexl.so.1\n"; }
