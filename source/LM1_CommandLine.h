#pragma once
// The demo's command line. Without arguments the demo runs as it always has (launcher, window,
// music). One mode takes arguments: rendering frames to PNG files without a display.
//
//   velvet-cascade --render DIR [--size WxH] [--fps N] [--from BEAT] [--to BEAT]
//
//   LM1_CommandLine line;
//   if (!LM1_ParseCommandLine(argc, argv, line)) { fputs(LM1_Usage(), stderr); return 2; }

#include <cstdint>
#include <string>

struct LM1_CommandLine
{
    // False: the live demo (no arguments).
    bool render = false;
    std::string folder;
    std::int32_t width = 1280;
    std::int32_t height = 720;
    std::int32_t framesPerSecond = 60;
    float fromBeat = 0.0f;
    // Without --to the frames go on until the timeline's run channel ends the demo.
    bool hasToBeat = false;
    float toBeat = 0.0f;
    // Why the line was refused (empty when it was accepted).
    std::string error;
};

// Fills line from the arguments. False, with line.error set, for an unknown option, a missing
// or malformed value, a value out of range (sizes 1-16384, 1-1000 frames per second, beats from
// 0 on and --to after --from) or options without --render.
bool LM1_ParseCommandLine(int argc, const char* const* argv, LM1_CommandLine& line);

// The usage text, one option a line.
const char* LM1_Usage();
