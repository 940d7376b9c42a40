// vc-scene-art-b: draws the pictures of scenes o13 to o24.
//
//   vc-scene-art-b [FOLDER]        (default: assets)
//
// Writes o13.png (the title picture, 1024 x 512, lettered with DejaVu Serif from
// fonts-dejavu-core), o15.png, o16.png, o18.png, o20.png, o22.png, o24.png and o24_2.png
// (256 x 256 each, but o16.png: 256 x 288). Every picture is a pure function of fixed numbers, so each run writes the
// same bytes. Exit status 0 when every file was written, 1 otherwise.
//
// Pictures that a shader scrolls with frac() tile: o20 across and down, o24_2 both ways (the
// part's sampler clamps, so the wrap is the shader's).

#include "VC_ToolHelp.h"
#include "art/VC_Art.h"
#include "QP_FontFace.h"
#include "QP_FontLibrary.h"

#include <cstdio>
#include <string>
#include <vector>

namespace
{
constexpr float kTau = 6.2831853f;
const char* const kSerifBold = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf";
const char* const kSerifItalic = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Italic.ttf";

// --- coverage maps and lettering -----------------------------------------------------------------

// A greyscale coverage map, 0..1 per pixel.
struct Coverage
{
    Coverage(int w, int h) : width(w), height(h), values(static_cast<size_t>(w) * h, 0.0f) {}
    float At(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return 0.0f;
        return values[static_cast<size_t>(y) * width + x];
    }
    void Max(int x, int y, float value)
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return;
        float& cell = values[static_cast<size_t>(y) * width + x];
        cell = std::max(cell, value);
    }
    int width;
    int height;
    std::vector<float> values;
};

// Letters one line of text into the map, centred on centreX with its baseline at baselineY.
// False when the font cannot be opened or sized.
bool Letter(Coverage& map, const char* fontPath, float pixelSize, const char* text, float centreX, float baselineY)
{
    QP_FontLibrary library;
    if (library.Init() != 0)
        return false;
    QP_FontFace face;
    if (face.Open(library, fontPath, 0) != 0 || face.SelectUnicodeCharmap() != 0 ||
        face.SetCharSize(0, static_cast<std::int64_t>(pixelSize * 64.0f), 72, 72) != 0) {
        std::fprintf(stderr, "cannot open the font %s\n", fontPath);
        face.Close();
        library.Done();
        return false;
    }
    // First the advance of the whole line, then the glyphs from its left end.
    float lineWidth = 0.0f;
    for (const char* c = text; *c; ++c) {
        QP_GlyphBitmap glyph;
        if (face.RenderGlyph(static_cast<unsigned char>(*c), false, &glyph) == 0)
            lineWidth += static_cast<float>(glyph.advance) / 64.0f;
    }
    float pen = centreX - lineWidth / 2.0f;
    for (const char* c = text; *c; ++c) {
        QP_GlyphBitmap glyph;
        if (face.RenderGlyph(static_cast<unsigned char>(*c), false, &glyph) != 0)
            continue;
        if (glyph.pixels == QP_GlyphPixels::Grey) {
            const int left = static_cast<int>(std::lround(pen)) + glyph.left;
            const int top = static_cast<int>(std::lround(baselineY)) - glyph.top;
            for (std::uint32_t y = 0; y < glyph.height; ++y)
                for (std::uint32_t x = 0; x < glyph.width; ++x)
                    map.Max(left + static_cast<int>(x), top + static_cast<int>(y),
                            glyph.buffer[static_cast<std::int64_t>(y) * glyph.pitch + x] / 255.0f);
        }
        pen += static_cast<float>(glyph.advance) / 64.0f;
    }
    face.Close();
    library.Done();
    return true;
}

