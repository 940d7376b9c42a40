#include "support/MeshesTestLog.h"
#include "QU_Font.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char* const microsoftSans = "C:\\Windows\\Fonts\\micross.ttf";
const char* const consolas = "C:\\Windows\\Fonts\\consola.ttf";

class QU_FontTest : public ::testing::Test
{
protected:
    void SetUp() override { QU_InitFonts(); }
    void TearDown() override { QU_ShutdownFonts(); }

    // The RGBA bytes of the atlas pixel (x, y).
    static const std::uint8_t* AtlasPixel(const QU_Font& font, std::uint32_t x, std::uint32_t y)
    {
        return reinterpret_cast<const std::uint8_t*>(font.AtlasImage()->Pixels()) + (y * QU_FONT_ATLAS_SIZE + x) * 4;
    }

    // Sum of the alpha bytes inside a glyph's rectangle.
    static std::uint64_t Coverage(const QU_Font& font, const QU_FontGlyph& glyph)
    {
        std::uint64_t sum = 0;
        for (std::uint32_t y = glyph.atlasY; y < glyph.atlasY + glyph.height; ++y)
            for (std::uint32_t x = glyph.atlasX; x < glyph.atlasX + glyph.width; ++x)
                sum += AtlasPixel(font, x, y)[3];
        return sum;
    }

    MeshesLog log;
};

bool Overlap(const QU_FontGlyph& a, const QU_FontGlyph& b)
{
    // With the one-pixel gap kept between glyphs, grown rectangles must not meet either.
    return a.atlasX < b.atlasX + b.width + 1 && b.atlasX < a.atlasX + a.width + 1 &&
           a.atlasY < b.atlasY + b.height + 1 && b.atlasY < a.atlasY + a.height + 1;
}

} // namespace

TEST_F(QU_FontTest, SystemFontPathsMapToInstalledFacesOfTheSameKind)
{
    QC_Ptr<QU_Font> mono(new QU_Font);
    ASSERT_TRUE(mono->Load(consolas, 10, true));
    EXPECT_TRUE(mono->Face().WasMapped());
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0].level, QC_LOG_INFO);
    EXPECT_EQ(log.lines[0].message, std::string("Font ") + consolas + " is served by " + mono->Face().OpenedPath() + ".");
    EXPECT_EQ(mono->Path(), consolas);
    // Monospace: a narrow and a wide letter advance alike.
    EXPECT_EQ(mono->GetGlyph('i')->advance, mono->GetGlyph('W')->advance);

    QC_Ptr<QU_Font> sans(new QU_Font);
    ASSERT_TRUE(sans->Load(microsoftSans, 11, false));
    EXPECT_STRNE(sans->Face().OpenedPath(), mono->Face().OpenedPath());
    EXPECT_LT(sans->GetGlyph('i')->advance, sans->GetGlyph('W')->advance);

    // Forward slashes and another case name the same folder.
    QC_Ptr<QU_Font> other(new QU_Font);
    ASSERT_TRUE(other->Load("c:/windows/FONTS/CONSOLA.TTF", 10, false));
    EXPECT_STREQ(other->Face().OpenedPath(), mono->Face().OpenedPath());
    EXPECT_TRUE(log.TakeErrors().empty());
}

TEST_F(QU_FontTest, LoadSizesInPointsAt96DpiAndMakesAnEmptyAtlas)
{
    QC_Ptr<QU_Font> font(new QU_Font);
    ASSERT_TRUE(font->Load(microsoftSans, 11, true));
    EXPECT_EQ(font->Face().RequestedWidth(), 0);
    EXPECT_EQ(font->Face().RequestedHeight(), 704);
    EXPECT_EQ(font->Face().RequestedHorizontalDpi(), 96u);
    EXPECT_EQ(font->Face().RequestedVerticalDpi(), 96u);
    // 11 pt at 96 dpi is 14 2/3 pixels per em.
    EXPECT_EQ(font->Face().Metrics().yPixelsPerEm, 15u);
    EXPECT_EQ(font->Size(), 11);
    EXPECT_TRUE(font->IsLcd());
    EXPECT_GT(font->LineHeight(), 14.0f);
    EXPECT_GT(font->Ascender(), 0.0f);

    ASSERT_NE(font->AtlasImage(), nullptr);
    EXPECT_EQ(font->AtlasImage()->Width(), 512u);
    EXPECT_EQ(font->AtlasImage()->Height(), 512u);
    const std::uint8_t* bytes = reinterpret_cast<const std::uint8_t*>(font->AtlasImage()->Pixels());
    std::uint64_t sum = 0;
    for (std::uint64_t i = 0; i < font->AtlasImage()->ByteSize(); ++i)
        sum += bytes[i];
    EXPECT_EQ(sum, 0u);
    EXPECT_EQ(font->GlyphCount(), 0u);
    // No renderer in this test: the atlas lives on the CPU only.
    EXPECT_EQ(font->AtlasTexture(), nullptr);

    ASSERT_TRUE(font->Load(microsoftSans, 10, false));
    EXPECT_EQ(font->Face().RequestedHeight(), 640);
    EXPECT_EQ(font->Face().Metrics().yPixelsPerEm, 13u);
    EXPECT_FALSE(font->IsLcd());
    EXPECT_TRUE(log.TakeErrors().empty());
}

