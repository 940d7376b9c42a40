// The demo object on the headless device, with a timeline written for each test and scenes of
// known colours painted in place of the parts: the loading gate, the first frame, fades and
// cuts, scene numbers no part owns, the run channel, and the composition read back.

#include "support/DemoTestSupport.h"
#include "LM1_Demo.h"
#include "LM1_MainLoop.h"
#include "QC_String.h"
#include "QU_Font.h"
#include "support/OggWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace
{
// The composition without grain, vignette or anything else: the mix by fade alone, so read-back
// colours are exact.
const char* const kPlainComposition = DEMO_COMPOSITION_INTERFACE R"(pixel
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, out QR_Target outColour)
  {
    float4 a = QR_Sample(previous, inTexCoord)
    float4 b = QR_Sample(current, inTexCoord)
    float4 shade = QR_Sample(vignette, inTexCoord)
    outColour = float4(lerp(a.rgb, b.rgb, composition.fade.x) * shade.rgb, 1.0);
  }
}
)";

const QrPixel kRed = {255, 0, 0, 255};
const QrPixel kBlue = {0, 0, 255, 255};
const QrPixel kBlack = {0, 0, 0, 255};

QR_Colour SceneColour(std::int32_t scene)
{
    switch (scene) {
    case 101:
        return {255, 0, 0, 255};
    case 205:
        return {0, 0, 255, 255};
    default:
        return {0, 255, 0, 255};
    }
}

struct Painted
{
    std::int32_t scene;
    QR_RenderTarget* target;
};
} // namespace

class LM1_DemoTimelineTest : public LM1_DemoRuntimeTest
{
protected:
    // Writes the test's asset folder around the timeline script and starts the demo on it.
    void StartDemo(const std::string& timeline, const char* composition = kPlainComposition)
    {
        dir.Write("scene.qcs", timeline);
        for (const char* part : {"o.qcs", "p.qcs", "t.qcs"})
            dir.Write(part, "1 = 0;\n");
        dir.Write("post.qcs", composition);
        QC_Image white(4, 4);
        white.Fill(0xFFFFFFFFu);
        ASSERT_TRUE(WritePng(white, dir.File("vignette.png")));
        for (const char* kit : {"font.png", "font.qcs", "texture.qcs"})
            std::filesystem::copy_file(std::string(VC_SOURCE_DIR "/assets/") + kit, dir.File(kit));
        OggWriteOptions music;
        music.channels = 2;
        music.frames = 4410;
        music.sample = [](std::uint64_t frame, int) { return 0.25f * std::sin(float(frame) * 0.06f); };
        ASSERT_TRUE(WriteOgg(dir.File("music.ogg"), music));

        DemoRuntimeOptions options;
        options.audio = true;
        options.audioEnabled = true;
        options.draw2D = false; // the demo's Init sets the kit up
        StartRuntime(dir.Path().string(), options);
        QU_InitFonts();
        fontsStarted = true;
        demo = std::make_unique<LM1_Demo>();
        demo->Init(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
                   [this](std::int32_t scene, QR_RenderTarget* target) {
                       painted.push_back({scene, target});
                       context->SetRenderTarget(target);
                       context->Clear(SceneColour(scene));
                   });
    }

    void TearDown() override
    {
        demo.reset();
        LM1_ReleaseDraw2D();
        if (fontsStarted)
            QU_ShutdownFonts();
        LM1_DemoRuntimeTest::TearDown();
    }

    // Loads everything and runs the first frame the way the main loop does: the clock's update
    // (not started yet: beat 0), then Render, which opens the gate.
    void LoadAndRunFirstFrame()
    {
        ASSERT_TRUE(PumpUntilLoaded());
        RunFrame();
        QD_GetSync()->Update();
        demo->Render();
        ASSERT_TRUE(demo->MusicStarted());
    }

    // One frame with the clock at beat.
    void Frame(float beat)
    {
        painted.clear();
        RunFrame();
        SetBeat(beat);
        demo->Render();
        demo->EndFrame();
    }

