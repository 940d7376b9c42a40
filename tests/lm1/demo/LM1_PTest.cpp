// Scene part P on the headless device: the default clear, p5's clear once per scene change and
// its painting over earlier frames, p4's dark blue, p2's picture placement, the shaders through
// vc-shader --glsl, every asset of the part loading, and the real scenes' pictures at their
// beats (moving, never flat, each its own).

#include "support/DemoTestSupport.h"
#include "LM1_P.h"
#include "QD_Sequencer_QCS.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{
constexpr QR_Colour kGreen = {0, 255, 0, 255};
const QrPixel kGreenPixel = {0, 255, 0, 255};
const QrPixel kPurplePixel = {0x40, 0, 0x80, 255};
const QrPixel kBlackPixel = {0, 0, 0, 255};

bool Same(const QrPixel& a, const QrPixel& b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

// Mean absolute difference of two pictures' bytes.
double Difference(const QC_Image& a, const QC_Image& b)
{
    const auto* pa = reinterpret_cast<const std::uint8_t*>(a.Pixels());
    const auto* pb = reinterpret_cast<const std::uint8_t*>(b.Pixels());
    const std::size_t count = std::size_t(a.Width()) * a.Height() * 4;
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i)
        sum += std::abs(int(pa[i]) - int(pb[i]));
    return sum / double(count);
}

// Standard deviation of the pixels' brightness (sum of red, green and blue).
double Spread(const QC_Image& image)
{
    const auto* p = reinterpret_cast<const std::uint8_t*>(image.Pixels());
    const std::size_t count = std::size_t(image.Width()) * image.Height();
    double sum = 0.0;
    double squares = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double brightness = p[i * 4] + p[i * 4 + 1] + p[i * 4 + 2];
        sum += brightness;
        squares += brightness * brightness;
    }
    const double mean = sum / double(count);
    return std::sqrt(std::max(0.0, squares / double(count) - mean * mean));
}
} // namespace

class LM1_PTest : public LM1_DemoRuntimeTest
{
protected:
    QC_Ptr<QD_Sequencer> RealScript()
    {
        QC_Ptr<QD_Sequencer> sequencer;
        EXPECT_TRUE(QD_ParseSequencerScript(VC_SOURCE_DIR "/assets/p.qcs", sequencer)) << log.Errors();
        if (sequencer)
            sequencer->SubscribeChannels();
        return sequencer;
    }

    QC_Ptr<QR_RenderTarget> Target() { return renderer->CreateRenderTarget(width, height); }

    void Fill(QR_RenderTarget* target, QR_Colour colour)
    {
        context->SetRenderTarget(target);
        context->Clear(colour);
        context->ClearDepth(1.0f, 0);
    }

    // Copies the named files of the demo's assets into the test's own folder.
    void CopyAssets(std::initializer_list<const char*> names)
    {
        for (const char* name : names)
            std::filesystem::copy_file(std::string(VC_SOURCE_DIR "/assets/") + name, dir.File(name));
    }
};

TEST_F(LM1_PTest, EveryAssetOfThePartLoadsAndItsScriptParses)
{
    StartRuntime(VC_SOURCE_DIR "/assets");
    QC_Ptr<LM1_P> part(new LM1_P(int(width), int(height)));
    ASSERT_TRUE(PumpUntilLoaded());
    EXPECT_EQ(log.Errors(), "");
    QC_Ptr<QD_Sequencer> sequencer = RealScript();
    ASSERT_TRUE(sequencer);
    // Every channel the part reads is assigned: an unassigned one would silently read 0.
    for (int channel : {100, 101, 102, 103, 200, 201, 202, 203, 204, 205, 300, 301, 302, 303, 304, 400, 401, 402,
                        403, 501, 502, 503, 511, 512, 513, 521, 522, 523, 531, 532, 541, 542, 543})
        EXPECT_NE(sequencer->GetChannel(channel), nullptr) << "channel " << channel;
}

