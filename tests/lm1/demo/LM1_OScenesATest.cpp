// Scenes o1 to o12 on the headless device: what each frame draws for given channels, that a
// scene waits for all of its assets, o4's palette pick, o12's screen under any channel values,
// o9's two passes, and the demo's own shaders, textures, texts and script.

#include "LM1_O.h"
#include "LM1_OScenesA.h"
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
    "o1.qcs",    "o2.qcs",    "o2.png",    "o3.qcs",    "o3_1.png",  "o3_2.png",  "o3_3.png",
    "o3_4.png",  "o3_5.png",  "o4.qcs",    "o5.qcs",    "o5.png",    "o6.qcs",    "o6.png",
    "o7.qcs",    "o7.png",    "o8.qcs",    "o8.png",    "o9_1.qcs",  "o9_2.qcs",  "o10.qcs",
    "o10.png",   "o11_1.qcs", "o11_2.qcs", "o11_1.png", "o11_2.png", "o12.qcs",   "o12.png",
    "o12_1.txt", "o12_2.txt",
};

const char* const SCENE_SHADERS[] = {"o1.qcs",  "o2.qcs",  "o3.qcs",    "o4.qcs",    "o5.qcs",
                                     "o6.qcs",  "o7.qcs",  "o8.qcs",    "o9_1.qcs",  "o9_2.qcs",
                                     "o10.qcs", "o11_1.qcs", "o11_2.qcs", "o12.qcs"};
} // namespace

class LM1_OScenesATest : public LM1_OScenesTest<LM1_OScenesA>
{
protected:
    // Copies the scenes' files into the test's folder, except those named in missing, and
    // writes the test's own script there (or a replacement for a scene file).
    void PrepareFolder(const std::string& scriptText, const std::set<std::string>& missing = {})
    {
        for (const char* name : SCENE_FILES)
            if (!missing.count(name))
                CopyAsset(name);
        dir.Write("o.qcs", scriptText);
    }

    // Brings up the runtime on root, builds the part's shared objects as the part does, runs the
    // scenes' set-up and waits for the assets. expectAllLoaded is off when files are missing.
    void StartScenes(const std::string& root, bool expectAllLoaded = true, bool draw2D = false)
    {
        DemoRuntimeOptions options;
        options.draw2D = draw2D;
        StartSceneSet(root, options);
        if (expectAllLoaded) {
            ASSERT_TRUE(PumpUntilLoaded());
        } else {
            PumpUntil([] { return false; }, std::chrono::seconds(1));
            PumpUntil([this] { return bool(script->GetCurrent()); });
        }
        ASSERT_TRUE(script->GetCurrent()) << log.Errors();
    }

    // Fills the target with a colour no scene draws, so an untouched target is recognisable.
    void Prefill()
    {
        context->SetRenderTarget(target.Get());
        context->Clear(QR_Colour{0, 255, 0, 255});
    }

    QrPixel Centre(const QC_Image& image) { return PixelAt(image, width / 2, height / 2); }
};

TEST_F(LM1_OScenesATest, O1LayersAreTruncatedAndEachDrawsAllItsInstances)
{
    PrepareFolder("100 = 0; 101 = 0; 102 = 0.2; 103 = 6; 104 = 2; 105 = 5; 106 = 1; 107 = 1; 108 = 0; 109 = 0;"
                  "110 = 0.2; 111 = 0.4; 112 = 0.6;");
    StartScenes(dir.Path().string());
    Prefill();
    renderer->ResetTriangleCount();
    Draw(101);
    EXPECT_EQ(renderer->GetTriangleCount(), 0) << "no layer, no draw";
    QC_Ptr<QC_Image> cleared = ReadTarget(target.Get());
    const QrPixel clear = {51, 102, 153, 255};
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            ASSERT_TRUE(SamePixel(PixelAt(*cleared, x, y), clear)) << "pixel " << x << ", " << y << " is "
                                                                   << PixelAt(*cleared, x, y);

    // 2.9 layers are two: 2 x 12 triangles x 5 instances.
    QC_Ptr<QD_Sequencer> twoLayers = LoadScript("two.qcs", "100 = 2.9; 101 = 0; 102 = 0.2; 103 = 6; 104 = 2; 105 = 5;"
                                                            "106 = 1; 107 = 1; 108 = 0; 109 = 0; 110 = 0; 111 = 0; 112 = 0;");
    ASSERT_TRUE(twoLayers);
    renderer->ResetTriangleCount();
    Draw(101, twoLayers.Get());
    EXPECT_EQ(renderer->GetTriangleCount(), 2 * 12 * 5);
    QC_Ptr<QC_Image> drawn = ReadTarget(target.Get());
    EXPECT_GT(DistinctColours(*drawn), 2u) << "the cubes show over the clear colour";

    // A channel asking for absurd numbers of layers or instances is held to the capacities.
    QC_Ptr<QD_Sequencer> huge = LoadScript("huge.qcs", "100 = 100000000000000000000000000000; 101 = 0; 102 = 0.2; 103 = 6; 104 = 2; 105 = -7;"
                                                       "106 = 1; 107 = 1; 108 = 0; 109 = 0; 110 = 0; 111 = 0; 112 = 0;");
    ASSERT_TRUE(huge);
    renderer->ResetTriangleCount();
    Draw(101, huge.Get());
    EXPECT_EQ(renderer->GetTriangleCount(), 0) << "negative instances draw nothing";
}

