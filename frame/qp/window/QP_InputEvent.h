#pragma once
// Keyboard and window events for a workbench that is driven from the keyboard: like
// QP_PollWindowEvent, but a key press says which key, and a resized window its new size.
//
//   QP_SetWindowResizable(window, true);
//   for (QP_InputEvent event = QP_PollInputEvent(); event.type != QP_InputType::None; event = QP_PollInputEvent())
//       if (event.type == QP_InputType::Key && event.key == QP_Key::Space) ...
//
// Escape and closing a window still mean "quit". Key repeats of a held key arrive as presses.
// While a GUI overlay lives (QP_GuiOverlay), every event taken off the queue is handed to it too.
// Main thread only. Nothing outside frame/qp includes a platform header; this file includes
// none either.

#include "QP_Result.h"

#include <cstdint>

enum class QP_InputType
{
    None,    // no event was waiting
    Quit,    // Escape was pressed or a window was closed
    Key,     // a key was pressed (key, shift, ctrl)
    Resized, // the window's client area changed size (width, height)
    Other,   // some other event, handled
};

enum class QP_Key
{
    Other,
    Space,
    Left,
    Right,
    PageUp,
    PageDown,
    Home,
    L,
    F1,
    Tab,
    F,
    C,
    S,
    BracketLeft,
    BracketRight,
    Z,
    Y,
    Delete,
    Backspace,
};

struct QP_InputEvent
{
    QP_InputType type = QP_InputType::None;
    QP_Key key = QP_Key::Other;
    bool shift = false;
    bool ctrl = false;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Takes the next waiting event off the queue without blocking.
QP_InputEvent QP_PollInputEvent();
// Lets the user resize the window by its frame.
void QP_SetWindowResizable(QP_NativeWindow* window, bool resizable);
