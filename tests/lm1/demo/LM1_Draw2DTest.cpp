// The 2D kit: text layout (wrap, line feeds, bytes without a glyph, batches), the centred
// picture's rectangle, and both draws on the headless device.

#include "support/DemoTestSupport.h"
#include "LM1_Draw2D.h"
#include "QD_TextureAsset.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// Lays out a whole text in one go into buffers large enough for it.
struct Layout
{
    std::vector<LM1_Vertex2D> vertices;
    std::vector<std::uint32_t> indices;
    std::uint32_t glyphs = 0;
};

Layout LayOut(const std::string& text, float x = 0.0f, float y = 0.0f)
{
    Layout layout;
    layout.vertices.resize(text.size() * 4 + 4);
    layout.indices.resize(text.size() * 6 + 6);
    LM1_TextCursor cursor = LM1_StartText(text.c_str(), y);
    layout.glyphs = LM1_LayoutText(cursor, x, 128, 64, layout.vertices.data(), layout.indices.data(),
                                   static_cast<std::uint32_t>(text.size() + 1));
    EXPECT_EQ(*cursor.next, '\0');
    return layout;
}
} // namespace

TEST(LM1_Draw2DLayoutTest, GlyphsHaveTheirCellCornersAndIndices)
{
    // 'A' is 65: column 1, row 4 of the 16 x 8 cells of a 128 x 64 font.
    const Layout layout = LayOut("A", 10.0f, 4.0f);
    ASSERT_EQ(layout.glyphs, 1u);
    const LM1_Vertex2D* v = layout.vertices.data();
    const float top = 4.0f + 32.0f + 0.5f;
    EXPECT_FLOAT_EQ(v[0].x, 42.0f);
    EXPECT_FLOAT_EQ(v[0].y, top);
    EXPECT_FLOAT_EQ(v[1].x, 50.0f);
    EXPECT_FLOAT_EQ(v[1].y, top);
    EXPECT_FLOAT_EQ(v[2].x, 42.0f);
    EXPECT_FLOAT_EQ(v[2].y, top + 8.0f);
    EXPECT_FLOAT_EQ(v[3].x, 50.0f);
    EXPECT_FLOAT_EQ(v[3].y, top + 8.0f);
    for (int corner = 0; corner < 4; ++corner) {
        EXPECT_EQ(v[corner].z, 0.0f);
        EXPECT_EQ(v[corner].w, 1.0f);
    }
    EXPECT_FLOAT_EQ(v[0].u, 8.0f / 128.0f);
    EXPECT_FLOAT_EQ(v[0].v, 32.0f / 64.0f);
    EXPECT_FLOAT_EQ(v[3].u, 16.0f / 128.0f);
    EXPECT_FLOAT_EQ(v[3].v, 40.0f / 64.0f);
    const std::vector<std::uint32_t> expected = {0, 1, 2, 2, 1, 3};
    EXPECT_EQ(std::vector<std::uint32_t>(layout.indices.begin(), layout.indices.begin() + 6), expected);
}

TEST(LM1_Draw2DLayoutTest, WrapsAfterFortyCharactersAndLineFeedsBreakNothing)
{
    const Layout wrapped = LayOut(std::string(41, 'x'));
    ASSERT_EQ(wrapped.glyphs, 41u);
    // The 40th glyph ends the first line at x 352; the 41st starts the next one at 32.
    EXPECT_FLOAT_EQ(wrapped.vertices[39 * 4].x, 344.0f);
    EXPECT_FLOAT_EQ(wrapped.vertices[39 * 4].y, 32.5f);
    EXPECT_FLOAT_EQ(wrapped.vertices[40 * 4].x, 32.0f);
    EXPECT_FLOAT_EQ(wrapped.vertices[40 * 4].y, 40.5f) << "the 41st character starts the second line";
    EXPECT_EQ(wrapped.indices[40 * 6], 160u);

    // A line feed emits nothing and does not move the cursor: "AB\nC" is "ABC" on one line.
    const Layout fed = LayOut("AB\nC");
    ASSERT_EQ(fed.glyphs, 3u);
    EXPECT_FLOAT_EQ(fed.vertices[2 * 4].x, 48.0f) << "C follows B directly";
    EXPECT_FLOAT_EQ(fed.vertices[2 * 4].y, 32.5f) << "no line break at the line feed";

    // A line feed at column 40 still wraps (the wrap is checked before every byte).
    const Layout fedAtEnd = LayOut(std::string(40, 'x') + "\nC");
    ASSERT_EQ(fedAtEnd.glyphs, 41u);
    EXPECT_FLOAT_EQ(fedAtEnd.vertices[40 * 4].x, 32.0f);
    EXPECT_FLOAT_EQ(fedAtEnd.vertices[40 * 4].y, 40.5f);
}

