#include "LM1_RenderProgress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{
// A terminal is redrawn at most this often: drawing every frame of a fast render would cost
// more than the frames.
constexpr double kRedrawSeconds = 0.2;
constexpr int kMinBarCells = 10;
constexpr int kMaxBarCells = 40;

double FramesPerSecond(std::int64_t framesDone, double elapsedSeconds)
{
    return elapsedSeconds > 0.0 ? static_cast<double>(framesDone) / elapsedSeconds : 0.0;
}

// Seconds until total at the rate so far; negative when it cannot be known yet.
double SecondsLeft(std::int64_t framesDone, std::int64_t total, double elapsedSeconds)
{
    const double rate = FramesPerSecond(framesDone, elapsedSeconds);
    if (total <= 0 || rate <= 0.0)
        return -1.0;
    return static_cast<double>(std::max<std::int64_t>(0, total - framesDone)) / rate;
}
} // namespace

LM1_RenderProgress::LM1_RenderProgress(std::int64_t totalFrames, bool isTerminal, int terminalColumns)
    : total(totalFrames), terminal(isTerminal), columns(terminalColumns)
{
}

std::string LM1_RenderProgress::Clock(double seconds)
{
    if (!(seconds >= 0.0) || seconds > 359999.0)
        return "--:--";
    const auto whole = static_cast<long long>(std::llround(seconds));
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof(text), "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof(text), "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

std::string LM1_RenderProgress::Bar(std::int64_t framesDone, double elapsedSeconds) const
{
    char numbers[128];
    const double rate = FramesPerSecond(framesDone, elapsedSeconds);
    const std::string left = Clock(SecondsLeft(framesDone, total, elapsedSeconds));
    if (total > 0)
        std::snprintf(numbers, sizeof(numbers), " %lld/%lld frames, %.1f fps, %s left", static_cast<long long>(framesDone),
                      static_cast<long long>(total), rate, left.c_str());
    else
        std::snprintf(numbers, sizeof(numbers), " %lld frames, %.1f fps", static_cast<long long>(framesDone), rate);
    // The bar takes what the numbers leave of the line, within limits, so it never wraps.
    const int room = columns - static_cast<int>(std::string(numbers).size()) - 3;
    const int cells = std::clamp(room, kMinBarCells, kMaxBarCells);
    const double share = total > 0 ? std::clamp(static_cast<double>(framesDone) / static_cast<double>(total), 0.0, 1.0) : 0.0;
    const int filled = static_cast<int>(share * cells);
    return "[" + std::string(static_cast<std::size_t>(filled), '#') + std::string(static_cast<std::size_t>(cells - filled), '.') +
           "]" + numbers;
}

std::string LM1_RenderProgress::Line(std::int64_t framesDone, double elapsedSeconds) const
{
    char text[160];
    const double rate = FramesPerSecond(framesDone, elapsedSeconds);
    const std::string left = Clock(SecondsLeft(framesDone, total, elapsedSeconds));
    const long long percent = total > 0 ? std::min<long long>(100, framesDone * 100 / total) : 0;
    std::snprintf(text, sizeof(text), "velvet-cascade: %lld%% (%lld/%lld frames), %.1f fps, %s left", percent,
                  static_cast<long long>(framesDone), static_cast<long long>(total), rate, left.c_str());
    return text;
}

std::string LM1_RenderProgress::Text(std::int64_t framesDone, double elapsedSeconds)
{
    if (terminal) {
        const bool last = total > 0 && framesDone >= total;
        if (lastDrawn >= 0.0 && elapsedSeconds - lastDrawn < kRedrawSeconds && !last)
            return "";
        lastDrawn = elapsedSeconds;
        return Bar(framesDone, elapsedSeconds);
    }
    // Without a known total there are no tenths: the summary at the end says what was done.
    if (total <= 0)
        return "";
    const auto tenths = static_cast<std::int32_t>(std::min<std::int64_t>(10, framesDone * 10 / total));
    if (tenths <= tenthsReported)
        return "";
    tenthsReported = tenths;
    return Line(framesDone, elapsedSeconds);
}

void LM1_RenderProgress::Update(std::int64_t framesDone, double elapsedSeconds)
{
    const std::string text = Text(framesDone, elapsedSeconds);
    if (text.empty())
        return;
    if (terminal) {
        // Clear to the end of the line: the new text may be shorter than the last.
        std::fprintf(stderr, "\r%s\x1b[K", text.c_str());
        drewBar = true;
    } else {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    std::fflush(stderr);
}

void LM1_RenderProgress::End()
{
    if (drewBar)
        std::fputc('\n', stderr);
    drewBar = false;
}
