// Scenes o13 to o24 on the headless device: o14's noise screen and its capacity, o16's copies,
// o21's colour picks, o22's wireframe, o24's plane, where the title picture lands, and the
// demo's own shaders, pictures, texts and channels for these scenes.

#include "LM1_OScenesB.h"
#include "support/OScenesTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace
{
const char* const SCENE_FILES[] = {
    "o13.qcs",   "o13.png",   "o14_1.txt", "o15.qcs", "o15.png", "o16.qcs", "o16.png", "o17.txt",
    "o18_1.qcs", "o18_2.qcs", "o18.png",   "o20.qcs", "o20.png", "o21.qcs", "o22.qcs", "o22.png",
    "o23.qcs",   "o24.qcs",   "o24.png",   "o24_2.png",
};

const char* const SCENE_SHADERS[] = {"o13.qcs", "o15.qcs", "o16.qcs", "o18_1.qcs", "o18_2.qcs",
                                     "o20.qcs", "o21.qcs", "o22.qcs", "o23.qcs",   "o24.qcs"};

bool Dark(const QrPixel& p) { return p.r < 24 && p.g < 24 && p.b < 24; }

// The title's frame: warm gold, red over green over blue.
bool Gold(const QrPixel& p) { return p.r > 150 && p.r > p.g && p.g > p.b && p.b < 140; }
} // namespace

class LM1_OScenesBTest : public LM1_OScenesTest<LM1_OScenesB>
{
protected:
    // Copies the scenes' files into the test's folder and writes the test's own script there;
    // replacements name files whose content the test writes instead.
    void PrepareFolder(const std::string& scriptText, const std::vector<std::pair<std::string, std::string>>& replacements = {})
    {
        for (const char* name : SCENE_FILES)
            CopyAsset(name);
        for (const char* name : {"font.png", "font.qcs", "texture.qcs"})
            CopyAsset(name);
        for (const auto& [name, content] : replacements)
            dir.Write(name, content);
        dir.Write("o.qcs", scriptText);
    }

    // Brings up the runtime with the 2D kit, builds the part's shared objects as the part does,
    // runs the scenes' set-up and waits for every asset.
    void StartScenes(const std::string& root, DemoRuntimeOptions options = DemoRuntimeOptions())
    {
        options.draw2D = true;
        StartSceneSet(root, options);
        ASSERT_TRUE(PumpUntilLoaded());
        ASSERT_TRUE(script->GetCurrent()) << log.Errors();
    }

    // Triangles the renderer counted for one frame of a scene.
    std::uint32_t TrianglesOf(std::int32_t scene, const QD_Sequencer* sequencer = nullptr)
    {
        renderer->ResetTriangleCount();
        Draw(scene, sequencer);
        return renderer->GetTriangleCount();
    }
};

