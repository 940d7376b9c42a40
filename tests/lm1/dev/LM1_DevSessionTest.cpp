// A workbench session in this process on the headless device: the demo object with painted
// scenes, the assets watched, the music on SDL's disk driver. Shaders saved broken and fixed,
// the compile chain's kept crashers saved as a shader, the transport moving clock and music
// together (slowed and looped too), the overlay's and the timeline panel's pixels, and reloads
// of the timeline and the music.

#include "support/DemoTestSupport.h"
#include "LM1_Demo.h"
#include "LM1_DevSession.h"
#include "QD_AssetErrorLog.h"
#include "QP_GuiOverlay.h"
#include "QP_ShaderCompiler.h"
#include "QU_Font.h"
#include "support/OggWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace
{
using namespace std::chrono_literals;

// The composition with no grain or vignette: the mix by fade alone, so colours read back exact.
// TINT is replaced by the test to make a visibly different version.
const char* const kComposition = DEMO_COMPOSITION_INTERFACE R"(pixel
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, out QR_Target outColour)
  {
    float4 a = QR_Sample(previous, inTexCoord)
    float4 b = QR_Sample(current, inTexCoord)
    float4 shade = QR_Sample(vignette, inTexCoord)
    float3 mixed = lerp(a.rgb, b.rgb, composition.fade.x) * shade.rgb;
    outColour = float4(TINT, 1.0);
  }
}
)";

std::string Composition(const std::string& tint)
{
    std::string text = kComposition;
    text.replace(text.find("TINT"), 4, tint);
    return text;
}

// Scenes 101-199 blue, 200-299 green, others yellow.
QR_Colour SceneColour(std::int32_t scene)
{
    if (scene >= 100 && scene < 200)
        return {0, 0, 255, 255};
    if (scene >= 200 && scene < 300)
        return {0, 255, 0, 255};
    return {255, 255, 0, 255};
}

// Run until beat 64, scenes changing at 16 and 32, cross-fades on.
const char* const kTimeline = "1 = 1;\n2 = constant(0:1, 64:0, 1000:0);\n3 = 10;\n"
                              "10 = constant(0:101, 16:205, 32:102, 1000:102);\n";

bool Near(const QrPixel& pixel, int r, int g, int b, int tolerance = 2)
{
    return std::abs(pixel.r - r) <= tolerance && std::abs(pixel.g - g) <= tolerance && std::abs(pixel.b - b) <= tolerance;
}

