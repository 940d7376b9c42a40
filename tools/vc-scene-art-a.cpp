// vc-scene-art-a: draws the textures of scenes o2 to o12 and writes them as PNG files. Every
// picture is a pure function of its pixel coordinates (VC_Art's seeded noise), so each run writes
// the same bytes; the files are committed under assets/.
//
//   vc-scene-art-a [FOLDER]     FOLDER defaults to assets
//
// Textures that a scene repeats (wrapped samplers, tiled panels) tile seamlessly: their noise
// is drawn with a period that divides the picture.

#include "VC_ToolHelp.h"
#include "art/VC_Art.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace
{
constexpr float PI = 3.14159265f;
constexpr float TAU = 6.28318531f;

float Fract(float x) { return x - std::floor(x); }

VC_Colour WithAlpha(VC_Colour c, float a)
{
    c.a = std::clamp(a, 0.0f, 1.0f);
    return c;
}

// Crushed velvet: a fine pile whose light changes in soft patches, for o2's warped cloth.
VC_Colour Velvet(float u, float v)
{
    const float pile = VC_Fbm(u * 8.0f, v * 8.0f, 5, 11, 8);
    const float crush = VC_Fbm(u * 4.0f + 0.3f, v * 4.0f, 4, 23, 4);
    const float sheen = VC_Smooth(0.45f, 0.8f, crush);
    VC_Colour c = VC_Mix(VC_Wine, VC_Velvet, pile);
    c = VC_Mix(c, VC_Magenta, sheen * 0.55f);
    return VC_Add(VC_Scale(c, 0.7f + 0.6f * pile), VC_Scale(VC_Gold, std::pow(sheen, 4.0f) * 0.35f));
}

// A stage curtain in deep folds, lit from below by a gold footlight.
VC_Colour StageCurtain(float u, float v)
{
    const float wobble = VC_Fbm(u * 3.0f, v * 2.0f, 4, 31) * 2.0f;
    const float fold = 0.5f + 0.5f * std::sin(u * TAU * 13.0f + wobble + v * 1.5f);
    const float crest = std::pow(fold, 6.0f);
    VC_Colour c = VC_Mix(VC_Shadow, VC_Velvet, 0.25f + 0.75f * fold);
    // The swag at the top: a band that dips between tie points.
    const float swag = 0.16f + 0.06f * std::fabs(std::sin(u * PI * 3.0f));
    const float inSwag = 1.0f - VC_Smooth(swag - 0.02f, swag + 0.02f, v);
    c = VC_Mix(c, VC_Scale(VC_Wine, 0.8f + 0.5f * fold), inSwag);
    const float tassel = VC_Smooth(0.02f, 0.0f, std::fabs(v - swag)) * 0.8f;
    c = VC_Add(c, VC_Scale(VC_Gold, tassel));
    // Footlight: warm light rising from the bottom centre.
    const float dx = (u - 0.5f) * 1.6f;
    const float dy = 1.0f - v;
    const float light = std::exp(-(dx * dx * 3.0f + dy * dy * 5.0f));
    c = VC_Add(VC_Scale(c, 0.55f + 0.9f * light), VC_Scale(VC_Gold, crest * light * 0.8f));
    return c;
}

// Cloth pouring down from the upper left in layered sheets, light breaking through.
VC_Colour Cascade(float u, float v)
{
    VC_Colour c = VC_Mix(VC_Shadow, VC_Plum, v * 0.6f);
    for (int layer = 0; layer < 5; ++layer) {
        const float l = static_cast<float>(layer);
        const float edge = 0.15f + l * 0.16f + 0.12f * std::sin(u * (4.0f + l) + l * 1.7f) +
                           0.25f * (u - 0.5f) + 0.05f * VC_Fbm(u * 6.0f, l, 3, 40 + layer);
        const float inside = VC_Smooth(edge - 0.01f, edge + 0.01f, v);
        const float fold = 0.5f + 0.5f * std::sin((u * 2.0f + v * (1.0f + l * 0.3f)) * TAU * (3.0f + l));
        const VC_Colour cloth = VC_Mix(layer % 2 ? VC_Purple : VC_Magenta, VC_Rose, std::pow(fold, 4.0f) * 0.5f);
        const VC_Colour shaded = VC_Scale(cloth, (0.35f + 0.55f * fold) * (1.0f - l * 0.12f));
        c = VC_Mix(c, shaded, inside * 0.85f);
        c = VC_Add(c, VC_Scale(VC_Gold, VC_Smooth(0.012f, 0.0f, std::fabs(v - edge)) * 0.6f));
    }
    const float dx = u - 0.78f;
    const float dy = v - 0.2f;
    const float sun = std::exp(-(dx * dx + dy * dy) * 18.0f);
    return VC_Add(c, VC_Scale(VC_Gold, sun * 0.9f));
}

// A damask: a four-fold ornament repeated on a diamond lattice, wine on plum, drawn in gold.
VC_Colour Damask(float u, float v)
{
    const float x = u * 8.0f;
    const float y = v * 4.0f;
    const float cx = Fract(x + 0.5f * std::floor(y)) - 0.5f;
    const float cy = Fract(y) - 0.5f;
    const float r = std::sqrt(cx * cx + cy * cy);
    const float a = std::atan2(cy, cx);
    const float petal = 0.28f + 0.12f * std::cos(a * 4.0f) + 0.05f * std::cos(a * 12.0f);
    const float inPetal = VC_Smooth(petal + 0.015f, petal - 0.015f, r);
    const float outline = VC_Smooth(0.02f, 0.0f, std::fabs(r - petal)) + VC_Smooth(0.015f, 0.0f, std::fabs(r - 0.08f));
    const float grain = VC_Fbm(u * 64.0f, v * 32.0f, 3, 55);
    VC_Colour c = VC_Mix(VC_Plum, VC_Wine, inPetal);
    c = VC_Scale(c, 0.7f + 0.4f * grain);
    c = VC_Add(c, VC_Scale(VC_Gold, std::min(outline, 1.0f) * 0.85f));
    const float shade = 0.6f + 0.4f * std::sin(u * PI);
    return VC_Scale(c, shade);
}

// Light through sheer fabric: soft translucent veils crossing a glowing rose sky.
VC_Colour SheerVeils(float u, float v)
{
    VC_Colour c = VC_Mix(VC_Rose, VC_Plum, VC_Smooth(0.0f, 1.0f, v));
    c = VC_Add(c, VC_Scale(VC_Gold, std::exp(-((u - 0.35f) * (u - 0.35f) * 6.0f + (v - 0.45f) * (v - 0.45f) * 10.0f))));
    for (int veil = 0; veil < 6; ++veil) {
        const float k = static_cast<float>(veil);
        const float centre = 0.1f + k * 0.17f + 0.08f * std::sin(v * (3.0f + k) + k);
        const float width = 0.05f + 0.03f * std::sin(v * 5.0f + k * 2.0f);
        const float d = std::fabs(u - centre) / width;
        const float body = std::exp(-d * d);
        const float pleat = 0.5f + 0.5f * std::sin((u - centre) * 120.0f + v * 4.0f);
        const VC_Colour tint = veil % 3 == 0 ? VC_Velvet : (veil % 3 == 1 ? VC_Purple : VC_Magenta);
        c = VC_Mix(c, VC_Scale(tint, 0.6f + 0.4f * pleat), body * 0.55f);
    }
    const float grain = VC_Fbm(u * 40.0f, v * 20.0f, 3, 66);
    return VC_Scale(c, 0.85f + 0.2f * grain);
}

// The dissolve map of o3: smooth noise from 0 to 1, stretched to use the full range.
VC_Colour DissolveMap(float u, float v)
{
    const float n = VC_Fbm(u * 6.0f, v * 6.0f, 5, 77, 6);
    const float spread = std::clamp((n - 0.2f) / 0.6f, 0.0f, 1.0f);
    return {spread, spread, spread, 1.0f};
}

// A lace panel: a gilded frame around an open rosette, transparent between the threads.
VC_Colour LacePanel(float u, float v)
{
    const float x = u - 0.5f;
    const float y = v - 0.5f;
    const float border = std::max(std::fabs(x), std::fabs(y));
    const float frame = VC_Smooth(0.43f, 0.45f, border);
    const float r = std::sqrt(x * x + y * y);
    const float a = std::atan2(y, x);
    const float threads = std::pow(std::fabs(std::sin(a * 8.0f) * std::sin(r * 40.0f)), 0.35f);
    const float ring = VC_Smooth(0.02f, 0.0f, std::fabs(r - 0.3f)) + VC_Smooth(0.015f, 0.0f, std::fabs(r - 0.15f));
    const float lace = std::max(threads * VC_Smooth(0.42f, 0.38f, r), std::min(ring, 1.0f));
    VC_Colour c = VC_Mix(VC_Velvet, VC_Rose, lace);
    c = VC_Mix(c, VC_Gold, frame);
    return WithAlpha(c, std::max(frame, 0.25f + 0.75f * lace));
}

// Hanging velvet with vertical folds; alpha follows the folds so the frames are translucent.
VC_Colour Drape(float u, float v)
{
    const float wobble = VC_Fbm(u * 4.0f, v * 4.0f, 3, 88, 4);
    const float fold = 0.5f + 0.5f * std::sin(u * TAU * 6.0f + wobble * 3.0f);
    VC_Colour c = VC_Mix(VC_Wine, VC_Velvet, fold);
    c = VC_Add(c, VC_Scale(VC_Gold, std::pow(fold, 12.0f) * 0.5f));
    return WithAlpha(c, 0.35f + 0.65f * fold);
}

// A velvet wall panel with gold seams: alpha marks the seams, which flash in o7.
VC_Colour SeamPanel(float u, float v)
{
    const float x = std::fabs(u - 0.5f);
    const float y = std::fabs(v - 0.5f);
    const float seam = std::max(VC_Smooth(0.46f, 0.49f, std::max(x, y)), VC_Smooth(0.015f, 0.0f, std::fabs(x - y)));
    const float pile = VC_Fbm(u * 16.0f, v * 16.0f, 4, 99, 16);
    VC_Colour c = VC_Mix(VC_Plum, VC_Velvet, pile * 0.8f);
    c = VC_Mix(c, VC_Gold, seam * 0.7f);
    return WithAlpha(c, seam);
}

// Circuit traces in magenta and gold on black, for the glitching box.
VC_Colour Circuit(float u, float v)
{
    const std::int32_t cells = 16;
    const float x = u * cells;
    const float y = v * cells;
    const std::int32_t cellX = static_cast<std::int32_t>(x);
    const std::int32_t cellY = static_cast<std::int32_t>(y);
    const float fx = x - static_cast<float>(cellX) - 0.5f;
    const float fy = y - static_cast<float>(cellY) - 0.5f;
    const float pick = VC_Hash(cellX, cellY, 123);
    const float horizontal = pick < 0.5f ? VC_Smooth(0.08f, 0.04f, std::fabs(fy)) : 0.0f;
    const float vertical = pick >= 0.3f ? VC_Smooth(0.08f, 0.04f, std::fabs(fx)) : 0.0f;
    const float pad = VC_Smooth(0.2f, 0.15f, std::sqrt(fx * fx + fy * fy)) * (pick > 0.8f ? 1.0f : 0.0f);
    const float trace = std::min(1.0f, horizontal + vertical + pad);
    const VC_Colour line = VC_Hash(cellX, cellY, 321) > 0.7f ? VC_Gold : VC_Magenta;
    const VC_Colour ground = VC_Scale(VC_Purple, 0.25f + 0.2f * VC_Fbm(u * 8.0f, v * 8.0f, 3, 7, 8));
    return VC_Mix(ground, line, trace);
}

// Gold lace for the o10 rings: a scalloped band pattern, open between its threads.
VC_Colour GoldLace(float u, float v)
{
    const float scallop = 0.5f + 0.5f * std::cos(u * TAU * 8.0f);
    const float edge = 0.2f + 0.12f * scallop;
    const float band = VC_Smooth(edge, edge + 0.03f, v) * VC_Smooth(1.0f - edge + 0.03f, 1.0f - edge, v);
    const float mesh = std::pow(std::fabs(std::sin(u * TAU * 24.0f) * std::sin(v * TAU * 12.0f)), 0.4f);
    const float outline = VC_Smooth(0.03f, 0.0f, std::fabs(v - edge)) + VC_Smooth(0.03f, 0.0f, std::fabs(v - (1.0f - edge)));
    const float thread = std::max(std::min(outline, 1.0f), band * mesh);
    const VC_Colour c = VC_Mix(VC_Wine, VC_Gold, thread);
    return WithAlpha(c, 0.1f + 0.9f * thread);
}

// The skin of o11's cube: an inlaid tile, a rosette inside a gilded border.
VC_Colour InlaidTile(float u, float v)
{
    const float x = u - 0.5f;
    const float y = v - 0.5f;
    const float border = std::max(std::fabs(x), std::fabs(y));
    const float r = std::sqrt(x * x + y * y);
    const float a = std::atan2(y, x);
    const float rosette = VC_Smooth(0.01f, 0.0f, std::fabs(r - (0.25f + 0.08f * std::cos(a * 6.0f))));
    VC_Colour c = VC_Mix(VC_Purple, VC_Velvet, VC_Smooth(0.45f, 0.0f, r));
    c = VC_Scale(c, 0.75f + 0.35f * VC_Fbm(u * 12.0f, v * 12.0f, 3, 17));
    c = VC_Mix(c, VC_Gold, std::min(1.0f, rosette + VC_Smooth(0.42f, 0.46f, border)));
    return c;
}

// Streaks of light falling like rain through a veil; tiles in both directions.
VC_Colour LightStreaks(float u, float v)
{
    const std::int32_t columns = 32;
    const float x = u * columns;
    const std::int32_t column = static_cast<std::int32_t>(x);
    const float fx = x - static_cast<float>(column) - 0.5f;
    const float offset = VC_Hash(column, 0, 501);
    const float length = 0.15f + 0.3f * VC_Hash(column, 1, 502);
    const float head = Fract(v + offset);
    const float tail = head < length ? std::pow(1.0f - head / length, 2.0f) : 0.0f;
    const float width = VC_Smooth(0.25f, 0.0f, std::fabs(fx));
    const float streak = tail * width;
    const VC_Colour c = VC_Mix(VC_Magenta, VC_Gold, std::pow(tail, 3.0f));
    return WithAlpha(c, streak);
}

// o12's background: dark falling drapery that tiles, with an alpha that marks its bright folds.
VC_Colour DarkDrapery(float u, float v)
{
    const float wobble = VC_Fbm(u * 4.0f, v * 2.0f, 4, 909, 2);
    const float fold = 0.5f + 0.5f * std::sin(u * TAU * 5.0f + wobble * 4.0f);
    VC_Colour c = VC_Mix(VC_Shadow, VC_Plum, fold);
    c = VC_Add(c, VC_Scale(VC_Magenta, std::pow(fold, 8.0f) * 0.4f));
    return WithAlpha(c, std::pow(fold, 3.0f));
}

template <typename Shader>
bool Draw(const std::string& folder, const char* name, std::uint32_t width, std::uint32_t height, Shader shade)
{
    VC_Picture picture(width, height);
    picture.Fill(shade);
    return VC_WritePng(picture, folder + "/" + name);
}
} // namespace

