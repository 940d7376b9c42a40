// The workbench's logic without a window: the transport on a clock of the test's own, scene
// changes read from a timeline script and the overlay's texts.

#include "LM1_DevFramePacer.h"
#include "LM1_DevOverlay.h"
#include "LM1_DevTimeline.h"
#include "LM1_DevTransport.h"
#include "QD_Sequencer_QCS.h"
#include "QD_Sync.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{
// A clock that moves only when told: the transport's decisions, nothing else.
class FakeClock final : public LM1_DevClock
{
public:
    float GetBeat() const override { return beat; }
    void SetBeat(float value) override
    {
        beat = value;
        ++sets;
    }
    bool IsPaused() const override { return paused; }
    void SetPaused(bool value) override { paused = value; }
    int Slowdown() const override { return slowdown; }
    void SetSlowdown(int divisor) override { slowdown = divisor; }

    float beat = 0.0f;
    bool paused = false;
    int slowdown = 1;
    int sets = 0;
};

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}
} // namespace

TEST(LM1_DevTransportTest, KeysPauseSeekByBarsAndJumpBetweenSceneChanges)
{
    FakeClock clock;
    LM1_DevTransport transport(clock);
    transport.SetTimeline({0.0f, 16.0f, 32.0f, 48.0f}, 64.0f);

    EXPECT_TRUE(transport.Press(QP_Key::Space, false));
    EXPECT_TRUE(clock.paused);
    transport.Press(QP_Key::Space, false);
    EXPECT_FALSE(clock.paused);

    clock.beat = 10.5f;
    transport.Press(QP_Key::Right, false);
    EXPECT_EQ(clock.beat, 14.5f) << "one bar on";
    transport.Press(QP_Key::Right, true);
    EXPECT_EQ(clock.beat, 30.5f) << "Shift: four bars on";
    transport.Press(QP_Key::Left, true);
    transport.Press(QP_Key::Left, false);
    EXPECT_EQ(clock.beat, 10.5f);
    transport.Press(QP_Key::Left, true);
    EXPECT_EQ(clock.beat, 0.0f) << "never before the start";

    clock.beat = 20.0f;
    transport.Press(QP_Key::PageDown, false);
    EXPECT_EQ(clock.beat, 32.0f);
    transport.Press(QP_Key::PageDown, false);
    EXPECT_EQ(clock.beat, 48.0f);
    const int setsBefore = clock.sets;
    transport.Press(QP_Key::PageDown, false);
    EXPECT_EQ(clock.beat, 48.0f) << "the last scene has no next change";
    EXPECT_EQ(clock.sets, setsBefore);
    // Page Up: to the current scene's start, or, right at a start, to the scene before.
    clock.beat = 40.0f;
    transport.Press(QP_Key::PageUp, false);
    EXPECT_EQ(clock.beat, 32.0f);
    transport.Press(QP_Key::PageUp, false);
    EXPECT_EQ(clock.beat, 16.0f);
    transport.Press(QP_Key::Home, false);
    EXPECT_EQ(clock.beat, 0.0f);
    transport.Press(QP_Key::PageUp, false);
    EXPECT_EQ(clock.beat, 0.0f);

    EXPECT_FALSE(transport.Press(QP_Key::Other, false));
    EXPECT_FALSE(transport.Press(QP_Key::F1, false)) << "F1 belongs to the overlay";
    EXPECT_EQ(transport.SeekCount(), static_cast<std::uint32_t>(clock.sets));
}

TEST(LM1_DevTransportTest, LoopKeepsTheClockInsideTheScenesRangeUntilPressedAgain)
{
    FakeClock clock;
    LM1_DevTransport transport(clock);
    transport.SetTimeline({0.0f, 16.0f, 32.0f}, 40.0f);

    clock.beat = 20.0f;
    transport.Press(QP_Key::L, false);
    ASSERT_TRUE(transport.IsLooping());
    EXPECT_EQ(transport.LoopStart(), 16.0f);
    EXPECT_EQ(transport.LoopEnd(), 32.0f);
    for (float beat = 20.0f; beat < 80.0f; beat += 0.3f) {
        clock.beat += 0.3f;
        transport.Update();
        ASSERT_GE(clock.beat, 16.0f);
        ASSERT_LT(clock.beat, 32.0f) << "the loop let the clock through its end";
    }
    // A seek while looping loops the scene sought to; the last scene ends where the run does.
    transport.Press(QP_Key::PageDown, false);
    EXPECT_EQ(clock.beat, 32.0f);
    EXPECT_EQ(transport.LoopStart(), 32.0f);
    EXPECT_EQ(transport.LoopEnd(), 40.0f);
    clock.beat = 40.5f;
    transport.Update();
    EXPECT_EQ(clock.beat, 32.0f);

    transport.Press(QP_Key::L, false);
    EXPECT_FALSE(transport.IsLooping());
    clock.beat = 45.0f;
    transport.Update();
    EXPECT_EQ(clock.beat, 40.0f - LM1_DevTransport::HoldBeforeEnd) << "no loop once stopped: held at the run's end";
    EXPECT_TRUE(clock.paused);
}