std::string Describe(const QrPixel& pixel)
{
    return std::to_string(pixel.r) + "," + std::to_string(pixel.g) + "," + std::to_string(pixel.b);
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// An editor saving over the file (open, write, close); waits past the file system's clock
// step first, so the save is always a new version of the file.
void SaveInPlace(const std::string& path, const std::string& bytes)
{
    QC_Sleep(15);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// An editor's atomic save: a temporary file renamed over the asset.
void SaveAtomically(const std::string& path, const std::string& bytes)
{
    const std::string temporary = path + ".swp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::filesystem::rename(temporary, path);
}

bool WriteMusic(const std::string& path, float seconds, float pitch)
{
    OggWriteOptions music;
    music.channels = 2;
    music.frames = static_cast<std::uint64_t>(seconds * 44100.0f);
    music.sample = [pitch](std::uint64_t frame, int) { return 0.2f * std::sin(float(frame) * pitch); };
    return WriteOgg(path, music);
}

class LM1_DevSessionTest : public LM1_DemoRuntimeTest
{
protected:
    void StartSession(float startBeat = 0.0f)
    {
        dir.Write("scene.qcs", kTimeline);
        for (const char* part : {"o.qcs", "p.qcs", "t.qcs"})
            dir.Write(part, "1 = 0;\n");
        dir.Write("post.qcs", Composition("mixed"));
        QC_Image white(4, 4);
        white.Fill(0xFFFFFFFFu);
        ASSERT_TRUE(WritePng(white, dir.File("vignette.png")));
        for (const char* kit : {"font.png", "font.qcs", "texture.qcs"})
            std::filesystem::copy_file(std::string(VC_SOURCE_DIR "/assets/") + kit, dir.File(kit));
        // Long enough for every seek the tests make (up to beat 36, 18 s).
        ASSERT_TRUE(WriteMusic(dir.File("music.ogg"), 20.0f, 0.05f));

        DemoRuntimeOptions options;
        options.width = 400;
        options.height = 300;
        options.draw2D = false; // the demo's Init sets the kit up
        StartRuntime(dir.Path().string(), options);
        // The session's settings: watched, not fatal, errors captured, music on the disk driver
        // (it plays in real time, so the play cursor moves as it would on a sound card).
        QC_GetLog()->AddBackend(new QD_AssetErrorLog);
        QP_SetShaderCompilerIsolation(true);
        QD_DestroyAssets();
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", dir.File("played.raw").c_str(), 1);
        QA_CreateAudio(QA_AudioSettings{.enabled = true});
        QD_SetSaveSettling(QD_SaveSettling{.settleMilliseconds = 20, .emptyHoldMilliseconds = 200});
        QD_AssetsSettings settings;
        settings.root = dir.Path().c_str();
        settings.watch = true;
        settings.fatalOnLoadFailure = false;
        QD_CreateAssets(settings)->SetReloadSounds(true);
        QU_InitFonts();
        demo = std::make_unique<LM1_Demo>();
        demo->Init(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
                   [this](std::int32_t scene, QR_RenderTarget* target) {
                       context->SetRenderTarget(target);
                       context->Clear(SceneColour(scene));
                   });
        session = std::make_unique<LM1_DevSession>(*demo, startBeat);
        ASSERT_TRUE(PumpUntilLoaded());
        Frame();
        ASSERT_TRUE(demo->MusicStarted());
    }

    void TearDown() override
    {
        session.reset();
        demo.reset();
        LM1_ReleaseDraw2D();
        QD_DestroyAssets();
        QA_DestroyAudio();
        QU_ShutdownFonts();
        QP_SetShaderCompilerIsolation(false);
        QD_SetSaveSettling(QD_SaveSettling{});
        LM1_DemoRuntimeTest::TearDown();
    }

    // One frame of the workbench's loop (without the present).
    void Frame()
    {
        RunFrame();
        QD_GetSync()->Update();
        demo->UpdateStatistics();
        session->Render(width, height);
        demo->EndFrame();
    }

    bool FramesUntil(const std::function<bool()>& done, std::chrono::seconds timeout = 20s)
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            Frame();
            QC_Sleep(1);
        }
        return true;
    }

    QrPixel Picture() { return PixelAt(*ReadBackBuffer(), width - 12, 40); }
    // Inside the statistics panel's padding and the error area's bottom padding: the panel
    // colours over the picture, never a glyph.
    QrPixel StatisticsPanel() { return PixelAt(*ReadBackBuffer(), 10, 10); }
    QrPixel ErrorArea() { return PixelAt(*ReadBackBuffer(), width / 2, height - 11); }

    std::uint32_t MusicPosition() { return QA_GetAudio()->GetPlayPosition(); }

    std::unique_ptr<LM1_Demo> demo;
    std::unique_ptr<LM1_DevSession> session;
};
} // namespace

