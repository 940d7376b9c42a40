// The GL driver keeps allocations until the process ends; LeakSanitizer would report them as
// leaks of the suite. The suppressions name the driver's and system libraries only.
extern "C" const char* __lsan_default_options()
{
    return "suppressions=" VC_SOURCE_DIR "/tests/meshes/lsan-meshes.supp";
}