// A box blur of the given radius, run twice (close to a gaussian).
Coverage Blur(const Coverage& source, int radius)
{
    Coverage a = source;
    Coverage b(source.width, source.height);
    for (int pass = 0; pass < 2; ++pass) {
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) {
                float sum = 0.0f;
                for (int k = -radius; k <= radius; ++k)
                    sum += a.At(x + k, y);
                b.values[static_cast<size_t>(y) * a.width + x] = sum / static_cast<float>(2 * radius + 1);
            }
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) {
                float sum = 0.0f;
                for (int k = -radius; k <= radius; ++k)
                    sum += b.At(x, y + k);
                a.values[static_cast<size_t>(y) * a.width + x] = sum / static_cast<float>(2 * radius + 1);
            }
    }
    return a;
}

// --- the velvet drape --------------------------------------------------------------------------

// Height of draped cloth at (u, v): folds across, drifting and widening as they fall.
float Drape(float u, float v, float folds)
{
    const float drift = 0.35f * std::sin(v * 2.6f + u * 1.7f) + 0.12f * std::sin(v * 7.0f);
    const float phase = u * folds * kTau + drift * 6.0f + v * v * 2.5f;
    return 0.55f * std::sin(phase) + 0.3f * std::sin(phase * 0.5f + 1.3f + v * 3.0f) +
           0.15f * std::sin(phase * 2.1f - v * 5.0f);
}

// Light on the drape from the upper left, 0..1, and its height.
float DrapeLight(float u, float v, float folds, float aspect, float* height)
{
    const float step = 0.002f;
    *height = Drape(u, v, folds);
    const float slopeU = (Drape(u + step, v, folds) - *height) / step / (folds * kTau);
    const float slopeV = (Drape(u, v + step, folds) - *height) / step / 6.0f;
    return std::clamp(0.55f - 0.45f * slopeU * aspect - 0.25f * slopeV, 0.0f, 1.0f);
}

VC_Colour VelvetShade(float light, float height)
{
    VC_Colour colour = VC_Mix(VC_Shadow, VC_Plum, VC_Smooth(0.0f, 0.45f, light));
    colour = VC_Mix(colour, {0.74f, 0.16f, 0.36f}, VC_Smooth(0.45f, 0.85f, light));
    // Velvet's pile catches light only at grazing angles: a thin sheen on the crests.
    const float crest = VC_Smooth(0.72f, 0.98f, height * 0.5f + 0.5f) * VC_Smooth(0.5f, 1.0f, light);
    return VC_Mix(colour, {1.0f, 0.78f, 0.84f}, 0.5f * crest);
}

// --- o13: the title picture --------------------------------------------------------------------