TEST_F(LM1_DevSessionTest, ABrokenShaderShowsItsErrorOverTheLastGoodOneUntilItIsFixed)
{
    StartSession();
    Frame();
    EXPECT_TRUE(Near(Picture(), 0, 0, 255)) << Describe(Picture());
    EXPECT_TRUE(session->ErrorText().empty()) << session->ErrorText();
    const QrPixel calmArea = ErrorArea();
    EXPECT_TRUE(Near(calmArea, 0, 0, 255)) << "no error area without errors: " << Describe(calmArea);
    // The statistics panel darkens the picture under it.
    EXPECT_TRUE(Near(StatisticsPanel(), 0, 0, 79, 4)) << Describe(StatisticsPanel());
    EXPECT_NE(session->StatisticsText().find("scene o1 (101)"), std::string::npos) << session->StatisticsText();

    // Saved in place with an error: the error is drawn, the last good shader keeps drawing.
    SaveInPlace(dir.File("post.qcs"), Composition("undeclaredColour"));
    ASSERT_TRUE(FramesUntil([&] { return !session->ErrorText().empty(); })) << log.Errors();
    Frame();
    const std::string errors = session->ErrorText();
    EXPECT_NE(errors.find("post.qcs:"), std::string::npos) << errors;
    // The compiler's message, at the line of the saved file that holds the fault.
    const std::string broken = Composition("undeclaredColour");
    const std::string line = std::to_string(1 + std::count(broken.begin(), broken.begin() + broken.find("undeclaredColour"), '\n'));
    EXPECT_NE(errors.find("post.qcs(" + line + "): error: 'undeclaredColour' : unknown variable"), std::string::npos)
        << "the compiler's message at line " << line << ": " << errors;
    const QrPixel errorArea = ErrorArea();
    EXPECT_GT(errorArea.r, 100) << "error area missing: " << Describe(errorArea);
    EXPECT_LT(errorArea.b, 80) << Describe(errorArea);
    EXPECT_TRUE(Near(Picture(), 0, 0, 255)) << "the last good shader stopped drawing: " << Describe(Picture());
    EXPECT_NE(session->StatisticsText().find("1 failed"), std::string::npos) << session->StatisticsText();

    // F1 hides the statistics, the errors stay; F1 again brings them back.
    session->Press(QP_Key::F1, false);
    Frame();
    EXPECT_FALSE(session->StatisticsShown());
    EXPECT_TRUE(session->StatisticsText().empty());
    EXPECT_TRUE(Near(StatisticsPanel(), 0, 0, 255)) << Describe(StatisticsPanel());
    EXPECT_GT(ErrorArea().r, 100);
    session->Press(QP_Key::F1, false);
    Frame();
    EXPECT_TRUE(Near(StatisticsPanel(), 0, 0, 79, 4)) << Describe(StatisticsPanel());

    // Fixed with an atomic save (another picture: channels swapped): the error goes and the new
    // shader draws.
    SaveAtomically(dir.File("post.qcs"), Composition("mixed.bgr"));
    ASSERT_TRUE(FramesUntil([&] { return session->ErrorText().empty(); })) << session->ErrorText();
    Frame();
    EXPECT_TRUE(Near(Picture(), 255, 0, 0)) << "the fixed shader does not draw: " << Describe(Picture());
    EXPECT_TRUE(Near(ErrorArea(), 255, 0, 0)) << Describe(ErrorArea());
    EXPECT_NE(session->StatisticsText().find("1 reloaded, 0 failed"), std::string::npos) << session->StatisticsText();
}

