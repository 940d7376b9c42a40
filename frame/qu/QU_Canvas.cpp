#include "QU_Canvas.h"

#include "QC_Log.h"
#include "QC_String.h"
#include "QR_Renderer.h"
#include "QU_Font.h"

#include <cmath>
#include <cstring>

// The sampling macro of the shading language ends its own statement, so the lines that sample
// carry no semicolon of their own.
const char* const QU_CANVAS_VERTEX_SHADER = R"(constants
{
  custom
  {
    float4x4 projection;
  }
}
samplers
{
  QR_Sampler2D texture;
}
vertex
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour,
            out QR_Position outPosition, out QR_TexCoord0 outTexCoord, out QR_Colour outColour)
  {
    outPosition = QR_Mul(custom.projection, inPosition);
    outTexCoord = inTexCoord;
    outColour = inColour;
  }
}
)";

const char* const QU_CANVAS_GREYSCALE_TEXT_SHADER = R"(constants
{
  custom
  {
    float4x4 projection;
  }
}
samplers
{
  QR_Sampler2D texture;
}
pixel
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour,
            out QR_Target outColour)
  {
    float4 c = QR_Sample(texture, inTexCoord)
    outColour = float4(inColour.x, inColour.y, inColour.z, c.w * inColour.w);
  }
}
)";

const char* const QU_CANVAS_LCD_TEXT_SHADER = R"(constants
{
  custom
  {
    float4x4 projection;
  }
}
samplers
{
  QR_Sampler2D texture;
}
pixel
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour,
            out QR_Target outColour)
  {
    float4 c = QR_Sample(texture, inTexCoord)
    outColour = float4(c.rgb, inColour.a);
  }
}
)";

const char* const QU_CANVAS_FLAT_SHADER = R"(constants
{
  custom
  {
    float4x4 projection;
  }
}
pixel
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour,
            out QR_Target outColour)
  {
    outColour = inColour;
  }
}
)";

namespace {

static_assert(QU_CANVAS_QUADS * 6 <= QU_CANVAS_INDICES && QU_CANVAS_QUADS * 4 <= QU_CANVAS_VERTICES);

// A blend entry that is off: source one, destination zero, add, for colour and alpha alike.
QR_RenderTargetBlendDesc DisabledBlend()
{
    return {0, QR_Blend::One, QR_Blend::Zero, QR_BlendOp::Add, QR_Blend::One, QR_Blend::Zero, QR_BlendOp::Add, 0};
}

float Channel(std::uint8_t value) { return static_cast<float>(value) / 255.0f; }

} // namespace