// Velvet behind gold lettering in a thin gold frame. The cloth is sheer in its fold valleys and
// fades out towards the frame, so whatever is cleared behind it (o19's colours) glows through.
bool DrawTitle(const std::string& path)
{
    constexpr int width = 1024;
    constexpr int height = 512;
    Coverage title(width, height);
    Coverage subtitle(width, height);
    if (!Letter(title, kSerifBold, 84.0f, "LM: Velvet Cascade", width / 2.0f, 258.0f) ||
        !Letter(subtitle, kSerifItalic, 30.0f, "a demo in velvet and gold", width / 2.0f, 336.0f))
        return false;
    const Coverage glow = Blur(title, 9);
    Coverage shadowSource(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            shadowSource.Max(x, y, title.At(x - 5, y - 6));
    const Coverage shadow = Blur(shadowSource, 4);

    VC_Picture picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float u = (static_cast<float>(x) + 0.5f) / width;
            const float v = (static_cast<float>(y) + 0.5f) / height;
            float fold = 0.0f;
            const float light = DrapeLight(u, v, 9.0f, 2.0f, &fold);
            VC_Colour colour = VC_Mix(VelvetShade(light, fold), VC_Wine, 0.3f);
            const float pile = VC_Fbm(u * 96.0f, v * 48.0f, 2, 13u);
            colour = VC_Scale(colour, 0.94f + 0.12f * pile);
            const float edge = VC_Smooth(0.0f, 0.09f, u) * VC_Smooth(0.0f, 0.09f, 1.0f - u) *
                               VC_Smooth(0.0f, 0.12f, v) * VC_Smooth(0.0f, 0.12f, 1.0f - v);
            float alpha = (0.45f + 0.55f * VC_Smooth(0.05f, 0.6f, light)) * edge;

            // A dark band behind the lettering so the gold reads against any fold.
            const float band = VC_Smooth(0.26f, 0.40f, v) * VC_Smooth(0.26f, 0.40f, 1.0f - v) * 0.55f;
            colour = VC_Scale(colour, 1.0f - band);
            alpha = std::max(alpha, band * edge * 1.4f);

            const float shade = shadow.At(x, y) * 0.85f;
            colour = VC_Scale(colour, 1.0f - shade);
            alpha = std::max(alpha, shade);
            const float halo = glow.At(x, y);
            colour = VC_Add(colour, VC_Scale(VC_Gold, 0.45f * halo));
            alpha = std::max(alpha, 0.8f * halo);

            // Gold lettering: bright at the top of each stroke, deepening to amber below, with a
            // rose reflection in the lower half.
            const float letter = title.At(x, y);
            const float lift = std::clamp((258.0f - static_cast<float>(y)) / 64.0f, 0.0f, 1.0f);
            const VC_Colour gold = VC_Mix({0.72f, 0.38f, 0.12f}, {1.0f, 0.9f, 0.62f}, lift);
            colour = VC_Mix(colour, VC_Mix(gold, VC_Rose, 0.25f * (1.0f - lift)), letter);
            alpha = std::max(alpha, letter);

            const float words = subtitle.At(x, y);
            colour = VC_Mix(colour, {1.0f, 0.82f, 0.72f}, words);
            alpha = std::max(alpha, words);

            // Two fine gold rules either side of the subtitle.
            const float ruleY = 1.0f - VC_Smooth(0.0f, 1.5f, std::fabs(static_cast<float>(y) - 326.0f));
            const float ruleX = (VC_Smooth(180.0f, 260.0f, x) * (1.0f - VC_Smooth(300.0f, 312.0f, x))) +
                                (VC_Smooth(712.0f, 724.0f, x) * (1.0f - VC_Smooth(764.0f, 844.0f, x)));
            colour = VC_Mix(colour, VC_Gold, ruleY * ruleX);
            alpha = std::max(alpha, ruleY * ruleX);
            colour.a = std::clamp(alpha, 0.0f, 1.0f);
            // A gold frame on the picture's edge: three texels, solid, shaded from the top left.
            const int border = std::min(std::min(x, width - 1 - x), std::min(y, height - 1 - y));
            if (border < 3)
                colour = VC_Mix(VC_Gold, {0.62f, 0.38f, 0.12f}, 0.5f * (u + v));
            picture.Set(x, y, colour);
        }
    return VC_WritePng(picture, path);
}

// --- o15: a velvet curtain panel ---------------------------------------------------------------

