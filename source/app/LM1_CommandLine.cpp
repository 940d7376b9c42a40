#include "LM1_CommandLine.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr std::int32_t kMaxSide = 16384;
constexpr std::int32_t kMaxFramesPerSecond = 1000;
// The widest constant-rate-factor scale of the video encoders (VP9's); H.264 stops at 51, which
// the encoder checks once it knows the container.
constexpr std::int32_t kMaxQuality = 63;

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

// "WxH", both sides in range.
bool ParseSize(const char* text, std::int32_t& width, std::int32_t& height)
{
    if (!text)
        return false;
    const char* cross = std::strchr(text, 'x');
    if (!cross)
        return false;
    const std::string widthText(text, static_cast<std::size_t>(cross - text));
    return ParseInt(widthText.c_str(), 1, kMaxSide, width) && ParseInt(cross + 1, 1, kMaxSide, height);
}

bool Refuse(LM1_CommandLine& line, const std::string& why)
{
    line.error = why;
    return false;
}
} // namespace

bool LM1_ParseCommandLine(int argc, const char* const* argv, LM1_CommandLine& line)
{
    line = LM1_CommandLine();
    bool sawOption = false;
    bool sawQuality = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (option != "--render" && option != "--size" && option != "--fps" && option != "--from" && option != "--to" &&
            option != "--quality")
            return Refuse(line, "unknown argument " + option);
        if (!value)
            return Refuse(line, option + " needs a value");
        ++i;
        sawOption = true;
        if (option == "--render") {
            if (!*value)
                return Refuse(line, "--render needs a folder");
            line.render = true;
            line.folder = value;
        } else if (option == "--size") {
            if (!ParseSize(value, line.width, line.height))
                return Refuse(line, std::string("--size takes WIDTHxHEIGHT, each 1 to 16384, not ") + value);
        } else if (option == "--fps") {
            if (!ParseInt(value, 1, kMaxFramesPerSecond, line.framesPerSecond))
                return Refuse(line, std::string("--fps takes a whole number from 1 to 1000, not ") + value);
        } else if (option == "--quality") {
            if (!ParseInt(value, 0, kMaxQuality, line.quality))
                return Refuse(line, std::string("--quality takes a whole number from 0 (lossless) to 63, not ") + value);
            sawQuality = true;
        } else if (option == "--from") {
            if (!ParseBeat(value, line.fromBeat))
                return Refuse(line, std::string("--from takes a beat of 0 or more, not ") + value);
        } else {
            if (!ParseBeat(value, line.toBeat))
                return Refuse(line, std::string("--to takes a beat of 0 or more, not ") + value);
            line.hasToBeat = true;
        }
    }
    if (sawOption && !line.render)
        return Refuse(line, "the options go with --render DIR");
    if (sawQuality && !LM1_IsVideoOutput(line.folder))
        return Refuse(line, "--quality goes with a video file (.mp4, .mkv or .webm)");
    if (line.hasToBeat && line.toBeat <= line.fromBeat)
        return Refuse(line, "--to must come after --from");
    return true;
}

bool LM1_IsVideoOutput(const std::string& output)
{
    const std::size_t dot = output.find_last_of("./");
    if (dot == std::string::npos || output[dot] != '.')
        return false;
    std::string extension = output.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".mp4" || extension == ".mkv" || extension == ".webm";
}

const char* LM1_Usage()
{
    return "usage: velvet-cascade                  run the demo (launcher, window, music)\n"
           "       velvet-cascade --render DIR [--size WxH] [--fps N] [--from BEAT] [--to BEAT]\n"
           "                                       render frames to DIR/frame_NNNNNN.png and DIR/frames.tsv\n"
           "                                       without display or sound; defaults 1280x720, 60 fps,\n"
           "                                       from beat 0 until the demo ends\n"
           "       velvet-cascade --render FILE.mp4|FILE.mkv|FILE.webm [--size WxH] [--fps N] [--from BEAT]\n"
           "                      [--to BEAT] [--quality CRF]\n"
           "                                       render a video with the music: H.264 and AAC (MP4, MKV) or\n"
           "                                       VP9 and Opus (WebM); CRF 18 unless given, 0 lossless\n";
}
