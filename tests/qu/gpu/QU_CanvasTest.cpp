// The canvas and the utility object on the headless device: their resources, the white
// texture, rectangles and text drawn in pixels and read back.

#include "support/QR_RendererTestSupport.h"
#include "QU_App.h"
#include "QU_Canvas.h"
#include "QU_Font.h"

#include <algorithm>
#include <cmath>

namespace {

// Shows what the canvas's texture slot samples, unblended.
const char* const sampleShader = R"(samplers
{
  QR_Sampler2D texture;
}
pixel
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour,
            out QR_Target outColour)
  {
    outColour = QR_Sample(texture, inTexCoord)
  }
}
)";

const QR_Colour white = {255, 255, 255, 255};

} // namespace

class QU_CanvasTest : public QR_RendererTest
{
protected:
    void SetUp() override
    {
        QR_RendererTest::SetUp();
        QU_InitFonts();
        context->Clear({0, 0, 0, 255});
    }
    void TearDown() override
    {
        QU_ShutdownFonts();
        QR_RendererTest::TearDown();
    }

    // The coverage byte (channel 0-3) of a font's atlas at (x, y).
    static int Atlas(const QU_Font& font, std::uint32_t x, std::uint32_t y, int channel)
    {
        return reinterpret_cast<const std::uint8_t*>(font.AtlasImage()->Pixels())[(y * QU_FONT_ATLAS_SIZE + x) * 4 + channel];
    }

    // Where each glyph of a single-line ASCII text starts: the pen in whole pixels, the baseline
    // below the top by the ascender rounded up.
    struct Placed
    {
        const QU_FontGlyph* glyph;
        int left, top;
    };
    static std::vector<Placed> Layout(QU_Font& font, const char* text, float x, float y)
    {
        std::vector<Placed> placed;
        const int baseline = int(std::floor(y + 0.5f)) + int(std::ceil(font.Ascender()));
        float pen = x;
        for (const char* c = text; *c; ++c) {
            const QU_FontGlyph* glyph = font.GetGlyph(std::uint8_t(*c));
            placed.push_back({glyph, int(std::floor(pen + 0.5f)) + glyph->offsetX, baseline + glyph->offsetY});
            pen += glyph->advance;
        }
        return placed;
    }

