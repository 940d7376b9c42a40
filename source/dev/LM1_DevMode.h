#pragma once
// The demo maker's workbench: velvet-cascade --dev [--size WxH] [--start BEAT]. No launcher: a
// resizable window (1280 x 720 unless --size says otherwise), the asset folder watched (hot
// reload on, failed loads not fatal: the last good asset stays and the failure is shown), shader
// compiles in a helper process (a crash of the compile chain costs only that compile), the music
// reloading with its file, and the transport and overlay of LM1_DevSession on the keyboard.
//
//   return LM1_RunDevMode(options);    // after the command line has filled options
//
// Exit codes: 0 after Escape or closing the window, 1 without a display or without the demo's
// data, 3 for a fatal error.

#include <cstdint>
#include <string>

// The workbench's own options; the command line (source/app) fills them.
struct LM1_DevOptions
{
    std::int32_t width = 1280;
    std::int32_t height = 720;
    float startBeat = 0.0f;
    // The folder --assets named (empty: LM1_FindAssetFolder's search); information and debug
    // lines on standard error (--verbose).
    std::string assetFolder;
    bool verbose = false;
};

int LM1_RunDevMode(const LM1_DevOptions& options);
