#include "LM1_CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr std::int32_t kMaxSide = 16384;
// A window smaller than this has no room for the workbench's overlay.
constexpr std::int32_t kMinWindowSide = 64;
constexpr std::int32_t kMaxFramesPerSecond = 1000;
// The widest constant-rate-factor scale of the video encoders (VP9's); H.264 stops at 51, which
// the encoder checks once it knows the container.
constexpr std::int32_t kMaxQuality = 63;

// Which modes an option belongs to.
enum ModeBit : unsigned
{
    kRender = 1u,
    kDev = 2u,
    kDemo = 4u,
    kEveryMode = kRender | kDev | kDemo,
};

struct OptionRule
{
    const char* name;
    bool takesValue;
    unsigned modes;
};

// Every option but --help, -h and --version, which end the parse at once.
constexpr OptionRule kOptions[] = {
    {"--render", true, kRender}, {"--dev", false, kDev},     {"--size", true, kRender | kDev},
    {"--fps", true, kRender},    {"--from", true, kRender},  {"--to", true, kRender},
    {"--quality", true, kRender}, {"--start", true, kDev},    {"--assets", true, kEveryMode},
    {"--preset", true, kRender},  {"--verbose", false, kEveryMode},
};

const OptionRule* FindOption(const std::string& name)
{
    for (const OptionRule& rule : kOptions)
        if (name == rule.name)
            return &rule;
    return nullptr;
}

// The whole text must be the number: "12x" and "" are refused.
bool ParseInt(const char* text, std::int32_t minimum, std::int32_t maximum, std::int32_t& value)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < minimum || parsed > maximum)
        return false;
    value = static_cast<std::int32_t>(parsed);
    return true;
}

bool ParseBeat(const char* text, float& value)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    const float parsed = std::strtof(text, &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(parsed) || parsed < 0.0f)
        return false;
    value = parsed;
    return true;
}

// "WxH" (or "WXH"), both sides whole numbers in range.
bool ParseSize(const char* text, std::int32_t minimum, std::int32_t& width, std::int32_t& height)
{
    const char* cross = std::strpbrk(text, "xX");
    if (!cross)
        return false;
    const std::string widthText(text, static_cast<std::size_t>(cross - text));
    return ParseInt(widthText.c_str(), minimum, kMaxSide, width) && ParseInt(cross + 1, minimum, kMaxSide, height);
}

bool Refuse(LM1_CommandLine& line, const std::string& why)
{
    line.error = why;
    return false;
}

// The mode the line names, before any value is read: --help and --version win, --render and
// --dev exclude each other.
bool FindMode(int argc, const char* const* argv, LM1_CommandLine& line)
{
    bool render = false;
    bool dev = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            line.mode = LM1_RunMode::Help;
            return true;
        }
        if (argument == "--version") {
            line.mode = LM1_RunMode::Version;
            return true;
        }
        const OptionRule* rule = FindOption(argument);
        render = render || argument == "--render";
        dev = dev || argument == "--dev";
        if (rule && rule->takesValue)
            ++i;
    }
    if (render && dev)
        return Refuse(line, "--render and --dev do not go together");
    line.mode = render ? LM1_RunMode::Render : dev ? LM1_RunMode::Dev : LM1_RunMode::Demo;
    return true;
}

bool ReadRenderValue(const std::string& option, const char* value, LM1_RenderOptions& render,
                     const char*& videoOnlyOption, LM1_CommandLine& line)
{
    if (option == "--render") {
        if (!*value)
            return Refuse(line, "--render needs a folder");
        render.folder = value;
    } else if (option == "--size") {
        if (!ParseSize(value, 1, render.width, render.height))
            return Refuse(line, std::string("--size takes WIDTHxHEIGHT, each 1 to 16384, not ") + value);
    } else if (option == "--fps") {
        if (!ParseInt(value, 1, kMaxFramesPerSecond, render.framesPerSecond))
            return Refuse(line, std::string("--fps takes a whole number from 1 to 1000, not ") + value);
    } else if (option == "--quality") {
        if (!ParseInt(value, 0, kMaxQuality, render.quality))
            return Refuse(line, std::string("--quality takes a whole number from 0 (lossless) to 63, not ") + value);
        videoOnlyOption = "--quality";
    } else if (option == "--preset") {
        if (!LM1_IsVideoPreset(value))
            return Refuse(line, std::string("--preset takes one of ") + LM1_VideoPresetNames() + ", not " + value);
        render.preset = value;
        videoOnlyOption = "--preset";
    } else if (option == "--from") {
        if (!ParseBeat(value, render.fromBeat))
            return Refuse(line, std::string("--from takes a beat of 0 or more, not ") + value);
    } else if (option == "--to") {
        if (!ParseBeat(value, render.toBeat))
            return Refuse(line, std::string("--to takes a beat of 0 or more, not ") + value);
        render.hasToBeat = true;
    }
    return true;
}