QU_Canvas::QU_Canvas() : queue(new QU_CanvasVertex[QU_CANVAS_VERTICES])
{
    QR_Renderer* renderer = QR_GetRenderer();
    QC_ASSERT(renderer, "The canvas needs the renderer.");
    QC_Ptr<QR_RenderContext> context = renderer->GetRenderContext();

    constants = renderer->CreateConstantBuffer(QR_Usage::Dynamic, 64, nullptr);
    vertexShader = renderer->CreateVertexShader(QC_String(QU_CANVAS_VERTEX_SHADER));
    alphaTextShader = renderer->CreatePixelShader(QC_String(QU_CANVAS_GREYSCALE_TEXT_SHADER));
    lcdTextShader = renderer->CreatePixelShader(QC_String(QU_CANVAS_LCD_TEXT_SHADER));
    flatShader = renderer->CreatePixelShader(QC_String(QU_CANVAS_FLAT_SHADER));
    alphaTextState = renderer->CreateShaderState(vertexShader.Get(), alphaTextShader.Get());
    lcdTextState = renderer->CreateShaderState(vertexShader.Get(), lcdTextShader.Get());
    flatState = renderer->CreateShaderState(vertexShader.Get(), flatShader.Get());
    for (QR_ShaderState* state : {alphaTextState.Get(), lcdTextState.Get(), flatState.Get()})
        if (state)
            state->SetConstantBuffer(constants.Get());

    vertexBuffer = renderer->CreateVertexBuffer(QR_Usage::Dynamic, sizeof(QU_CanvasVertex), QU_CANVAS_VERTICES, nullptr);
    indexBuffer = renderer->CreateIndexBuffer(QR_Usage::Dynamic, 4, QU_CANVAS_INDICES, nullptr);
    geometry = renderer->CreateGeometryState(QR_Primitive::TriangleList, vertexBuffer.Get(), indexBuffer.Get());
    // Every quad k uses vertices 4k (top-left), 4k + 1 (top-right), 4k + 2 (bottom-left) and
    // 4k + 3 (bottom-right): the pattern never changes, so it is written once.
    if (indexBuffer && context) {
        auto* indices = static_cast<std::uint32_t*>(context->MapIndexBuffer(indexBuffer.Get(), QR_Access::Write));
        if (indices) {
            std::memset(indices, 0, QU_CANVAS_INDICES * 4);
            for (std::uint32_t quad = 0; quad < QU_CANVAS_QUADS; ++quad) {
                const std::uint32_t base = quad * 4;
                std::uint32_t* out = indices + quad * 6;
                out[0] = base;
                out[1] = base + 1;
                out[2] = base + 2;
                out[3] = base + 2;
                out[4] = base + 1;
                out[5] = base + 3;
            }
            context->UnmapIndexBuffer(indexBuffer.Get());
        }
    }

    whiteImage = QC_Ptr<QC_Image>(new QC_Image(QU_CANVAS_WHITE_SIZE, QU_CANVAS_WHITE_SIZE));
    std::memset(whiteImage->Pixels(), 0xFF, whiteImage->ByteSize());
    whiteTexture = renderer->CreateTexture2D(QU_CANVAS_WHITE_SIZE, QU_CANVAS_WHITE_SIZE);
    if (context && whiteTexture)
        context->UpdateTexture(whiteTexture.Get(), *whiteImage, 0, 0, QU_CANVAS_WHITE_SIZE, QU_CANVAS_WHITE_SIZE);

    QR_RasteriserDesc rasteriser = {};
    rasteriser.antialiasedLine = 0;
    rasteriser.cullMode = QR_CullMode::None;
    rasteriser.depthBias = 0;
    rasteriser.depthBiasClamp = 1.0f;
    rasteriser.depthClip = 0;
    rasteriser.fillMode = QR_FillMode::Solid;
    rasteriser.frontCounterClockwise = 0;
    rasteriser.multisample = 0;
    rasteriser.scissor = 1;
    rasteriser.slopeScaledDepthBias = 0.0f;
    rasteriserState = renderer->CreateRasteriserState(rasteriser);

    QR_DepthStencilDesc depth = {};
    depth.depthEnable = 0;
    depth.depthWrite = 1;
    depth.depthFunc = QR_ComparisonFunc::Less;
    depth.stencilEnable = 0;
    depth.stencilReadMask = 0xFF;
    depth.stencilWriteMask = 0xFF;
    depth.frontStencilFailOp = QR_StencilOp::Keep;
    depth.frontStencilDepthFailOp = QR_StencilOp::Incr;
    depth.frontStencilPassOp = QR_StencilOp::Keep;
    depth.frontStencilFunc = QR_ComparisonFunc::Always;
    depth.backStencilFailOp = QR_StencilOp::Keep;
    depth.backStencilDepthFailOp = QR_StencilOp::Decr;
    depth.backStencilPassOp = QR_StencilOp::Keep;
    depth.backStencilFunc = QR_ComparisonFunc::Always;
    depthState = renderer->CreateDepthStencilState(depth);

    QR_BlendDesc blend = {};
    blend.alphaToCoverage = 0;
    blend.independentBlend = 0;
    for (QR_RenderTargetBlendDesc& target : blend.renderTargets)
        target = DisabledBlend();
    blend.renderTargets[0] = {1, QR_Blend::SrcAlpha, QR_Blend::InvSrcAlpha, QR_BlendOp::Add,
                              QR_Blend::Zero, QR_Blend::Zero, QR_BlendOp::Add, 0};
    alphaBlend = renderer->CreateBlendState(blend);
    // The text colour is the blend factor and the pixel shader's colour the coverage of each
    // subpixel, so every channel is blended by its own coverage.
    blend.renderTargets[0] = {1, QR_Blend::BlendFactor, QR_Blend::InvSrcColour, QR_BlendOp::Add,
                              QR_Blend::One, QR_Blend::Zero, QR_BlendOp::Add, 0};
    lcdBlend = renderer->CreateBlendState(blend);

    QR_SamplerDesc samplerDesc = {};
    samplerDesc.filter = QR_Filter::Point;
    samplerDesc.addressU = QR_TextureAddress::Clamp;
    samplerDesc.addressV = QR_TextureAddress::Clamp;
    samplerDesc.addressW = QR_TextureAddress::Clamp;
    samplerDesc.mipLodBias = 0.0f;
    samplerDesc.maxAnisotropy = 16;
    samplerDesc.comparisonFunc = QR_ComparisonFunc::Never;
    samplerDesc.minLod = 0.0f;
    samplerDesc.maxLod = 3.402823466e38f;
    sampler = renderer->CreateSamplerState(samplerDesc);
    for (QR_ShaderState* state : {alphaTextState.Get(), lcdTextState.Get()})
        if (state)
            state->SetSamplerState(sampler.Get(), 0);
}