// Vertical folds, sheer between the crests, a gold rod at the top and a gold fringe at the hem;
// clear below the fringe so the layers behind show through.
VC_Colour Curtain(float u, float v)
{
    const float hem = 0.86f + 0.025f * std::sin(u * 12.0f * kTau);
    if (v > hem + 0.1f)
        return {0.0f, 0.0f, 0.0f, 0.0f};
    float fold = 0.0f;
    const float light = DrapeLight(u, v * 0.6f, 6.0f, 1.0f, &fold);
    VC_Colour colour = VelvetShade(light, fold);
    colour = VC_Mix(colour, VC_Velvet, 0.35f);
    colour = VC_Scale(colour, 0.85f + 0.3f * VC_Fbm(u * 64.0f, v * 64.0f, 3, 29u, 64));
    colour.a = 0.5f + 0.45f * VC_Smooth(0.2f, 0.8f, light);
    if (v < 0.035f)
        return VC_Mix(VC_Gold, {0.6f, 0.36f, 0.1f}, v / 0.035f);
    if (v > hem) {
        // Fringe: fine gold threads hanging from the hem, each of its own length.
        const float thread = std::fabs(std::sin(u * 96.0f * kTau * 0.5f));
        const float length = 0.06f + 0.04f * VC_Hash(static_cast<int>(u * 96.0f), 3, 5u);
        const float on = (1.0f - VC_Smooth(0.25f, 0.7f, thread)) * (1.0f - VC_Smooth(length - 0.02f, length, v - hem));
        VC_Colour gold = VC_Mix({0.7f, 0.42f, 0.12f}, VC_Gold, 1.0f - (v - hem) / 0.1f);
        gold.a = on;
        return gold;
    }
    // A band of gold braid above the hem.
    const float braid = VC_Smooth(0.0f, 0.01f, v - (hem - 0.035f)) * (1.0f - VC_Smooth(0.0f, 0.01f, v - (hem - 0.012f)));
    colour = VC_Mix(colour, VC_Gold, braid * (0.6f + 0.4f * std::sin(u * 48.0f * kTau)));
    colour.a = std::max(colour.a, braid);
    return colour;
}

// --- o16: the medallion ------------------------------------------------------------------------

// A velvet rose in a gold ring on plum: the picture that multiplies in o16's grid. It is
// 256 x 288, so four copies half the screen tall span a 16:9 screen exactly.
constexpr std::uint32_t kMedallionWidth = 256;
constexpr std::uint32_t kMedallionHeight = 288;

VC_Colour Medallion(float u, float v)
{
    const float x = u - 0.5f;
    const float y = (v - 0.5f) * static_cast<float>(kMedallionHeight) / static_cast<float>(kMedallionWidth);
    const float r = std::sqrt(x * x + y * y);
    const float angle = std::atan2(y, x);
    VC_Colour colour = VC_Mix(VC_Plum, VC_Shadow, VC_Smooth(0.0f, 0.7f, r));
    colour = VC_Scale(colour, 0.8f + 0.3f * VC_Fbm(u * 40.0f, v * 40.0f, 3, 41u));
    // Petals: rings of lobes that narrow towards the heart, each lobe lit on one side.
    const float lobes = 0.5f + 0.5f * std::cos(5.0f * angle + r * 18.0f);
    const float petalEdge = 0.33f * (0.72f + 0.28f * lobes);
    if (r < petalEdge) {
        const float depth = r / petalEdge;
        const float ridge = 0.5f + 0.5f * std::sin(r * 70.0f - angle * 2.0f);
        VC_Colour petal = VC_Mix(VC_Wine, VC_Magenta, depth * 0.8f + 0.2f * ridge);
        petal = VC_Mix(petal, VC_Rose, VC_Smooth(0.75f, 1.0f, depth) * 0.6f);
        petal = VC_Mix(petal, VC_Gold, (1.0f - VC_Smooth(0.0f, 0.18f, depth)) * 0.9f);
        colour = VC_Mix(petal, colour, VC_Smooth(0.92f, 1.0f, depth));
    }
    // The ring with its beads.
    const float ring = 1.0f - VC_Smooth(0.0f, 0.018f, std::fabs(r - 0.42f));
    const float beadAngle = std::fmod(angle + kTau, kTau / 24.0f) - kTau / 48.0f;
    const float beadDistance = std::sqrt(beadAngle * beadAngle * 0.47f * 0.47f + (r - 0.47f) * (r - 0.47f));
    const float bead = 1.0f - VC_Smooth(0.008f, 0.016f, beadDistance);
    const float sheen = 0.6f + 0.4f * std::sin(angle * 2.0f + 0.8f);
    colour = VC_Mix(colour, VC_Scale(VC_Gold, sheen), std::max(ring, bead));
    return colour;
}

// --- o18: woven cloth --------------------------------------------------------------------------

