// Preloaded into the demo by the soak run (LD_PRELOAD=libvc_present_clock.so): each
// SDL_GL_SwapWindow is passed on to SDL, then two times are appended to the file VC_PRESENT_TIMES
// names, 8 bytes of nanoseconds each in the machine's order: the monotonic clock's and the
// presenting thread's CPU time. The launcher's and the demo's presents both pass here; the times
// tell frame lengths without touching the program, and the CPU time tells them apart from the
// waits a busy machine adds.

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <initializer_list>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

struct SDL_Window;

namespace
{
using SwapWindow = void (*)(SDL_Window*);

int OpenTimesFile()
{
    const char* path = std::getenv("VC_PRESENT_TIMES");
    return path ? open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644) : -1;
}
} // namespace

extern "C" __attribute__((visibility("default"))) void SDL_GL_SwapWindow(SDL_Window* window)
{
    static const SwapWindow next = reinterpret_cast<SwapWindow>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    static const int times = OpenTimesFile();
    if (next)
        next(window);
    std::int64_t nanoseconds[2];
    for (const clockid_t clock : {CLOCK_MONOTONIC, CLOCK_THREAD_CPUTIME_ID}) {
        timespec now{};
        clock_gettime(clock, &now);
        nanoseconds[clock == CLOCK_MONOTONIC ? 0 : 1] = std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
    }
    if (times >= 0 && write(times, nanoseconds, sizeof(nanoseconds)) != sizeof(nanoseconds))
        std::abort();
}
