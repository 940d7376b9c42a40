// The texture and shader assets render on the headless device: the GL driver keeps allocations
// until the process ends, which LeakSanitizer would report as leaks of this suite. The same
// suppressions as the GPU suite's (driver libraries only).
extern "C" const char* __lsan_default_options()
{
    return "suppressions=" VC_SOURCE_DIR "/tests/gpu/lsan-mesa.supp";
}