TEST(LM1_Draw2DLayoutTest, BytesWithoutGlyphTakeTheirPlaceBlank)
{
    // Only codes 0-127 have glyphs: a byte of 128 and above is a blank that advances.
    const Layout layout = LayOut("A\xC3\xA9" "B");
    ASSERT_EQ(layout.glyphs, 2u) << "the two bytes of a UTF-8 letter emit nothing";
    EXPECT_FLOAT_EQ(layout.vertices[4].x, 32.0f + 3 * 8.0f) << "B stands after two blank places";
    for (const LM1_Vertex2D& vertex : std::vector<LM1_Vertex2D>(layout.vertices.begin(), layout.vertices.begin() + 8))
        EXPECT_LE(vertex.v, 1.0f) << "no texture coordinate below the font picture";
}

TEST(LM1_Draw2DLayoutTest, LongTextsContinueAcrossBatchesWithoutOverrunningThem)
{
    const std::string text(4096, 'W');
    // Guard entries after each batch's capacity: a write past it changes them.
    constexpr std::uint32_t kBatch = LM1_DRAW2D_GLYPHS_PER_BATCH;
    std::vector<LM1_Vertex2D> vertices(LM1_DRAW2D_CAPACITY + 1, LM1_Vertex2D{-7, -7, -7, -7, -7, -7});
    std::vector<std::uint32_t> indices(LM1_DRAW2D_CAPACITY + 1, 0xDEADBEEF);
    LM1_TextCursor cursor = LM1_StartText(text.c_str(), 0.0f);
    std::vector<std::uint32_t> batches;
    float lastLine = 0.0f;
    while (*cursor.next != '\0') {
        const std::uint32_t glyphs = LM1_LayoutText(cursor, 0.0f, 128, 64, vertices.data(), indices.data(), kBatch);
        ASSERT_GT(glyphs, 0u);
        batches.push_back(glyphs);
        EXPECT_EQ(vertices[LM1_DRAW2D_CAPACITY].x, -7.0f);
        EXPECT_EQ(indices[LM1_DRAW2D_CAPACITY], 0xDEADBEEFu);
        EXPECT_LE(indices[glyphs * 6 - 1], glyphs * 4 - 1) << "indices count from the batch's vertex 0";
        lastLine = vertices[(glyphs - 1) * 4].y;
    }
    EXPECT_EQ(batches, (std::vector<std::uint32_t>{1349, 1349, 1349, 49}));
    // The layout goes on where the batch ended: 4096 characters are 102 full lines and 16 more.
    EXPECT_FLOAT_EQ(lastLine, 32.5f + 102 * 8.0f);
    EXPECT_LE(kBatch * 4, LM1_DRAW2D_CAPACITY);
    EXPECT_LE(kBatch * 6, LM1_DRAW2D_CAPACITY);
}

TEST(LM1_Draw2DLayoutTest, CentredPicturesFollowTheFittingRule)
{
    struct Case
    {
        const char* what;
        std::int32_t w, h, W, H;
        LM1_Rectangle expected;
    };
    const Case cases[] = {
        {"wide, smaller than the screen", 101, 51, 320, 180, {160 - 50, 90 - 25, 101, 51}},
        {"wide, wider than the screen: cut to its width", 400, 100, 320, 180, {0, 90 - 50, 320, 100}},
        {"wide, taller than the screen: height kept", 400, 300, 320, 180, {0, 90 - 150, 320, 300}},
        {"tall, smaller than the screen", 51, 101, 320, 180, {160 - 25, 90 - 50, 51, 101}},
        {"tall, taller than the screen: fitted in height", 100, 360, 320, 180, {160 - 50, 0, 100, 180}},
        {"tall, larger both ways: scaled", 400, 800, 320, 180, {160 - 45, 0, 90, 180}},
        {"square, fits", 64, 64, 320, 180, {160 - 32, 90 - 32, 64, 64}},
    };
    for (const Case& c : cases) {
        const LM1_Rectangle r = LM1_CentredRectangle(c.w, c.h, c.W, c.H);
        EXPECT_FLOAT_EQ(r.x, c.expected.x) << c.what;
        EXPECT_FLOAT_EQ(r.y, c.expected.y) << c.what;
        EXPECT_FLOAT_EQ(r.width, c.expected.width) << c.what;
        EXPECT_FLOAT_EQ(r.height, c.expected.height) << c.what;
    }
}

class LM1_Draw2DTest : public LM1_DemoRuntimeTest
{
protected:
    void SetUp() override
    {
        StartRuntime(VC_SOURCE_DIR "/assets");
        target = renderer->CreateRenderTarget(width, height);
        ASSERT_TRUE(PumpUntilLoaded());
        context->SetRenderTarget(target.Get());
        context->Clear(QR_Colour{0, 0, 0, 255});
    }
    QC_Ptr<QR_RenderTarget> target;
};

