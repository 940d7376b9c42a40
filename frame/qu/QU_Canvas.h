#pragma once
// Batched 2D drawing in pixels: text in a QU_Font, flat rectangles and rectangles masked by a
// texture's alpha, onto the render context's current target.
//
//   QU_Canvas canvas;                                  // after the renderer and fonts exist
//   canvas.Begin(1280, 720);                           // the target's size in pixels
//   canvas.DrawRectangle(8, 8, 200, 40, {0, 0, 0, 160});
//   canvas.DrawText(font.Get(), "FPS 60", 12, 12, {255, 255, 255, 255});
//   canvas.End();                                      // draws what is queued
//
// Pixels: (0, 0) is the top-left corner of the target, y grows downwards. Text is placed by
// the top-left corner of its first line; a '\n' starts a new line.
//
// The canvas owns one vertex layout (position, texture coordinate, colour: 40 bytes), three
// shader states (greyscale-coverage text, LCD-coverage text, flat colour) sharing one constant
// buffer with the projection, a 16 x 16 white texture, and the blend, depth, rasteriser and
// sampler states they draw with. Quads are queued in a CPU array and drawn in one call per run
// of quads with the same state, texture (and, for LCD text, colour); the index buffer holds the
// quad pattern from construction on, so drawing allocates nothing. Drawing binds the canvas's
// own states: a caller that draws 3D afterwards binds its states again. Main thread only.

#include "QC_Image.h"
#include "QC_Ptr.h"
#include "QR_BlendState.h"
#include "QR_ConstantBuffer.h"
#include "QR_DepthStencilState.h"
#include "QR_GeometryState.h"
#include "QR_IndexBuffer.h"
#include "QR_PixelShader.h"
#include "QR_RasteriserState.h"
#include "QR_RenderContext.h"
#include "QR_SamplerState.h"
#include "QR_ShaderState.h"
#include "QR_Texture2D.h"
#include "QR_VertexBuffer.h"
#include "QR_VertexShader.h"

#include <cstdint>
#include <memory>

class QU_Font;

struct QU_CanvasVertex
{
    float x, y, z, w;
    float u, v;
    float r, g, b, a;
};
static_assert(sizeof(QU_CanvasVertex) == 40, "the canvas vertex shader reads 40 bytes per vertex");

constexpr std::uint32_t QU_CANVAS_VERTICES = 4096;
constexpr std::uint32_t QU_CANVAS_INDICES = 8912;
// Quads one draw can hold: four vertices and six indices each.
constexpr std::uint32_t QU_CANVAS_QUADS =
    QU_CANVAS_VERTICES / 4 < QU_CANVAS_INDICES / 6 ? QU_CANVAS_VERTICES / 4 : QU_CANVAS_INDICES / 6;
constexpr std::uint32_t QU_CANVAS_WHITE_SIZE = 16;

// The canvas's shader texts in the system's shading language.
extern const char* const QU_CANVAS_VERTEX_SHADER;
extern const char* const QU_CANVAS_GREYSCALE_TEXT_SHADER;
extern const char* const QU_CANVAS_LCD_TEXT_SHADER;
extern const char* const QU_CANVAS_FLAT_SHADER;

class QU_Canvas
{
public:
    // Builds every resource through the renderer (which must exist).
    QU_Canvas();
    ~QU_Canvas();
    QU_Canvas(const QU_Canvas&) = delete;
    QU_Canvas& operator=(const QU_Canvas&) = delete;

    // Starts drawing onto a target of width x height pixels (the viewport the caller set):
    // writes the projection and sets the scissor rectangle over the whole target. A size of 0
    // is refused (reported) and the canvas draws nothing until the next Begin.
    void Begin(std::uint32_t width, std::uint32_t height);
    // Draws everything queued since Begin (or the last automatic flush).
    void End();