TEST_F(LM1_DevSessionTest, TheCompileChainsKeptCrashersSavedAsAShaderLeaveTheSessionRunning)
{
    StartSession();
    // Each kept crasher of the compile chain as the whole file, and an unguarded front-end crash
    // (mul of a float2 by a float4x1) inside a valid shader.
    std::vector<std::string> texts;
    const std::filesystem::path crashers = std::filesystem::path(VC_SOURCE_DIR) / "tests/fuzz/crashers";
    for (const auto& entry : std::filesystem::directory_iterator(crashers))
        if (entry.path().filename().string().rfind("shader_compile-", 0) == 0)
            texts.push_back(ReadBytes(entry.path().string()).substr(1));
    ASSERT_GE(texts.size(), 13u);
    // Held, so the scene under the shader stays the same however long the saves take.
    session->Press(QP_Key::Space, false);
    texts.push_back(Composition("0, 0, 0, 1.0); float4x1 m = 0; outColour = float4(mul(inTexCoord, m).xxx"));

    QD_Asset* composition = nullptr;
    for (const QC_Ptr<QD_Asset>& asset : QD_GetAssets()->GetAssets())
        if (std::string(asset->GetPath().CStr()).find("post.qcs") != std::string::npos)
            composition = asset.Get();
    ASSERT_NE(composition, nullptr);
    const auto reads = [composition] { return composition->GetLoadsRun() - composition->GetLoadsUnchanged(); };
    // A load put off while the file settles counts as run for as long as it runs: the count
    // before a save is taken with nothing in flight, or the next read could go unnoticed.
    const auto idle = [composition] { return !composition->IsLoading() && composition->GetPendingReloads() == 0; };
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ASSERT_TRUE(FramesUntil(idle)) << "text " << i << ": the previous load never finished";
        const std::uint32_t readsBefore = reads();
        SaveAtomically(dir.File("post.qcs"), texts[i] + "\n// " + std::to_string(i));
        ASSERT_TRUE(FramesUntil([&] { return idle() && reads() > readsBefore && session->ErrorText().find("post.qcs") != std::string::npos; }))
            << "text " << i << " gave no error (reads " << reads() << " from " << readsBefore << "): " << session->ErrorText();
    }
    SaveAtomically(dir.File("post.qcs"), Composition("mixed"));
    ASSERT_TRUE(FramesUntil([&] { return session->ErrorText().empty(); })) << session->ErrorText();
    Frame();
    EXPECT_TRUE(Near(Picture(), 0, 0, 255)) << Describe(Picture());
    bool crashSeen = false;
    for (const std::string& message : log.Messages(QC_LOG_ERROR))
        crashSeen |= message.find("The shader compiler crashed") != std::string::npos;
    EXPECT_TRUE(crashSeen) << "no text reached a crash of the chain; isolation went untested";
}

