#pragma once
// The demo's command line. Without arguments the demo runs as it always has (launcher, window,
// music). One mode takes arguments: rendering frames without a display, to PNG files in a
// folder or, when the name ends in .mp4, .mkv or .webm, to a video file with the music.
//
//   velvet-cascade --render DIR|FILE [--size WxH] [--fps N] [--from BEAT] [--to BEAT] [--quality CRF]
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
    // The video's constant rate factor (0 lossless); only with a video file.
    std::int32_t quality = 18;
    // Why the line was refused (empty when it was accepted).
    std::string error;
};

// True when the --render output names a video file (.mp4, .mkv or .webm, in any case) rather
// than a folder.
bool LM1_IsVideoOutput(const std::string& output);

// Fills line from the arguments. False, with line.error set, for an unknown option, a missing
// or malformed value, a value out of range (sizes 1-16384, 1-1000 frames per second, beats from
// 0 on and --to after --from, a quality of 0-63) or options without --render, or --quality
// without a video file.
bool LM1_ParseCommandLine(int argc, const char* const* argv, LM1_CommandLine& line);

// The usage text, one option a line.
const char* LM1_Usage();