TEST(LM1_DevTransportTest, DraggedLoopRangeSpeedAndTheHoldAtTheEndOfTheRun)
{
    FakeClock clock;
    LM1_DevTransport transport(clock);
    transport.SetTimeline({0.0f, 16.0f, 32.0f}, 40.0f);

    // A range dragged right to left loops as well; the clock is brought into it.
    clock.beat = 2.0f;
    transport.SetLoopRange(12.5f, 6.0f);
    ASSERT_TRUE(transport.IsLooping());
    EXPECT_EQ(transport.LoopStart(), 6.0f);
    EXPECT_EQ(transport.LoopEnd(), 12.5f);
    EXPECT_EQ(clock.beat, 6.0f);
    EXPECT_EQ(transport.SeekCount(), 1u);
    clock.beat = 12.6f;
    transport.Update();
    EXPECT_EQ(clock.beat, 6.0f);
    // Too short a range (a click) is refused and leaves the loop as it was.
    transport.SetLoopRange(20.0f, 20.01f);
    EXPECT_EQ(transport.LoopStart(), 6.0f);
    transport.ToggleLoop();
    EXPECT_FALSE(transport.IsLooping());

    // S: 1x, 1/2x, 1/4x, 1x.
    for (int expected : {2, 4, 1, 2}) {
        EXPECT_TRUE(transport.Press(QP_Key::S, false));
        EXPECT_EQ(clock.slowdown, expected);
    }

    // Playing into the end of the run: held just short of it, paused, not a seek.
    const std::uint32_t seeks = transport.SeekCount();
    clock.beat = 40.3f;
    transport.Update();
    EXPECT_TRUE(clock.paused);
    EXPECT_EQ(clock.beat, 40.0f - LM1_DevTransport::HoldBeforeEnd);
    EXPECT_EQ(transport.SeekCount(), seeks);
    // Paused past the end (set there by hand) it stays where it was put.
    clock.beat = 45.0f;
    transport.Update();
    EXPECT_EQ(clock.beat, 45.0f);
    // Looping, the loop decides, not the end.
    clock.paused = false;
    clock.beat = 35.0f;
    transport.ToggleLoop();
    clock.beat = 40.5f;
    transport.Update();
    EXPECT_EQ(clock.beat, 32.0f);
    EXPECT_FALSE(clock.paused);
    transport.SeekToBeat(std::nanf(""));
    EXPECT_EQ(clock.beat, 32.0f);
}