TEST_F(LM1_DevSessionTest, TheTransportMovesClockAndMusicTogetherOnTheBeatGrid)
{
    StartSession();
    ASSERT_TRUE(FramesUntil([&] { return MusicPosition() > 4096; })) << "the music does not play";

    // Space: clock and music hold still.
    session->Press(QP_Key::Space, false);
    Frame();
    const float heldBeat = QD_GetSync()->GetBeat();
    const std::uint32_t heldPosition = MusicPosition();
    const auto until = std::chrono::steady_clock::now() + 150ms;
    while (std::chrono::steady_clock::now() < until)
        Frame();
    EXPECT_EQ(QD_GetSync()->GetBeat(), heldBeat);
    EXPECT_EQ(MusicPosition(), heldPosition);
    EXPECT_NE(session->StatisticsText().find("paused"), std::string::npos);

    // Right: 4 beats (2000 ms of song time), and the music 2 s of samples, to the sample.
    const std::int64_t heldMilliseconds = QD_GetSync()->GetSongMilliseconds();
    session->Press(QP_Key::Right, false);
    Frame();
    EXPECT_EQ(QD_GetSync()->GetSongMilliseconds(), heldMilliseconds + 2000);
    EXPECT_FLOAT_EQ(QD_GetSync()->GetBeat(), heldBeat + 4.0f);
    const std::uint32_t afterOneBar = MusicPosition();
    EXPECT_EQ(afterOneBar, static_cast<std::uint32_t>((heldMilliseconds + 2000) * 441 / 10));
    session->Press(QP_Key::Right, false);
    Frame();
    EXPECT_EQ(MusicPosition(), afterOneBar + 88200u);
    session->Press(QP_Key::Left, true);
    Frame();
    EXPECT_FLOAT_EQ(QD_GetSync()->GetBeat(), std::fmax(heldBeat + 8.0f - 16.0f, 0.0f));

    // Page Down into the cross-faded scene at 16: entered afresh, as on a cut, not mid-fade.
    session->Press(QP_Key::PageDown, false);
    Frame();
    EXPECT_FLOAT_EQ(QD_GetSync()->GetBeat(), 16.0f);
    EXPECT_EQ(MusicPosition(), 16u * 22050u);
    EXPECT_EQ(demo->CurrentScene(), 205);
    EXPECT_EQ(demo->PreviousScene(), -1);
    EXPECT_EQ(demo->Fade(), 1.0f);
    EXPECT_TRUE(Near(Picture(), 0, 255, 0)) << Describe(Picture());
    session->Press(QP_Key::PageDown, false);
    Frame();
    EXPECT_FLOAT_EQ(QD_GetSync()->GetBeat(), 32.0f);
    session->Press(QP_Key::PageUp, false);
    Frame();
    EXPECT_FLOAT_EQ(QD_GetSync()->GetBeat(), 16.0f);

    // L at 30.5, running: the clock passes 32 and comes back to 16, in step with the music.
    session->Press(QP_Key::Right, true);
    Frame();
    session->Clock().SetBeat(31.6f);
    session->Press(QP_Key::L, false);
    session->Press(QP_Key::Space, false);
    bool wrapped = false;
    ASSERT_TRUE(FramesUntil([&] {
        const float beat = QD_GetSync()->GetBeat();
        EXPECT_GE(beat, 16.0f);
        EXPECT_LT(beat, 32.0f);
        wrapped |= beat < 20.0f;
        return wrapped && beat > 16.2f;
    })) << "the loop never wrapped";
    EXPECT_EQ(demo->CurrentScene(), 205);
    EXPECT_NEAR(static_cast<double>(MusicPosition()), static_cast<double>(session->Clock().FrameAtBeat(QD_GetSync()->GetBeat())),
                44100.0 * 0.25) << "music and clock apart after the loop";
    session->Press(QP_Key::L, false);

    // Past the end of the run the demo composes nothing (black under the overlay); Home brings
    // it back to the start, running.
    session->Press(QP_Key::Space, false);
    session->Clock().SetBeat(70.0f);
    Frame();
    Frame();
    EXPECT_FALSE(demo->IsRunning());
    EXPECT_TRUE(Near(Picture(), 0, 0, 0)) << Describe(Picture());
    session->Press(QP_Key::Home, false);
    Frame();
    EXPECT_FALSE(session->Transport().IsLooping());
    EXPECT_TRUE(demo->IsRunning());
    EXPECT_LT(QD_GetSync()->GetBeat(), 1.0f);
    EXPECT_EQ(demo->CurrentScene(), 101);
    EXPECT_TRUE(Near(Picture(), 0, 0, 255)) << Describe(Picture());
}

