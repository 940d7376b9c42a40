#include "LM1_Draw2D.h"

#include "LM1_SceneKit.h"
#include "QC_Log.h"
#include "QD_Assets.h"
#include "QR_Renderer.h"

#include <cstring>

// Sections: the kit's objects; layout (pure); constants and binding; the draws.

namespace
{
// Text space: 384 x 272 pixels, a 40-column text area from x 32 to 352, first line at y 32.
constexpr float kTextLeft = 32.0f;
constexpr float kTextRight = 352.0f;
constexpr float kTextTop = 32.0f;
constexpr float kGlyphSize = 8.0f;
constexpr std::uint32_t kGlyphColumns = 16;
constexpr std::uint32_t kGlyphRows = 8;
constexpr std::uint32_t kGlyphCount = kGlyphColumns * kGlyphRows;
constexpr std::uint32_t kConstantsSize = 96;

// The 96-byte constant block of both 2D shaders.
struct Constants2D
{
    float matrix[16];
    QC_Float4 parameterA;
    QC_Float4 parameterB;
};
static_assert(sizeof(Constants2D) == kConstantsSize);

struct Draw2D
{
    QC_Ptr<QD_TextureAsset> fontTexture;
    QC_Ptr<QD_ShaderAsset> textShader;
    QC_Ptr<QD_ShaderAsset> imageShader;
    QC_Ptr<QR_VertexBuffer> vertexBuffer;
    QC_Ptr<QR_IndexBuffer> indexBuffer;
    QC_Ptr<QR_GeometryState> geometry;
    QC_Ptr<QR_ConstantBuffer> constants;
    QC_Ptr<QR_RasteriserState> rasteriser;
    QC_Ptr<QR_DepthStencilState> depthStencil;
    QC_Ptr<QR_SamplerState> sampler;
};

// Module-level: created once by the demo's Init and shared by every scene part.
Draw2D g_draw2D;

bool Draw2DReady() { return g_draw2D.geometry && g_draw2D.constants; }
} // namespace

void LM1_InitDraw2D()
{
    QD_Assets* assets = QD_GetAssets();
    QR_Renderer* renderer = QR_GetRenderer();
    QC_ASSERT(assets && renderer, "The 2D kit needs the asset manager and the renderer.");
    g_draw2D.fontTexture = assets->LoadTexture("font.png");
    g_draw2D.textShader = assets->LoadShader("font.qcs");
    g_draw2D.imageShader = assets->LoadShader("texture.qcs");
    g_draw2D.vertexBuffer =
        renderer->CreateVertexBuffer(QR_Usage::Dynamic, sizeof(LM1_Vertex2D), LM1_DRAW2D_CAPACITY, nullptr);
    g_draw2D.indexBuffer = renderer->CreateIndexBuffer(QR_Usage::Dynamic, 4, LM1_DRAW2D_CAPACITY, nullptr);
    if (g_draw2D.vertexBuffer && g_draw2D.indexBuffer)
        g_draw2D.geometry = renderer->CreateGeometryState(QR_Primitive::TriangleList, g_draw2D.vertexBuffer.Get(),
                                                         g_draw2D.indexBuffer.Get());
    else
        QC_ERROR("The 2D kit has no buffers: text and pictures will not be drawn.");
    g_draw2D.constants = renderer->CreateConstantBuffer(QR_Usage::Dynamic, kConstantsSize, nullptr);
    g_draw2D.rasteriser = LM1_CreateRasteriserState(QR_CullMode::None, QR_FillMode::Solid, false);
    g_draw2D.depthStencil = LM1_CreateDepthStencilState(false);
    g_draw2D.sampler = LM1_CreateSamplerState(QR_Filter::Point, QR_TextureAddress::Clamp, QR_TextureAddress::Clamp,
                                             QR_TextureAddress::Clamp, QR_ComparisonFunc::Never);
}

void LM1_ReleaseDraw2D() { g_draw2D = Draw2D(); }

// --- layout ------------------------------------------------------------------------------------

LM1_TextCursor LM1_StartText(const char* text, float y) { return {text, kTextLeft, y + kTextTop + 0.5f}; }