TEST_F(QU_FontTest, LoadFailuresAreReportedWithTheRasteriserCodeAndLeaveNoAtlas)
{
    TempDir folder;
    const std::string missing = folder.File("missing.ttf");
    QC_Ptr<QU_Font> font(new QU_Font);
    EXPECT_FALSE(font->Load(missing.c_str(), 10, true));
    EXPECT_EQ(log.TakeErrors(), std::vector<std::string>{"Failed to load " + missing + ". Error is 1."});
    EXPECT_EQ(font->AtlasImage(), nullptr);
    EXPECT_EQ(font->AtlasTexture(), nullptr);
    EXPECT_EQ(font->GetGlyph('A'), nullptr);

    const std::string text = folder.Write("notes.ttf", "not a font at all\n");
    EXPECT_FALSE(font->Load(text.c_str(), 10, true));
    EXPECT_EQ(log.TakeErrors(), std::vector<std::string>{"Failed to load " + text + ". Error is 2."});

    // A size whose pixels per em the rasteriser cannot hold.
    EXPECT_FALSE(font->Load(microsoftSans, 100000, false));
    EXPECT_EQ(log.TakeErrors(),
              std::vector<std::string>{std::string("Failed to set size 100000 for ") + microsoftSans + ". Error is 23."});
    EXPECT_EQ(font->AtlasImage(), nullptr);
    EXPECT_EQ(font->GetGlyph('A'), nullptr);

    // A successful load after failures works as a fresh one.
    EXPECT_TRUE(font->Load(microsoftSans, 10, false));
    EXPECT_NE(font->GetGlyph('A'), nullptr);

    // A path of 255 characters fits and fails only as a missing file.
    const std::string longest = "/" + std::string(254, 'f');
    EXPECT_FALSE(font->Load(longest.c_str(), 10, false));
    EXPECT_EQ(log.TakeErrors(), std::vector<std::string>{"Failed to load " + longest + ". Error is 1."});
}

TEST_F(QU_FontTest, PathOf256CharactersIsFatalBeforeTheRasteriserIsAsked)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string tooLong = "/" + std::string(255, 'f');
    EXPECT_EXIT(
        {
            QC_Ptr<QU_Font> font(new QU_Font);
            font->Load(tooLong.c_str(), 10, false);
        },
        testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "Buffer overflow\\.");
}

TEST_F(QU_FontTest, GreyscaleGlyphsAreRasterisedOnceIntoSeparateAtlasRectangles)
{
    QC_Ptr<QU_Font> font(new QU_Font);
    ASSERT_TRUE(font->Load(microsoftSans, 11, false));
    const QU_FontGlyph* a = font->GetGlyph('A');
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->code, std::uint32_t('A'));
    EXPECT_GT(a->width, 5u);
    EXPECT_GT(a->height, 5u);
    // A capital stands on the baseline: its top is above it by about its height.
    EXPECT_LT(a->offsetY, 0);
    EXPECT_NEAR(-a->offsetY, int(a->height), 1);
    EXPECT_GT(a->advance, float(a->width) - 2);
    EXPECT_GT(Coverage(*font, *a), 255u * 10);
    for (std::uint32_t y = a->atlasY; y < a->atlasY + a->height; ++y)
        for (std::uint32_t x = a->atlasX; x < a->atlasX + a->width; ++x) {
            const std::uint8_t* p = AtlasPixel(*font, x, y);
            ASSERT_TRUE(p[0] == p[3] && p[1] == p[3] && p[2] == p[3]) << "greyscale coverage in every byte";
        }
    // Asked again: the same record, nothing rasterised anew.
    EXPECT_EQ(font->GetGlyph('A'), a);
    EXPECT_EQ(font->GlyphCount(), 1u);

    // A blank glyph advances but has nothing to draw.
    const QU_FontGlyph* space = font->GetGlyph(' ');
    ASSERT_NE(space, nullptr);
    EXPECT_EQ(space->width * space->height, 0u);
    EXPECT_GT(space->advance, 1.0f);

    std::vector<const QU_FontGlyph*> placed;
    for (std::uint32_t code = 33; code < 127; ++code)
        placed.push_back(font->GetGlyph(code));
    placed.push_back(font->GetGlyph(0x00E9)); // é, beyond ASCII
    for (std::size_t i = 0; i < placed.size(); ++i) {
        ASSERT_NE(placed[i], nullptr);
        EXPECT_GE(placed[i]->atlasX, 1u);
        EXPECT_GE(placed[i]->atlasY, 1u);
        EXPECT_LE(placed[i]->atlasX + placed[i]->width, QU_FONT_ATLAS_SIZE - 1);
        EXPECT_LE(placed[i]->atlasY + placed[i]->height, QU_FONT_ATLAS_SIZE - 1);
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_FALSE(Overlap(*placed[i], *placed[j])) << "glyphs " << placed[i]->code << " and " << placed[j]->code;
    }
    EXPECT_EQ(font->GlyphCount(), 96u);
    EXPECT_TRUE(log.TakeErrors().empty());

    // Loading again forgets every glyph.
    ASSERT_TRUE(font->Load(microsoftSans, 12, false));
    EXPECT_EQ(font->GlyphCount(), 0u);
}