TEST_F(LM1_DevSessionTest, ScriptAndMusicReloadsTakeEffectAtTheCurrentBeat)
{
    StartSession(8.0f);
    EXPECT_GE(QD_GetSync()->GetBeat(), 8.0f) << "--start moves the clock once loaded";
    session->Press(QP_Key::Space, false);
    // The clock ran in real time until the pause; a slow start (a sanitiser build) can carry it
    // past the scene change at beat 12, so the paused clock is put back at beat 8.
    session->Clock().SetBeat(8.0f);
    Frame();
    const float beat = QD_GetSync()->GetBeat();
    ASSERT_LT(beat, 12.0f);

    // The scene at this beat changes in the timeline: shown in the frame the script arrives in.
    QD_SequencerAsset* timeline = demo->Timeline();
    const QC_Ptr<QD_Sequencer> before = timeline->GetCurrent();
    SaveAtomically(dir.File("scene.qcs"), "1 = 0;\n2 = constant(0:1, 64:0, 1000:0);\n3 = 10;\n"
                                          "10 = constant(0:103, 12:206, 1000:206);\n");
    ASSERT_TRUE(FramesUntil([&] { return timeline->GetCurrent() != before; }));
    EXPECT_EQ(demo->CurrentScene(), 103);
    EXPECT_EQ(QD_GetSync()->GetBeat(), beat);
    // The transport reads the new scene changes.
    session->Press(QP_Key::PageDown, false);
    Frame();
    EXPECT_FLOAT_EQ(QD_GetSync()->GetBeat(), 12.0f);
    EXPECT_EQ(demo->CurrentScene(), 206);

    // A new music file plays on from the clock's beat, still paused.
    QA_SoundBuffer* oldMusic = QA_GetAudio()->Playing();
    ASSERT_TRUE(WriteMusic(dir.File("music.tmp"), 20.0f, 0.02f));
    std::filesystem::rename(dir.File("music.tmp"), dir.File("music.ogg"));
    ASSERT_TRUE(FramesUntil([&] { return QA_GetAudio()->Playing() != oldMusic; }));
    EXPECT_EQ(QA_GetAudio()->Playing(), demo->Music()->GetCurrent().Get());
    EXPECT_EQ(MusicPosition(), 12u * 22050u);
    EXPECT_TRUE(QA_GetAudio()->IsPaused());
}

TEST_F(LM1_DevSessionTest, SlowMotionLoopsAndCuesKeepMusicAndClockTogetherAndTheRunEndHoldsItsPicture)
{
    StartSession();
    ASSERT_TRUE(FramesUntil([&] { return MusicPosition() > 4096; })) << "the music does not play";
    const auto musicWithClock = [&] {
        return std::fabs(static_cast<double>(MusicPosition()) -
                         static_cast<double>(session->Clock().FrameAtBeat(QD_GetSync()->GetBeat())));
    };

    // S: half speed, sync and music both; song time runs at half the wall clock's pace.
    session->Press(QP_Key::S, false);
    EXPECT_EQ(QD_GetSync()->Slowdown(), 2);
    EXPECT_EQ(QA_GetAudio()->Slowdown(), 2u);
    const std::int64_t songBefore = QD_GetSync()->GetSongMilliseconds();
    const std::uint32_t musicBefore = MusicPosition();
    const auto wallStart = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < wallStart + 600ms)
        Frame();
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart).count();
    const double song = static_cast<double>(QD_GetSync()->GetSongMilliseconds() - songBefore);
    EXPECT_NEAR(song, wall / 2.0, 40.0);
    EXPECT_NEAR(static_cast<double>(MusicPosition() - musicBefore), song * 44.1, 44100.0 * 0.1);
    EXPECT_NE(session->StatisticsText().find("at 1/2 speed"), std::string::npos) << session->StatisticsText();

    // A range looped at half speed: the clock wraps inside it, the music with it.
    session->Transport().SetLoopRange(8.0f, 9.0f);
    bool wrapped = false;
    float last = QD_GetSync()->GetBeat();
    ASSERT_TRUE(FramesUntil([&] {
        const float beat = QD_GetSync()->GetBeat();
        EXPECT_GE(beat, 8.0f);
        EXPECT_LT(beat, 9.0f);
        wrapped |= beat < last;
        last = beat;
        return wrapped && beat > 8.3f;
    })) << "the loop never wrapped";
    EXPECT_LT(musicWithClock(), 44100.0 * 0.1) << "music and clock apart in the slowed loop";
    session->Press(QP_Key::S, false);
    session->Press(QP_Key::S, false);
    EXPECT_EQ(QD_GetSync()->Slowdown(), 1) << "1/4x, then back to 1x";
    EXPECT_EQ(QA_GetAudio()->Slowdown(), 1u);
    session->Press(QP_Key::L, false);

    // Cue points: set at the playhead, jumped back to after a seek.
    session->Press(QP_Key::Space, false);
    session->Transport().SeekToBeat(10.0f);
    session->Press(QP_Key::C, false);
    session->Transport().SeekToBeat(20.0f);
    session->Press(QP_Key::BracketLeft, false);
    Frame();
    EXPECT_FLOAT_EQ(QD_GetSync()->GetBeat(), 10.0f);
    EXPECT_EQ(MusicPosition(), 10u * 22050u);

    // Playing into the end of the run (64): the clock stops just short of it, paused, and the
    // scene's picture stays instead of black.
    session->Clock().SetBeat(63.5f);
    session->Press(QP_Key::Space, false);
    ASSERT_TRUE(FramesUntil([&] { return session->Clock().IsPaused(); }));
    Frame();
    EXPECT_LT(QD_GetSync()->GetBeat(), 64.0f);
    EXPECT_GT(QD_GetSync()->GetBeat(), 63.9f);
    EXPECT_TRUE(demo->IsRunning());
    EXPECT_TRUE(Near(Picture(), 0, 0, 255)) << Describe(Picture());
}

