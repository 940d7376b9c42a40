#pragma once
// The demo's command line, one parser for every mode. Without arguments the demo runs as it
// always has (launcher, window, music); the other modes:
//
//   velvet-cascade --render DIR|FILE [--size WxH] [--fps N] [--from BEAT] [--to BEAT] [--quality CRF]
//                                   [--preset NAME]
//   velvet-cascade --dev [--size WxH] [--start BEAT]
//   velvet-cascade --help | -h        the usage of every mode, on standard output
//   velvet-cascade --version
//
// Every mode but --help and --version also takes --assets DIR (the demo's data) and --verbose
// (information and debug lines on standard error).
//
//   LM1_CommandLine line;
//   if (!LM1_ParseCommandLine(argc, argv, line)) { print line.error and LM1_Usage() on stderr; exit 2 }
//
// Options come in any order, each value as the next argument. The modes own their options
// (LM1_RenderOptions, LM1_DevOptions); the line only fills them.

#include "LM1_DevMode.h"
#include "LM1_RenderOptions.h"

#include <string>

enum class LM1_RunMode
{
    Demo,
    Render,
    Dev,
    Help,
    Version,
};

struct LM1_CommandLine
{
    LM1_RunMode mode = LM1_RunMode::Demo;
    LM1_RenderOptions render;
    LM1_DevOptions dev;
    // --assets and --verbose, for whichever mode runs; the render and dev options carry copies.
    std::string assetFolder;
    bool verbose = false;
    // Why the line was refused (empty when it was accepted).
    std::string error;
};

// Fills line from the arguments. --help or --version anywhere wins over the rest. False, with
// line.error set, for an unknown option, a missing or malformed value, a value out of range
// (render sizes 1-16384 and window sizes 64-16384, 1-1000 frames per second, beats from 0 on and
// --to after --from, a quality of 0-63), an option of another mode than the one named, --render
// together with --dev, a --preset the encoder does not have, or --quality or --preset without a
// video file.
bool LM1_ParseCommandLine(int argc, const char* const* argv, LM1_CommandLine& line);

// The usage text of every mode, one option a line.
const char* LM1_Usage();

// "velvet-cascade VERSION\n".
const char* LM1_VersionText();
