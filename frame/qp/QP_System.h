#pragma once
// Process-level services of the platform: debugger output, the fatal message box, ending the
// process and thread ids. The log is their only user above this layer.
// Nothing outside frame/qp includes a platform header; this file includes none either.

#include <cstdint>

// Writes one finished log line where a developer watches for it (standard error).
void QP_WriteDebugOutput(const char* line);

// Shows a modal message box with one OK button when a display is available; otherwise does
// nothing. Returns once the user has closed it.
void QP_ShowFatalMessageBox(const char* caption, const char* text);

// Flushes the C streams and ends the process at once with the given exit code.
[[noreturn]] void QP_ExitProcess(int exitCode);

// The kernel's id of the calling thread (as shown by ps and debuggers).
std::uint32_t QP_GetCurrentThreadId();

// True when a window system can be reached (an X11 or Wayland display is named).
bool QP_HasDisplay();