TEST_F(LM1_OScenesATest, NumbersOutsideThePartClearToOpaqueBlack)
{
    // No files at all: every asset fails to load, which leaves the default branch to test.
    StartRuntime(dir.Path().string(), DemoRuntimeOptions{.draw2D = false});
    QC_Ptr<LM1_O> part(new LM1_O(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)));
    QC_Ptr<QD_Sequencer> empty(new QD_Sequencer);
    target = renderer->CreateRenderTarget(width, height);
    for (std::int32_t scene : {100, 125, 150, 199}) {
        Prefill();
        part->Render(scene, *empty, target.Get());
        QC_Ptr<QC_Image> picture = ReadTarget(target.Get());
        EXPECT_TRUE(SamePixel(Centre(*picture), QrPixel{0, 0, 0, 255})) << "scene " << scene << ": " << Centre(*picture);
        EXPECT_EQ(DistinctColours(*picture), 1u) << "scene " << scene;
    }
    part = nullptr;
}

// The scenes' real files and script, with some files left out: a scene that lacks any of its
// own draws nothing at all, while a scene with everything draws.
class LM1_OScenesAMissingFilesTest : public LM1_OScenesATest
{
protected:
    void ExpectUntouched(std::int32_t scene, float beat)
    {
        SetBeat(beat);
        Prefill();
        Draw(scene);
        QC_Ptr<QC_Image> picture = ReadTarget(target.Get());
        EXPECT_EQ(DistinctColours(*picture), 1u) << "scene " << scene;
        EXPECT_TRUE(SamePixel(Centre(*picture), QrPixel{0, 255, 0, 255})) << "scene " << scene;
    }
    // The scene's own files keep loading after StartScenes' short wait (a sanitiser build is
    // slow), so frames run until it draws or a generous time limit passes.
    void ExpectDrawn(std::int32_t scene, float beat)
    {
        QrPixel centre{0, 255, 0, 255};
        PumpUntil(
            [&] {
                SetBeat(beat);
                Prefill();
                Draw(scene);
                QC_Ptr<QC_Image> picture = ReadTarget(target.Get());
                centre = Centre(*picture);
                return !SamePixel(centre, QrPixel{0, 255, 0, 255});
            },
            std::chrono::seconds(30));
        EXPECT_FALSE(SamePixel(centre, QrPixel{0, 255, 0, 255})) << "scene " << scene << " drew nothing";
    }
};

TEST_F(LM1_OScenesAMissingFilesTest, NothingIsDrawnBeforeTheAssetsHaveLoaded)
{
    PrepareFolder(ReadFile(VC_SOURCE_DIR "/assets/o.qcs"));
    DemoRuntimeOptions options;
    options.draw2D = false;
    StartRuntime(dir.Path().string(), options);
    // The script is all there is at first: no scene has its shaders, textures or texts yet.
    script = QD_GetAssets()->LoadSequencer("o.qcs");
    ASSERT_TRUE(PumpUntilLoaded());
    target = renderer->CreateRenderTarget(width, height);
    shared.width = static_cast<std::int32_t>(width);
    shared.height = static_cast<std::int32_t>(height);
    shared.quad = QC_Ptr<QM_Quad>(new QM_Quad);
    shared.quad->Init();
    shared.cube = LM1_CreateBoxModel(1, 1, 1);
    scenes = std::make_unique<LM1_OScenesA>(shared);
    for (std::int32_t scene = 101; scene <= 112; ++scene)
        ExpectUntouched(scene, 200.0f);
}