VC_Colour Weave(float u, float v)
{
    const float warp = 0.5f + 0.5f * std::sin(u * 64.0f * kTau);
    const float weft = 0.5f + 0.5f * std::sin(v * 64.0f * kTau);
    const bool over = (static_cast<int>(u * 64.0f) + static_cast<int>(v * 64.0f)) % 2 == 0;
    const float thread = over ? warp : weft;
    VC_Colour colour = VC_Mix(VC_Wine, VC_Magenta, thread);
    colour = VC_Mix(colour, VC_Gold, 0.25f * VC_Fbm(u * 8.0f, v * 8.0f, 4, 53u, 8));
    return colour;
}

// --- o20: a cascade of light -------------------------------------------------------------------

// Streams of falling light, purple to gold, with droplets; tiles across and down.
VC_Colour Cascade(float u, float v)
{
    // Long streams need a low frequency down the picture, where the noise has no period of
    // its own: the picture is faded into itself shifted by one height, which makes it tile.
    const float streams = (1.0f - v) * VC_Fbm(u * 16.0f, v * 2.0f + 4.0f, 4, 61u, 16) +
                          v * VC_Fbm(u * 16.0f, (v - 1.0f) * 2.0f + 4.0f, 4, 61u, 16);
    const float strand = VC_Smooth(0.5f, 0.75f, streams);
    const float fine = 0.5f + 0.5f * std::sin(u * 48.0f * kTau + 2.0f * std::sin(v * kTau * 2.0f));
    const float light = strand * (0.55f + 0.45f * fine);
    VC_Colour colour = VC_Mix(VC_Purple, VC_Magenta, light);
    colour = VC_Mix(colour, VC_Gold, VC_Smooth(0.65f, 1.0f, light));
    // Droplets: one per cell of a 16 x 16 grid at a hashed place.
    const int cellX = static_cast<int>(u * 16.0f);
    const int cellY = static_cast<int>(v * 16.0f);
    const float dropX = (static_cast<float>(cellX) + 0.2f + 0.6f * VC_Hash(cellX, cellY, 67u)) / 16.0f;
    const float dropY = (static_cast<float>(cellY) + 0.2f + 0.6f * VC_Hash(cellX, cellY, 71u)) / 16.0f;
    const float dx = (u - dropX) * 16.0f;
    const float dy = (v - dropY) * 16.0f * 0.5f;
    const float drop = (1.0f - VC_Smooth(0.05f, 0.14f, std::sqrt(dx * dx + dy * dy))) *
                       (VC_Hash(cellX, cellY, 73u) > 0.55f ? 1.0f : 0.0f);
    colour = VC_Mix(colour, {1.0f, 0.92f, 0.75f}, drop);
    colour.a = std::clamp(0.12f + 0.75f * light + drop, 0.0f, 1.0f);
    return colour;
}

// --- o22: the lattice's colours ----------------------------------------------------------------

// A ramp through the palette along u (the shader picks the lines' colour from it), brighter
// towards v = 0.
VC_Colour LatticeRamp(float u, float v)
{
    const VC_Colour stops[5] = {VC_Gold, VC_Rose, VC_Magenta, VC_Purple, VC_Gold};
    const float position = u * 4.0f;
    const int index = std::min(static_cast<int>(position), 3);
    VC_Colour colour = VC_Mix(stops[index], stops[index + 1], VC_Smooth(0.0f, 1.0f, position - index));
    return VC_Scale(colour, 1.0f - 0.6f * v);
}

// --- o24: the stained window and the silk ------------------------------------------------------