    bool PaintedScene(std::int32_t scene) const
    {
        for (const Painted& call : painted)
            if (call.scene == scene)
                return true;
        return false;
    }

    QrPixel Composed() { return PixelAt(*ReadBackBuffer(), width / 2, height / 2); }

    std::unique_ptr<LM1_Demo> demo;
    std::vector<Painted> painted;
    bool fontsStarted = false;
};

TEST_F(LM1_DemoTimelineTest, DrawsNothingWhileLoadingThenStartsMusicAndClockAtBeatZero)
{
    StartDemo("1 = 1;\n2 = 1;\n3 = 10;\n10 = constant(0:101, 5:205, 1000:205);\n");
    // Right after Init nothing has loaded: the shaders and textures wait for the main thread.
    context->SetRenderTarget(nullptr);
    context->Clear(QR_Colour{255, 0, 255, 255});
    for (int frame = 0; frame < 3; ++frame)
        demo->Render();
    EXPECT_FALSE(demo->MusicStarted());
    EXPECT_EQ(demo->CurrentScene(), -1);
    EXPECT_TRUE(painted.empty());
    EXPECT_EQ(QA_GetAudio()->Playing(), nullptr) << "no music while loading";
    EXPECT_TRUE(PixelNear(Composed(), {255, 0, 255, 255}, 0)) << "the back buffer is not even cleared";
    QC_Sleep(20);
    QD_GetSync()->Update();
    EXPECT_EQ(QD_GetSync()->GetBeat(), 0.0f) << "the clock has not started";

    // Channels left at beat 7 (scene 205) before the first frame: the frame reads them at 0.
    ASSERT_TRUE(PumpUntilLoaded());
    SetBeat(7.0f);
    LoadAndRunFirstFrame();
    EXPECT_NE(QA_GetAudio()->Playing(), nullptr) << "the music plays from the first frame";
    EXPECT_EQ(QD_GetSync()->GetBeat(), 0.0f);
    EXPECT_EQ(demo->CurrentScene(), 101) << "the timeline read at beat 0";
    // The first scene cuts in although the transition channel says 1.
    EXPECT_EQ(demo->PreviousScene(), -1);
    EXPECT_EQ(demo->Fade(), 1.0f);
    EXPECT_FALSE(PaintedScene(-1));
    EXPECT_TRUE(PixelNear(Composed(), kRed, 0)) << "only the first scene, no fade from black";
    // The other target was never drawn: cleared to opaque black when it was made.
    EXPECT_TRUE(PixelNear(PixelAt(*ReadTarget(demo->PreviousTarget()), 3, 3), kBlack, 0));
    EXPECT_TRUE(log.Messages(QC_LOG_ERROR).empty()) << log.Errors();
}

TEST_F(LM1_DemoTimelineTest, ASwitchWithTransitionOneShowsBothScenesForOneBeat)
{
    StartDemo("1 = 1;\n2 = 1;\n3 = 10;\n10 = constant(0:101, 2:205, 1000:205);\n");
    LoadAndRunFirstFrame();
    Frame(1.0f);
    Frame(1.9f);
    EXPECT_TRUE(PixelNear(Composed(), kRed, 0));
    QR_RenderTarget* redTarget = demo->CurrentTarget();

    Frame(2.0f);
    EXPECT_EQ(demo->CurrentScene(), 205);
    EXPECT_EQ(demo->PreviousScene(), 101);
    EXPECT_NEAR(demo->Fade(), 0.1f, 1e-4f) << "the fade starts at 0 and counts the beat since the last frame";
    EXPECT_EQ(demo->PreviousTarget(), redTarget) << "the outgoing scene keeps its target";

    Frame(2.5f);
    EXPECT_NEAR(demo->Fade(), 0.6f, 1e-4f);
    EXPECT_TRUE(PaintedScene(101)) << "the outgoing scene is redrawn during the fade";
    EXPECT_TRUE(PaintedScene(205));
    const QrPixel mixed = Composed();
    EXPECT_TRUE(PixelNear(mixed, {102, 0, 153, 255}, 2)) << "both colours, mixed by the fade";

    Frame(3.0f);
    EXPECT_EQ(demo->Fade(), 1.0f) << "one beat later only the new scene shows";
    EXPECT_FALSE(PaintedScene(101));
    EXPECT_TRUE(PixelNear(Composed(), kBlue, 0));
    EXPECT_TRUE(log.Messages(QC_LOG_ERROR).empty()) << log.Errors();
}