TEST_F(LM1_OScenesBTest, O14RebuildsItsScreenOnlyWhenTheWholeStepChanges)
{
    const std::string text = "ab c  d\n  e f\n\n" + std::string(60, ' ') + "x\n";
    const std::string colours = "1400 = 1; 1401 = 1; 1402 = 1; 1403 = 1; 1404 = 0; 1405 = 0; 1406 = 0; 1407 = 1;"
                                "1410 = 1; 1411 = 0; 1412 = 1; 1413 = 1; 1414 = 0; 1415 = 0;";
    PrepareFolder(colours + "1408 = 1.2;", {{"o14_1.txt", text}});
    StartScenes(dir.Path().string());
    Draw(114);
    ASSERT_EQ(scenes->O14Builds(), 1u);
    const std::string first = scenes->O14Screen();
    ASSERT_EQ(first.size(), text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n')
            EXPECT_EQ(first[i], '\n') << "line feed at " << i << " kept";
        else if (text[i] == ' ')
            EXPECT_TRUE(first[i] >= 32 && first[i] <= 71) << "noise at " << i << " is code " << int(first[i]);
        else
            EXPECT_EQ(first[i], ' ') << "character at " << i << " becomes a hole";
    }

    QC_Ptr<QD_Sequencer> sameStep = LoadScript("same.qcs", colours + "1408 = 1.7;");
    Draw(114, sameStep.Get());
    EXPECT_EQ(scenes->O14Builds(), 1u) << "1.7 is the same step as 1.2";
    EXPECT_EQ(std::string(scenes->O14Screen()), first);

    QC_Ptr<QD_Sequencer> nextStep = LoadScript("next.qcs", colours + "1408 = 2.0;");
    Draw(114, nextStep.Get());
    EXPECT_EQ(scenes->O14Builds(), 2u) << "2.0 starts a new step";
    EXPECT_NE(std::string(scenes->O14Screen()), first) << "71 new random characters";
    Draw(114, nextStep.Get());
    EXPECT_EQ(scenes->O14Builds(), 2u);

    // A step beyond the integer range is held at its edge: one more build, then none.
    QC_Ptr<QD_Sequencer> wild = LoadScript("wild.qcs", colours + "1408 = 100000000000000000000000000000000;");
    Draw(114, wild.Get());
    Draw(114, wild.Get());
    EXPECT_EQ(scenes->O14Builds(), 3u);
    EXPECT_TRUE(log.Messages(QC_LOG_ERROR).empty()) << log.Errors();

    // A scene change while o14 keeps drawing into its own target (fading out) builds nothing;
    // entering it anew (a seek restarts it into the other target) builds a fresh screen on the
    // same step.
    scenes->SceneChanged();
    ++shared.renderCalls;
    Draw(114, wild.Get());
    EXPECT_EQ(scenes->O14Builds(), 3u) << "fading out carries on";
    scenes->SceneChanged();
    target = renderer->CreateRenderTarget(width, height);
    ++shared.renderCalls;
    Draw(114, wild.Get());
    EXPECT_EQ(scenes->O14Builds(), 4u) << "entered anew";
}

TEST_F(LM1_OScenesBTest, O14CutsALongTextAtTheScreensCapacityAndDrawsEveryGlyph)
{
    // 4200 characters and no space: the screen is 4096 holes, every one drawn; the text is drawn
    // whole. Both are far beyond one batch of the 2D kit's buffers.
    const std::string text(4200, 'x');
    PrepareFolder("1400 = 1; 1401 = 1; 1402 = 1; 1403 = 1; 1404 = 0; 1405 = 0; 1406 = 0; 1407 = 1; 1408 = 3;"
                  "1410 = 1; 1411 = 1; 1412 = 1; 1413 = 1; 1414 = 0; 1415 = 0;",
                  {{"o14_1.txt", text}});
    StartScenes(dir.Path().string());
    EXPECT_EQ(TrianglesOf(114), 2u * (4200u + LM1_OScenesB::O14_SCREEN_CAPACITY));
    EXPECT_EQ(std::string(scenes->O14Screen()), std::string(LM1_OScenesB::O14_SCREEN_CAPACITY, ' '));
    EXPECT_TRUE(log.Messages(QC_LOG_ERROR).empty()) << log.Errors();
}

TEST_F(LM1_OScenesBTest, O16DrawsAsManyCopiesAsChannel1600SaysUpToEight)
{
    PrepareFolder("1600 = 0;");
    StartScenes(dir.Path().string());
    EXPECT_EQ(TrianglesOf(116), 0u);
    for (const auto& [value, copies] : {std::pair{"3", 3u}, {"8", 8u}, {"9", 8u}, {"3.9", 3u}, {"-2", 0u}}) {
        QC_Ptr<QD_Sequencer> sequencer = LoadScript(std::string("copies") + value + ".qcs", std::string("1600 = ") + value + ";");
        EXPECT_EQ(TrianglesOf(116, sequencer.Get()), 2u * copies) << "channel 1600 = " << value;
    }
    // Three copies on 160 x 90: 45 pixels square, the row from x = 80 - 90; the fourth place and
    // the second row stay black.
    QC_Ptr<QD_Sequencer> three = LoadScript("three.qcs", "1600 = 3;");
    Draw(116, three.Get());
    QC_Ptr<QC_Image> picture = ReadTarget(target.Get());
    EXPECT_FALSE(Dark(PixelAt(*picture, 102, 22))) << "third copy, centre: " << PixelAt(*picture, 102, 22);
    EXPECT_TRUE(Dark(PixelAt(*picture, 140, 22))) << "no fourth copy: " << PixelAt(*picture, 140, 22);
    EXPECT_TRUE(Dark(PixelAt(*picture, 57, 67))) << "no second row: " << PixelAt(*picture, 57, 67);
}