// A pointed window of stained glass: diamond panes in the palette between gold leading, in a
// dark frame.
VC_Colour Window(float u, float v)
{
    const float x = u - 0.5f;
    const float frameInset = 0.06f;
    const bool inside = std::fabs(x) < 0.5f - frameInset && v > frameInset && v < 1.0f - frameInset;
    if (!inside) {
        VC_Colour frame = VC_Mix(VC_Shadow, VC_Wine, 0.4f * VC_Fbm(u * 30.0f, v * 30.0f, 3, 83u));
        const float line = 1.0f - VC_Smooth(0.004f, 0.01f, std::fabs(std::max(std::fabs(x) - 0.5f + frameInset, 0.0f) +
                                                                       std::max(frameInset - v, 0.0f) +
                                                                       std::max(v - 1.0f + frameInset, 0.0f) - 0.012f));
        return VC_Mix(frame, VC_Gold, line);
    }
    // Diamond lattice: coordinates turned by 45 degrees.
    const float a = (u + v) * 6.0f;
    const float b = (u - v) * 6.0f;
    const int cellA = static_cast<int>(std::floor(a));
    const int cellB = static_cast<int>(std::floor(b));
    const float edge = std::min(std::min(a - cellA, 1.0f - (a - cellA)), std::min(b - cellB, 1.0f - (b - cellB)));
    const VC_Colour panes[5] = {VC_Velvet, VC_Magenta, VC_Purple, VC_Wine, VC_Rose};
    const int pick = static_cast<int>(VC_Hash(cellA, cellB, 89u) * 5.0f) % 5;
    // Light through the glass: brighter at the centre, mottled.
    const float glow = 1.1f - 0.7f * std::sqrt(x * x + (v - 0.45f) * (v - 0.45f));
    VC_Colour glass = VC_Scale(panes[pick], glow * (0.8f + 0.4f * VC_Fbm(u * 20.0f, v * 20.0f, 3, 97u)));
    const float lead = 1.0f - VC_Smooth(0.03f, 0.07f, edge);
    return VC_Mix(glass, VC_Mix({0.55f, 0.36f, 0.1f}, VC_Gold, 0.5f), lead);
}

// Flowing silk: bands warped by noise, wine to magenta with a gold sheen; tiles both ways.
VC_Colour Silk(float u, float v)
{
    const float warp = VC_Fbm(u * 4.0f, v * 4.0f, 4, 101u, 4);
    const float bands = 0.5f + 0.5f * std::sin((u * 3.0f + v * 2.0f) * kTau + warp * 7.0f);
    VC_Colour colour = VC_Mix(VC_Wine, VC_Magenta, bands);
    colour = VC_Mix(colour, VC_Gold, VC_Smooth(0.82f, 1.0f, bands) * 0.7f);
    return VC_Scale(colour, 0.75f + 0.3f * VC_Fbm(u * 16.0f, v * 16.0f, 2, 103u, 16));
}

template <typename Shade>
bool Write(const std::string& path, std::uint32_t width, std::uint32_t height, Shade shade)
{
    VC_Picture picture(width, height);
    picture.Fill(shade);
    return VC_WritePng(picture, path);
}
} // namespace

constexpr const char* kUsage = "usage: vc-scene-art-b [FOLDER]\nDraws the textures of the middle scenes (o13 to o24) into FOLDER (default: assets).\n";

int main(int argc, char** argv)
{
    std::string folder;
    if (const int exitCode = VC_ReadOutputFolder(argc, argv, kUsage, "assets", folder); exitCode >= 0)
        return exitCode;
    bool written = DrawTitle(folder + "/o13.png");
    written = Write(folder + "/o15.png", 256, 256, Curtain) && written;
    written = Write(folder + "/o16.png", kMedallionWidth, kMedallionHeight, Medallion) && written;
    written = Write(folder + "/o18.png", 256, 256, Weave) && written;
    written = Write(folder + "/o20.png", 256, 256, Cascade) && written;
    written = Write(folder + "/o22.png", 256, 256, LatticeRamp) && written;
    written = Write(folder + "/o24.png", 256, 256, Window) && written;
    written = Write(folder + "/o24_2.png", 256, 256, Silk) && written;
    return written ? 0 : 1;
}
