#include "LM1_DevOverlay.h"

#include "LM1_DevTimeline.h"
#include "QU_Font.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace
{
constexpr float kMargin = 8.0f;
constexpr float kPadding = 6.0f;
constexpr QR_Colour kTextColour = {235, 235, 235, 255};
constexpr QR_Colour kErrorTextColour = {255, 230, 230, 255};

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...)
{
    char line[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof(line), format, arguments);
    va_end(arguments);
    return line;
}

std::uint32_t LineCount(const std::string& text)
{
    std::uint32_t lines = text.empty() ? 0 : 1;
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        lines += text[i] == '\n';
    return lines;
}

// The first lines of text that fit in height at lineHeight each.
std::string FirstLines(const std::string& text, float lineHeight, float height)
{
    const float fitting = std::floor(height / lineHeight);
    if (fitting < 1.0f)
        return std::string();
    std::uint32_t left = static_cast<std::uint32_t>(fitting);
    std::size_t end = 0;
    while (end < text.size() && left > 0) {
        const std::size_t feed = text.find('\n', end);
        end = feed == std::string::npos ? text.size() : feed + 1;
        --left;
    }
    return text.substr(0, end);
}

// The widest line in pixels, measured as the canvas's pen would advance.
float WidestLine(QU_Font* font, const std::string& text)
{
    float widest = 0.0f;
    float pen = 0.0f;
    for (unsigned char c : text) {
        if (c == '\n') {
            widest = std::fmax(widest, pen);
            pen = 0.0f;
            continue;
        }
        if (c >= 0x80)
            continue; // the texts here are ASCII but for paths; their bytes are measured loosely
        if (const QU_FontGlyph* glyph = font->GetGlyph(c))
            pen += glyph->advance;
    }
    return std::fmax(widest, pen);
}
} // namespace

void LM1_DevOverlay::CountAssets(const std::vector<QC_Ptr<QD_Asset>>& assets, LM1_DevStatistics& statistics)
{
    statistics.assetsLoading = 0;
    statistics.assetsReloaded = 0;
    statistics.assetsFailed = 0;
    for (const QC_Ptr<QD_Asset>& asset : assets) {
        statistics.assetsLoading += asset->IsLoading() || asset->GetPendingReloads() != 0;
        statistics.assetsReloaded += asset->GetReloadsDone();
        statistics.assetsFailed += asset->HasLoadError();
    }
}

std::string LM1_DevOverlay::StatisticsText(const LM1_DevStatistics& s)
{
    const float beat = s.beat > 0.0f ? s.beat : 0.0f;
    const int bar = static_cast<int>(beat / 4.0f) + 1;
    const int beatInBar = static_cast<int>(std::fmod(beat, 4.0f)) + 1;
    std::string text = Format("beat %.2f   bar %d.%d\n", static_cast<double>(beat), bar, beatInBar);
    if (s.musicStarted)
        text += Format("scene %s (%d)   fade %.2f\n", LM1_SceneName(s.scene).c_str(), s.scene, static_cast<double>(s.fade));
    else
        text += "loading...\n";
    text += Format("%d fps   %d triangles   %.2f ms CPU\n", s.framesPerSecond, s.triangles, s.cpuMilliseconds);
    text += Format("assets: %u loading, %u reloaded, %u failed\n", s.assetsLoading, s.assetsReloaded, s.assetsFailed);
    std::string transport = s.paused ? "paused" : "playing";
    if (s.slowdown > 1)
        transport += Format(" at 1/%d speed", s.slowdown);
    if (s.looping)
        transport += Format("   loop %.2f - %.2f", static_cast<double>(s.loopStart), static_cast<double>(s.loopEnd));
    text += transport + "\n";
    return text;
}

std::string LM1_DevOverlay::ErrorText(const std::vector<QC_Ptr<QD_Asset>>& assets)
{
    std::string text;
    for (const QC_Ptr<QD_Asset>& asset : assets) {
        if (!asset->HasLoadError())
            continue;
        text += asset->GetPath().CStr();
        text += ":\n";
        const std::string lines = asset->GetLoadError().CStr();
        std::size_t start = 0;
        while (start < lines.size()) {
            std::size_t feed = lines.find('\n', start);
            if (feed == std::string::npos)
                feed = lines.size();
            text += "  " + lines.substr(start, feed - start) + "\n";
            start = feed + 1;
        }
    }
    return text;
}

void LM1_DevOverlay::Draw(QU_Font* font, std::uint32_t width, std::uint32_t height, const std::string& statistics,
                          const std::string& errors)
{
    if (!font || !font->IsLoaded() || width == 0 || height == 0 || (statistics.empty() && errors.empty()))
        return;
    const float lineHeight = std::ceil(font->LineHeight());
    const float pictureWidth = static_cast<float>(width);
    const float pictureHeight = static_cast<float>(height);
    canvas.Begin(width, height);
    float statisticsBottom = 0.0f;
    if (!statistics.empty()) {
        const std::string shown = FirstLines(statistics, lineHeight, pictureHeight - 2.0f * (kMargin + kPadding));
        const float panelHeight = static_cast<float>(LineCount(shown)) * lineHeight + 2.0f * kPadding;
        const float panelWidth = WidestLine(font, shown) + 2.0f * kPadding;
        canvas.DrawRectangle(kMargin, kMargin, panelWidth, panelHeight, PanelColour);
        canvas.DrawText(font, shown.c_str(), kMargin + kPadding, kMargin + kPadding, kTextColour);
        statisticsBottom = kMargin + panelHeight;
    }
    if (!errors.empty()) {
        // Below the statistics, anchored to the bottom of the picture.
        const float room = pictureHeight - statisticsBottom - 2.0f * (kMargin + kPadding);
        const std::string shown = FirstLines(errors, lineHeight, room);
        if (!shown.empty()) {
            const float areaHeight = static_cast<float>(LineCount(shown)) * lineHeight + 2.0f * kPadding;
            const float top = pictureHeight - kMargin - areaHeight;
            canvas.DrawRectangle(kMargin, top, pictureWidth - 2.0f * kMargin, areaHeight, ErrorColour);
            canvas.DrawText(font, shown.c_str(), kMargin + kPadding, top + kPadding, kErrorTextColour);
        }
    }
    canvas.End();
}