TEST_F(LM1_OScenesBTest, O21PicksTheSameColoursInEveryFrame)
{
    PrepareFolder("2100 = 6; 2101 = 1.6; 2102 = 0.5; 2103 = 3; 2104 = 2; 2105 = 24; 2110 = 0; 2111 = 0; 2112 = 0;");
    StartScenes(dir.Path().string());
    Draw(121);
    QC_Ptr<QC_Image> first = ReadTarget(target.Get());
    EXPECT_GT(DistinctColours(*first), 8u) << "the rings show";
    // Whatever else draws random numbers between frames, the picks start over.
    for (int i = 0; i < 37; ++i)
        QC_Rand();
    Draw(121);
    QC_Ptr<QC_Image> second = ReadTarget(target.Get());
    EXPECT_EQ(MeanDifference(*first, *second), 0.0);
}

TEST_F(LM1_OScenesBTest, O22DrawsTheLatticeAsLinesOnly)
{
    // The room shrunk to nothing; the box's front face close before the eye, unturned.
    PrepareFolder("2200 = 0.5; 2201 = 0; 2202 = 0; 2203 = 0; 2204 = 0; 2205 = 0; 2206 = 1; 2207 = 1.2;"
                  "2208 = 0; 2209 = 1.5; 2210 = 0; 2211 = 0;");
    StartScenes(dir.Path().string());
    Draw(122);
    QC_Ptr<QC_Image> picture = ReadTarget(target.Get());
    std::uint32_t lit = 0;
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            lit += Dark(PixelAt(*picture, x, y)) ? 0 : 1;
    EXPECT_GT(lit, width * height / 20) << "the lines show";
    EXPECT_LT(lit, width * height / 2) << "solid faces would cover the whole picture";
    // The front face's grid lines (x = 0, y = 0 of the face) cross the screen's middle; the
    // centres of its cells beside them stay clear.
    EXPECT_FALSE(Dark(PixelAt(*picture, 80, 10))) << PixelAt(*picture, 80, 10);
    EXPECT_FALSE(Dark(PixelAt(*picture, 10, 45))) << PixelAt(*picture, 10, 45);
    EXPECT_TRUE(Dark(PixelAt(*picture, 38, 59))) << PixelAt(*picture, 38, 59);
    EXPECT_TRUE(Dark(PixelAt(*picture, 122, 31))) << PixelAt(*picture, 122, 31);
}

TEST_F(LM1_OScenesBTest, O24DrawsThreePicturesAndAPlaneOf100By100CellsTwice)
{
    PrepareFolder("2400 = 0; 2401 = 0.3; 2402 = 0; 2403 = 1.6; 2404 = 19; 2405 = 1; 2406 = 0.4; 2407 = 0.5;");
    StartScenes(dir.Path().string());
    EXPECT_EQ(TrianglesOf(124), 3u * 2u + 2u * 100u * 100u * 2u);
    QC_Ptr<QC_Image> picture = ReadTarget(target.Get());
    EXPECT_FALSE(Dark(PixelAt(*picture, 80, 20))) << "the middle picture";
    EXPECT_FALSE(Dark(PixelAt(*picture, 80, 80))) << "the sea";
}