constexpr const char* kUsage = "usage: vc-scene-art-a [FOLDER]\nDraws the textures of the opening scenes (o2 to o12) into FOLDER (default: assets).\n";

int main(int argc, char** argv)
{
    std::string folder;
    if (const int exitCode = VC_ReadOutputFolder(argc, argv, kUsage, "assets", folder); exitCode >= 0)
        return exitCode;
    bool ok = true;
    ok &= Draw(folder, "o2.png", 512, 512, Velvet);
    ok &= Draw(folder, "o3_1.png", 1024, 512, StageCurtain);
    ok &= Draw(folder, "o3_2.png", 1024, 512, Cascade);
    ok &= Draw(folder, "o3_3.png", 1024, 512, Damask);
    ok &= Draw(folder, "o3_4.png", 1024, 512, SheerVeils);
    ok &= Draw(folder, "o3_5.png", 512, 512, DissolveMap);
    ok &= Draw(folder, "o5.png", 256, 256, LacePanel);
    ok &= Draw(folder, "o6.png", 256, 256, Drape);
    ok &= Draw(folder, "o7.png", 256, 256, SeamPanel);
    ok &= Draw(folder, "o8.png", 256, 256, Circuit);
    ok &= Draw(folder, "o10.png", 256, 256, GoldLace);
    ok &= Draw(folder, "o11_1.png", 256, 256, InlaidTile);
    ok &= Draw(folder, "o11_2.png", 256, 256, LightStreaks);
    ok &= Draw(folder, "o12.png", 512, 512, DarkDrapery);
    return ok ? 0 : 1;
}
