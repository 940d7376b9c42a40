#pragma once
// Dear ImGui drawn over a picture that the graphics device has composed: the workbench's panels.
// The overlay owns ImGui's context and its SDL2 and OpenGL3 backends, on the GL context that is
// current when it is made (the device's); its user calls ImGui's widget and draw-list functions
// between BeginFrame and EndFrame and nothing else of ImGui, so nothing above frame/qp learns
// of GL or SDL.
//
//   QP_GuiOverlay* gui = QP_GuiOverlay::Create(window);   // after the swap chain, window or null
//   gui->BeginFrame(width, height);                       // each frame it is shown
//   ImGui::Begin(...); ... ImGui::End();
//   gui->EndFrame();                                      // onto the framebuffer bound now
//   delete gui;                                           // before the device goes
//
// While an overlay with a window lives, QP_PollInputEvent hands it every event (pointer, wheel,
// keys, text), so a frame's widgets see the input that came since the last one. Without a window
// (headless tests, benchmarks) it takes no input and draws at the size BeginFrame names. No file
// is written (ImGui's settings and log files are off). Main thread only; one overlay at a time.

#include "QP_Result.h"

#include <cstdint>

class QP_GuiOverlay
{
public:
    // Null with a log line when ImGui cannot start on the current GL context.
    static QP_GuiOverlay* Create(QP_NativeWindow* window);
    ~QP_GuiOverlay();
    QP_GuiOverlay(const QP_GuiOverlay&) = delete;
    QP_GuiOverlay& operator=(const QP_GuiOverlay&) = delete;

    // The overlay that QP_PollInputEvent feeds, or null.
    static QP_GuiOverlay* Current();
    // Hands one of the platform's events to the GUI (QP_PollInputEvent does it).
    void HandleEvent(const void* platformEvent);

    // Starts a GUI frame over a picture of width x height pixels.
    void BeginFrame(std::uint32_t width, std::uint32_t height);
    // Draws the frame's widgets onto the framebuffer bound now, leaving the GL state as found.
    void EndFrame();

    // True while a widget takes the keyboard (a text field being typed in): keys then belong to
    // it, not to the workbench's shortcuts.
    bool WantsKeyboard() const;
    // True while the pointer is over a GUI window or dragging from one.
    bool WantsPointer() const;

private:
    QP_GuiOverlay() = default;
    bool Initialise(QP_NativeWindow* window);

    QP_NativeWindow* window = nullptr;
    void* imguiContext = nullptr;
    bool sdlBackend = false;
    bool glBackend = false;
    std::uint64_t lastFrameCounter = 0;
};
