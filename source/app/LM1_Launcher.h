#pragma once
// The launcher: a small window where the viewer picks the display mode, full screen and
// vertical sync before the demo starts. It runs before the main window exists; only the log and
// the renderer are up while it is shown.
//
//   QR_DisplayModeList modes;  QR_GetRenderer()->GetDisplayModes(modes);
//   QC_Ptr<QR_DisplayMode> mode;  bool windowed = false, vsync = true;
//   if (!LM1_RunLauncher(modes, &mode, &windowed, &vsync))
//       ...;                                  // declined: Escape, the close box or "Exit"
//
// The window (400 x 300, centred, captioned "LM: Velvet Cascade") shows the launcher picture at
// the top and five controls: the "Resolution" list of the modes with the last one chosen,
// "Fullscreen" and "Vsync", both ticked, and the buttons "Run demo!" (which has the keyboard
// focus: Enter runs the demo) and "Exit". Without any display mode "Run demo!" is disabled.

#include "QC_Ptr.h"
#include "QC_String.h"
#include "QR_Renderer.h"

// Room for "4294967295 x 4294967295 @ 4294967295 Hz" and its NUL.
using LM1_ModeText = QC_StaticString<64>;

// The list text of a mode: width, " x ", height, " @ ", refresh rate, " Hz".
LM1_ModeText LM1_FormatDisplayMode(const QR_DisplayMode& mode);

// Shows the launcher until the user decides. Returns true when "Run demo!" was chosen. The
// outputs are written in every case: the mode chosen in the list (with a reference; null when
// the list is empty), windowed (the inverse of "Fullscreen") and vsync. A launcher window that
// cannot be made is fatal.
bool LM1_RunLauncher(QR_DisplayModeList modes, QC_Ptr<QR_DisplayMode>* mode, bool* windowed, bool* vsync);
