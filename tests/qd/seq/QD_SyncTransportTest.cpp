// Moving the clock: pausing holds the position, SetBeat puts it anywhere at once and the clock
// runs on from there, and MIDI mode leaves both to the external sequencer.

#include "QD_Sync.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <thread>
#include <vector>

namespace
{
struct Recorder
{
    std::vector<float> positions;
    void OnBeat(const QD_SyncBeatEvent& event) { positions.push_back(event.position); }
};

void Sleep(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
} // namespace

TEST(QD_SyncTransportTest, PauseHoldsThePositionAndResumeRunsOnFromIt)
{
    QD_Sync sync(QD_SyncSettings{.method = QD_SYNC_METHOD_BPM, .bpm = 120, .midiDevice = 0});
    sync.Start();
    Sleep(30);
    sync.Update();
    const float running = sync.GetBeat();
    EXPECT_GT(running, 0.0f);

    sync.SetPaused(true);
    EXPECT_TRUE(sync.IsPaused());
    sync.Update();
    const float held = sync.GetBeat();
    EXPECT_GE(held, running);
    Sleep(60);
    sync.Update();
    EXPECT_EQ(sync.GetBeat(), held) << "a paused clock moved";
    EXPECT_EQ(sync.GetSongMilliseconds(), sync.GetSongMilliseconds());

    sync.SetPaused(false);
    Sleep(30);
    sync.Update();
    // It runs on from the held position: the 60 ms paused are not counted.
    EXPECT_GT(sync.GetBeat(), held);
    EXPECT_LT(sync.GetBeat(), held + QD_SyncBeatsAtMilliseconds(60, 120));
}

TEST(QD_SyncTransportTest, SetBeatBroadcastsAtOnceAndTheClockRunsOnFromThere)
{
    QD_Sync sync(QD_SyncSettings{.method = QD_SYNC_METHOD_BPM, .bpm = 120, .midiDevice = 0});
    Recorder recorder;
    sync.AddListener(QC_Bind(&Recorder::OnBeat, &recorder));

    // Pausing broadcasts where the clock stopped (0 before Start); a seek before Start starts the
    // clock: a workbench may begin anywhere.
    sync.SetPaused(true);
    sync.SetBeat(16.0f);
    ASSERT_EQ(recorder.positions.size(), 2u);
    EXPECT_EQ(recorder.positions[0], 0.0f);
    EXPECT_EQ(recorder.positions[1], 16.0f);
    EXPECT_EQ(sync.GetSongMilliseconds(), 8000); // 16 beats at 120 BPM
    Sleep(20);
    sync.Update();
    EXPECT_EQ(sync.GetBeat(), 16.0f) << "a seek while paused stays paused";

    // One bar forward and back, to the millisecond.
    sync.SetBeat(sync.GetBeat() + 4.0f);
    EXPECT_EQ(sync.GetSongMilliseconds(), 10000);
    sync.SetBeat(sync.GetBeat() - 4.0f);
    EXPECT_EQ(sync.GetSongMilliseconds(), 8000);
    // Before the start is the start; so is a position that is not a number.
    sync.SetBeat(-3.0f);
    EXPECT_EQ(sync.GetBeat(), 0.0f);
    sync.SetBeat(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(sync.GetBeat(), 0.0f);

    sync.SetBeat(100.0f);
    sync.SetPaused(false);
    Sleep(30);
    sync.Update();
    EXPECT_GT(sync.GetBeat(), 100.0f);
    EXPECT_LT(sync.GetBeat(), 102.0f);
    // Start begins the song again from 0.
    sync.Start();
    sync.Update();
    EXPECT_LT(sync.GetBeat(), 0.5f);
}

TEST(QD_SyncTransportTest, MidiModeLeavesTheClockToTheExternalSequencer)
{
    QD_Sync sync(QD_SyncSettings{.method = QD_SYNC_METHOD_MIDI, .bpm = 120, .midiDevice = 1000000});
    sync.OnMidiMessage(0xF8, 0, 0, 0);
    const float clocked = sync.GetBeat();
    sync.SetPaused(true);
    sync.SetBeat(8.0f);
    EXPECT_FALSE(sync.IsPaused());
    EXPECT_EQ(sync.GetBeat(), clocked);
    EXPECT_EQ(sync.GetSongMilliseconds(), 0);
}
