#pragma once
// One face of a font file opened with a QP_FontLibrary, sized, and rasterising single glyphs.
//
//   QP_FontFace face;
//   int error = face.Open(library, "C:\\Windows\\Fonts\\consola.ttf", 0);  // system fonts mapped
//   error = face.SelectUnicodeCharmap();
//   error = face.SetCharSize(0, 10 * 64, 96, 96);                         // 10 pt at 96 dpi
//   QP_GlyphBitmap glyph;
//   error = face.RenderGlyph(U'A', true, &glyph);                         // LCD coverage
//
// Codes are the library's own (0 is success). The bitmap a RenderGlyph call describes lives in
// the face until its next RenderGlyph or Close. Not locked: the caller serialises all use of a
// face and of its library. Nothing outside frame/qp includes a FreeType header.

#include <cstdint>

class QP_FontLibrary;

enum class QP_GlyphPixels : std::int32_t
{
    // No bitmap (a blank glyph such as the space, or a format not rasterised here).
    None = 0,
    // One coverage byte per pixel.
    Grey = 1,
    // Three coverage bytes per pixel, red, green, blue subpixels left to right.
    Lcd = 2,
    // One bit per pixel, most significant bit leftmost.
    Mono = 3,
};

struct QP_GlyphBitmap
{
    QP_GlyphPixels pixels = QP_GlyphPixels::None;
    // Size in whole pixels (an LCD bitmap holds 3 * width bytes per row).
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // Bytes from one row to the next, row 0 at the top; may be negative for bottom-up bitmaps.
    std::int32_t pitch = 0;
    const std::uint8_t* buffer = nullptr;
    // From the pen position on the baseline to the bitmap's top-left pixel: left is rightwards,
    // top upwards.
    std::int32_t left = 0;
    std::int32_t top = 0;
    // Horizontal pen advance in 26.6 fixed point.
    std::int32_t advance = 0;
};

struct QP_FontMetrics
{
    // All 26.6 fixed point, of the current size: ascender above the baseline (positive),
    // descender below it (negative), distance from baseline to baseline.
    std::int32_t ascender = 0;
    std::int32_t descender = 0;
    std::int32_t lineHeight = 0;
    // Pixels per em the size came to, horizontally and vertically.
    std::uint32_t xPixelsPerEm = 0;
    std::uint32_t yPixelsPerEm = 0;
};

class QP_FontFace
{
public:
    QP_FontFace() = default;
    // Close() when open.
    ~QP_FontFace();
    QP_FontFace(const QP_FontFace&) = delete;
    QP_FontFace& operator=(const QP_FontFace&) = delete;

    // Opens face faceIndex of the file at path; a missing system font path is mapped first
    // (QP_ResolveSystemFontPath). A face still open is closed first.
    int Open(const QP_FontLibrary& library, const char* path, long faceIndex);
    int SelectUnicodeCharmap();
    // Width and height in 26.6 points (width 0: as the height), resolutions in dots per inch.
    // The request is kept for inspection even when the library refuses it.
    int SetCharSize(std::int64_t width, std::int64_t height, std::uint32_t horizontalDpi, std::uint32_t verticalDpi);
    // Loads, hints and renders the glyph of a Unicode code point (the missing-glyph shape when
    // the face has none): with subpixel (LCD) coverage or greyscale.
    int RenderGlyph(std::uint32_t codePoint, bool lcd, QP_GlyphBitmap* bitmap);
    // Metrics of the current size; all 0 while not open.
    QP_FontMetrics Metrics() const;
    // Releases the face; returns the library's code. Not open: 0.
    int Close();
    // Forgets the face without releasing it: for a face whose library was released (which
    // released the face with it).
    void Abandon() { face = nullptr; }

    bool IsOpen() const { return face != nullptr; }
    // The file actually opened: the path given, or the installed font it was mapped to.
    const char* OpenedPath() const { return openedPath; }
    bool WasMapped() const { return mapped; }
    // The last SetCharSize request.
    std::int64_t RequestedWidth() const { return requestedWidth; }
    std::int64_t RequestedHeight() const { return requestedHeight; }
    std::uint32_t RequestedHorizontalDpi() const { return requestedHorizontalDpi; }
    std::uint32_t RequestedVerticalDpi() const { return requestedVerticalDpi; }

private:
    void* face = nullptr;
    char openedPath[4096] = {};
    bool mapped = false;
    std::int64_t requestedWidth = 0;
    std::int64_t requestedHeight = 0;
    std::uint32_t requestedHorizontalDpi = 0;
    std::uint32_t requestedVerticalDpi = 0;
};