QU_Canvas::~QU_Canvas() = default;

void QU_Canvas::Begin(std::uint32_t width, std::uint32_t height)
{
    // Quads queued under the previous projection are drawn with it.
    if (drawing)
        Flush();
    quadCount = 0;
    batch = Batch::None;
    batchTexture = nullptr;
    drawing = false;
    if (width == 0 || height == 0) {
        QC_ERROR("Canvas of %u x %u pixels cannot be drawn on.", width, height);
        return;
    }
    if (!constants || !geometry || !flatState || !alphaTextState || !lcdTextState) {
        QC_ERROR("Canvas resources are missing: nothing is drawn.");
        return;
    }
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    // Pixels to clip space for row vectors (x' = 2x / width - 1, y' = 1 - 2y / height). The
    // block's matrix is read column by column, so the shader's mul(projection, position)
    // applies exactly this.
    const float projection[16] = {
        2.0f / static_cast<float>(width), 0, 0, 0, 0, -2.0f / static_cast<float>(height), 0, 0, 0, 0, 1, 0, -1, 1, 0, 1,
    };
    void* memory = context->MapConstantBuffer(constants.Get(), QR_Access::Write);
    if (!memory)
        return;
    std::memcpy(memory, projection, sizeof(projection));
    context->UnmapConstantBuffer(constants.Get());
    context->SetScissorRect(0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    drawing = true;
}

void QU_Canvas::End()
{
    Flush();
    batch = Batch::None;
    batchTexture = nullptr;
    drawing = false;
}

void QU_Canvas::Use(Batch wanted, QR_Texture2D* texture, QR_Colour colour)
{
    const bool sameColour = wanted != Batch::LcdText || std::memcmp(&colour, &batchColour, sizeof(colour)) == 0;
    if (wanted == batch && texture == batchTexture.Get() && sameColour && quadCount < QU_CANVAS_QUADS)
        return;
    Flush();
    batch = wanted;
    batchTexture = texture;
    batchColour = colour;
}

void QU_Canvas::AddQuad(float x, float y, float width, float height, float u0, float v0, float u1, float v1,
                        QR_Colour colour)
{
    const float r = Channel(colour.r), g = Channel(colour.g), b = Channel(colour.b), a = Channel(colour.a);
    QU_CanvasVertex* out = queue.get() + quadCount * 4;
    out[0] = {x, y, 0, 1, u0, v0, r, g, b, a};
    out[1] = {x + width, y, 0, 1, u1, v0, r, g, b, a};
    out[2] = {x, y + height, 0, 1, u0, v1, r, g, b, a};
    out[3] = {x + width, y + height, 0, 1, u1, v1, r, g, b, a};
    ++quadCount;
}

void QU_Canvas::Flush()
{
    if (quadCount == 0)
        return;
    const std::uint32_t quads = quadCount;
    quadCount = 0;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    void* memory = context->MapVertexBuffer(vertexBuffer.Get(), QR_Access::Write);
    if (!memory)
        return;
    std::memcpy(memory, queue.get(), quads * 4 * sizeof(QU_CanvasVertex));
    context->UnmapVertexBuffer(vertexBuffer.Get());

    QR_ShaderState* state = flatState.Get();
    if (batch == Batch::AlphaText)
        state = alphaTextState.Get();
    else if (batch == Batch::LcdText)
        state = lcdTextState.Get();
    if (batch != Batch::Flat)
        state->SetTexture(batchTexture.Get(), 0);
    context->SetRasteriserState(rasteriserState.Get());
    context->SetDepthStencilState(depthState.Get());
    if (batch == Batch::LcdText) {
        const float factor[4] = {Channel(batchColour.r), Channel(batchColour.g), Channel(batchColour.b),
                                 Channel(batchColour.a)};
        context->SetBlendState(lcdBlend.Get(), factor);
    } else {
        context->SetBlendState(alphaBlend.Get());
    }
    context->SetShaderAndGeometry(geometry.Get(), state);
    context->DrawIndexed(quads * 6, 0);
}

void QU_Canvas::DrawRectangle(float x, float y, float width, float height, QR_Colour colour)
{
    if (!drawing)
        return;
    Use(Batch::Flat, nullptr, colour);
    AddQuad(x, y, width, height, 0, 0, 1, 1, colour);
}

void QU_Canvas::DrawTexturedRectangle(QR_Texture2D* texture, float x, float y, float width, float height, float u0,
                                      float v0, float u1, float v1, QR_Colour colour)
{
    if (!drawing)
        return;
    if (!texture) {
        QC_ERROR("Canvas asked to draw a textured rectangle without a texture.");
        return;
    }
    Use(Batch::AlphaText, texture, colour);
    AddQuad(x, y, width, height, u0, v0, u1, v1, colour);
}

float QU_Canvas::DrawText(QU_Font* font, const char* text, float x, float y, QR_Colour colour)
{
    if (!drawing || !text)
        return x;
    if (!font || !font->IsLoaded() || !font->AtlasTexture()) {
        QC_ERROR("Canvas asked to draw text with a font that is not loaded.");
        return x;
    }
    const Batch kind = font->IsLcd() ? Batch::LcdText : Batch::AlphaText;
    const float atlasScale = 1.0f / static_cast<float>(QU_FONT_ATLAS_SIZE);
    // Whole pixels: point-sampled glyphs stay crisp only when texels meet pixels exactly.
    float penX = x;
    float baseline = std::floor(y + 0.5f) + std::ceil(font->Ascender());
    const float lineHeight = std::ceil(font->LineHeight());
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    int remaining = static_cast<int>(std::strlen(text));
    while (remaining > 0) {
        std::uint32_t code = 0;
        int used = QC_Utf8Decode(bytes, remaining, &code);
        if (used <= 0) {
            code = 0xFFFD;
            used = 1;
        }
        bytes += used;
        remaining -= used;
        if (code == '\n') {
            penX = x;
            baseline += lineHeight;
            continue;
        }
        const QU_FontGlyph* glyph = font->GetGlyph(code);
        if (!glyph)
            continue;
        if (glyph->width && glyph->height) {
            Use(kind, font->AtlasTexture(), colour);
            const float left = std::floor(penX + 0.5f) + static_cast<float>(glyph->offsetX);
            const float top = baseline + static_cast<float>(glyph->offsetY);
            AddQuad(left, top, static_cast<float>(glyph->width), static_cast<float>(glyph->height),
                    static_cast<float>(glyph->atlasX) * atlasScale, static_cast<float>(glyph->atlasY) * atlasScale,
                    static_cast<float>(glyph->atlasX + glyph->width) * atlasScale,
                    static_cast<float>(glyph->atlasY + glyph->height) * atlasScale, colour);
        }
        penX += glyph->advance;
    }
    return penX;
}
