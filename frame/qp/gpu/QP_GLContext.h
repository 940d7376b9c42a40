#pragma once
// The one GL 4.5 core context a device draws with, and what every GL object of the device shares:
// windowed, an SDL context made on a hidden window (so the device exists before any window of
// the program) and later made current on a swap chain's window; headless, an EGL context without
// surfaces (EGL device platform first, then Mesa's surfaceless platform).
// Every object that owns GL names holds a reference, so the context outlives them all.
// Internal to frame/qp.

#include "QC_Ptr.h"

#include <cstdint>

struct QP_NativeWindow;

class QP_GLContext : public QC_RefCounted
{
public:
    // Null with an info line saying why when no GL 4.5 core context can be made; the device
    // creation that asked returns a failure for its caller to report.
    static QP_GLContext* Create(bool headless);
    ~QP_GLContext() override;

    bool Headless() const { return headless; }
    const char* RendererName() const { return rendererName; }

    // Makes the context current on the window (windowed only); null: the hidden window / no surface.
    bool MakeCurrent(QP_NativeWindow* window);
    void SwapWindow(QP_NativeWindow* window, std::uint32_t syncInterval);
    // The window's drawable size in pixels.
    static void WindowSize(QP_NativeWindow* window, std::uint32_t* width, std::uint32_t* height);

    // Draw-state shared by the immediate context and presentation: presentation blits, which the
    // scissor test would clip, so it switches the test off and on around the blit.
    bool scissorEnabled = false;

private:
    QP_GLContext() = default;
    bool CreateHeadless();
    bool CreateWindowed();
    bool InitialiseState();

    bool headless = false;
    bool videoStarted = false;
    void* sdlWindow = nullptr;  // the hidden window (windowed)
    void* sdlContext = nullptr;
    void* eglDisplay = nullptr;
    void* eglContext = nullptr;
    QP_NativeWindow* currentWindow = nullptr;
    std::int32_t currentInterval = -1;
    char rendererName[128] = {};
};
