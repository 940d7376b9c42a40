#pragma once
// Process-level services of the platform: debugger output, the fatal message box, ending the
// process, thread ids and whether a display exists. Used by the log (output, message box), by
// the core's threads and mutexes and the audio layer (thread ids), and by the demo's entry points
// (ending the process).
// Tier 1 of frame/qp (see README.md): the core includes it, so it includes no frame/qc header,
// and no platform header either.

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
