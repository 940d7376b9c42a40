#pragma once
// Fonts: the process-wide rasteriser library and TrueType faces with a glyph atlas.
//
//   QU_InitFonts();                                   // start-up, after the renderer
//   QC_Ptr<QU_Font> font(new QU_Font);
//   if (!font->Load("C:\\Windows\\Fonts\\consola.ttf", 10, true))   // mapped to an installed face
//       ...;                                          // reported; the font has no atlas
//   const QU_FontGlyph* glyph = font->GetGlyph('A');  // rasterised into the atlas on first use
//   ...                                               // draw it with QU_Canvas::DrawText
//   font = nullptr;
//   QU_ShutdownFonts();                               // shut-down, before the renderer goes
//
// Sizes are points at 96 dots per inch (10 pt is 13 1/3 pixels). The atlas is a 512 x 512 RGBA
// picture on the CPU and a texture of the same size: a glyph is copied into both the first time
// it is asked for. LCD fonts store per-subpixel coverage in red, green and blue (and their mean
// in alpha), greyscale fonts the coverage in all four bytes. Glyphs are packed in rows, one
// empty pixel around each, and never evicted: a full atlas is reported once and later glyphs
// keep their advance but draw nothing.
//
// One mutex serialises every use of the library and of every face (start, loads, glyphs,
// release, shut-down). Textures are touched on the main thread only.

#include "QC_Image.h"
#include "QC_Ptr.h"
#include "QC_String.h"
#include "QP_FontFace.h"
#include "QR_Texture2D.h"

#include <cstdint>
#include <map>

constexpr std::uint32_t QU_FONT_ATLAS_SIZE = 512;
constexpr std::uint32_t QU_FONT_DPI = 96;

// Where one glyph lies in its font's atlas and how it sits on the line.
struct QU_FontGlyph
{
    std::uint32_t code = 0;
    // The glyph's rectangle in the atlas, in pixels; width or height 0: nothing to draw (a blank
    // glyph, one that failed to render, or one the atlas had no room for).
    std::uint32_t atlasX = 0;
    std::uint32_t atlasY = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // From the pen position on the baseline to the rectangle's top-left corner, in pixels, with
    // y growing downwards (so a letter standing on the baseline has a negative offsetY).
    std::int32_t offsetX = 0;
    std::int32_t offsetY = 0;
    // How far the pen moves on, in pixels.
    float advance = 0.0f;
};

// Starts the rasteriser library with the LCD filter and its weights 16, 64, 117, 64, 16. A
// failure is fatal. A second call while started reports an error and changes nothing.
void QU_InitFonts();
// Releases the library, and with it every face still open (their fonts then hold none).
void QU_ShutdownFonts();

class QU_Font : public QC_RefCounted
{
public:
    QU_Font() = default;
    ~QU_Font() override;

    // Opens the face at path (a path of 256 characters or more is fatal, "Buffer overflow."),
    // selects its Unicode map, sizes it at size points and makes an empty atlas (its texture
    // when a renderer exists; without one, as in tools, the atlas stays on the CPU). Failures
    // are reported and return false without an atlas. Loading again replaces the face, the
    // glyphs and the atlas.
    bool Load(const char* path, std::int32_t size, bool lcd);

    // The record of a Unicode code point, rasterised on first use (the face's missing-glyph
    // shape for codes it lacks). Null only when no face is loaded. Records stay where they are
    // until the next Load or the font's end.
    const QU_FontGlyph* GetGlyph(std::uint32_t code);

    std::int32_t Size() const { return size; }
    const QC_StringBase& Path() const { return path; }
    bool IsLcd() const { return lcd != 0; }
    bool IsLoaded() const { return face.IsOpen() && atlasImage; }
    QR_Texture2D* AtlasTexture() const { return atlasTexture.Get(); }
    QC_Image* AtlasImage() const { return atlasImage.Get(); }
    std::uint32_t GlyphCount() const { return static_cast<std::uint32_t>(glyphs.size()); }
    const QP_FontFace& Face() const { return face; }
    // Line metrics of the loaded size, in pixels: baseline below the line's top, and the
    // distance from one baseline to the next.
    float Ascender() const { return static_cast<float>(face.Metrics().ascender) / 64.0f; }
    float LineHeight() const { return static_cast<float>(face.Metrics().lineHeight) / 64.0f; }

private:
    // With the font mutex held: closes the face (or forgets it when its library is gone).
    void ReleaseFace();
    // Finds room for a width x height picture; false when the atlas has none left.
    bool Allocate(std::uint32_t width, std::uint32_t height, std::uint32_t* x, std::uint32_t* y);

    std::int32_t size = 0;
    QC_StaticString<256> path;
    QP_FontFace face;
    // The library start (QU_InitFonts call) the face was opened under.
    std::uint32_t faceGeneration = 0;
    std::map<std::uint32_t, QU_FontGlyph> glyphs;
    QC_Ptr<QR_Texture2D> atlasTexture;
    QC_Ptr<QC_Image> atlasImage;
    std::uint8_t lcd = 0;
    // Row packer: the next free position and the tallest glyph of the current row.
    std::uint32_t packX = 1;
    std::uint32_t packY = 1;
    std::uint32_t rowHeight = 0;
    bool atlasFullReported = false;
};
