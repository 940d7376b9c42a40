// Linked into every suite. The GL driver (Mesa, llvmpipe, its LLVM) and the window system
// libraries keep allocations until the process ends; LeakSanitizer would report them as leaks of
// whichever suite opened them. The suppressions name those libraries only, never our own code.
extern "C" const char* __lsan_default_options()
{
    return "suppressions=" VC_SOURCE_DIR "/tests/support/lsan-driver.supp";
}