std::uint32_t LM1_LayoutText(LM1_TextCursor& cursor, float x, std::uint32_t textureWidth, std::uint32_t textureHeight,
                             LM1_Vertex2D* vertices, std::uint32_t* indices, std::uint32_t maxGlyphs)
{
    if (textureWidth == 0 || textureHeight == 0)
        return 0;
    const float cellWidth = static_cast<float>(textureWidth / kGlyphColumns);
    const float cellHeight = static_cast<float>(textureHeight / kGlyphRows);
    const float texelWidth = 1.0f / static_cast<float>(textureWidth);
    const float texelHeight = 1.0f / static_cast<float>(textureHeight);
    std::uint32_t glyphs = 0;
    for (; *cursor.next != '\0' && glyphs < maxGlyphs; ++cursor.next) {
        const auto code = static_cast<unsigned char>(*cursor.next);
        // The wrap comes before the character, so a line feed at column 40 still wraps once.
        if (cursor.cursorX >= kTextRight) {
            cursor.lineY += kGlyphSize;
            cursor.cursorX = kTextLeft;
        }
        if (code == '\n')
            continue;
        // The font has glyphs for 0-127 only: a byte beyond takes its place in the line, blank,
        // instead of sampling below the font picture.
        if (code < kGlyphCount) {
            const float left = x + cursor.cursorX;
            const float top = cursor.lineY;
            const float u = static_cast<float>(code % kGlyphColumns) * cellWidth * texelWidth;
            const float v = static_cast<float>(code / kGlyphColumns) * cellHeight * texelHeight;
            const float du = kGlyphSize * texelWidth;
            const float dv = kGlyphSize * texelHeight;
            const std::uint32_t first = glyphs * 4;
            LM1_Vertex2D* quad = vertices + first;
            quad[0] = {left, top, 0.0f, 1.0f, u, v};
            quad[1] = {left + kGlyphSize, top, 0.0f, 1.0f, u + du, v};
            quad[2] = {left, top + kGlyphSize, 0.0f, 1.0f, u, v + dv};
            quad[3] = {left + kGlyphSize, top + kGlyphSize, 0.0f, 1.0f, u + du, v + dv};
            std::uint32_t* six = indices + glyphs * 6;
            six[0] = first;
            six[1] = first + 1;
            six[2] = first + 2;
            six[3] = first + 2;
            six[4] = first + 1;
            six[5] = first + 3;
            ++glyphs;
        }
        cursor.cursorX += kGlyphSize;
    }
    return glyphs;
}

LM1_Rectangle LM1_CentredRectangle(std::int32_t w, std::int32_t h, std::int32_t screenWidth, std::int32_t screenHeight)
{
    const std::int32_t W = screenWidth;
    const std::int32_t H = screenHeight;
    LM1_Rectangle rectangle = {};
    if (h < w) {
        // Wide: cut to the screen's width, never scaled.
        if (W < w) {
            rectangle.x = 0.0f;
            rectangle.width = static_cast<float>(W);
        } else {
            rectangle.x = static_cast<float>(W / 2 - w / 2);
            rectangle.width = static_cast<float>(w);
        }
        rectangle.y = static_cast<float>(H / 2 - h / 2);
        rectangle.height = static_cast<float>(h);
        return rectangle;
    }
    // Tall or square: fitted to the screen's height when taller; scaled in width only when it
    // is also wider, keeping its proportions (in floats: w / h is below 1 here).
    bool scaled = false;
    rectangle.width = static_cast<float>(w);
    if (H < h) {
        rectangle.y = 0.0f;
        rectangle.height = static_cast<float>(H);
        if (W < w) {
            rectangle.width = static_cast<float>(w) / static_cast<float>(h) * static_cast<float>(H);
            scaled = true;
        }
    } else {
        rectangle.y = static_cast<float>(H / 2 - h / 2);
        rectangle.height = static_cast<float>(h);
    }
    const float halfWidth = scaled ? rectangle.width / 2.0f : static_cast<float>(w / 2);
    rectangle.x = static_cast<float>(W / 2) - halfWidth;
    return rectangle;
}

// --- constants and binding ---------------------------------------------------------------------

