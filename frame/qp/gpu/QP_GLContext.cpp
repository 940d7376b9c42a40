#include "QP_GLContext.h"

#include "QC_Log.h"
#include "QP_GL.h"

#include <SDL.h>
#include <epoxy/egl.h>

#include <cstdio>
#include <cstring>

namespace {

const EGLint contextAttributes[] = {
    EGL_CONTEXT_MAJOR_VERSION, 4, EGL_CONTEXT_MINOR_VERSION, 5,
    EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
    EGL_NONE,
};

// Initialises a display and makes a surfaceless GL 4.5 core context current on it.
EGLContext OpenEglContext(EGLDisplay display)
{
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor))
        return EGL_NO_CONTEXT;
    if (!epoxy_has_egl_extension(display, "EGL_KHR_surfaceless_context") || !eglBindAPI(EGL_OPENGL_API)) {
        eglTerminate(display);
        return EGL_NO_CONTEXT;
    }
    EGLConfig config = nullptr;
    if (!epoxy_has_egl_extension(display, "EGL_KHR_no_config_context")) {
        const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, 0, EGL_NONE};
        EGLint count = 0;
        if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1) {
            eglTerminate(display);
            return EGL_NO_CONTEXT;
        }
    }
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT) {
        eglTerminate(display);
        return EGL_NO_CONTEXT;
    }
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        eglDestroyContext(display, context);
        eglTerminate(display);
        return EGL_NO_CONTEXT;
    }
    return context;
}

} // namespace

QP_GLContext* QP_GLContext::Create(bool headless)
{
    QP_GLContext* context = new QP_GLContext();
    context->headless = headless;
    const bool created = headless ? context->CreateHeadless() : context->CreateWindowed();
    if (!created || !context->InitialiseState()) {
        context->AddRef();
        context->Release();
        return nullptr;
    }
    return context;
}

bool QP_GLContext::CreateHeadless()
{
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!clientExtensions) {
        QC_INFO("EGL is not available (error 0x%04X).", eglGetError());
        return false;
    }
    // Device platform first: a GPU driver renders without a display server.
    if (std::strstr(clientExtensions, "EGL_EXT_platform_device") && std::strstr(clientExtensions, "EGL_EXT_device_enumeration")) {
        EGLDeviceEXT devices[8];
        EGLint deviceCount = 0;
        if (eglQueryDevicesEXT(8, devices, &deviceCount)) {
            for (EGLint i = 0; i < deviceCount && !eglContext; ++i) {
                EGLDisplay display = eglGetPlatformDisplayEXT(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
                EGLContext created = OpenEglContext(display);
                if (created != EGL_NO_CONTEXT) {
                    eglDisplay = display;
                    eglContext = created;
                }
            }
        }
    }
    // Then Mesa's surfaceless platform (software rendering where there is no GPU).
    if (!eglContext && std::strstr(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        EGLDisplay display = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        EGLContext created = OpenEglContext(display);
        if (created != EGL_NO_CONTEXT) {
            eglDisplay = display;
            eglContext = created;
        }
    }
    if (!eglContext) {
        QC_INFO("Unable to create a headless OpenGL 4.5 context (EGL error 0x%04X).", eglGetError());
        return false;
    }
    return true;
}

bool QP_GLContext::CreateWindowed()
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        QC_INFO("Unable to start SDL video: %s", SDL_GetError());
        return false;
    }
    videoStarted = true;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    // Drawing goes to framebuffer objects; the window only receives the finished picture.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_Window* window = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 16, 16,
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) {
        QC_INFO("Unable to create the device window: %s", SDL_GetError());
        return false;
    }
    sdlWindow = window;
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        QC_INFO("Unable to create an OpenGL 4.5 core context: %s", SDL_GetError());
        return false;
    }
    sdlContext = context;
    return true;
}

bool QP_GLContext::InitialiseState()
{
    if (epoxy_gl_version() < 45 || !epoxy_is_desktop_gl()) {
        QC_INFO("OpenGL 4.5 is required, the driver offers %d.%d.", epoxy_gl_version() / 10,
                epoxy_gl_version() % 10);
        return false;
    }
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    std::snprintf(rendererName, sizeof(rendererName), "%s", renderer ? renderer : "OpenGL");
    // Direct3D's conventions: window y grows downwards and depth runs from 0 to 1. Every render
    // target keeps row 0 at the top of the picture; only presentation flips.
    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    QP_CHECK_GL();
    return true;
}

QP_GLContext::~QP_GLContext()
{
    if (eglContext) {
        EGLDisplay display = static_cast<EGLDisplay>(eglDisplay);
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(display, static_cast<EGLContext>(eglContext));
        // The display stays initialised: it is one process-wide object per device, which the
        // next context gets back from eglGetPlatformDisplayEXT. Terminating it would unload and
        // reload the driver for every device.
    }
    if (sdlContext)
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(sdlContext));
    if (sdlWindow)
        SDL_DestroyWindow(static_cast<SDL_Window*>(sdlWindow));
    if (videoStarted)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool QP_GLContext::MakeCurrent(QP_NativeWindow* window)
{
    if (headless || window == currentWindow)
        return true;
    SDL_Window* target = window ? reinterpret_cast<SDL_Window*>(window) : static_cast<SDL_Window*>(sdlWindow);
    if (SDL_GL_MakeCurrent(target, static_cast<SDL_GLContext>(sdlContext)) != 0) {
        QC_ERROR("Unable to make the GL context current on the window: %s", SDL_GetError());
        return false;
    }
    currentWindow = window;
    // The swap interval belongs to the drawable on some systems: set it again on the next swap.
    currentInterval = -1;
    return true;
}

void QP_GLContext::SwapWindow(QP_NativeWindow* window, std::uint32_t syncInterval)
{
    if (headless || !window)
        return;
    const std::int32_t interval = syncInterval > 0 ? 1 : 0;
    if (interval != currentInterval) {
        SDL_GL_SetSwapInterval(interval);
        currentInterval = interval;
    }
    SDL_GL_SwapWindow(reinterpret_cast<SDL_Window*>(window));
}

void QP_GLContext::WindowSize(QP_NativeWindow* window, std::uint32_t* width, std::uint32_t* height)
{
    int w = 0, h = 0;
    if (window)
        SDL_GL_GetDrawableSize(reinterpret_cast<SDL_Window*>(window), &w, &h);
    *width = static_cast<std::uint32_t>(w > 0 ? w : 0);
    *height = static_cast<std::uint32_t>(h > 0 ? h : 0);
}
