#include "QP_FontFace.h"

#include "QP_FontLibrary.h"

// With QP_FontLibrary, the only units that include FreeType.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>

namespace {

FT_Face AsFace(void* face) { return static_cast<FT_Face>(face); }

} // namespace

QP_FontFace::~QP_FontFace()
{
    if (face)
        Close();
}

int QP_FontFace::Open(const QP_FontLibrary& library, const char* path, long faceIndex)
{
    if (face)
        Close();
    mapped = false;
    char mappedPath[sizeof(openedPath)];
    const char* file = path;
    if (QP_ResolveSystemFontPath(path, mappedPath, sizeof(mappedPath))) {
        file = mappedPath;
        mapped = true;
    }
    const std::size_t length = std::strlen(file);
    if (length >= sizeof(openedPath))
        return FT_Err_Cannot_Open_Resource;
    std::memcpy(openedPath, file, length + 1);

    FT_Face opened = nullptr;
    const FT_Error error = FT_New_Face(static_cast<FT_Library>(library.Handle()), file, faceIndex, &opened);
    if (error == 0)
        face = opened;
    return error;
}

int QP_FontFace::SelectUnicodeCharmap()
{
    if (!face)
        return FT_Err_Invalid_Face_Handle;
    return FT_Select_Charmap(AsFace(face), FT_ENCODING_UNICODE);
}

int QP_FontFace::SetCharSize(std::int64_t width, std::int64_t height, std::uint32_t horizontalDpi,
                             std::uint32_t verticalDpi)
{
    requestedWidth = width;
    requestedHeight = height;
    requestedHorizontalDpi = horizontalDpi;
    requestedVerticalDpi = verticalDpi;
    if (!face)
        return FT_Err_Invalid_Face_Handle;
    return FT_Set_Char_Size(AsFace(face), static_cast<FT_F26Dot6>(width), static_cast<FT_F26Dot6>(height),
                            horizontalDpi, verticalDpi);
}

int QP_FontFace::RenderGlyph(std::uint32_t codePoint, bool lcd, QP_GlyphBitmap* bitmap)
{
    *bitmap = QP_GlyphBitmap{};
    if (!face)
        return FT_Err_Invalid_Face_Handle;
    FT_Face ftFace = AsFace(face);
    FT_Error error = FT_Load_Char(ftFace, codePoint, lcd ? FT_LOAD_TARGET_LCD : FT_LOAD_TARGET_NORMAL);
    if (error)
        return error;
    FT_GlyphSlot slot = ftFace->glyph;
    bitmap->advance = static_cast<std::int32_t>(slot->advance.x);
    if (slot->format != FT_GLYPH_FORMAT_BITMAP) {
        error = FT_Render_Glyph(slot, lcd ? FT_RENDER_MODE_LCD : FT_RENDER_MODE_NORMAL);
        if (error)
            return error;
    }
    const FT_Bitmap& source = slot->bitmap;
    bitmap->left = slot->bitmap_left;
    bitmap->top = slot->bitmap_top;
    bitmap->height = source.rows;
    bitmap->pitch = source.pitch;
    bitmap->buffer = source.buffer;
    switch (source.pixel_mode) {
    case FT_PIXEL_MODE_GRAY:
        bitmap->pixels = QP_GlyphPixels::Grey;
        bitmap->width = source.width;
        break;
    case FT_PIXEL_MODE_LCD:
        bitmap->pixels = QP_GlyphPixels::Lcd;
        bitmap->width = source.width / 3;
        break;
    case FT_PIXEL_MODE_MONO:
        bitmap->pixels = QP_GlyphPixels::Mono;
        bitmap->width = source.width;
        break;
    default:
        // Colour and vertical-LCD bitmaps are not drawn: the glyph keeps its advance only.
        bitmap->pixels = QP_GlyphPixels::None;
        bitmap->width = bitmap->height = 0;
        bitmap->buffer = nullptr;
        break;
    }
    if (bitmap->width == 0 || bitmap->height == 0 || !bitmap->buffer) {
        bitmap->pixels = QP_GlyphPixels::None;
        bitmap->width = bitmap->height = 0;
        bitmap->buffer = nullptr;
    }
    return 0;
}

QP_FontMetrics QP_FontFace::Metrics() const
{
    QP_FontMetrics metrics;
    if (!face || !AsFace(face)->size)
        return metrics;
    const FT_Size_Metrics& size = AsFace(face)->size->metrics;
    metrics.ascender = static_cast<std::int32_t>(size.ascender);
    metrics.descender = static_cast<std::int32_t>(size.descender);
    metrics.lineHeight = static_cast<std::int32_t>(size.height);
    metrics.xPixelsPerEm = size.x_ppem;
    metrics.yPixelsPerEm = size.y_ppem;
    return metrics;
}

int QP_FontFace::Close()
{
    if (!face)
        return 0;
    const FT_Error error = FT_Done_Face(AsFace(face));
    face = nullptr;
    return error;
}