TEST(LM1_DevTimelineTest, SceneChangesAndTheRunEndComeFromTheTimelineScript)
{
    QD_Sync* sync = QD_CreateSync(QD_SyncSettings{.method = QD_SYNC_METHOD_BPM, .bpm = 120, .midiDevice = 0});
    // Cross-fades into every scene but the one at 16, which cuts in.
    const char* script = "1 = constant(0:1, 16:0, 32.25:1, 1000:1);\n2 = constant(0:1, 40.5:0, 1000:0);\n3 = 10;\n"
                         "10 = constant(0:113, 16:201, 32.25:301, 1000:301);\n";
    {
        QC_Ptr<QD_Sequencer> timeline;
        ASSERT_TRUE(QD_ParseSequencerText(script, static_cast<std::uint32_t>(std::strlen(script)), timeline));
        timeline->SubscribeChannels();
        // The channels follow the song position; read them from anywhere.
        sync->UpdateAtMilliseconds(11000); // beat 22
        const LM1_SceneAtBeat sceneAt = LM1_TimelineSceneAt(timeline, sync->GetBeat());
        EXPECT_EQ(sceneAt(3.0f), 113);
        EXPECT_EQ(sceneAt(16.0f), 201);
        EXPECT_EQ(sceneAt(40.0f), 301);
        EXPECT_EQ(LM1_FindSceneChanges(sceneAt, 0.0f, 48.0f), (std::vector<float>{0.0f, 16.0f, 32.25f}));
        EXPECT_EQ(LM1_FindRunEnd(*timeline, sync->GetBeat(), 4096.0f), 40.5f);
        EXPECT_EQ(LM1_FindRunEnd(*timeline, sync->GetBeat(), 20.0f), 20.0f) << "searched up to the limit";

        // The ranges between the changes: named, the last ending with the run, each marked with
        // the cross-fade that brings it in (none for the first, whatever the channel says).
        const std::vector<LM1_SceneRange> ranges =
            LM1_FindSceneRanges(timeline, sync->GetBeat(), LM1_FindSceneChanges(sceneAt, 0.0f, 40.5f), 40.5f);
        ASSERT_EQ(ranges.size(), 3u);
        EXPECT_EQ(ranges[0].scene, 113);
        EXPECT_EQ(ranges[0].fadeIn, 0.0f);
        EXPECT_EQ(ranges[1].scene, 201);
        EXPECT_EQ(ranges[1].end, 32.25f);
        EXPECT_EQ(ranges[1].fadeIn, 0.0f) << "the transition channel reads 0 at 16: a cut";
        EXPECT_EQ(ranges[2].scene, 301);
        EXPECT_EQ(ranges[2].end, 40.5f);
        EXPECT_EQ(ranges[2].fadeIn, 1.0f);
        EXPECT_TRUE(LM1_FindSceneRanges(nullptr, 0.0f, {0.0f}, 40.5f).empty());
    }
    // A function that changes between samples is narrowed down to the grid.
    const LM1_SceneAtBeat stepped = [](float beat) { return beat < 7.3f ? 1 : 2; };
    const std::vector<float> changes = LM1_FindSceneChanges(stepped, 0.0f, 10.0f);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_NEAR(changes[1], 7.3f, 1.0f / 512.0f);

    EXPECT_EQ(LM1_SceneName(101), "o1");
    EXPECT_EQ(LM1_SceneName(124), "o24");
    EXPECT_EQ(LM1_SceneName(205), "p5");
    EXPECT_EQ(LM1_SceneName(301), "t1");
    EXPECT_EQ(LM1_SceneName(-1), "-");
    EXPECT_EQ(LM1_SceneName(99), "-");
    EXPECT_EQ(LM1_SceneName(400), "-");
    QD_DestroySync();
}

TEST(LM1_DevOverlayTest, StatisticsTextShowsEveryFigure)
{
    LM1_DevStatistics figures;
    figures.beat = 130.25f;
    figures.scene = 105;
    figures.fade = 0.5f;
    figures.framesPerSecond = 59;
    figures.triangles = 12345;
    figures.cpuMilliseconds = 3.25;
    figures.assetsLoading = 1;
    figures.assetsReloaded = 7;
    figures.assetsFailed = 2;
    figures.musicStarted = true;
    figures.paused = true;
    figures.looping = true;
    figures.loopStart = 128.0f;
    figures.loopEnd = 144.0f;
    const std::string text = LM1_DevOverlay::StatisticsText(figures);
    for (const char* part : {"beat 130.25", "bar 33.3", "scene o5 (105)", "fade 0.50", "59 fps", "12345 triangles",
                             "3.25 ms CPU", "1 loading, 7 reloaded, 2 failed", "paused", "loop 128.00 - 144.00"})
        EXPECT_TRUE(Contains(text, part)) << "missing \"" << part << "\" in:\n" << text;

    figures.musicStarted = false;
    figures.paused = false;
    figures.looping = false;
    const std::string loading = LM1_DevOverlay::StatisticsText(figures);
    EXPECT_TRUE(Contains(loading, "loading...")) << loading;
    EXPECT_TRUE(Contains(loading, "playing")) << loading;
    EXPECT_FALSE(Contains(loading, "loop")) << loading;
}


TEST(LM1_DevFramePacerTest, FramesRestToSixtyASecondAndToTenWhenPausedWithNothingComingIn)
{
    LM1_DevFramePacer pacer;
    pacer.NoteInput(1000.0);
    // Playing: the rest of a sixtieth of a second, none after a slow frame.
    EXPECT_EQ(pacer.RestAfterFrame(5000.0, 5004.0, false), 12u);
    EXPECT_EQ(pacer.RestAfterFrame(5000.0, 5040.0, false), 0u);
    // Paused, a key a moment ago: still lively (the panel answers the pointer).
    pacer.NoteInput(5500.0);
    EXPECT_EQ(pacer.RestAfterFrame(6000.0, 6004.0, true), 12u);
    // Paused and left alone for a second: a tenth of a second a frame.
    EXPECT_EQ(pacer.RestAfterFrame(6500.0, 6504.0, true), 96u);
    EXPECT_EQ(pacer.RestAfterFrame(6500.0, 6504.0, false), 12u) << "a playing clock always moves the picture";
    EXPECT_EQ(pacer.RestAfterFrame(6500.0, 6700.0, true), 0u);
}