TEST_F(LM1_DevSessionTest, TabDrawsTheTimelinePanelOverTheLowerPartOfTheLivePicture)
{
    StartSession();
    std::unique_ptr<QP_GuiOverlay> gui(QP_GuiOverlay::Create(nullptr));
    ASSERT_TRUE(gui);
    session->SetGui(gui.get());
    Frame();
    const auto lower = [&] { return PixelAt(*ReadBackBuffer(), width - 12, height - 6); };
    EXPECT_TRUE(Near(lower(), 0, 0, 255)) << Describe(lower());

    session->Press(QP_Key::Tab, false);
    EXPECT_TRUE(session->PanelShown());
    ASSERT_TRUE(FramesUntil([&] { return static_cast<bool>(session->Panel().Waveform()); })) << "no waveform built";
    Frame();
    // The panel's dark ground at the bottom (the upper part keeps the scene), and the lanes of
    // the scene under the playhead and the timeline's own.
    EXPECT_LT(lower().b, 80) << Describe(lower());
    EXPECT_TRUE(Near(Picture(), 0, 0, 255)) << Describe(Picture());
    ASSERT_FALSE(session->Lanes().Lanes().empty());
    EXPECT_EQ(session->Lanes().Lanes().back().script, "scene.qcs");
    EXPECT_EQ(session->SceneRanges().size(), 3u);
    EXPECT_EQ(session->Panel().Waveform()->Frames(), 20u * 44100u);

    session->Press(QP_Key::Tab, false);
    Frame();
    EXPECT_TRUE(Near(lower(), 0, 0, 255)) << Describe(lower());
    session->SetGui(nullptr);
}

TEST_F(LM1_DevSessionTest, TheEditingKeysActOnThePanelsSelectionAndTheNextFrameShowsTheEdit)
{
    StartSession();
    std::unique_ptr<QP_GuiOverlay> gui(QP_GuiOverlay::Create(nullptr));
    ASSERT_TRUE(gui);
    session->SetGui(gui.get());
    const std::string timeline = dir.File("scene.qcs");
    LM1_DevKeyEditor& keys = session->KeyEditor();
    // Hidden, the panel edits nothing: the scripts are not even followed.
    session->Press(QP_Key::Delete, false);
    Frame();
    EXPECT_EQ(keys.Document("scene.qcs"), nullptr);

    session->Press(QP_Key::Tab, false);
    Frame();
    ASSERT_NE(keys.Document("scene.qcs"), nullptr);
    ASSERT_EQ(session->SceneRanges().size(), 3u);
    keys.Select("scene.qcs", {10, 1}, false); // 16:205, the second scene
    session->Press(QP_Key::Delete, false);
    const std::string deleted = ReadBytes(timeline);
    EXPECT_EQ(deleted.find("16:205"), std::string::npos) << deleted;
    Frame();
    EXPECT_EQ(session->SceneRanges().size(), 2u) << "the timeline's new sequencer, on the next frame";

    session->Press(QP_Key::Z, false); // no Ctrl: not an undo
    EXPECT_EQ(ReadBytes(timeline), deleted);
    session->Press(QP_Key::Z, false, true);
    EXPECT_EQ(ReadBytes(timeline), kTimeline);
    Frame();
    EXPECT_EQ(session->SceneRanges().size(), 3u);
    session->Press(QP_Key::Y, false, true);
    EXPECT_EQ(ReadBytes(timeline), deleted);
    session->Press(QP_Key::Z, false, true);
    session->Press(QP_Key::Z, true, true);
    EXPECT_EQ(ReadBytes(timeline), deleted) << "Ctrl+Shift+Z redoes";

    session->Press(QP_Key::Tab, false);
    session->Press(QP_Key::Z, false, true);
    EXPECT_EQ(ReadBytes(timeline), deleted) << "the panel hidden, Ctrl+Z is not its";
    session->SetGui(nullptr);
}