// The demo's own composition, grain and all (the vignette is white here): during a fade both
// scenes are mixed by it, before and after it only one scene shows.
TEST_F(LM1_DemoTimelineTest, TheDemosCompositionMixesBothScenesOnlyDuringTheFade)
{
    std::ifstream file(VC_SOURCE_DIR "/assets/post.qcs");
    const std::string composition((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(composition.empty());
    StartDemo("1 = 1;\n2 = 1;\n3 = 10;\n10 = constant(0:101, 2:205, 1000:205);\n", composition.c_str());
    LoadAndRunFirstFrame();
    // The grain moves a pixel by at most 2.25 % of full scale.
    constexpr int kGrain = 6;
    Frame(1.9f);
    EXPECT_TRUE(PixelNear(Composed(), kRed, kGrain));
    Frame(2.0f);
    Frame(2.5f);
    EXPECT_TRUE(PixelNear(Composed(), {102, 0, 153, 255}, kGrain)) << "both colours, mixed by the fade";
    Frame(3.0f);
    EXPECT_TRUE(PixelNear(Composed(), kBlue, kGrain));
    Frame(3.5f);
    EXPECT_TRUE(PixelNear(Composed(), kBlue, kGrain));
    EXPECT_TRUE(log.Messages(QC_LOG_ERROR).empty()) << log.Errors();
}

// A composition that shows its constants instead of the scenes: red the fade's second
// component, green the beat / 8, blue the third noise value.
const char* const kConstantsComposition = DEMO_COMPOSITION_INTERFACE R"(pixel
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, out QR_Target outColour)
  {
    outColour = float4(composition.fade.y, composition.time / 8.0, composition.noise.z, 1.0);
  }
}
)";

TEST_F(LM1_DemoTimelineTest, TheCompositionGetsFadeBeatAndThreeDrawsOfTheSharedGenerator)
{
    StartDemo("1 = 1;\n2 = 1;\n3 = 10;\n10 = constant(0:101, 2:205, 1000:205);\n", kConstantsComposition);
    LoadAndRunFirstFrame();
    Frame(1.9f);
    Frame(2.0f);
    // The generator is the C runtime's, shared with the scenes (which draw none here): the
    // frame takes the next three numbers, in order.
    QC_SRand(2024);
    QC_Rand();
    QC_Rand();
    const int third = QC_Rand();
    const int fourth = QC_Rand();
    QC_SRand(2024);
    Frame(2.5f);
    const QrPixel constants = Composed();
    EXPECT_TRUE(PixelNear(constants, {153, 80, int(std::lround(third / 32767.0 * 255.0)), 255}, 1))
        << "fade 0.6 in every component, beat 2.5, noise = rand() / 32767";
    EXPECT_EQ(QC_Rand(), fourth) << "exactly three numbers drawn";
}

TEST_F(LM1_DemoTimelineTest, ASwitchWithTransitionZeroCutsInTheSameFrame)
{
    StartDemo("1 = constant(0:1, 2:0, 1000:0);\n2 = 1;\n3 = 10;\n10 = constant(0:101, 2:205, 1000:205);\n");
    LoadAndRunFirstFrame();
    Frame(1.9f);
    Frame(2.0f);
    EXPECT_EQ(demo->CurrentScene(), 205);
    EXPECT_EQ(demo->Fade(), 1.0f);
    EXPECT_FALSE(PaintedScene(101));
    EXPECT_TRUE(PixelNear(Composed(), kBlue, 0));
}

