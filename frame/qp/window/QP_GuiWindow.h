#pragma once
// A small window whose contents are drawn with Dear ImGui: the launcher. The window owns
// everything of the GUI that touches the platform: ImGui's context, its SDL2 and OpenGL3
// backends, a GL context of its own and the window's events. Its user calls ImGui's widget
// functions between BeginFrame and EndFrame and nothing else of ImGui.
//
//   QP_GuiWindow* window = QP_GuiWindow::Create({.caption = "LM: Velvet Cascade", .width = 400, .height = 300});
//   void* picture = window->CreateTexture(*image);          // for ImGui::Image
//   while (window->ProcessEvents() != QP_WindowEvent::Quit) {
//       if (window->BeginFrame()) { ImGui::Button("Run demo!"); ... window->EndFrame(); }
//   }
//   delete window;
//
// The window draws only while something may have changed (for a few frames after each event),
// so an idle launcher costs nothing. Whatever GL context was current before Create is current
// again once the window is gone: the graphics device's context is never disturbed. No file is
// written (ImGui's settings and log files are off). Main thread only; one such window at a time.

#include "QP_Result.h"
#include "QP_Window.h"

#include <cstdint>
#include <vector>

class QC_Image;

struct QP_GuiWindowDesc
{
    const char* caption = "";
    // Client size; the window is centred on the primary screen.
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    const QC_Image* icon = nullptr;
};

class QP_GuiWindow
{
public:
    // Null with a log line when the window or its GL context cannot be made. The window is
    // shown at once and has the keyboard focus.
    static QP_GuiWindow* Create(const QP_GuiWindowDesc& desc);
    ~QP_GuiWindow();
    QP_GuiWindow(const QP_GuiWindow&) = delete;
    QP_GuiWindow& operator=(const QP_GuiWindow&) = delete;

    // Hands the waiting events to the GUI, up to and including the first key press or release
    // (the GUI sees one key change per frame). Quit when Escape was pressed or the window was
    // closed (the events after it stay queued); Other when events came; None when none waited.
    QP_WindowEvent ProcessEvents();
    // Starts a GUI frame and returns true, or returns false when nothing has changed since the
    // last frame drawn (then no widget may be called until the next BeginFrame).
    bool BeginFrame();
    // Draws the frame's widgets and shows them.
    void EndFrame();

    // An RGBA picture as a texture for ImGui::Image; it lives as long as the window.
    void* CreateTexture(const QC_Image& image);

    QP_NativeWindow* NativeWindow() const { return window; }

private:
    QP_GuiWindow() = default;
    bool Initialise(const QP_GuiWindowDesc& desc);

    QP_NativeWindow* window = nullptr;
    void* glContext = nullptr;
    // What was current before: made current again when the window goes.
    void* previousWindow = nullptr;
    void* previousContext = nullptr;
    void* imguiContext = nullptr;
    bool sdlBackend = false;
    bool glBackend = false;
    std::vector<std::uint32_t> textures;
    // Frames still to draw: ImGui needs a few after an input to settle its state.
    std::uint32_t framesToDraw = 0;
};