class LM1_OScenesBTitleTest : public LM1_OScenesBTest
{
protected:
    void StartTitle(std::uint32_t screenWidth, std::uint32_t screenHeight)
    {
        PrepareFolder("1900 = 0; 1901 = 0; 1902 = 0;");
        DemoRuntimeOptions options;
        options.width = screenWidth;
        options.height = screenHeight;
        StartScenes(dir.Path().string(), options);
        Draw(113);
        picture = ReadTarget(target.Get());
    }

    QC_Ptr<QC_Image> picture;
};

TEST_F(LM1_OScenesBTitleTest, TheTitleSitsInTheMiddleOfA1280By720Screen)
{
    // 1024 x 512 fits: at (640 - 512, 360 - 256), its own size; its gold frame marks the edges.
    StartTitle(1280, 720);
    for (const auto& [x, y] : {std::pair{128u, 360u}, {1151u, 360u}, {640u, 104u}, {640u, 615u}})
        EXPECT_TRUE(Gold(PixelAt(*picture, x, y))) << "frame at " << x << ", " << y << ": " << PixelAt(*picture, x, y);
    for (const auto& [x, y] : {std::pair{127u, 360u}, {1152u, 360u}, {640u, 103u}, {640u, 616u}})
        EXPECT_TRUE(SamePixel(PixelAt(*picture, x, y), QrPixel{0, 0, 0, 255}))
            << "outside at " << x << ", " << y << ": " << PixelAt(*picture, x, y);
}

TEST_F(LM1_OScenesBTitleTest, TheTitleIsCutToTheWidthOfA640By360Screen)
{
    // Wider than the screen: drawn from x = 0 at the screen's width, its own height of 512 from
    // y = 180 - 256, so the side frames show at both edges and the top and bottom ones do not.
    StartTitle(640, 360);
    for (const std::uint32_t y : {10u, 180u, 350u}) {
        EXPECT_TRUE(Gold(PixelAt(*picture, 0, y))) << "left edge at " << y << ": " << PixelAt(*picture, 0, y);
        EXPECT_TRUE(Gold(PixelAt(*picture, 639, y))) << "right edge at " << y << ": " << PixelAt(*picture, 639, y);
    }
    EXPECT_FALSE(Gold(PixelAt(*picture, 320, 0))) << "the top frame lies above the screen";
    EXPECT_FALSE(Gold(PixelAt(*picture, 320, 359))) << "the bottom frame lies below the screen";
}

TEST_F(LM1_OScenesBTest, EveryShaderOfTheScenesCompilesWithoutAMessage)
{
    ExpectShadersCompileWithoutAMessage(SCENE_SHADERS);
}

TEST_F(LM1_OScenesBTest, TheTextsKeepToFortyColumns)
{
    // A line feed breaks no line: each line must fill its 40 columns exactly to stay aligned.
    for (const char* name : {"o14_1.txt", "o17.txt"}) {
        std::istringstream text(ReadFile(std::string(VC_SOURCE_DIR "/assets/") + name));
        std::string line;
        int lines = 0;
        while (std::getline(text, line)) {
            EXPECT_EQ(line.size(), 40u) << name << " line " << lines + 1 << ": '" << line << "'";
            ++lines;
        }
        EXPECT_GT(lines, 0) << name;
        EXPECT_LE(lines, 30) << name << " overflows the 272-pixel text space";
    }
}

TEST_F(LM1_OScenesBTest, EverySceneLoadsAndDrawsAMovingPictureOfItsOwn)
{
    // The demo's own files and script, at the middle of each scene's rows of the timeline.
    const std::pair<std::int32_t, float> scenesAndBeats[] = {
        {113, 8.0f},   {119, 24.0f},  {117, 40.0f},  {114, 56.0f},  {121, 88.0f},  {115, 184.0f},
        {123, 244.0f}, {122, 252.0f}, {118, 344.0f}, {120, 360.0f}, {124, 376.0f}, {116, 424.0f},
    };
    StartScenes(VC_SOURCE_DIR "/assets");
    // o13's title is a still picture.
    ExpectMovingPicturesOfTheirOwn(scenesAndBeats, ".png", {113});
}
