// vc-artwork: draws the demo's own artwork, the launcher picture and the window icon, and writes
// them as PNG files. The pictures are pure functions of their pixel coordinates, so every run
// writes the same bytes; the files are committed under source/resources/ and compiled into the
// executable.
//
//   vc-artwork [FOLDER]      writes FOLDER/launcher.png (400 x 150) and FOLDER/icon.png (64 x 64);
//                            FOLDER defaults to source/resources
//
// The motif is velvet falling in a cascade: soft vertical folds whose phase drifts with the
// height, lit from the upper left, in deep plum to rose, with a sheen along each fold's crest.

#include "VC_ToolHelp.h"
#include <lodepng.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
struct Colour
{
    float r, g, b;
};

Colour Mix(const Colour& a, const Colour& b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

float Smooth(float edge0, float edge1, float x)
{
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// Height of the draped cloth at (u, v) in 0..1: folds across, drifting and widening as they
// fall, so the drape reads as a cascade rather than a set of stripes.
float Drape(float u, float v, float folds)
{
    const float drift = 0.35f * std::sin(v * 2.6f + u * 1.7f) + 0.12f * std::sin(v * 7.0f);
    const float phase = u * folds * 6.2831853f + drift * 6.0f + v * v * 2.5f;
    return 0.55f * std::sin(phase) + 0.3f * std::sin(phase * 0.5f + 1.3f + v * 3.0f) +
           0.15f * std::sin(phase * 2.1f - v * 5.0f);
}

// Shades one point: the slope of the drape against a light from the upper left, the palette
// from the shadow to the sheen, and a vignette.
Colour Shade(float u, float v, float folds, float aspect)
{
    const float step = 0.002f;
    const float height = Drape(u, v, folds);
    const float slopeU = (Drape(u + step, v, folds) - height) / step / (folds * 6.2831853f);
    const float slopeV = (Drape(u, v + step, folds) - height) / step / 6.0f;
    const float light = std::clamp(0.55f - 0.45f * slopeU * aspect - 0.25f * slopeV, 0.0f, 1.0f);

    const Colour shadow = {0.07f, 0.01f, 0.08f};
    const Colour plum = {0.33f, 0.04f, 0.27f};
    const Colour rose = {0.74f, 0.16f, 0.36f};
    const Colour sheen = {1.0f, 0.78f, 0.84f};
    Colour colour = Mix(shadow, plum, Smooth(0.0f, 0.45f, light));
    colour = Mix(colour, rose, Smooth(0.45f, 0.85f, light));
    // Velvet's pile catches light only at grazing angles: a thin sheen on the crests.
    const float crest = Smooth(0.72f, 0.98f, height * 0.5f + 0.5f) * Smooth(0.5f, 1.0f, light);
    colour = Mix(colour, sheen, 0.55f * crest);

    const float du = (u - 0.5f) * aspect, dv = v - 0.45f;
    const float vignette = 1.0f - 0.55f * Smooth(0.3f, 1.1f, std::sqrt(du * du + dv * dv) / std::max(aspect, 1.0f) * 1.4f);
    return {colour.r * vignette, colour.g * vignette, colour.b * vignette};
}

std::uint8_t Byte(float value)
{
    return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

// Four samples per pixel, so the fine folds do not alias.
std::vector<std::uint8_t> Draw(std::uint32_t width, std::uint32_t height, float folds, bool roundCorners)
{
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            Colour sum = {0, 0, 0};
            for (int sample = 0; sample < 4; ++sample) {
                const float u = (static_cast<float>(x) + 0.25f + 0.5f * static_cast<float>(sample & 1)) / static_cast<float>(width);
                const float v = (static_cast<float>(y) + 0.25f + 0.5f * static_cast<float>(sample >> 1)) / static_cast<float>(height);
                const Colour c = Shade(u, v, folds, aspect);
                sum = {sum.r + c.r * 0.25f, sum.g + c.g * 0.25f, sum.b + c.b * 0.25f};
            }
            float alpha = 1.0f;
            if (roundCorners) {
                // A rounded square: alpha falls off over one pixel at the edge of the rounding.
                const float radius = static_cast<float>(width) * 0.18f;
                const float cx = std::clamp(static_cast<float>(x) + 0.5f, radius, static_cast<float>(width) - radius);
                const float cy = std::clamp(static_cast<float>(y) + 0.5f, radius, static_cast<float>(height) - radius);
                const float dx = static_cast<float>(x) + 0.5f - cx, dy = static_cast<float>(y) + 0.5f - cy;
                alpha = std::clamp(radius - std::sqrt(dx * dx + dy * dy) + 0.5f, 0.0f, 1.0f);
            }
            std::uint8_t* pixel = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
            pixel[0] = Byte(sum.r);
            pixel[1] = Byte(sum.g);
            pixel[2] = Byte(sum.b);
            pixel[3] = Byte(alpha);
        }
    }
    return rgba;
}

bool Write(const std::string& path, const std::vector<std::uint8_t>& rgba, std::uint32_t width, std::uint32_t height)
{
    const unsigned error = lodepng::encode(path, rgba, width, height);
    if (error != 0) {
        std::fprintf(stderr, "vc-artwork: cannot write %s: %s\n", path.c_str(), lodepng_error_text(error));
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}
} // namespace

constexpr const char* kUsage = "usage: vc-artwork [FOLDER]\nDraws the launcher's banner (launcher.png) and the program's icon (icon.png) into FOLDER\n(default: source/resources).\n";

int main(int argc, char** argv)
{
    std::string folder;
    if (const int exitCode = VC_ReadOutputFolder(argc, argv, kUsage, "source/resources", folder); exitCode >= 0)
        return exitCode;
    const bool launcher = Write(folder + "/launcher.png", Draw(400, 150, 5.0f, false), 400, 150);
    const bool icon = Write(folder + "/icon.png", Draw(64, 64, 2.0f, true), 64, 64);
    return launcher && icon ? 0 : 1;
}
