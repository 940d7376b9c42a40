#pragma once
// The demo maker's workbench: velvet-cascade --dev [--size WxH] [--start BEAT]. No launcher: a
// resizable window (1280 x 720 unless --size says otherwise), the asset folder watched (hot
// reload on, failed loads not fatal: the last good asset stays and the failure is shown), shader
// compiles in a helper process (a crash of the compile chain costs only that compile), the music
// reloading with its file, and the transport and overlay of LM1_DevSession on the keyboard.
//
//   if (LM1_IsDevCommandLine(argc, argv)) return LM1_RunDevMode(argc, argv);
//
// Exit codes: 0 after Escape or closing the window, 1 without a display, 2 for a wrong command
// line, 3 for a fatal error.

#include <cstdint>
#include <string>

struct LM1_DevOptions
{
    std::int32_t width = 1280;
    std::int32_t height = 720;
    float startBeat = 0.0f;
    // Why the line was refused (empty when it was accepted).
    std::string error;
};

// True when the first argument is --dev.
bool LM1_IsDevCommandLine(int argc, const char* const* argv);
// Fills options from "--dev [--size WxH] [--start BEAT]". False, with options.error set, for an
// unknown option, a missing or malformed value, a size outside 64-16384 or a negative start.
bool LM1_ParseDevCommandLine(int argc, const char* const* argv, LM1_DevOptions& options);
const char* LM1_DevUsage();

int LM1_RunDevMode(int argc, const char* const* argv);
