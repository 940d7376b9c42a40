// The launcher tests open the GL driver and the X libraries in this process; they keep
// allocations until the process ends, which LeakSanitizer would report as leaks of the suite.
// The suppressions name those libraries only (tests/gpu/lsan-mesa.supp).
extern "C" const char* __lsan_default_options()
{
    return "suppressions=" VC_SOURCE_DIR "/tests/gpu/lsan-mesa.supp";
}