TEST_F(LM1_OScenesAMissingFilesTest, AnUnusedPictureOrTheSecondShaderHoldsBackTheirScenes)
{
    // o3 shows o3_1 at beat 209, yet waits for o3_4 too; o9 waits for its second shader.
    PrepareFolder(ReadFile(VC_SOURCE_DIR "/assets/o.qcs"), {"o3_4.png", "o9_2.qcs"});
    StartScenes(dir.Path().string(), false);
    ExpectUntouched(103, 209.0f);
    ExpectUntouched(109, 312.0f);
    ExpectDrawn(104, 120.0f);
    ExpectDrawn(110, 168.0f);
}

TEST_F(LM1_OScenesAMissingFilesTest, TheDissolveOrAnOverlayHoldsBackTheirScenes)
{
    PrepareFolder(ReadFile(VC_SOURCE_DIR "/assets/o.qcs"), {"o3_5.png", "o11_2.png"});
    StartScenes(dir.Path().string(), false);
    ExpectUntouched(103, 216.0f);
    ExpectUntouched(111, 328.0f);
    ExpectDrawn(102, 104.0f);
}

TEST_F(LM1_OScenesATest, O4WritesTheSixColoursPickedByChannel401)
{
    // The pick itself: palette entries 4, 2, 6, 2, 10 and 14 for seed 8118, whatever the
    // generator did before, and the same for 8118.7 (truncated).
    const QC_Float4 expected[6] = {{0.54f, 0.25f, 0.59f, 1.0f}, {0.53f, 0.22f, 0.19f, 1.0f},
                                   {0.25f, 0.19f, 0.55f, 1.0f}, {0.53f, 0.22f, 0.19f, 1.0f},
                                   {0.72f, 0.41f, 0.39f, 1.0f}, {0.47f, 0.41f, 0.76f, 1.0f}};
    for (float seed : {8118.0f, 8118.7f}) {
        QC_Rand();
        QC_Float4 colours[6];
        LM1_OScenesA::PickO4Colours(seed, colours);
        for (int i = 0; i < 6; ++i) {
            EXPECT_FLOAT_EQ(colours[i].x, expected[i].x) << "colour " << i << " of seed " << seed;
            EXPECT_FLOAT_EQ(colours[i].y, expected[i].y) << "colour " << i << " of seed " << seed;
            EXPECT_FLOAT_EQ(colours[i].z, expected[i].z) << "colour " << i << " of seed " << seed;
            EXPECT_FLOAT_EQ(colours[i].w, 1.0f) << "colour " << i << " of seed " << seed;
        }
    }

    // The constant buffer as the shader sees it: a shader that paints colour k into the k-th
    // sixth of the screen, and the screen size into the bottom row.
    PrepareFolder("400 = 0; 401 = 8118.7;");
    dir.Write("o4.qcs", R"(constants
{
  custom
  {
    float4 screen;
    float4 colour0;
    float4 colour1;
    float4 colour2;
    float4 colour3;
    float4 colour4;
    float4 colour5;
  }
}
)" DEMO_PASS_THROUGH_VERTEX R"(pixel
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, out QR_Target outColour)
  {
    float k = floor(inTexCoord.x * 6.0);
    float4 c = custom.colour0;
    c = k >= 1.0 ? custom.colour1 : c;
    c = k >= 2.0 ? custom.colour2 : c;
    c = k >= 3.0 ? custom.colour3 : c;
    c = k >= 4.0 ? custom.colour4 : c;
    c = k >= 5.0 ? custom.colour5 : c;
    outColour = c;
  }
}
)");
    StartScenes(dir.Path().string());
    Draw(104);
    QC_Ptr<QC_Image> picture = ReadTarget(target.Get());
    for (int k = 0; k < 6; ++k) {
        const QrPixel pixel = PixelAt(*picture, static_cast<std::uint32_t>((k + 0.5f) * width / 6.0f), height / 2);
        EXPECT_NEAR(pixel.r, expected[k].x * 255.0f, 1.0f) << "colour " << k;
        EXPECT_NEAR(pixel.g, expected[k].y * 255.0f, 1.0f) << "colour " << k;
        EXPECT_NEAR(pixel.b, expected[k].z * 255.0f, 1.0f) << "colour " << k;
        EXPECT_EQ(pixel.a, 255) << "colour " << k;
    }
}