TEST_F(LM1_PTest, NumbersOutsideTheFiveScenesClearToOpaqueBlack)
{
    StartRuntime(dir.Path().string());
    QC_Ptr<LM1_P> part(new LM1_P(int(width), int(height)));
    QC_Ptr<QD_Sequencer> sequencer = Script("");
    QC_Ptr<QR_RenderTarget> target = Target();
    for (int scene : {200, 206, 299}) {
        Fill(target.Get(), kGreen);
        part->Render(scene, *sequencer, target.Get());
        QC_Ptr<QC_Image> picture = ReadTarget(target.Get());
        EXPECT_TRUE(PixelNear(PixelAt(*picture, 0, 0), kBlackPixel, 0)) << "scene " << scene;
        EXPECT_TRUE(PixelNear(PixelAt(*picture, width - 1, height - 1), kBlackPixel, 0)) << "scene " << scene;
    }
    // A scene whose assets never arrive (none are in this folder) leaves its target alone.
    for (int scene = 201; scene <= 205; ++scene) {
        Fill(target.Get(), kGreen);
        part->Render(scene, *sequencer, target.Get());
        QC_Ptr<QC_Image> picture = ReadTarget(target.Get());
        EXPECT_TRUE(PixelNear(PixelAt(*picture, width / 2, height / 2), kGreenPixel, 0)) << "scene " << scene;
    }
}

// p5 with the brush parked off screen and the box small: at beat 5 on the left, from beat 10 on
// the right. The painting's progress moves on with the beat, as in the demo.
const char* const kP5Script = R"(
501 = 0.3; 502 = 0.5; 503 = 0;
511 = 6; 512 = 0; 513 = 0.6;
521 = constant(0:-2, 10:2, 1000:2);
522 = 0;
523 = linear(0:0, 100:1, 1000:1);
531 = 0.01; 532 = 5; 541 = 0; 542 = 1;
543 = linear(0:0, 100:1, 1000:1);
)";

TEST_F(LM1_PTest, P5ClearsToPurpleOnEntryPaintsOverItsEarlierFramesAndKeepsItsPaintingWhenLeaving)
{
    StartRuntime(VC_SOURCE_DIR "/assets");
    QC_Ptr<LM1_P> part(new LM1_P(int(width), int(height)));
    ASSERT_TRUE(PumpUntilLoaded());
    QC_Ptr<QD_Sequencer> sequencer = Script(kP5Script);
    QC_Ptr<QR_RenderTarget> target = Target();
    Fill(target.Get(), kGreen);
    const std::uint32_t leftX = width / 3;
    const std::uint32_t rightX = width - width / 3;
    const std::uint32_t middleY = height / 2;

    // Entering: purple wherever the box is not.
    SetBeat(5.0f);
    part->Render(205, *sequencer, target.Get());
    QC_Ptr<QC_Image> first = ReadTarget(target.Get());
    EXPECT_TRUE(PixelNear(PixelAt(*first, 1, 1), kPurplePixel, 0));
    EXPECT_TRUE(PixelNear(PixelAt(*first, rightX, middleY), kPurplePixel, 0));
    const QrPixel leftBox = PixelAt(*first, leftX, middleY);
    EXPECT_FALSE(Same(leftBox, kPurplePixel)) << "the box is drawn on the left";

    // Next frame, box on the right: nothing is cleared, the first frame's box stays.
    SetBeat(12.0f);
    part->Render(205, *sequencer, target.Get());
    QC_Ptr<QC_Image> second = ReadTarget(target.Get());
    EXPECT_TRUE(PixelNear(PixelAt(*second, leftX, middleY), leftBox, 0)) << "the first frame's box survives";
    EXPECT_FALSE(Same(PixelAt(*second, rightX, middleY), kPurplePixel)) << "the box is drawn on the right";
    EXPECT_TRUE(PixelNear(PixelAt(*second, 1, 1), kPurplePixel, 0));

    // Whatever else the target holds survives too: p5 paints over, it never clears by itself.
    Fill(target.Get(), kGreen);
    SetBeat(13.0f);
    part->Render(205, *sequencer, target.Get());
    QC_Ptr<QC_Image> third = ReadTarget(target.Get());
    EXPECT_TRUE(PixelNear(PixelAt(*third, 1, 1), kGreenPixel, 0));
    EXPECT_TRUE(PixelNear(PixelAt(*third, leftX, middleY), kGreenPixel, 0));

    // Leaving p5 with a cross-fade: the scene changes, and for a beat p5 goes on drawing into the
    // target it has been painting. That painting fades out as it is, never cleared.
    part->SceneChanged();
    SetBeat(13.5f);
    part->Render(205, *sequencer, target.Get());
    QC_Ptr<QC_Image> outgoing = ReadTarget(target.Get());
    EXPECT_TRUE(PixelNear(PixelAt(*outgoing, 1, 1), kGreenPixel, 0)) << "the outgoing painting is kept";
    EXPECT_FALSE(Same(PixelAt(*outgoing, rightX, middleY), kGreenPixel)) << "p5 still draws";

    // Entering p5 again: the demo hands it the other target, which is cleared once.
    QC_Ptr<QR_RenderTarget> other = Target();
    Fill(other.Get(), kGreen);
    part->SceneChanged();
    SetBeat(14.0f);
    part->Render(205, *sequencer, other.Get());
    QC_Ptr<QC_Image> entered = ReadTarget(other.Get());
    EXPECT_TRUE(PixelNear(PixelAt(*entered, 1, 1), kPurplePixel, 0));
    EXPECT_TRUE(PixelNear(PixelAt(*entered, leftX, middleY), kPurplePixel, 0));
    Fill(other.Get(), kGreen);
    SetBeat(15.0f);
    part->Render(205, *sequencer, other.Get());
    EXPECT_TRUE(PixelNear(PixelAt(*ReadTarget(other.Get()), 1, 1), kGreenPixel, 0)) << "cleared only once";

    // A scene change long after p5's last frame clears even the target it painted last.
    part->SceneChanged();
    SetBeat(21.0f);
    part->Render(205, *sequencer, other.Get());
    EXPECT_TRUE(PixelNear(PixelAt(*ReadTarget(other.Get()), 1, 1), kPurplePixel, 0));
    EXPECT_EQ(log.Errors(), "");
}

