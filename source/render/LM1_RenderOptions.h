#pragma once
// What an offline render is asked to make: the output, the picture size, the frame rate, the
// beats and, for a video, its quality. The command line fills it (source/app); the renderer
// and its sinks only read it.

#include <cstdint>
#include <string>

struct LM1_RenderOptions
{
    // A folder of PNG frames, or a video file when the name ends in .mp4, .mkv or .webm.
    std::string folder;
    std::int32_t width = 1280;
    std::int32_t height = 720;
    std::int32_t framesPerSecond = 60;
    float fromBeat = 0.0f;
    // Without a last beat the frames go on until the timeline's run channel ends the demo.
    bool hasToBeat = false;
    float toBeat = 0.0f;
    // The video's constant rate factor (0 lossless); only with a video file.
    std::int32_t quality = 18;
    // The encoder's speed preset (LM1_VideoPresetNames); empty: LM1_DefaultVideoPreset. Only
    // with a video file.
    std::string preset;
    // The folder --assets named (empty: LM1_FindAssetFolder's search); information and debug
    // lines on standard error (--verbose).
    std::string assetFolder;
    bool verbose = false;
};

// True when the output names a video file (.mp4, .mkv or .webm, in any case) rather than a
// folder.
bool LM1_IsVideoOutput(const std::string& output);

// The video encoder's speed presets, fastest first, as one line ("ultrafast, superfast, ...").
const char* LM1_VideoPresetNames();
// The preset a capture gets when --preset is not given.
const char* LM1_DefaultVideoPreset();
bool LM1_IsVideoPreset(const std::string& name);
