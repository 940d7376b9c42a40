#include "QP_System.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <sys/syscall.h>
#include <unistd.h>

void QP_WriteDebugOutput(const char* line)
{
    // One fputs per line: stderr is unbuffered and glibc locks the stream per call, so lines
    // from several threads never interleave.
    std::fputs(line, stderr);
}

bool QP_HasDisplay()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && x11[0]) || (wayland && wayland[0]);
}

void QP_ShowFatalMessageBox(const char* caption, const char* text)
{
    if (!QP_HasDisplay())
        return;
    // Works without SDL_Init and without an owner window.
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, nullptr);
}

void QP_ExitProcess(int exitCode)
{
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

std::uint32_t QP_GetCurrentThreadId()
{
    return static_cast<std::uint32_t>(syscall(SYS_gettid));
}