TEST_F(LM1_PTest, P4ClearsToDarkBlue)
{
    StartRuntime(VC_SOURCE_DIR "/assets");
    QC_Ptr<LM1_P> part(new LM1_P(int(width), int(height)));
    ASSERT_TRUE(PumpUntilLoaded());
    QC_Ptr<QD_Sequencer> sequencer = Script("400 = 0; 401 = 1; 402 = 0; 403 = 4;");
    QC_Ptr<QR_RenderTarget> target = Target();
    Fill(target.Get(), kGreen);
    part->Render(204, *sequencer, target.Get());
    QC_Ptr<QC_Image> picture = ReadTarget(target.Get());
    EXPECT_TRUE(PixelNear(PixelAt(*picture, 0, 0), {0, 0, 0x88, 0xFF}, 0));
    EXPECT_TRUE(PixelNear(PixelAt(*picture, width - 1, height - 1), {0, 0, 0x88, 0xFF}, 0));
    EXPECT_FALSE(Same(PixelAt(*picture, width / 2, height / 2), {0, 0, 0x88, 0xFF})) << "the blob in the middle";
}

TEST_F(LM1_PTest, P2PictureFillsTheHeightKeepsItsProportionsAndShiftsByChannel205)
{
    // A plain red picture half as wide as high, over the real sky turned to black (ch 204 = 0).
    QC_Image red(16, 32);
    for (std::uint32_t i = 0; i < 16 * 32; ++i)
        red.Pixels()[i] = 0xFF0000FFu; // bytes FF 00 00 FF
    ASSERT_TRUE(WritePng(red, dir.File("mexico.png")));
    CopyAssets({"p1.qcs", "p2.qcs", "p3.qcs", "p4.qcs", "p5lb.qcs", "p5.qcs", "grilla.png", "glitch.png",
                "percube.png", "texture.qcs", "font.qcs", "font.png"});
    StartRuntime(dir.Path().string());
    QC_Ptr<LM1_P> part(new LM1_P(int(width), int(height)));
    ASSERT_TRUE(PumpUntilLoaded());
    QC_Ptr<QD_Sequencer> sequencer = Script("200 = 0; 201 = 0.2; 202 = 0; 203 = 0; 204 = 0; 205 = 20;");
    QC_Ptr<QR_RenderTarget> target = Target();
    Fill(target.Get(), kGreen);
    part->Render(202, *sequencer, target.Get());
    QC_Ptr<QC_Image> picture = ReadTarget(target.Get());
    // Height 90: width 45, from 80 - 22.5 + 20 = 77.5 to 122.5, so pixels 77 to 121 are covered.
    const QrPixel redPixel = {255, 0, 0, 255};
    for (std::uint32_t y : {0u, height / 2, height - 1}) {
        EXPECT_TRUE(PixelNear(PixelAt(*picture, 78, y), redPixel, 0)) << "row " << y;
        EXPECT_TRUE(PixelNear(PixelAt(*picture, 121, y), redPixel, 0)) << "row " << y;
        EXPECT_TRUE(PixelNear(PixelAt(*picture, 76, y), kBlackPixel, 0)) << "row " << y;
        EXPECT_TRUE(PixelNear(PixelAt(*picture, 123, y), kBlackPixel, 0)) << "row " << y;
    }
}