TEST_F(LM1_DevSessionTest, ARunChannelAtZeroStopsTheDrawingOnlyWhileItReadsZero)
{
    StartSession();
    session->Press(QP_Key::Space, false);
    session->Clock().SetBeat(8.0f);
    Frame();
    ASSERT_TRUE(Near(Picture(), 0, 0, 255)) << Describe(Picture());
    const std::uint32_t seeks = session->Transport().SeekCount();

    // A save cut short after its first line: the run channel is gone, so it reads 0.
    QD_SequencerAsset* timeline = demo->Timeline();
    QC_Ptr<QD_Sequencer> before = timeline->GetCurrent();
    SaveAtomically(dir.File("scene.qcs"), "1 = 1;\n");
    ASSERT_TRUE(FramesUntil([&] { return timeline->GetCurrent() != before; }));
    Frame();
    EXPECT_FALSE(demo->IsRunning());
    EXPECT_TRUE(Near(Picture(), 0, 0, 0)) << "drawing past the end of the run: " << Describe(Picture());

    // Saved back whole: the picture comes back without a seek, at the beat it was at.
    before = timeline->GetCurrent();
    SaveAtomically(dir.File("scene.qcs"), kTimeline);
    ASSERT_TRUE(FramesUntil([&] { return timeline->GetCurrent() != before; }));
    Frame();
    EXPECT_TRUE(demo->IsRunning());
    EXPECT_TRUE(Near(Picture(), 0, 0, 255)) << "the picture stayed black: " << Describe(Picture());
    EXPECT_FLOAT_EQ(QD_GetSync()->GetBeat(), 8.0f);
    EXPECT_EQ(session->Transport().SeekCount(), seeks);

    // A script whose run reads 0 for one beat: black inside it, drawing on either side.
    before = timeline->GetCurrent();
    SaveAtomically(dir.File("scene.qcs"), "1 = 1;\n2 = constant(0:1, 10:0, 11:1, 64:0, 1000:0);\n3 = 10;\n"
                                          "10 = constant(0:101, 16:205, 1000:205);\n");
    ASSERT_TRUE(FramesUntil([&] { return timeline->GetCurrent() != before; }));
    for (const float beat : {9.5f, 10.5f, 11.5f, 17.0f}) {
        session->Clock().SetBeat(beat);
        Frame();
        const bool inside = beat > 10.0f && beat < 11.0f;
        EXPECT_EQ(demo->IsRunning(), !inside) << "beat " << beat;
        const QrPixel picture = Picture();
        if (inside)
            EXPECT_TRUE(Near(picture, 0, 0, 0)) << "beat " << beat << ": " << Describe(picture);
        else
            EXPECT_TRUE(Near(picture, 0, beat < 16.0f ? 0 : 255, beat < 16.0f ? 255 : 0)) << "beat " << beat << ": " << Describe(picture);
    }
}
