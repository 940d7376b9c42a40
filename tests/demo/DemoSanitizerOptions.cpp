// The GL driver keeps allocations until the process ends (the renderer test opens it);
// LeakSanitizer would report them as leaks of the suite. The suppressions name the driver's
// libraries only (tests/gpu/lsan-mesa.supp).
extern "C" const char* __lsan_default_options()
{
    return "suppressions=" VC_SOURCE_DIR "/tests/gpu/lsan-mesa.supp";
}