TEST_F(LM1_OScenesATest, O12ScreenStaysInItsRowsWhateverTheChannelsSay)
{
    // Positions and sizes far outside the screen, negative and beyond the integer range.
    PrepareFolder("1200 = 1; 1201 = 1; 1202 = 1; 1203 = 1; 1204 = 1; 1205 = 1; 1206 = 1; 1207 = 1;"
                  "1208 = beat(1); 1209 = 100000000000000000000000000000; 1210 = -100000000000000000000000000000;"
                  "1211 = 100000; 1212 = -5000; 1213 = 99999999999; 1214 = -3; 1215 = 1066; 1216 = -1066;"
                  "1217 = 0;");
    StartScenes(dir.Path().string());
    const std::string text = ReadFile(VC_SOURCE_DIR "/assets/o12_1.txt");
    const std::string mask = ReadFile(VC_SOURCE_DIR "/assets/o12_2.txt");
    ASSERT_EQ(text.size(), std::size_t(LM1_OScenesA::O12_SCREEN_SIZE));
    for (int beat = 1; beat <= 60; ++beat) {
        SetBeat(static_cast<float>(beat));
        Draw(112);
        const std::string screen = scenes->O12Screen();
        ASSERT_EQ(screen.size(), std::size_t(LM1_OScenesA::O12_SCREEN_SIZE)) << "beat " << beat;
        for (std::size_t i = 0; i < screen.size(); ++i) {
            const bool rowEnd = i % LM1_OScenesA::O12_ROW_STRIDE == LM1_OScenesA::O12_COLUMNS;
            if (rowEnd) {
                ASSERT_EQ(screen[i], '\n') << "beat " << beat << ", index " << i;
            } else {
                ASSERT_TRUE(screen[i] >= 32 && screen[i] < 127) << "beat " << beat << ", index " << i;
            }
            if (mask[i] != ' ' && mask[i] != '\n') {
                ASSERT_EQ(screen[i], ' ') << "the mask's letters stay clear, index " << i;
            }
        }
    }
    // The clamped positions still mutate: the far corner block and both edges changed.
    const std::string screen = scenes->O12Screen();
    int changed = 0;
    for (std::size_t i = 0; i < screen.size(); ++i)
        if (screen[i] != text[i] && mask[i] == ' ')
            ++changed;
    EXPECT_GT(changed, 100);

    // Channel 1215 at 1 starts the screen over from the text (the mask applied).
    QC_Ptr<QD_Sequencer> reset = LoadScript("reset.qcs", "1200 = 1; 1201 = 1; 1202 = 1; 1203 = 1; 1204 = 1;"
                                                         "1205 = 1; 1206 = 1; 1207 = 1; 1208 = 0; 1209 = 0;"
                                                         "1210 = 0; 1211 = 0; 1212 = 0; 1213 = 0; 1214 = 0;"
                                                         "1215 = 1.5; 1216 = 0; 1217 = 0;");
    ASSERT_TRUE(reset);
    Draw(112, reset.Get());
    const std::string restarted = scenes->O12Screen();
    for (std::size_t i = 0; i < restarted.size(); ++i) {
        const char expectedCharacter = (mask[i] != ' ' && mask[i] != '\n') ? ' ' : text[i];
        ASSERT_EQ(restarted[i], expectedCharacter) << "index " << i;
    }
}