    // Compares the whole picture with the glyphs' atlas coverage (channel per colour channel,
    // or alpha in all three for greyscale) blended in drawing order in colour over black:
    // neighbouring glyphs may overlap by a pixel.
    void ExpectText(QU_Font& font, const std::vector<Placed>& placed, QR_Colour colour)
    {
        const int scale[3] = {colour.r, colour.g, colour.b};
        int lit = 0, wrong = 0;
        for (std::uint32_t y = 0; y < size; ++y)
            for (std::uint32_t x = 0; x < size; ++x) {
                int expected[3] = {0, 0, 0};
                for (const Placed& p : placed) {
                    const int gx = int(x) - p.left, gy = int(y) - p.top;
                    if (gx < 0 || gy < 0 || gx >= int(p.glyph->width) || gy >= int(p.glyph->height))
                        continue;
                    for (int c = 0; c < 3; ++c) {
                        const int coverage = Atlas(font, p.glyph->atlasX + gx, p.glyph->atlasY + gy, font.IsLcd() ? c : 3);
                        expected[c] = (coverage * scale[c] + expected[c] * (255 - coverage) + 127) / 255;
                    }
                }
                const QrPixel actual = Pixel(x, y);
                const int got[3] = {actual.r, actual.g, actual.b};
                for (int c = 0; c < 3; ++c)
                    if (std::abs(got[c] - expected[c]) > 2 && wrong++ < 5)
                        ADD_FAILURE() << "pixel (" << x << ", " << y << ") channel " << c << " is " << got[c]
                                      << ", expected " << expected[c];
                lit += std::max({expected[0], expected[1], expected[2]}) > 200;
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_GT(lit, 10) << "the text covers some pixels fully";
    }
};

TEST_F(QU_CanvasTest, ConstructionBuildsEveryResourceAndAWhiteTextureThatSamplesOne)
{
    QU_Canvas canvas;
    EXPECT_TRUE(TakeErrors().empty());
    EXPECT_TRUE(canvas.Constants() && canvas.VertexShader() && canvas.AlphaTextShader() && canvas.LcdTextShader() &&
                canvas.FlatShader());
    EXPECT_TRUE(canvas.FlatState() && canvas.AlphaTextState() && canvas.LcdTextState());
    EXPECT_TRUE(canvas.VertexBuffer() && canvas.IndexBuffer() && canvas.Geometry() && canvas.WhiteTexture());
    EXPECT_TRUE(canvas.DepthState() && canvas.RasteriserState() && canvas.AlphaBlend() && canvas.LcdBlend() &&
                canvas.Sampler());
    for (QR_ShaderState* state : {canvas.FlatState(), canvas.AlphaTextState(), canvas.LcdTextState()}) {
        EXPECT_EQ(state->ConstantBuffer(), canvas.Constants());
        EXPECT_EQ(state->VertexShader(), canvas.VertexShader());
    }
    EXPECT_EQ(canvas.FlatState()->PixelShader(), canvas.FlatShader());
    EXPECT_EQ(canvas.AlphaTextState()->PixelShader(), canvas.AlphaTextShader());
    EXPECT_EQ(canvas.LcdTextState()->PixelShader(), canvas.LcdTextShader());
    EXPECT_EQ(canvas.WhiteTexture()->Width(), 16u);
    EXPECT_EQ(canvas.WhiteTexture()->Height(), 16u);
    const std::uint8_t* bytes = reinterpret_cast<const std::uint8_t*>(canvas.WhiteImage().Pixels());
    for (std::uint32_t i = 0; i < 16 * 16 * 4; ++i)
        ASSERT_EQ(bytes[i], 0xFF);

    // Sample the white texture over the whole target, with the canvas's projection, sampler
    // and vertex layout: every pixel is (1, 1, 1, 1).
    canvas.Begin(size, size);
    QC_Ptr<QR_PixelShader> pixelShader = PixelShader(sampleShader);
    ASSERT_TRUE(pixelShader);
    QC_Ptr<QR_ShaderState> state = renderer->CreateShaderState(canvas.VertexShader(), pixelShader.Get());
    state->SetConstantBuffer(canvas.Constants());
    state->SetTexture(canvas.WhiteTexture(), 0);
    state->SetSamplerState(canvas.Sampler(), 0);
    const QrCanvasVertex corners[4] = {
        {0, 0, 0.5f, 1, 0, 0, 0, 0, 0, 0},
        {float(size), 0, 0.5f, 1, 1, 0, 0, 0, 0, 0},
        {0, float(size), 0.5f, 1, 0, 1, 0, 0, 0, 0},
        {float(size), float(size), 0.5f, 1, 1, 1, 0, 0, 0, 0},
    };
    const std::uint32_t indices[6] = {0, 1, 2, 2, 1, 3};
    QC_Ptr<QR_VertexBuffer> vertices = renderer->CreateVertexBuffer(QR_Usage::Default, 40, 4, corners);
    QC_Ptr<QR_IndexBuffer> indexBuffer = renderer->CreateIndexBuffer(QR_Usage::Default, 4, 6, indices);
    geometry = renderer->CreateGeometryState(QR_Primitive::TriangleList, vertices.Get(), indexBuffer.Get());
    context->SetShaderAndGeometry(geometry.Get(), state.Get());
    context->DrawIndexed(6, 0);
    ReadBack();
    for (std::uint32_t y = 0; y < size; ++y)
        for (std::uint32_t x = 0; x < size; ++x)
            ASSERT_TRUE(PixelNear(Pixel(x, y), {255, 255, 255, 255}, 0)) << "at (" << x << ", " << y << ")";
}

TEST_F(QU_CanvasTest, RectanglesLandOnTheirPixelsFromTheTopLeft)
{
    QU_Canvas canvas;
    canvas.Begin(size, size);
    canvas.DrawRectangle(8, 16, 10, 4, {255, 0, 0, 255});
    // Half-transparent blue over the red's right part.
    canvas.DrawRectangle(14, 16, 10, 4, {0, 0, 255, 128});
    // The white texture as a mask: the colour where its alpha is 1.
    canvas.DrawTexturedRectangle(canvas.WhiteTexture(), 40, 50, 8, 8, 0, 0, 1, 1, {0, 255, 0, 255});
    EXPECT_EQ(canvas.QueuedQuads(), 1u) << "a change of state draws what was queued before";
    canvas.End();
    EXPECT_EQ(canvas.QueuedQuads(), 0u);
    ReadBack();
    // The canvas's blend weighs source and destination alpha by zero: drawn pixels keep alpha 0.
    EXPECT_TRUE(PixelNear(Pixel(8, 16), {255, 0, 0, 0}));
    EXPECT_TRUE(PixelNear(Pixel(13, 19), {255, 0, 0, 0}));
    EXPECT_TRUE(PixelNear(Pixel(14, 16), {127, 0, 128, 0}));
    EXPECT_TRUE(PixelNear(Pixel(23, 19), {0, 0, 128, 0}));
    EXPECT_TRUE(PixelNear(Pixel(7, 16), {0, 0, 0, 255}));
    EXPECT_TRUE(PixelNear(Pixel(8, 15), {0, 0, 0, 255}));
    EXPECT_TRUE(PixelNear(Pixel(8, 20), {0, 0, 0, 255}));
    EXPECT_TRUE(PixelNear(Pixel(24, 18), {0, 0, 0, 255}));
    EXPECT_TRUE(PixelNear(Pixel(40, 50), {0, 255, 0, 0}));
    EXPECT_TRUE(PixelNear(Pixel(47, 57), {0, 255, 0, 0}));
    EXPECT_TRUE(PixelNear(Pixel(48, 57), {0, 0, 0, 255}));
    EXPECT_TRUE(PixelNear(Pixel(47, 58), {0, 0, 0, 255}));
    EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(QU_CanvasTest, MoreQuadsThanTheBuffersHoldAreDrawnInSeveralCalls)
{
    QU_Canvas canvas;
    canvas.Begin(size, size);
    renderer->ResetTriangleCount();
    const std::uint32_t count = QU_CANVAS_QUADS * 2 + 100;
    for (std::uint32_t i = 0; i < count; ++i)
        canvas.DrawRectangle(float(i % 64), float((i / 64) % 64), 1, 1, {255, 255, 255, 255});
    EXPECT_EQ(renderer->GetTriangleCount(), int(QU_CANVAS_QUADS * 2 * 2));
    canvas.End();
    EXPECT_EQ(renderer->GetTriangleCount(), int(count * 2));
    ReadBack();
    // 2148 unit squares fill rows 0 to 33 and part of row 33 ... all of rows 0-32 are white.
    EXPECT_TRUE(PixelNear(Pixel(63, 32), {255, 255, 255, 0}));
    EXPECT_TRUE(PixelNear(Pixel(0, 33), {255, 255, 255, 0}));
    EXPECT_TRUE(PixelNear(Pixel(63, 33), {0, 0, 0, 255}));

    // A Begin without End first draws what the previous one queued.
    canvas.Begin(size, size);
    canvas.DrawRectangle(0, 40, 1, 1, white);
    canvas.Begin(size, size);
    EXPECT_EQ(renderer->GetTriangleCount(), int(count * 2 + 2));
    canvas.End();

    // Outside Begin and End, and after a Begin of no size, nothing is queued.
    canvas.DrawRectangle(0, 0, 1, 1, white);
    EXPECT_EQ(canvas.QueuedQuads(), 0u);
    canvas.Begin(0, size);
    EXPECT_EQ(TakeErrors(), std::vector<std::string>{"Canvas of 0 x 64 pixels cannot be drawn on."});
    canvas.DrawRectangle(0, 0, 1, 1, white);
    EXPECT_EQ(canvas.QueuedQuads(), 0u);
}

TEST_F(QU_CanvasTest, GreyscaleTextShowsItsGlyphPixelsWhereTheyBelong)
{
    QC_Ptr<QU_Font> font(new QU_Font);
    ASSERT_TRUE(font->Load("C:\\Windows\\Fonts\\micross.ttf", 11, false));
    ASSERT_NE(font->AtlasTexture(), nullptr);
    QU_Canvas canvas;
    canvas.Begin(size, size);
    const float end = canvas.DrawText(font.Get(), "Hg4", 3, 5, white);
    canvas.End();
    ReadBack();
    const std::vector<Placed> placed = Layout(*font, "Hg4", 3, 5);
    float advance = 3;
    for (const Placed& p : placed)
        advance += p.glyph->advance;
    EXPECT_FLOAT_EQ(end, advance);
    ExpectText(*font, placed, white);

    // A coloured second line below, by the line height.
    context->Clear({0, 0, 0, 255});
    canvas.Begin(size, size);
    canvas.DrawText(font.Get(), "x\nHi", 10, 2, {255, 128, 0, 255});
    canvas.End();
    ReadBack();
    std::vector<Placed> lines = Layout(*font, "x", 10, 2);
    for (const Placed& p : Layout(*font, "Hi", 10, 2 + std::ceil(font->LineHeight())))
        lines.push_back(p);
    ExpectText(*font, lines, {255, 128, 0, 255});
    EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(QU_CanvasTest, LcdTextBlendsEachChannelByItsOwnCoverage)
{
    QC_Ptr<QU_Font> font(new QU_Font);
    ASSERT_TRUE(font->Load("C:\\Windows\\Fonts\\consola.ttf", 10, true));
    QU_Canvas canvas;
    canvas.Begin(size, size);
    canvas.DrawText(font.Get(), "Wave", 2, 20, white);
    canvas.End();
    ReadBack();
    ExpectText(*font, Layout(*font, "Wave", 2, 20), white);

    // Red text: the colour is the blend factor, so green and blue stay black.
    context->Clear({0, 0, 0, 255});
    canvas.Begin(size, size);
    canvas.DrawText(font.Get(), "Wave", 2, 20, {255, 0, 0, 255});
    canvas.End();
    ReadBack();
    ExpectText(*font, Layout(*font, "Wave", 2, 20), {255, 0, 0, 255});

    // Without a loaded font the canvas draws nothing and says so.
    QC_Ptr<QU_Font> unloaded(new QU_Font);
    canvas.Begin(size, size);
    EXPECT_EQ(canvas.DrawText(unloaded.Get(), "x", 4, 4, white), 4.0f);
    canvas.End();
    EXPECT_EQ(TakeErrors(), std::vector<std::string>{"Canvas asked to draw text with a font that is not loaded."});
}

TEST_F(QU_CanvasTest, AppHoldsACanvasAndTheDefaultFontAndNoWindow)
{
    ASSERT_EQ(QU_GetApp(), nullptr);
    QU_App* app = QU_CreateApp();
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(QU_GetApp(), app);
    EXPECT_EQ(app->WindowHandle(), nullptr);
    ASSERT_NE(app->Font(), nullptr);
    EXPECT_TRUE(app->Font()->IsLoaded());
    EXPECT_TRUE(app->Font()->IsLcd());
    EXPECT_EQ(app->Font()->Size(), 11);
    EXPECT_EQ(app->Font()->Path(), "C:\\Windows\\Fonts\\micross.ttf");
    EXPECT_NE(app->Canvas().WhiteTexture(), nullptr);
    // Its canvas draws with its font.
    app->Canvas().Begin(size, size);
    app->Canvas().DrawText(app->Font(), "OK", 4, 4, white);
    app->Canvas().End();
    ReadBack();
    ExpectText(*app->Font(), Layout(*app->Font(), "OK", 4, 4), white);
    QU_DestroyApp();
    EXPECT_EQ(QU_GetApp(), nullptr);
    QU_DestroyApp();
    EXPECT_TRUE(TakeErrors().empty());
}
