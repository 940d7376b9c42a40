#include "QU_Font.h"

#include "QC_Log.h"
#include "QC_Mutex.h"
#include "QP_FontLibrary.h"
#include "QR_Renderer.h"

#include <cstring>

namespace {

// The library, made by QU_InitFonts and deleted by QU_ShutdownFonts; a plain pointer so that
// fonts released during the process's end never meet a destroyed library object.
QP_FontLibrary* g_fontLibrary = nullptr;
// Counts library starts: a face opened under an earlier start was released with that library.
std::uint32_t g_fontLibraryGeneration = 0;

QC_Mutex& FontMutex()
{
    static QC_Mutex mutex;
    return mutex;
}

const std::uint8_t lcdFilterWeights[5] = {0x10, 0x40, 0x75, 0x40, 0x10};

// Copies one rasterised glyph into the atlas at (x, y), as RGBA coverage.
void CopyGlyph(const QP_GlyphBitmap& bitmap, QC_Image& atlas, std::uint32_t x, std::uint32_t y)
{
    std::uint8_t* pixels = reinterpret_cast<std::uint8_t*>(atlas.Pixels());
    for (std::uint32_t row = 0; row < bitmap.height; ++row) {
        const std::uint8_t* source = bitmap.buffer + static_cast<std::int64_t>(bitmap.pitch) * row;
        std::uint8_t* target = pixels + (static_cast<std::size_t>(y + row) * atlas.Width() + x) * 4;
        for (std::uint32_t column = 0; column < bitmap.width; ++column, target += 4) {
            switch (bitmap.pixels) {
            case QP_GlyphPixels::Lcd: {
                const std::uint8_t* subpixels = source + column * 3;
                target[0] = subpixels[0];
                target[1] = subpixels[1];
                target[2] = subpixels[2];
                target[3] = static_cast<std::uint8_t>((subpixels[0] + subpixels[1] + subpixels[2] + 1) / 3);
                break;
            }
            case QP_GlyphPixels::Grey:
                std::memset(target, source[column], 4);
                break;
            case QP_GlyphPixels::Mono:
                std::memset(target, (source[column >> 3] & (0x80 >> (column & 7))) ? 0xFF : 0x00, 4);
                break;
            case QP_GlyphPixels::None:
                break;
            }
        }
    }
}

} // namespace

void QU_InitFonts()
{
    QC_ScopedLock lock(FontMutex());
    if (g_fontLibrary) {
        QC_ERROR("Fonts are already started.");
        return;
    }
    QP_FontLibrary* library = new QP_FontLibrary;
    int error = library->Init();
    if (error)
        QC_FATAL("Failed to initialised Freetype. Error is %d.", error);
    error = library->SetDefaultLcdFilter();
    if (error)
        QC_FATAL("Failed to set lcd filter. Error is %d.", error);
    error = library->SetLcdFilterWeights(lcdFilterWeights);
    if (error)
        QC_FATAL("Failed to set lcd filter weights. Error is %d.", error);
    g_fontLibrary = library;
    ++g_fontLibraryGeneration;
}

void QU_ShutdownFonts()
{
    QC_ScopedLock lock(FontMutex());
    if (!g_fontLibrary)
        return;
    const int error = g_fontLibrary->Done();
    if (error)
        QC_ERROR("Failed to release Freetype. Error is %d.", error);
    delete g_fontLibrary;
    g_fontLibrary = nullptr;
}

QU_Font::~QU_Font()
{
    {
        QC_ScopedLock lock(FontMutex());
        ReleaseFace();
    }
    atlasImage = nullptr;
    atlasTexture = nullptr;
    glyphs.clear();
}

void QU_Font::ReleaseFace()
{
    if (!face.IsOpen())
        return;
    if (!g_fontLibrary || faceGeneration != g_fontLibraryGeneration) {
        // The library that owned the face is gone and took the face with it.
        face.Abandon();
        return;
    }
    const int error = face.Close();
    if (error)
        QC_ERROR("Failed to release face. Error is %d.", error);
}