TEST_F(LM1_OScenesATest, O12StartsCleanWhenEnteredAgainAndCarriesOnWhileFadingOut)
{
    PrepareFolder("1200 = 1; 1201 = 1; 1202 = 1; 1203 = 1; 1204 = 1; 1205 = 1; 1206 = 1; 1207 = 1;"
                  "1208 = beat(1); 1209 = 7; 1210 = 3; 1211 = 6; 1212 = 20; 1213 = 12; 1214 = 4;"
                  "1215 = 0; 1216 = 9; 1217 = 0;");
    StartScenes(dir.Path().string());
    const std::string text = ReadFile(VC_SOURCE_DIR "/assets/o12_1.txt");
    const std::string mask = ReadFile(VC_SOURCE_DIR "/assets/o12_2.txt");
    std::string clean = text;
    for (std::size_t i = 0; i < clean.size(); ++i)
        if (mask[i] != ' ' && mask[i] != '\n')
            clean[i] = ' ';
    // The same channels with the step held at 0, so a frame drawn with them mutates nothing
    // after a reset.
    QC_Ptr<QD_Sequencer> still = LoadScript("still.qcs", "1200 = 1; 1201 = 1; 1202 = 1; 1203 = 1; 1204 = 1;"
                                                         "1205 = 1; 1206 = 1; 1207 = 1; 1208 = 0; 1209 = 7;"
                                                         "1210 = 3; 1211 = 6; 1212 = 20; 1213 = 12; 1214 = 4;"
                                                         "1215 = 0; 1216 = 9; 1217 = 0;");
    ASSERT_TRUE(still);
    const auto frame = [this](const QD_Sequencer* sequencer) {
        ++shared.renderCalls;
        Draw(112, sequencer);
    };
    for (int beat = 1; beat <= 8; ++beat) {
        SetBeat(static_cast<float>(beat));
        frame(nullptr);
    }
    ASSERT_NE(std::string(scenes->O12Screen()), clean) << "eight steps mutate the screen";

    // Fading out after a scene change: the scene keeps drawing into its own target, frame after
    // frame, and keeps its screen.
    scenes->SceneChanged();
    frame(still.Get());
    EXPECT_NE(std::string(scenes->O12Screen()), clean) << "a scene fading out carries on";

    // Entered again (a seek restarts the scene into the other target): the screen starts clean.
    scenes->SceneChanged();
    QC_Ptr<QR_RenderTarget> other = renderer->CreateRenderTarget(width, height);
    target = other;
    frame(still.Get());
    EXPECT_EQ(std::string(scenes->O12Screen()), clean) << "entering the scene anew starts from the text";

    // Entered again after other scenes drew, even into the target it used before.
    for (int beat = 9; beat <= 12; ++beat) {
        SetBeat(static_cast<float>(beat));
        frame(nullptr);
    }
    ASSERT_NE(std::string(scenes->O12Screen()), clean);
    scenes->SceneChanged();
    shared.renderCalls += 10;
    frame(still.Get());
    EXPECT_EQ(std::string(scenes->O12Screen()), clean) << "a scene not drawn for a while is entered anew";
}

TEST_F(LM1_OScenesATest, O9DrawsTheGemIntoItsOwnTargetAndTheSecondPassReadsIt)
{
    std::string script = "900 = 0.1; 901 = 0.2; 902 = 0; 903 = 0; 904 = 0.9; 905 = 0.2; 906 = 0.3; 907 = 1;"
                         "908 = 0.8; 909 = 0.1; 910 = 0.5; 911 = 0.8; 912 = 6; 913 = 0; 914 = 1; 915 = 0;"
                         "916 = 1; 917 = 3.6; 918 = 0; 919 = 0;";
    PrepareFolder(script);
    // The second pass as a plain copy, so both targets must match pixel for pixel.
    dir.Write("o9_2.qcs", R"(samplers
{
  QR_Sampler2D picture;
}
)" DEMO_PASS_THROUGH_VERTEX R"(pixel
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, out QR_Target outColour)
  {
    outColour = QR_Sample(picture, inTexCoord)
  }
}
)");
    StartScenes(dir.Path().string());
    Prefill();
    Draw(109);
    ASSERT_NE(scenes->O9GemTarget(), nullptr);
    QC_Ptr<QC_Image> gem = ReadTarget(scenes->O9GemTarget());
    EXPECT_FALSE(SamePixel(Centre(*gem), QrPixel{0, 0, 0, 255})) << "the gem sits in the middle";
    EXPECT_TRUE(SamePixel(PixelAt(*gem, 0, 0), QrPixel{0, 0, 0, 255})) << "on black";
    QC_Ptr<QC_Image> shown = ReadTarget(target.Get());
    EXPECT_LT(MeanDifference(*gem, *shown), 0.5) << "the part's target shows the first pass";
    EXPECT_TRUE(SamePixel(Centre(*shown), Centre(*gem)));
}

TEST_F(LM1_OScenesATest, EveryShaderOfTheScenesCompilesWithoutAMessage)
{
    ExpectShadersCompileWithoutAMessage(SCENE_SHADERS);
}