TEST_F(LM1_Draw2DTest, TextShowsInItsColourWhereTheGlyphsAre)
{
    const QC_Float4 green = {0.0f, 1.0f, 0.0f, 1.0f};
    const QC_Float4 plain = {0.0f, 0.0f, 0.0f, 0.0f};
    // A row of full blocks would be ideal; '#' covers most of its cell.
    LM1_DrawText("########################################", green, plain, 0.0f, 0.0f);
    const QC_Ptr<QC_Image> picture = ReadTarget(target.Get());
    // Text rows 32.5..40.5 of 272 land at 10.7..13.4 of 90; columns 32..352 of 384 at 13..147.
    int greenPixels = 0;
    int elsewhere = 0;
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            const QrPixel p = PixelAt(*picture, x, y);
            const bool inText = y >= 10 && y <= 14 && x >= 13 && x <= 147;
            if (p.g > 100 && p.r < 20 && p.b < 20)
                (inText ? greenPixels : elsewhere)++;
        }
    EXPECT_GT(greenPixels, 40) << "glyph pixels in the text line";
    EXPECT_EQ(elsewhere, 0) << "nothing drawn outside the line";
    EXPECT_TRUE(log.Messages(QC_LOG_ERROR).empty()) << log.Errors();
}

TEST_F(LM1_Draw2DTest, AScreenOfFourThousandCharactersDrawsInBatches)
{
    const std::string screen(4096, '#');
    const QC_Float4 white = {1.0f, 1.0f, 1.0f, 1.0f};
    const QC_Float4 plain = {0.0f, 0.0f, 0.0f, 0.0f};
    renderer->ResetTriangleCount();
    LM1_DrawText(screen.c_str(), white, plain, 0.0f, -800.0f);
    EXPECT_EQ(renderer->GetTriangleCount(), 4096 * 2) << "every glyph drawn, over four batches";
    // The last lines (moved up into view by y -800) are on the picture.
    const QC_Ptr<QC_Image> picture = ReadTarget(target.Get());
    int lit = 0;
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            lit += PixelAt(*picture, x, y).r > 100 ? 1 : 0;
    EXPECT_GT(lit, 100);
    EXPECT_TRUE(log.Messages(QC_LOG_ERROR).empty()) << log.Errors();
}

TEST_F(LM1_Draw2DTest, PicturesLandOnTheirRectangle)
{
    // A 2 x 2 texture, red at the top left, drawn over pixels 40..80 x 20..60.
    QC_Ptr<QR_Texture2D> texture = renderer->CreateTexture2D(2, 2);
    QC_Image image(2, 2);
    image.Fill(0xFF0000FFu); // bytes R G B A: opaque red
    image.Pixels()[3] = 0xFFFF0000u; // bottom right: opaque blue
    context->UpdateTexture(texture.Get(), image, 0, 0, 2, 2);
    LM1_DrawImage(texture.Get(), 40.0f, 20.0f, 40.0f, 40.0f, static_cast<float>(width), static_cast<float>(height));
    const QC_Ptr<QC_Image> picture = ReadTarget(target.Get());
    EXPECT_TRUE(PixelNear(PixelAt(*picture, 45, 25), {255, 0, 0, 255}));
    EXPECT_TRUE(PixelNear(PixelAt(*picture, 75, 55), {0, 0, 255, 255}));
    EXPECT_TRUE(PixelNear(PixelAt(*picture, 38, 25), {0, 0, 0, 255})) << "left of the rectangle";
    EXPECT_TRUE(PixelNear(PixelAt(*picture, 81, 55), {0, 0, 0, 255})) << "right of the rectangle";
    EXPECT_TRUE(PixelNear(PixelAt(*picture, 45, 61), {0, 0, 0, 255})) << "below the rectangle";

    // Centred: a 20 x 10 picture on 160 x 90 covers 70..90 x 40..50.
    QC_Ptr<QR_Texture2D> wide = renderer->CreateTexture2D(20, 10);
    QC_Image green(20, 10);
    green.Fill(0xFF00FF00u);
    context->UpdateTexture(wide.Get(), green, 0, 0, 20, 10);
    context->SetRenderTarget(target.Get());
    context->Clear(QR_Colour{0, 0, 0, 255});
    LM1_DrawImageCentred(wide.Get(), static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    const QC_Ptr<QC_Image> centred = ReadTarget(target.Get());
    EXPECT_TRUE(PixelNear(PixelAt(*centred, 70, 40), {0, 255, 0, 255}));
    EXPECT_TRUE(PixelNear(PixelAt(*centred, 89, 49), {0, 255, 0, 255}));
    EXPECT_TRUE(PixelNear(PixelAt(*centred, 69, 45), {0, 0, 0, 255}));
    EXPECT_TRUE(PixelNear(PixelAt(*centred, 80, 50), {0, 0, 0, 255}));
    EXPECT_TRUE(log.Messages(QC_LOG_ERROR).empty()) << log.Errors();
}