bool ReadDevValue(const std::string& option, const char* value, LM1_DevOptions& dev, LM1_CommandLine& line)
{
    if (option == "--size" && !ParseSize(value, kMinWindowSide, dev.width, dev.height))
        return Refuse(line, std::string("--size takes WIDTHxHEIGHT, each 64 to 16384, not ") + value);
    if (option == "--start" && !ParseBeat(value, dev.startBeat))
        return Refuse(line, std::string("--start takes a beat of 0 or more, not ") + value);
    return true;
}

// The options of every mode.
bool ReadCommonValue(const std::string& option, const char* value, LM1_CommandLine& line)
{
    if (option == "--verbose") {
        line.verbose = true;
    } else if (option == "--assets") {
        if (!*value)
            return Refuse(line, "--assets needs a folder");
        line.assetFolder = value;
    }
    return true;
}

const char* ModeOptionName(unsigned modes)
{
    return (modes & kRender) ? "--render DIR" : "--dev";
}
} // namespace

bool LM1_ParseCommandLine(int argc, const char* const* argv, LM1_CommandLine& line)
{
    line = LM1_CommandLine();
    if (!FindMode(argc, argv, line))
        return false;
    if (line.mode == LM1_RunMode::Help || line.mode == LM1_RunMode::Version)
        return true;
    const unsigned mode = line.mode == LM1_RunMode::Render ? kRender : line.mode == LM1_RunMode::Dev ? kDev : kDemo;
    // The last option given that only a video file takes.
    const char* videoOnlyOption = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const OptionRule* rule = FindOption(option);
        if (!rule)
            return Refuse(line, "unknown argument " + option);
        const char* value = nullptr;
        if (rule->takesValue) {
            if (i + 1 >= argc)
                return Refuse(line, option + " needs a value");
            value = argv[++i];
        }
        if (!(rule->modes & mode))
            return Refuse(line, option + " goes with " + ModeOptionName(rule->modes));
        if (rule->modes == kEveryMode) {
            if (!ReadCommonValue(option, value, line))
                return false;
            continue;
        }
        const bool read = mode == kRender ? ReadRenderValue(option, value, line.render, videoOnlyOption, line)
                                          : ReadDevValue(option, value, line.dev, line);
        if (!read)
            return false;
    }
    if (videoOnlyOption && !LM1_IsVideoOutput(line.render.folder))
        return Refuse(line, std::string(videoOnlyOption) + " goes with a video file (.mp4, .mkv or .webm)");
    if (line.render.hasToBeat && line.render.toBeat <= line.render.fromBeat)
        return Refuse(line, "--to must come after --from");
    line.render.assetFolder = line.dev.assetFolder = line.assetFolder;
    line.render.verbose = line.dev.verbose = line.verbose;
    return true;
}

const char* LM1_Usage()
{
    return "usage: velvet-cascade                  run the demo (launcher, window, music)\n"
           "       velvet-cascade --render DIR [--size WxH] [--fps N] [--from BEAT] [--to BEAT]\n"
           "                                       render frames to DIR/frame_NNNNNN.png and DIR/frames.tsv\n"
           "                                       without display or sound; defaults 1280x720, 60 fps,\n"
           "                                       from beat 0 until the demo ends\n"
           "       velvet-cascade --render FILE.mp4|FILE.mkv|FILE.webm [--size WxH] [--fps N] [--from BEAT]\n"
           "                      [--to BEAT] [--quality CRF] [--preset NAME]\n"
           "                                       render a video with the music: H.264 and AAC (MP4, MKV) or\n"
           "                                       VP9 and Opus (WebM); CRF 18 unless given, 0 lossless;\n"
           "                                       NAME the encoder's speed, fastest first: ultrafast\n"
           "                                       (the default), superfast, veryfast, faster, fast,\n"
           "                                       medium, slow, slower, veryslow\n"
           "       velvet-cascade --dev [--size WxH] [--start BEAT]\n"
           "                                       the workbench: a resizable window (1280x720), the music\n"
           "                                       and the timeline from BEAT (0), the assets watched and\n"
           "                                       reloaded when saved\n"
           "       every mode above also takes:\n"
           "         --assets DIR                  the demo's data (default: share/velvet-cascade/assets beside\n"
           "                                       the installed program, or the source tree's assets/)\n"
           "         --verbose                     information and debug lines on standard error too (or\n"
           "                                       VC_LOG=info or VC_LOG=debug in the environment)\n"
           "       velvet-cascade --help | -h      this text\n"
           "       velvet-cascade --version        the version\n";
}

const char* LM1_VersionText()
{
    return "velvet-cascade " VC_VERSION "\n";
}