TEST_F(LM1_OScenesATest, EverySceneLoadsAndDrawsAMovingPictureOfItsOwn)
{
    // The demo's own files and script; mid-scene beats of each scene's rows of the timeline.
    const std::pair<std::int32_t, float> scenesAndBeats[] = {
        {101, 72.0f},  {102, 104.0f}, {103, 216.0f}, {104, 120.0f}, {105, 136.0f}, {106, 152.0f},
        {107, 228.0f}, {108, 236.0f}, {109, 312.0f}, {110, 168.0f}, {111, 328.0f}, {112, 200.0f},
    };
    StartScenes(VC_SOURCE_DIR "/assets", true, true);
    ExpectMovingPicturesOfTheirOwn(scenesAndBeats, "-middle.png");
}

TEST_F(LM1_OScenesATest, O3ShowsItsFirstPictureForAPickOutsideTheFour)
{
    // One script per pick, all loaded with the scene's files.
    const char* const picks[] = {"0", "1", "3.5", "4", "-1", "100000000000000000000000000000", "-0.5"};
    PrepareFolder("300 = 0; 301 = 0; 302 = 0;");
    std::vector<QC_Ptr<QD_SequencerAsset>> scripts;
    for (std::size_t i = 0; i < std::size(picks); ++i)
        dir.Write("pick_" + std::to_string(i) + ".qcs", std::string("300 = ") + picks[i] + "; 301 = 0; 302 = 0;");
    StartScenes(dir.Path().string());
    for (std::size_t i = 0; i < std::size(picks); ++i)
        scripts.push_back(QD_GetAssets()->LoadSequencer(("pick_" + std::to_string(i) + ".qcs").c_str()));
    ASSERT_TRUE(PumpUntilLoaded());

    QC_Ptr<QC_Image> first;
    for (std::size_t i = 0; i < std::size(picks); ++i) {
        Prefill();
        Draw(103, scripts[i]->GetCurrent().Get());
        QC_Ptr<QC_Image> shown = ReadTarget(target.Get());
        if (i == 0) {
            first = shown;
            continue;
        }
        const double difference = MeanDifference(*first, *shown);
        const std::string pick = picks[i];
        if (pick == "1" || pick == "3.5")
            EXPECT_GT(difference, 5.0) << "pick " << pick << " shows a picture of its own";
        else
            EXPECT_LT(difference, 0.01) << "pick " << pick << " shows the first picture";
    }
}

TEST_F(LM1_OScenesATest, O12TextsOfTheWrongSizeAreReportedAndKeepTheScreenWhole)
{
    PrepareFolder("1200 = 1; 1201 = 1; 1202 = 1; 1203 = 1; 1204 = 1; 1205 = 1; 1206 = 1; 1207 = 1; 1208 = beat(1);"
                  "1209 = 39; 1210 = 25; 1211 = 3; 1212 = 38; 1213 = 24; 1214 = 2; 1215 = 0; 1216 = 0; 1217 = 0;");
    // A screen text of one short row and a mask (of blanks only) far longer than the screen.
    dir.Write("o12_1.txt", "SHORT\n");
    dir.Write("o12_2.txt", std::string(3000, ' '));
    StartScenes(dir.Path().string());
    for (int beat = 0; beat < 4; ++beat) {
        SetBeat(static_cast<float>(beat));
        Draw(112);
    }
    EXPECT_TRUE(log.Contains(QC_LOG_ERROR, "o12_1.txt holds 6 characters")) << log.Errors();
    EXPECT_TRUE(log.Contains(QC_LOG_ERROR, "o12_2.txt holds 3000 characters")) << log.Errors();
    EXPECT_EQ(log.Messages(QC_LOG_ERROR).size(), 2u) << "reported once each, not every frame:\n" << log.Errors();
    // The short text is followed by blank rows, each with its line feed, which the mutation
    // (here at the last row and column and the screen's corners) never overwrites.
    const std::string screen = scenes->O12Screen();
    ASSERT_EQ(screen.size(), std::size_t(LM1_OScenesA::O12_SCREEN_SIZE));
    for (int row = 0; row < LM1_OScenesA::O12_ROWS; ++row)
        EXPECT_EQ(screen[row * LM1_OScenesA::O12_ROW_STRIDE + LM1_OScenesA::O12_COLUMNS], '\n') << "row " << row;
}