TEST_F(QU_FontTest, LcdGlyphsCarryPerSubpixelCoverage)
{
    QC_Ptr<QU_Font> font(new QU_Font);
    ASSERT_TRUE(font->Load(consolas, 10, true));
    const QU_FontGlyph* glyph = font->GetGlyph('W');
    ASSERT_NE(glyph, nullptr);
    ASSERT_GT(glyph->width, 0u);
    int coloured = 0;
    for (std::uint32_t y = glyph->atlasY; y < glyph->atlasY + glyph->height; ++y)
        for (std::uint32_t x = glyph->atlasX; x < glyph->atlasX + glyph->width; ++x) {
            const std::uint8_t* p = AtlasPixel(*font, x, y);
            coloured += p[0] != p[1] || p[1] != p[2];
            EXPECT_NEAR(p[3], (p[0] + p[1] + p[2]) / 3.0, 1.0);
        }
    // The slanted strokes of a W cover neighbouring subpixels unequally.
    EXPECT_GT(coloured, 5);
}

TEST_F(QU_FontTest, FullAtlasIsReportedOnceAndLaterGlyphsOnlyAdvance)
{
    QC_Ptr<QU_Font> font(new QU_Font);
    ASSERT_TRUE(font->Load(microsoftSans, 150, false));
    int drawn = 0, empty = 0;
    for (std::uint32_t code = 'A'; code <= 'Z'; ++code) {
        const QU_FontGlyph* glyph = font->GetGlyph(code);
        ASSERT_NE(glyph, nullptr);
        EXPECT_GT(glyph->advance, 50.0f);
        (glyph->width ? drawn : empty)++;
    }
    EXPECT_GT(drawn, 2);
    EXPECT_GT(empty, 0);
    EXPECT_EQ(log.TakeErrors(), std::vector<std::string>{std::string("Font atlas of ") + microsoftSans + " is full."});

    // A glyph larger than the whole atlas is refused on its own.
    ASSERT_TRUE(font->Load(microsoftSans, 600, false));
    const QU_FontGlyph* wide = font->GetGlyph('W');
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->width, 0u);
    EXPECT_EQ(log.TakeErrors(), std::vector<std::string>{std::string("Glyph 87 of ") + microsoftSans + " does not fit the atlas."});
}

TEST_F(QU_FontTest, FontsOutlivingTheLibraryOrLoadedWithoutItDoNotTouchIt)
{
    QC_Ptr<QU_Font> font(new QU_Font);
    ASSERT_TRUE(font->Load(microsoftSans, 10, false));
    ASSERT_NE(font->GetGlyph('A'), nullptr);
    QU_ShutdownFonts();
    // Known glyphs stay readable; new ones cannot be made any more.
    EXPECT_NE(font->GetGlyph('A'), nullptr);
    EXPECT_EQ(font->GetGlyph('B'), nullptr);
    EXPECT_EQ(log.TakeErrors(), std::vector<std::string>{std::string("Fonts are shut down: no glyph 66 of ") + microsoftSans + "."});
    // Its face went with the library: releasing the font must not release it again.
    font = nullptr;

    QC_Ptr<QU_Font> early(new QU_Font);
    EXPECT_FALSE(early->Load(microsoftSans, 10, false));
    EXPECT_EQ(log.TakeErrors(), std::vector<std::string>{std::string("Failed to load ") + microsoftSans + ". Error is 33."});

    QU_InitFonts();
    QU_InitFonts();
    EXPECT_EQ(log.TakeErrors(), std::vector<std::string>{"Fonts are already started."});
    EXPECT_TRUE(early->Load(microsoftSans, 10, false));
}
