// vc-scene-art-p: draws the textures of scenes p2, p3 and p5 and writes them as PNG files. Every
// picture is a pure function of its pixel coordinates (VC_Art's seeded noise and hash), so each
// run writes the same bytes; the files are committed under assets/.
//
//   vc-scene-art-p [FOLDER]     FOLDER defaults to assets
//
//   mexico.png   1024 x 512  p2's desert at dusk: mountains and a desert floor under a clear
//                            (alpha 0) sky that the scene's sky shader shows through
//   grilla.png    256 x 256  p3's grid tile: glowing lines along the edges, so repeats join
//   glitch.png    256 x 256  p3's tear mask: bars of random height, new in every column group
//   percube.png   256 x 256  p5's box face: a velvet panel in a gold frame with a jewel

#include "VC_ToolHelp.h"
#include "art/VC_Art.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace
{
constexpr float TAU = 6.28318531f;

VC_Colour WithAlpha(VC_Colour c, float a)
{
    c.a = std::clamp(a, 0.0f, 1.0f);
    return c;
}

// --- mexico.png ----------------------------------------------------------------------------------

// The horizon lies 62 % down the picture, where p2's sky shader puts it.
constexpr float kHorizon = 0.62f;

// Height of a mountain range's ridge above the horizon (in picture heights) at u.
float Ridge(float u, float base, float height, float frequency, std::uint32_t seed)
{
    const float rough = VC_Fbm(u * frequency, 0.5f, 5, seed);
    return base + height * rough * rough;
}

// Flat-topped mesas: a ridge cut off at a level, with steep sides.
float Mesa(float u, float centre, float halfWidth, float top)
{
    const float side = VC_Smooth(halfWidth + 0.015f, halfWidth - 0.005f, std::fabs(u - centre));
    return top * side;
}

// A saguaro's silhouette: a trunk and two arms, as coverage 0..1 at (u, v) in picture units
// (u scaled so that shapes are round on a 2:1 picture).
float Cactus(float x, float y, float baseX, float baseY, float size)
{
    const float dx = (x - baseX) / size;
    const float dy = (baseY - y) / size;
    if (dy < 0.0f)
        return 0.0f;
    float cover = VC_Smooth(0.11f, 0.09f, std::fabs(dx)) * VC_Smooth(1.0f, 0.97f, dy);
    // Left arm: out at 0.45, up to 0.8.
    const float leftOut = VC_Smooth(0.08f, 0.06f, std::fabs(dy - 0.45f)) * (dx < 0.0f && dx > -0.32f ? 1.0f : 0.0f);
    const float leftUp = VC_Smooth(0.08f, 0.06f, std::fabs(dx + 0.3f)) * (dy > 0.45f && dy < 0.8f ? 1.0f : 0.0f);
    // Right arm: out at 0.3, up to 0.62.
    const float rightOut = VC_Smooth(0.07f, 0.05f, std::fabs(dy - 0.3f)) * (dx > 0.0f && dx < 0.28f ? 1.0f : 0.0f);
    const float rightUp = VC_Smooth(0.07f, 0.05f, std::fabs(dx - 0.26f)) * (dy > 0.3f && dy < 0.62f ? 1.0f : 0.0f);
    cover = std::max({cover, leftOut, leftUp, rightOut, rightUp});
    return cover;
}

VC_Colour Desert(float u, float v)
{
    const float above = kHorizon - v; // height over the horizon in picture heights
    // Three ranges, far to near: hazy plum peaks, wine ridges, dark mesas.
    const float far = Ridge(u, 0.045f, 0.22f, 6.0f, 501);
    const float middle = Ridge(u, 0.02f, 0.12f, 9.0f, 502) * (0.6f + 0.4f * std::sin(u * TAU * 1.5f + 1.0f));
    const float mesas = std::max({Mesa(u, 0.13f, 0.07f, 0.085f), Mesa(u, 0.8f, 0.05f, 0.11f),
                                  Mesa(u, 0.9f, 0.035f, 0.07f)});
    // A gap in the middle, where the sun goes down.
    const float gap = 1.0f - 0.85f * VC_Smooth(0.16f, 0.0f, std::fabs(u - 0.5f));
    const float farTop = far * gap;
    const float middleTop = middle * gap;

    VC_Colour c = WithAlpha(VC_Black, 0.0f);
    if (above > 0.0f) {
        if (above < farTop) {
            // Sunlit rim on the far peaks, haze below.
            const float rim = VC_Smooth(0.012f, 0.0f, farTop - above);
            c = VC_Mix(VC_Mix(VC_Plum, VC_Rose, 0.25f), VC_Gold, rim * 0.7f);
            c = VC_Mix(c, VC_Rose, VC_Smooth(farTop, 0.0f, above) * 0.25f);
            c.a = 1.0f;
        }
        if (above < middleTop) {
            const float rim = VC_Smooth(0.008f, 0.0f, middleTop - above);
            const float rock = VC_Fbm(u * 40.0f, v * 40.0f, 3, 503);
            c = VC_Mix(VC_Scale(VC_Wine, 0.7f + 0.4f * rock), VC_Rose, rim * 0.5f);
            c.a = 1.0f;
        }
        if (above < mesas) {
            const float strata = 0.5f + 0.5f * std::sin(v * 260.0f + VC_Fbm(u * 30.0f, v * 5.0f, 3, 504) * 4.0f);
            c = VC_Mix(VC_Shadow, VC_Scale(VC_Wine, 0.6f), strata * 0.6f);
            c.a = 1.0f;
        }
    } else {
        // The desert floor: the glow of the horizon on the sand near it, dunes, dark in front.
        const float below = -above / (1.0f - kHorizon); // 0 at the horizon, 1 at the bottom
        const float dunes = VC_Fbm(u * 7.0f, below * below * 5.0f + u * 0.5f, 5, 505);
        const float crest = std::pow(0.5f + 0.5f * std::sin((below * 40.0f + dunes * 9.0f)), 8.0f);
        VC_Colour sand = VC_Mix(VC_Mix(VC_Gold, VC_Rose, 0.5f), VC_Velvet, VC_Smooth(0.0f, 0.35f, below));
        sand = VC_Mix(sand, VC_Shadow, VC_Smooth(0.25f, 1.0f, below));
        sand = VC_Add(VC_Scale(sand, 0.75f + 0.4f * dunes), VC_Scale(VC_Gold, crest * 0.18f * (1.0f - below)));
        // The sun's road: a glint on the sand below where it sets.
        const float road = std::exp(-std::fabs(u - 0.5f) * (18.0f + below * 40.0f)) * (1.0f - below);
        c = VC_Add(sand, VC_Scale(VC_Gold, road * 0.45f));
        c.a = 1.0f;
    }
    // Saguaros in front, black against everything.
    const float x = u * 2.0f; // the picture is twice as wide as high: keep the cacti round
    const float cactus = std::max({Cactus(x, v, 0.36f, 0.93f, 0.22f), Cactus(x, v, 1.62f, 0.84f, 0.13f),
                                   Cactus(x, v, 1.85f, 0.97f, 0.3f), Cactus(x, v, 0.62f, 0.75f, 0.06f)});
    if (cactus > 0.0f) {
        c = VC_Mix(c, VC_Scale(VC_Shadow, 0.6f), cactus);
        c.a = std::max(c.a, cactus);
    }
    // The picture fades out at its sides, so the sky shader's own ground carries on.
    const float side = VC_Smooth(0.0f, 0.1f, u) * VC_Smooth(1.0f, 0.9f, u);
    c.a *= side;
    return c;
}

// --- grilla.png ----------------------------------------------------------------------------------

VC_Colour GridTile(float u, float v)
{
    const float edge = std::min({u, 1.0f - u, v, 1.0f - v});
    const float line = std::exp(-edge * 70.0f);
    const float glow = std::exp(-edge * 14.0f) * 0.45f;
    // The line shifts from magenta along its length to gold at the crossings.
    const float crossing = std::exp(-std::min(u, 1.0f - u) * 9.0f) * std::exp(-std::min(v, 1.0f - v) * 9.0f);
    VC_Colour colour = VC_Mix(VC_Magenta, VC_Gold, std::min(1.0f, crossing * 2.5f));
    VC_Colour c = VC_Scale(colour, line + glow);
    // A faint velvet pile inside the cell, tiling with the picture.
    const float pile = VC_Fbm(u * 8.0f, v * 8.0f, 4, 601, 8);
    c = VC_Add(c, VC_Scale(VC_Plum, pile * 0.18f));
    c = VC_Add(c, VC_Scale(VC_White, std::pow(line, 3.0f) * 0.3f));
    c.a = 1.0f;
    return c;
}

// --- glitch.png ----------------------------------------------------------------------------------

// 32 column groups of 8 pixels; in each, the picture's height is cut into bars whose heights
// come from the hash. Red: sideways offset, green: whether the bar tears, blue: colour split.
VC_Colour GlitchMask(float u, float v)
{
    const std::int32_t group = static_cast<std::int32_t>(u * 32.0f);
    const std::int32_t row = static_cast<std::int32_t>(v * 256.0f);
    // Walk the bars of this group down to the row: each bar is 2 to 24 pixels high.
    std::int32_t top = 0;
    std::int32_t bar = 0;
    for (;;) {
        const std::int32_t barHeight = 2 + static_cast<std::int32_t>(VC_Hash(group, bar, 701) * 22.0f);
        if (row < top + barHeight)
            break;
        top += barHeight;
        ++bar;
    }
    const float offset = VC_Hash(group, bar, 702);
    const float tears = VC_Hash(group, bar, 703);
    const float split = VC_Hash(group, bar, 704);
    return {offset, tears, split, 1.0f};
}

// --- percube.png ---------------------------------------------------------------------------------

VC_Colour CubeFace(float u, float v)
{
    const float x = u - 0.5f;
    const float y = v - 0.5f;
    // Velvet with a crushed pile, darker towards the corners.
    const float pile = VC_Fbm(u * 10.0f, v * 10.0f, 5, 801);
    const float crush = VC_Fbm(u * 3.0f + 4.0f, v * 3.0f, 4, 802);
    VC_Colour c = VC_Mix(VC_Wine, VC_Velvet, pile);
    c = VC_Mix(c, VC_Magenta, VC_Smooth(0.5f, 0.8f, crush) * 0.5f);
    c = VC_Scale(c, 0.8f + 0.5f * pile - (x * x + y * y) * 0.8f);

    // A gold frame: an outer band, a thin inner line.
    const float edge = 0.5f - std::max(std::fabs(x), std::fabs(y));
    const float band = VC_Smooth(0.015f, 0.03f, edge) * VC_Smooth(0.08f, 0.065f, edge);
    const float inner = VC_Smooth(0.005f, 0.0f, std::fabs(edge - 0.11f));
    const float frameShade = 0.75f + 0.25f * std::sin((x + y) * 30.0f);
    c = VC_Mix(c, VC_Scale(VC_Gold, frameShade), std::max(band, inner));
    c = VC_Mix(c, VC_Shadow, VC_Smooth(0.015f, 0.0f, edge));

    // The jewel: a gold lozenge with a magenta stone that catches a spot of light.
    const float lozenge = std::fabs(x) + std::fabs(y);
    const float setting = VC_Smooth(0.21f, 0.2f, lozenge) * VC_Smooth(0.13f, 0.14f, lozenge);
    const float stone = VC_Smooth(0.14f, 0.13f, lozenge);
    const float facet = 0.6f + 0.4f * std::sin(std::atan2(y, x) * 4.0f);
    c = VC_Mix(c, VC_Scale(VC_Gold, 0.8f + 0.2f * facet), setting);
    c = VC_Mix(c, VC_Scale(VC_Mix(VC_Magenta, VC_Rose, 0.3f), facet), stone);
    const float spot = std::exp(-((x + 0.04f) * (x + 0.04f) + (y + 0.05f) * (y + 0.05f)) * 900.0f);
    c = VC_Add(c, VC_Scale(VC_White, spot * 0.8f));
    c.a = 1.0f;
    return c;
}

template <typename Shader>
bool Draw(const std::string& folder, const char* name, std::uint32_t width, std::uint32_t height, Shader shade)
{
    VC_Picture picture(width, height);
    picture.Fill(shade);
    const std::string path = folder + "/" + name;
    if (!VC_WritePng(picture, path))
        return false;
    std::printf("%s\n", path.c_str());
    return true;
}
} // namespace

constexpr const char* kUsage = "usage: vc-scene-art-p [FOLDER]\nDraws mexico.png, grilla.png, glitch.png and percube.png into FOLDER (default: assets).\n";

int main(int argc, char** argv)
{
    std::string folder;
    if (const int exitCode = VC_ReadOutputFolder(argc, argv, kUsage, "assets", folder); exitCode >= 0)
        return exitCode;
    bool ok = true;
    ok &= Draw(folder, "mexico.png", 1024, 512, Desert);
    ok &= Draw(folder, "grilla.png", 256, 256, GridTile);
    ok &= Draw(folder, "glitch.png", 256, 256, GlitchMask);
    ok &= Draw(folder, "percube.png", 256, 256, CubeFace);
    return ok ? 0 : 1;
}