TEST_F(LM1_PTest, EveryShaderOfThePartCompilesCleanToGlsl)
{
    const std::string tool = std::string(VC_BINARY_DIR) + "/vc-shader";
    ASSERT_TRUE(std::filesystem::exists(tool)) << "build the vc-shader target";
    const char* const shaders[] = {"p1.qcs", "p2.qcs", "p3.qcs", "p4.qcs", "p5lb.qcs", "p5.qcs", "t1.qcs"};
    // One process per shader, all at once: each starts a renderer of its own.
    std::string command;
    for (const char* name : shaders)
        command += "(" + tool + " --glsl " + VC_SOURCE_DIR "/assets/" + name + " >/dev/null 2>" + dir.File(name) +
                   ".log; echo $? >" + dir.File(name) + ".status) & ";
    command += "wait";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const auto read = [](const std::string& path) {
        std::ifstream file(path);
        return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    };
    for (const char* name : shaders) {
        const std::string messages = read(dir.File(name) + ".log");
        EXPECT_EQ(read(dir.File(name) + ".status"), "0\n") << name << ":\n" << messages;
        EXPECT_EQ(messages.find("[ERROR]"), std::string::npos) << name << ":\n" << messages;
    }
}

// The real scenes with the real script, in the middle of their beats: each one moves from beat
// to beat, is never one flat colour and looks like none of the others. p5 is painted frame by
// frame from its start, as the demo does. The pictures go to the build folder for a human.
TEST_F(LM1_PTest, RealScenesMoveAreNeverFlatAndDifferFromEachOther)
{
    StartRuntime(VC_SOURCE_DIR "/assets");
    QC_Ptr<LM1_P> part(new LM1_P(int(width), int(height)));
    ASSERT_TRUE(PumpUntilLoaded());
    QC_Ptr<QD_Sequencer> sequencer = RealScript();
    ASSERT_TRUE(sequencer);
    struct Scene
    {
        int number;
        float start;
    };
    const Scene scenes[] = {{201, 256.0f}, {202, 384.0f}, {203, 400.0f}, {204, 272.0f}, {205, 288.0f}};
    std::vector<QC_Ptr<QC_Image>> middles;
    for (const Scene& scene : scenes) {
        QC_Ptr<QR_RenderTarget> target = Target();
        part->SceneChanged();
        // Four frames a beat from the start to the middle, then one beat on.
        QC_Ptr<QC_Image> middle;
        for (float beat = scene.start; beat <= scene.start + 9.0f; beat += 0.25f) {
            SetBeat(beat);
            part->Render(scene.number, *sequencer, target.Get());
            if (beat == scene.start + 8.0f)
                middle = ReadTarget(target.Get());
        }
        QC_Ptr<QC_Image> later = ReadTarget(target.Get());
        ASSERT_TRUE(middle);
        WritePng(*middle, std::string(VC_BINARY_DIR) + "/scene-" + std::to_string(scene.number) + ".png");
        EXPECT_GT(Spread(*middle), 20.0) << "scene " << scene.number << " is flat";
        EXPECT_GT(Difference(*middle, *later), 2.0) << "scene " << scene.number << " stands still";
        for (std::size_t i = 0; i < middles.size(); ++i)
            EXPECT_GT(Difference(*middle, *middles[i]), 10.0)
                << "scene " << scene.number << " looks like scene " << scenes[i].number;
        middles.push_back(middle);
    }
    EXPECT_EQ(log.Errors(), "");
}