TEST_F(LM1_DemoTimelineTest, AClockGoingBackAcrossASwitchKeepsTheFadeAtZeroOrMore)
{
    StartDemo("1 = 1;\n2 = 1;\n3 = 10;\n10 = constant(0:101, 2:205, 1000:205);\n");
    LoadAndRunFirstFrame();
    Frame(1.9f);
    Frame(2.0f);
    // The clock jumps back half a beat (a MIDI stop, a tool stepping back): back to 101, and
    // the fade would go to -0.5 and extrapolate past the outgoing picture.
    Frame(1.5f);
    EXPECT_EQ(demo->CurrentScene(), 101);
    EXPECT_EQ(demo->PreviousScene(), 205);
    EXPECT_EQ(demo->Fade(), 0.0f);
    EXPECT_TRUE(PixelNear(Composed(), kBlue, 0)) << "the outgoing scene alone, not beyond it";
    Frame(1.75f);
    EXPECT_NEAR(demo->Fade(), 0.25f, 1e-4f) << "and the fade goes on from there";
}

TEST_F(LM1_DemoTimelineTest, ASceneNoPartOwnsKeepsWhatItsTargetHeld)
{
    StartDemo("1 = 0;\n2 = 1;\n3 = 10;\n10 = constant(0:101, 2:205, 4:50, 6:0, 8:400, 1000:400);\n");
    LoadAndRunFirstFrame();
    Frame(1.0f); // red in one target
    Frame(2.0f); // blue in the other
    Frame(4.0f); // 50: the targets swap back, the one holding red is current and not drawn
    EXPECT_EQ(demo->CurrentScene(), 50);
    EXPECT_TRUE(painted.empty()) << "no part draws scene 50";
    EXPECT_TRUE(PixelNear(Composed(), kRed, 0)) << "the composition runs on the target's old picture";
    Frame(6.0f);
    Frame(8.0f);
    EXPECT_EQ(demo->CurrentScene(), 400);
    EXPECT_TRUE(painted.empty()) << "neither 0 nor 400 (the upper bound is exclusive) is drawn";
    EXPECT_TRUE(PixelNear(Composed(), kRed, 0));
}

namespace
{
// The main loop around the demo, with the clock advanced by one beat a frame once the music
// has started, counting the presents that follow the frame that ended the run.
class TimelineSteps final : public LM1_FrameSteps
{
public:
    TimelineSteps(LM1_Demo& runningDemo) : demo(runningDemo) {}
    QP_WindowEvent PollEvent() override { return QP_WindowEvent::None; }
    bool IsRunning() override { return demo.IsRunning(); }
    void RunMainThreadTasks() override { QC_GetTasks()->RunMainThreadTasks(); }
    void UpdateAssets() override { QD_GetAssets()->Update(); }
    void UpdateSync() override
    {
        if (demo.MusicStarted())
            beat += 1.0f;
        QD_GetSync()->UpdateAtMilliseconds(std::llround(beat * 500.0));
    }
    void UpdateStatistics() override { demo.UpdateStatistics(); }
    void Render() override { demo.Render(); }
    void EndFrame() override { demo.EndFrame(); }
    void Present() override
    {
        if (!demo.IsRunning())
            ++presentsAfterEnd;
        beatAtLastPresent = beat;
    }

    LM1_Demo& demo;
    float beat = 0.0f;
    float beatAtLastPresent = -1.0f;
    int presentsAfterEnd = 0;
};
} // namespace

TEST_F(LM1_DemoTimelineTest, TheRunChannelAtZeroEndsAfterOneMorePresent)
{
    // The channel comes back to 1 a beat later: the end is final all the same.
    StartDemo("1 = 0;\n2 = constant(0:1, 3:0, 4:1, 1000:1);\n3 = 10;\n10 = 101;\n");
    TimelineSteps steps(*demo);
    LM1_RunMainLoop(steps);
    EXPECT_FALSE(demo->IsRunning());
    EXPECT_EQ(steps.presentsAfterEnd, 1) << "the frame that read run 0 is still presented, and no other";
    EXPECT_EQ(steps.beatAtLastPresent, 3.0f);
    EXPECT_TRUE(PixelNear(Composed(), kRed, 0)) << "that frame draws nothing over the last picture";
}
