// vc-demo-art: draws the textures of the demo's frame composition and 2D kit and writes them as
// PNG files. Every run writes the same bytes: the vignette is a pure function of its pixel
// coordinates, and the font is rasterised from one installed font file at one size, hinted
// the same way every time.
//
//   vc-demo-art [FOLDER]     writes FOLDER/font.png (128 x 64) and FOLDER/vignette.png
//                            (256 x 256); FOLDER defaults to assets
//
// font.png: 16 x 8 cells of 8 x 8 pixels, the glyph of code c in column c mod 16, row c / 16;
// white, coverage in alpha. Codes 32 to 126 come from DejaVu Sans Mono Bold (fonts-dejavu-core);
// the control codes and 127 are left empty.

#include "VC_ToolHelp.h"
#include "art/VC_Art.h"
#include "QP_FontFace.h"
#include "QP_FontLibrary.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace
{
constexpr const char* kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";
constexpr std::uint32_t kCell = 8;
constexpr std::uint32_t kColumns = 16;
constexpr std::uint32_t kRows = 8;
// Em size in pixels: caps of about 6 pixels and descenders of 2 fit the 8-pixel cell.
constexpr std::int64_t kEmPixels = 8;
// Baseline within the cell, from its top row: room for the descender below.
constexpr std::int32_t kBaseline = 6;
// Coverage is strengthened a little: at 8 pixels the strokes are thin and a point-sampled
// glyph should read as solid.
constexpr float kCoverageGain = 1.35f;

void PutCoverage(VC_Picture& picture, std::int32_t x, std::int32_t y, float coverage, std::int32_t cellX,
                 std::int32_t cellY)
{
    // Each glyph stays inside its own cell: a bleeding pixel would show in its neighbour.
    if (x < cellX || y < cellY || x >= cellX + std::int32_t(kCell) || y >= cellY + std::int32_t(kCell))
        return;
    const float alpha = std::clamp(coverage * kCoverageGain, 0.0f, 1.0f);
    picture.Set(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), {1.0f, 1.0f, 1.0f, alpha});
}

bool DrawGlyph(QP_FontFace& face, std::uint32_t code, VC_Picture& picture)
{
    QP_GlyphBitmap glyph;
    if (face.RenderGlyph(code, false, &glyph) != 0) {
        std::fprintf(stderr, "cannot rasterise code %u of %s\n", code, kFontFile);
        return false;
    }
    if (glyph.pixels == QP_GlyphPixels::None)
        return true;
    const std::int32_t cellX = std::int32_t((code % kColumns) * kCell);
    const std::int32_t cellY = std::int32_t((code / kColumns) * kCell);
    // Centred across by its advance, on the cell's baseline.
    const std::int32_t advance = (glyph.advance + 32) >> 6;
    const std::int32_t penX = cellX + (std::int32_t(kCell) - advance) / 2;
    const std::int32_t left = penX + glyph.left;
    const std::int32_t top = cellY + kBaseline - glyph.top;
    for (std::uint32_t row = 0; row < glyph.height; ++row) {
        const std::uint8_t* line = glyph.buffer + std::int64_t(row) * glyph.pitch;
        for (std::uint32_t column = 0; column < glyph.width; ++column) {
            float coverage = 0.0f;
            if (glyph.pixels == QP_GlyphPixels::Grey)
                coverage = line[column] / 255.0f;
            else if (glyph.pixels == QP_GlyphPixels::Mono)
                coverage = (line[column / 8] >> (7 - column % 8)) & 1 ? 1.0f : 0.0f;
            else
                coverage = line[column * 3 + 1] / 255.0f; // LCD: the middle subpixel
            if (coverage > 0.0f)
                PutCoverage(picture, left + std::int32_t(column), top + std::int32_t(row), coverage, cellX, cellY);
        }
    }
    return true;
}

bool WriteFont(const std::string& folder)
{
    QP_FontLibrary library;
    if (library.Init() != 0) {
        std::fprintf(stderr, "cannot start the font library\n");
        return false;
    }
    QP_FontFace face;
    if (face.Open(library, kFontFile, 0) != 0 || face.SelectUnicodeCharmap() != 0 ||
        face.SetCharSize(0, kEmPixels * 64, 72, 72) != 0) {
        std::fprintf(stderr, "cannot open %s (package fonts-dejavu-core)\n", kFontFile);
        return false;
    }
    VC_Picture picture(kColumns * kCell, kRows * kCell);
    for (std::uint32_t code = 33; code < 127; ++code)
        if (!DrawGlyph(face, code, picture))
            return false;
    face.Close();
    library.Done();
    return VC_WritePng(picture, folder + "/font.png");
}

// Darkens towards the corners: untouched in the middle, to about 35 % in the far corners; an
// ellipse over the picture, since the texture is stretched over the screen.
bool WriteVignette(const std::string& folder)
{
    VC_Picture picture(256, 256);
    picture.Fill([](float u, float v) {
        const float dx = (u - 0.5f) * 2.0f;
        const float dy = (v - 0.5f) * 2.0f;
        const float radius = std::sqrt(dx * dx + dy * dy) / std::sqrt(2.0f);
        const float shade = 1.0f - 0.65f * VC_Smooth(0.35f, 1.0f, radius);
        return VC_Colour{shade, shade, shade, 1.0f};
    });
    return VC_WritePng(picture, folder + "/vignette.png");
}
} // namespace

constexpr const char* kUsage = "usage: vc-demo-art [FOLDER]\nDraws the demo's font sheet (font.png) and vignette (vignette.png) into FOLDER (default: assets).\n";

int main(int argc, char** argv)
{
    std::string folder;
    if (const int exitCode = VC_ReadOutputFolder(argc, argv, kUsage, "assets", folder); exitCode >= 0)
        return exitCode;
    if (!WriteFont(folder) || !WriteVignette(folder))
        return 1;
    std::printf("wrote %s/font.png and %s/vignette.png\n", folder.c_str(), folder.c_str());
    return 0;
}