bool QU_Font::Load(const char* fontPath, std::int32_t pointSize, bool lcdCoverage)
{
    path = fontPath;
    size = pointSize;
    lcd = lcdCoverage ? 1 : 0;

    QC_ScopedLock lock(FontMutex());
    // A font loaded again starts afresh: the old face, glyphs and atlas no longer match.
    ReleaseFace();
    glyphs.clear();
    atlasImage = nullptr;
    atlasTexture = nullptr;
    packX = packY = 1;
    rowHeight = 0;
    atlasFullReported = false;

    // Without a started library the face cannot open: the rasteriser reports an invalid
    // library handle, which is quoted like any other failure.
    static const QP_FontLibrary noLibrary;
    int error = face.Open(g_fontLibrary ? *g_fontLibrary : noLibrary, path.CStr(), 0);
    if (error) {
        QC_ERROR("Failed to load %s. Error is %d.", path.CStr(), error);
        return false;
    }
    faceGeneration = g_fontLibraryGeneration;
    if (face.WasMapped())
        QC_INFO("Font %s is served by %s.", path.CStr(), face.OpenedPath());
    error = face.SelectUnicodeCharmap();
    if (error) {
        QC_ERROR("Failed to set charset unicoded for %s. Error is %d.", path.CStr(), error);
        return false;
    }
    // 26.6 fixed point, computed in 64 bits so that no size overflows before the library
    // judges it.
    error = face.SetCharSize(0, static_cast<std::int64_t>(size) * 64, QU_FONT_DPI, QU_FONT_DPI);
    if (error) {
        QC_ERROR("Failed to set size %d for %s. Error is %d.", size, path.CStr(), error);
        return false;
    }

    atlasImage = QC_Ptr<QC_Image>(new QC_Image(QU_FONT_ATLAS_SIZE, QU_FONT_ATLAS_SIZE));
    atlasImage->Clear();
    if (QR_Renderer* renderer = QR_GetRenderer()) {
        atlasTexture = renderer->CreateTexture2D(QU_FONT_ATLAS_SIZE, QU_FONT_ATLAS_SIZE);
        // The texture starts as the cleared picture, so texels around glyphs sample as 0.
        QC_Ptr<QR_RenderContext> context = renderer->GetRenderContext();
        if (atlasTexture && context)
            context->UpdateTexture(atlasTexture.Get(), *atlasImage, 0, 0, QU_FONT_ATLAS_SIZE, QU_FONT_ATLAS_SIZE);
    }
    return true;
}

bool QU_Font::Allocate(std::uint32_t width, std::uint32_t height, std::uint32_t* x, std::uint32_t* y)
{
    // One empty pixel around every glyph: nothing bleeds into a neighbour when sampled.
    if (packX + width + 1 > QU_FONT_ATLAS_SIZE) {
        packX = 1;
        packY += rowHeight + 1;
        rowHeight = 0;
    }
    if (packY + height + 1 > QU_FONT_ATLAS_SIZE)
        return false;
    *x = packX;
    *y = packY;
    packX += width + 1;
    if (height > rowHeight)
        rowHeight = height;
    return true;
}

const QU_FontGlyph* QU_Font::GetGlyph(std::uint32_t code)
{
    const auto known = glyphs.find(code);
    if (known != glyphs.end())
        return &known->second;
    if (!IsLoaded())
        return nullptr;

    QU_FontGlyph glyph;
    glyph.code = code;
    QP_GlyphBitmap bitmap;
    {
        QC_ScopedLock lock(FontMutex());
        if (!g_fontLibrary || faceGeneration != g_fontLibraryGeneration) {
            QC_ERROR("Fonts are shut down: no glyph %u of %s.", code, path.CStr());
            return nullptr;
        }
        const int error = face.RenderGlyph(code, lcd != 0, &bitmap);
        if (error) {
            // Kept as an empty record so the failure is reported once, not every frame.
            QC_ERROR("Failed to render glyph %u of %s. Error is %d.", code, path.CStr(), error);
            bitmap = QP_GlyphBitmap{};
        }
        glyph.advance = static_cast<float>(bitmap.advance) / 64.0f;
        glyph.offsetX = bitmap.left;
        glyph.offsetY = -bitmap.top;
        if (bitmap.pixels != QP_GlyphPixels::None) {
            std::uint32_t x = 0, y = 0;
            if (bitmap.width + 2 > QU_FONT_ATLAS_SIZE || bitmap.height + 2 > QU_FONT_ATLAS_SIZE) {
                QC_ERROR("Glyph %u of %s does not fit the atlas.", code, path.CStr());
            } else if (!Allocate(bitmap.width, bitmap.height, &x, &y)) {
                if (!atlasFullReported)
                    QC_ERROR("Font atlas of %s is full.", path.CStr());
                atlasFullReported = true;
            } else {
                CopyGlyph(bitmap, *atlasImage, x, y);
                glyph.atlasX = x;
                glyph.atlasY = y;
                glyph.width = bitmap.width;
                glyph.height = bitmap.height;
            }
        }
    }
    if (glyph.width && atlasTexture) {
        if (QR_Renderer* renderer = QR_GetRenderer()) {
            QC_Ptr<QR_RenderContext> context = renderer->GetRenderContext();
            if (context)
                context->UpdateTexture(atlasTexture.Get(), *atlasImage, glyph.atlasX, glyph.atlasY, glyph.width,
                                       glyph.height);
        }
    }
    return &glyphs.emplace(code, glyph).first->second;
}