namespace
{
// Maps x from 0..width to -1..1 and y from 0..height to 1..-1; z to 0.5 + 0.5 z. Storage
// order, row vectors: elements 12 and 13 are the translation.
void ScreenMatrix(float matrix[16], float width, float height)
{
    std::memset(matrix, 0, 16 * sizeof(float));
    matrix[0] = 2.0f / width;
    matrix[5] = -2.0f / height;
    matrix[10] = 0.5f;
    matrix[12] = -1.0f;
    matrix[13] = 1.0f;
    matrix[14] = 0.5f;
    matrix[15] = 1.0f;
}

// Writes the matrix, and the two parameters when given; a picture leaves them as they were.
void WriteConstants(QR_RenderContext& context, float width, float height, const QC_Float4* parameterA,
                    const QC_Float4* parameterB)
{
    auto* block = static_cast<Constants2D*>(context.MapConstantBuffer(g_draw2D.constants.Get(), QR_Access::Write));
    if (!block)
        return;
    ScreenMatrix(block->matrix, width, height);
    if (parameterA)
        block->parameterA = *parameterA;
    if (parameterB)
        block->parameterB = *parameterB;
    context.UnmapConstantBuffer(g_draw2D.constants.Get());
}

void Bind(QR_RenderContext& context, QR_ShaderState* shader, QR_Texture2D* texture)
{
    shader->SetTexture(texture, 0);
    shader->SetConstantBuffer(g_draw2D.constants.Get());
    shader->SetSamplerState(g_draw2D.sampler.Get(), 0);
    context.SetRasteriserState(g_draw2D.rasteriser.Get());
    context.SetDepthStencilState(g_draw2D.depthStencil.Get());
    context.SetShaderAndGeometry(g_draw2D.geometry.Get(), shader);
}

// Maps both 2D buffers with discard; false (both unmapped again) when either fails.
bool MapBuffers(QR_RenderContext& context, LM1_Vertex2D** vertices, std::uint32_t** indices)
{
    *vertices = static_cast<LM1_Vertex2D*>(context.MapVertexBuffer(g_draw2D.vertexBuffer.Get(), QR_Access::Write));
    *indices = static_cast<std::uint32_t*>(context.MapIndexBuffer(g_draw2D.indexBuffer.Get(), QR_Access::Write));
    if (*vertices && *indices)
        return true;
    if (*vertices)
        context.UnmapVertexBuffer(g_draw2D.vertexBuffer.Get());
    if (*indices)
        context.UnmapIndexBuffer(g_draw2D.indexBuffer.Get());
    return false;
}

void UnmapBuffers(QR_RenderContext& context)
{
    context.UnmapVertexBuffer(g_draw2D.vertexBuffer.Get());
    context.UnmapIndexBuffer(g_draw2D.indexBuffer.Get());
}
} // namespace

// --- the draws ---------------------------------------------------------------------------------

void LM1_DrawText(const char* text, const QC_Float4& parameterA, const QC_Float4& parameterB, float x, float y)
{
    if (!text || !Draw2DReady() || !g_draw2D.fontTexture || !g_draw2D.textShader)
        return;
    const QC_Ptr<QR_Texture2D> font = g_draw2D.fontTexture->GetCurrent();
    const QC_Ptr<QR_ShaderState> shader = g_draw2D.textShader->GetCurrent();
    if (!font || !shader)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    WriteConstants(*context, 384.0f, 272.0f, &parameterA, &parameterB);
    Bind(*context, shader.Get(), font.Get());
    // One batch per full buffer: a long text (a screen of 4096 characters) is drawn in pieces,
    // the layout's cursor carrying over, and never writes past the 8096 entries.
    LM1_TextCursor cursor = LM1_StartText(text, y);
    while (*cursor.next != '\0') {
        LM1_Vertex2D* vertices = nullptr;
        std::uint32_t* indices = nullptr;
        if (!MapBuffers(*context, &vertices, &indices))
            return;
        const std::uint32_t glyphs = LM1_LayoutText(cursor, x, font->Width(), font->Height(), vertices, indices,
                                                    LM1_DRAW2D_GLYPHS_PER_BATCH);
        UnmapBuffers(*context);
        if (glyphs > 0)
            context->DrawIndexed(glyphs * 6, 0);
    }
}

void LM1_DrawImage(QR_Texture2D* texture, float x, float y, float width, float height, float screenWidth,
                   float screenHeight)
{
    if (!texture || !Draw2DReady() || !g_draw2D.imageShader)
        return;
    const QC_Ptr<QR_ShaderState> shader = g_draw2D.imageShader->GetCurrent();
    if (!shader)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    LM1_Vertex2D* vertices = nullptr;
    std::uint32_t* indices = nullptr;
    if (!MapBuffers(*context, &vertices, &indices))
        return;
    vertices[0] = {x, y, 0.0f, 1.0f, 0.0f, 0.0f};
    vertices[1] = {x + width, y, 0.0f, 1.0f, 1.0f, 0.0f};
    vertices[2] = {x, y + height, 0.0f, 1.0f, 0.0f, 1.0f};
    vertices[3] = {x + width, y + height, 0.0f, 1.0f, 1.0f, 1.0f};
    const std::uint32_t six[6] = {0, 1, 2, 2, 1, 3};
    std::memcpy(indices, six, sizeof(six));
    UnmapBuffers(*context);
    WriteConstants(*context, screenWidth, screenHeight, nullptr, nullptr);
    Bind(*context, shader.Get(), texture);
    context->DrawIndexed(6, 0);
}

void LM1_DrawImageCentred(QR_Texture2D* texture, std::int32_t screenWidth, std::int32_t screenHeight)
{
    if (!texture)
        return;
    const LM1_Rectangle rectangle = LM1_CentredRectangle(static_cast<std::int32_t>(texture->Width()),
                                                         static_cast<std::int32_t>(texture->Height()), screenWidth,
                                                         screenHeight);
    LM1_DrawImage(texture, rectangle.x, rectangle.y, rectangle.width, rectangle.height,
                  static_cast<float>(screenWidth), static_cast<float>(screenHeight));
}
