#pragma once
// What the demo's texture tools share: colours and their mixing, smooth steps, seeded value
// noise and its fractal sum, the demo's palette, and writing an RGBA picture as PNG. Header-only
// so each tool stays one program; every function is a pure function of its arguments, so a
// tool that draws from them writes the same bytes on every run.
//
//   VC_Picture picture(256, 256);
//   picture.Fill([](float u, float v) { return VC_Mix(VC_Wine, VC_Gold, VC_Fbm(u * 8, v * 8, 5, 7)); });
//   VC_WritePng(picture, "assets/o2.png");

#include <lodepng.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct VC_Colour
{
    float r, g, b, a = 1.0f;
};

// The demo's palette: velvet reds, wine, magenta and purple, with warm gold highlights.
inline constexpr VC_Colour VC_Black = {0.0f, 0.0f, 0.0f};
inline constexpr VC_Colour VC_Shadow = {0.07f, 0.01f, 0.08f};
inline constexpr VC_Colour VC_Plum = {0.33f, 0.04f, 0.27f};
inline constexpr VC_Colour VC_Wine = {0.45f, 0.03f, 0.12f};
inline constexpr VC_Colour VC_Velvet = {0.62f, 0.05f, 0.16f};
inline constexpr VC_Colour VC_Magenta = {0.78f, 0.10f, 0.52f};
inline constexpr VC_Colour VC_Purple = {0.36f, 0.10f, 0.55f};
inline constexpr VC_Colour VC_Rose = {0.93f, 0.45f, 0.55f};
inline constexpr VC_Colour VC_Gold = {1.0f, 0.78f, 0.36f};
inline constexpr VC_Colour VC_White = {1.0f, 1.0f, 1.0f};

inline VC_Colour VC_Mix(const VC_Colour& a, const VC_Colour& b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

inline VC_Colour VC_Scale(const VC_Colour& c, float s) { return {c.r * s, c.g * s, c.b * s, c.a}; }

inline VC_Colour VC_Add(const VC_Colour& a, const VC_Colour& b) { return {a.r + b.r, a.g + b.g, a.b + b.b, a.a}; }

inline float VC_Smooth(float edge0, float edge1, float x)
{
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// Integer hash to 0..1: the seed of every random-looking thing the tools draw.
inline float VC_Hash(std::int32_t x, std::int32_t y, std::uint32_t seed)
{
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u +
                      seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<float>(h & 0xFFFFFFu) / 16777215.0f;
}

// Smoothly interpolated lattice noise, 0..1. With period > 0 it tiles every period units.
inline float VC_Noise(float x, float y, std::uint32_t seed, std::int32_t period = 0)
{
    const float fx = std::floor(x);
    const float fy = std::floor(y);
    const float tx = x - fx;
    const float ty = y - fy;
    auto wrap = [period](std::int32_t i) { return period > 0 ? ((i % period) + period) % period : i; };
    const std::int32_t x0 = wrap(static_cast<std::int32_t>(fx));
    const std::int32_t y0 = wrap(static_cast<std::int32_t>(fy));
    const std::int32_t x1 = wrap(static_cast<std::int32_t>(fx) + 1);
    const std::int32_t y1 = wrap(static_cast<std::int32_t>(fy) + 1);
    const float sx = tx * tx * (3.0f - 2.0f * tx);
    const float sy = ty * ty * (3.0f - 2.0f * ty);
    const float top = VC_Hash(x0, y0, seed) + (VC_Hash(x1, y0, seed) - VC_Hash(x0, y0, seed)) * sx;
    const float bottom = VC_Hash(x0, y1, seed) + (VC_Hash(x1, y1, seed) - VC_Hash(x0, y1, seed)) * sx;
    return top + (bottom - top) * sy;
}

// Fractal sum of octaves of noise, 0..1; each octave doubles the frequency (and the period).
inline float VC_Fbm(float x, float y, int octaves, std::uint32_t seed, std::int32_t period = 0)
{
    float sum = 0.0f;
    float amplitude = 0.5f;
    float total = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * VC_Noise(x, y, seed + static_cast<std::uint32_t>(i) * 101u, period);
        total += amplitude;
        x *= 2.0f;
        y *= 2.0f;
        period *= 2;
        amplitude *= 0.5f;
    }
    return sum / total;
}

// An RGBA8 picture, row 0 at the top.
struct VC_Picture
{
    VC_Picture(std::uint32_t w, std::uint32_t h) : width(w), height(h), pixels(static_cast<size_t>(w) * h * 4, 0) {}

    void Set(std::uint32_t x, std::uint32_t y, const VC_Colour& c)
    {
        std::uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
        p[0] = ToByte(c.r);
        p[1] = ToByte(c.g);
        p[2] = ToByte(c.b);
        p[3] = ToByte(c.a);
    }

    // Shades every pixel from its centre in 0..1 coordinates.
    template <typename Shader>
    void Fill(Shader shade)
    {
        for (std::uint32_t y = 0; y < height; ++y)
            for (std::uint32_t x = 0; x < width; ++x)
                Set(x, y, shade((static_cast<float>(x) + 0.5f) / static_cast<float>(width),
                                (static_cast<float>(y) + 0.5f) / static_cast<float>(height)));
    }

    static std::uint8_t ToByte(float value)
    {
        return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
    }

    std::uint32_t width;
    std::uint32_t height;
    std::vector<std::uint8_t> pixels;
};

// Writes the picture as an 8-bit RGBA PNG; false (with a line on stderr) when it cannot.
inline bool VC_WritePng(const VC_Picture& picture, const std::string& path)
{
    const unsigned error = lodepng::encode(path, picture.pixels, picture.width, picture.height);
    if (error != 0) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), lodepng_error_text(error));
        return false;
    }
    return true;
}