    void DrawRectangle(float x, float y, float width, float height, QR_Colour colour);
    // The colour where the texture's alpha covers, blended over the target; texture
    // coordinates (u0, v0) at the top-left corner and (u1, v1) at the bottom-right.
    void DrawTexturedRectangle(QR_Texture2D* texture, float x, float y, float width, float height, float u0, float v0,
                               float u1, float v1, QR_Colour colour);
    // A UTF-8 text (a sequence cut short by the end shows as U+FFFD) with its first line's top-left at (x, y); glyphs
    // are rasterised into the font's atlas as needed. LCD fonts are drawn with per-subpixel
    // coverage, the others with greyscale coverage. Returns the pen's x after the last glyph.
    float DrawText(QU_Font* font, const char* text, float x, float y, QR_Colour colour);

    QR_ConstantBuffer* Constants() const { return constants.Get(); }
    QR_ShaderState* FlatState() const { return flatState.Get(); }
    QR_ShaderState* AlphaTextState() const { return alphaTextState.Get(); }
    QR_ShaderState* LcdTextState() const { return lcdTextState.Get(); }
    QR_VertexBuffer* VertexBuffer() const { return vertexBuffer.Get(); }
    QR_IndexBuffer* IndexBuffer() const { return indexBuffer.Get(); }
    QR_GeometryState* Geometry() const { return geometry.Get(); }
    QR_VertexShader* VertexShader() const { return vertexShader.Get(); }
    QR_PixelShader* AlphaTextShader() const { return alphaTextShader.Get(); }
    QR_PixelShader* LcdTextShader() const { return lcdTextShader.Get(); }
    QR_PixelShader* FlatShader() const { return flatShader.Get(); }
    const QC_Image& WhiteImage() const { return *whiteImage; }
    QR_Texture2D* WhiteTexture() const { return whiteTexture.Get(); }
    QR_DepthStencilState* DepthState() const { return depthState.Get(); }
    QR_RasteriserState* RasteriserState() const { return rasteriserState.Get(); }
    QR_BlendState* AlphaBlend() const { return alphaBlend.Get(); }
    QR_BlendState* LcdBlend() const { return lcdBlend.Get(); }
    QR_SamplerState* Sampler() const { return sampler.Get(); }
    // Quads queued and not yet drawn.
    std::uint32_t QueuedQuads() const { return quadCount; }

private:
    enum class Batch
    {
        None,
        Flat,
        AlphaText,
        LcdText,
    };

    // Makes the queue draw with batch, texture and (LCD text) colour, drawing what was queued
    // for anything else first.
    void Use(Batch batch, QR_Texture2D* texture, QR_Colour colour);
    void AddQuad(float x, float y, float width, float height, float u0, float v0, float u1, float v1,
                 QR_Colour colour);
    void Flush();

    QC_Ptr<QR_ConstantBuffer> constants;
    QC_Ptr<QR_ShaderState> flatState;
    QC_Ptr<QR_ShaderState> alphaTextState;
    QC_Ptr<QR_ShaderState> lcdTextState;
    QC_Ptr<QR_VertexBuffer> vertexBuffer;
    QC_Ptr<QR_IndexBuffer> indexBuffer;
    QC_Ptr<QR_GeometryState> geometry;
    QC_Ptr<QR_PixelShader> alphaTextShader;
    QC_Ptr<QR_PixelShader> lcdTextShader;
    QC_Ptr<QR_PixelShader> flatShader;
    QC_Ptr<QR_VertexShader> vertexShader;
    QC_Ptr<QC_Image> whiteImage;
    QC_Ptr<QR_Texture2D> whiteTexture;
    QC_Ptr<QR_DepthStencilState> depthState;
    QC_Ptr<QR_RasteriserState> rasteriserState;
    QC_Ptr<QR_BlendState> alphaBlend;
    QC_Ptr<QR_BlendState> lcdBlend;
    QC_Ptr<QR_SamplerState> sampler;

    // The queue: vertices of quadCount quads drawn with batch, batchTexture and batchColour.
    std::unique_ptr<QU_CanvasVertex[]> queue;
    std::uint32_t quadCount = 0;
    Batch batch = Batch::None;
    QC_Ptr<QR_Texture2D> batchTexture;
    QR_Colour batchColour = {0, 0, 0, 0};
    // True between a Begin with a usable size and End.
    bool drawing = false;
};
