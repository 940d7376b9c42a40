// Scene part T on the headless device: t1 is a clear in the colour of three channels, nothing
// happens before its shader has loaded, other numbers clear to opaque black, and the real
// script reaches black at the end of the run.

#include "support/DemoTestSupport.h"
#include "LM1_T.h"
#include "QD_Sequencer_QCS.h"

#include <filesystem>

namespace
{
constexpr QR_Colour kGreen = {0, 255, 0, 255};
const QrPixel kGreenPixel = {0, 255, 0, 255};
} // namespace

class LM1_TTest : public LM1_DemoRuntimeTest
{
protected:
    // The target filled with green, then drawn into as scene.
    QC_Ptr<QC_Image> RenderOverGreen(LM1_T& part, int scene, const QD_Sequencer& sequencer)
    {
        QC_Ptr<QR_RenderTarget> target = renderer->CreateRenderTarget(width, height);
        context->SetRenderTarget(target.Get());
        context->Clear(kGreen);
        part.Render(scene, sequencer, target.Get());
        return ReadTarget(target.Get());
    }
};

TEST_F(LM1_TTest, T1ClearsToTheColourOfChannels100To102)
{
    StartRuntime(VC_SOURCE_DIR "/assets");
    QC_Ptr<LM1_T> part(new LM1_T(int(width), int(height)));
    ASSERT_TRUE(PumpUntilLoaded());
    EXPECT_EQ(log.Errors(), "");
    QC_Ptr<QD_Sequencer> sequencer = Script("100 = 1; 101 = 0.5; 102 = 0;");
    QC_Ptr<QC_Image> picture = RenderOverGreen(*part, 301, *sequencer);
    // 0.5 x 255 = 127.5, truncated.
    EXPECT_TRUE(PixelNear(PixelAt(*picture, 0, 0), {255, 127, 0, 255}, 0));
    EXPECT_TRUE(PixelNear(PixelAt(*picture, width / 2, height / 2), {255, 127, 0, 255}, 0));
    EXPECT_TRUE(PixelNear(PixelAt(*picture, width - 1, height - 1), {255, 127, 0, 255}, 0));
}

TEST_F(LM1_TTest, BeforeItsShaderLoadsT1LeavesItsTargetAndOtherNumbersClearToBlack)
{
    // An asset folder without t1.qcs: the shader never arrives.
    StartRuntime(dir.Path().string());
    QC_Ptr<LM1_T> part(new LM1_T(int(width), int(height)));
    QC_Ptr<QD_Sequencer> sequencer = Script("100 = 1; 101 = 0.5; 102 = 0;");
    QC_Ptr<QC_Image> untouched = RenderOverGreen(*part, 301, *sequencer);
    EXPECT_TRUE(PixelNear(PixelAt(*untouched, width / 2, height / 2), kGreenPixel, 0));
    for (int scene : {300, 302, 399}) {
        QC_Ptr<QC_Image> cleared = RenderOverGreen(*part, scene, *sequencer);
        EXPECT_TRUE(PixelNear(PixelAt(*cleared, 0, 0), {0, 0, 0, 255}, 0)) << "scene " << scene;
        EXPECT_TRUE(PixelNear(PixelAt(*cleared, width - 1, height - 1), {0, 0, 0, 255}, 0)) << "scene " << scene;
    }
}

TEST_F(LM1_TTest, TheClosingColourFadesToBlackByTheEndOfTheRun)
{
    StartRuntime(VC_SOURCE_DIR "/assets");
    QC_Ptr<LM1_T> part(new LM1_T(int(width), int(height)));
    ASSERT_TRUE(PumpUntilLoaded());
    QC_Ptr<QD_Sequencer> sequencer;
    ASSERT_TRUE(QD_ParseSequencerScript(VC_SOURCE_DIR "/assets/t.qcs", sequencer)) << log.Errors();
    sequencer->SubscribeChannels();
    SetBeat(432.0f);
    QC_Ptr<QC_Image> opening = RenderOverGreen(*part, 301, *sequencer);
    const QrPixel first = PixelAt(*opening, width / 2, height / 2);
    EXPECT_GT(first.r + first.g + first.b, 60) << "t1 opens on a colour, not on black: " << first;
    // Darker at every beat to the end, black at 448.
    int previous = first.r + first.g + first.b;
    for (float beat = 436.0f; beat <= 448.0f; beat += 4.0f) {
        SetBeat(beat);
        QC_Ptr<QC_Image> picture = RenderOverGreen(*part, 301, *sequencer);
        const QrPixel pixel = PixelAt(*picture, width / 2, height / 2);
        EXPECT_LT(pixel.r + pixel.g + pixel.b, previous) << "beat " << beat;
        previous = pixel.r + pixel.g + pixel.b;
    }
    EXPECT_EQ(previous, 0) << "black at beat 448";
}
