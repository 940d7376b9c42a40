#include "QP_OutputWindow.h"

#include "QC_Log.h"

#include <SDL.h>

QP_NativeWindow* QP_CreateOutputWindow(const char* title, std::uint32_t width, std::uint32_t height, bool visible)
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        QC_ERROR("Unable to start SDL video: %s", SDL_GetError());
        return nullptr;
    }
    // The same attributes as the device's context, so the context can be made current here.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* window = SDL_CreateWindow(title ? title : "", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          static_cast<int>(width), static_cast<int>(height),
                                          SDL_WINDOW_OPENGL | (visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN));
    if (!window) {
        QC_ERROR("Unable to create a window of %ux%u: %s", width, height, SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    return reinterpret_cast<QP_NativeWindow*>(window);
}

void QP_DestroyOutputWindow(QP_NativeWindow* window)
{
    if (!window)
        return;
    SDL_DestroyWindow(reinterpret_cast<SDL_Window*>(window));
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
