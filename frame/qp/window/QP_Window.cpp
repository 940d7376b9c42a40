#include "QP_Window.h"

#include "QC_Image.h"
#include "QC_Log.h"
#include "QP_System.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace
{
SDL_Window* Sdl(QP_NativeWindow* window) { return reinterpret_cast<SDL_Window*>(window); }
} // namespace

bool QP_DisplayAvailable()
{
    if (!QP_HasDisplay())
        return false;
    // With only an X display named, the whole program uses X11: SDL would otherwise try Wayland
    // next (and write its own complaints) and end on its offscreen driver, which shows nothing.
    // A driver the user names in SDL_VIDEODRIVER stays in force.
    const char* chosenDriver = std::getenv("SDL_VIDEODRIVER");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!chosenDriver && !(wayland && wayland[0]))
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    // Opening video connects to the server: a DISPLAY naming a server that is gone fails here.
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool windowSystem = chosenDriver || (driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0);
    const bool hasScreen = windowSystem && SDL_GetNumVideoDisplays() > 0;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return hasScreen;
}

bool QP_GetScreenSize(std::uint32_t* width, std::uint32_t* height)
{
    *width = 0;
    *height = 0;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0 || mode.w <= 0 || mode.h <= 0)
        return false;
    *width = static_cast<std::uint32_t>(mode.w);
    *height = static_cast<std::uint32_t>(mode.h);
    return true;
}

void QP_CentreWindow(QP_NativeWindow* window, std::uint32_t width, std::uint32_t height)
{
    std::uint32_t screenWidth = 0, screenHeight = 0;
    if (!window || !QP_GetScreenSize(&screenWidth, &screenHeight))
        return;
    // Halves first, each rounded down; a window larger than the screen starts left of or above it.
    const int x = static_cast<int>(screenWidth / 2) - static_cast<int>(width / 2);
    const int y = static_cast<int>(screenHeight / 2) - static_cast<int>(height / 2);
    SDL_SetWindowPosition(Sdl(window), x, y);
}

void QP_MoveWindow(QP_NativeWindow* window, std::int32_t x, std::int32_t y)
{
    if (window)
        SDL_SetWindowPosition(Sdl(window), x, y);
}

void QP_SetWindowIcon(QP_NativeWindow* window, const QC_Image& icon)
{
    if (!window || icon.Width() == 0 || icon.Height() == 0)
        return;
    // Bytes R, G, B, A in memory order, rows without padding.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<std::uint32_t*>(icon.Pixels()), static_cast<int>(icon.Width()), static_cast<int>(icon.Height()), 32,
        static_cast<int>(icon.Width() * 4), SDL_PIXELFORMAT_RGBA32);
    if (!surface) {
        QC_ERROR("Unable to make the window icon: %s", SDL_GetError());
        return;
    }
    SDL_SetWindowIcon(Sdl(window), surface);
    SDL_FreeSurface(surface);
}

void QP_ShowWindow(QP_NativeWindow* window, bool showCursor)
{
    if (!window)
        return;
    SDL_ShowWindow(Sdl(window));
    SDL_RaiseWindow(Sdl(window));
    SDL_ShowCursor(showCursor ? SDL_ENABLE : SDL_DISABLE);
}

void QP_GetWindowRect(QP_NativeWindow* window, std::int32_t* x, std::int32_t* y, std::uint32_t* width,
                      std::uint32_t* height)
{
    int left = 0, top = 0, w = 0, h = 0;
    if (window) {
        SDL_GetWindowPosition(Sdl(window), &left, &top);
        SDL_GetWindowSize(Sdl(window), &w, &h);
    }
    *x = left;
    *y = top;
    *width = static_cast<std::uint32_t>(w > 0 ? w : 0);
    *height = static_cast<std::uint32_t>(h > 0 ? h : 0);
}

QP_WindowEvent QP_PollWindowEvent()
{
    SDL_Event event;
    if (!SDL_PollEvent(&event))
        return QP_WindowEvent::None;
    switch (event.type) {
    case SDL_QUIT:
        return QP_WindowEvent::Quit;
    case SDL_WINDOWEVENT:
        return event.window.event == SDL_WINDOWEVENT_CLOSE ? QP_WindowEvent::Quit : QP_WindowEvent::Other;
    case SDL_KEYDOWN:
        return event.key.keysym.sym == SDLK_ESCAPE ? QP_WindowEvent::Quit : QP_WindowEvent::Other;
    default:
        return QP_WindowEvent::Other;
    }
}
