#pragma once
// The demo's main window and the event pump of the program's windows. The window is made by
// QP_CreateOutputWindow (so a swap chain can present into it); these operations place it, give
// it its icon, show it, and read the events of every window of the program.
//
//   if (!QP_DisplayAvailable()) ...;                      // before any window
//   QP_NativeWindow* window = QP_CreateOutputWindow("LM: Velvet Cascade", 1280, 720, false);
//   QP_CentreWindow(window, 1280, 720);                    // windowed only
//   QP_SetWindowIcon(window, *icon);
//   ... swap chain ...;  QP_ShowWindow(window, windowed);  // cursor visible in a window only
//   for (;;) { QP_WindowEvent event = QP_PollWindowEvent(); ... }
//
// Escape and closing a window (its close box, or the window manager's close) both mean "quit":
// they are the only ways a user ends the demo. Main thread only.

#include "QP_Result.h"

#include <cstdint>

class QC_Image;

enum class QP_WindowEvent
{
    None,  // no event was waiting
    Quit,  // Escape was pressed or a window was closed
    Other, // some other event, handled
};

// True when a window system is named and can be opened (an X server that answers).
bool QP_DisplayAvailable();
// The size of the primary screen in pixels; false (and zeros) when it cannot be read.
bool QP_GetScreenSize(std::uint32_t* width, std::uint32_t* height);
// Places the window so its outer rectangle sits in the middle of the primary screen: x = screen
// width / 2 - width / 2 and y likewise, each half rounded down.
void QP_CentreWindow(QP_NativeWindow* window, std::uint32_t width, std::uint32_t height);
// Places the window's top-left corner at (x, y) on the screen.
void QP_MoveWindow(QP_NativeWindow* window, std::int32_t x, std::int32_t y);
// Sets the icon that the window manager shows for the window.
void QP_SetWindowIcon(QP_NativeWindow* window, const QC_Image& icon);
// Maps the window, raises it and gives it the keyboard focus; the mouse cursor is shown over
// the program's windows only when showCursor is set.
void QP_ShowWindow(QP_NativeWindow* window, bool showCursor);
// The window's client area and its position on the screen, in pixels.
void QP_GetWindowRect(QP_NativeWindow* window, std::int32_t* x, std::int32_t* y, std::uint32_t* width,
                      std::uint32_t* height);
// Takes the next waiting event off the queue without blocking.
QP_WindowEvent QP_PollWindowEvent();
