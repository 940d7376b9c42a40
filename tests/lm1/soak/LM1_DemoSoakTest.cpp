// The whole demo as a viewer runs it: the program under a private X server, "Run demo!" clicked
// in its launcher, SDL's silent audio driver, from beat 0 to the end of the run channel, then exit
// code 0. Its presents are timed by a library preloaded into it (PresentClockPreload.cpp) and its
// memory and descriptors read from /proc while it plays: no frame over 4 times the median (over
// the run and within each scene) once scene entries are set aside, no descriptor left open, no
// memory growth while scenes play on. The figures go to standard output.

#include "support/ChildProcess.h"
#include "support/ProcessFigures.h"
#include "support/TempDir.h"
#include "support/XvfbServer.h"
#include "LM1_DevTimeline.h"
#include "QC_File.h"
#include "QC_Log.h"
#include "QD_Sequencer_QCS.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

namespace
{
using namespace std::chrono_literals;

constexpr const char* kCaption = "LM: Velvet Cascade";
constexpr double kSecondsPerBeat = 0.5;
// Where scene.qcs ends the run (its channel 2), and the first scene's end.
constexpr double kRunEndBeat = 448.0;
constexpr double kFirstSceneEndBeat = 16.0;
// A scene entry: from just before a change to past the one-beat cross-fade, with room for the
// beat estimate's error of a frame.
constexpr double kEntryBefore = 0.25;
constexpr double kEntryAfter = 1.5;

// The launcher's "Run demo!" button, in its client area.
constexpr int kRunButtonX = 140;
constexpr int kRunButtonY = 232;

double Seconds(std::int64_t nanoseconds) { return static_cast<double>(nanoseconds) / 1e9; }

struct Sample
{
    double seconds;
    ProcessFigures figures;
};

// What the preloaded library wrote for each present.
struct Present
{
    double seconds;
    double cpuSeconds;
};

std::vector<Present> ReadPresents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<Present> presents;
    for (std::int64_t times[2]; in.read(reinterpret_cast<char*>(times), sizeof(times));)
        presents.push_back({Seconds(times[0]), Seconds(times[1])});
    return presents;
}

std::vector<float> SceneChanges()
{
    QC_String text;
    EXPECT_TRUE(QC_ReadFile(VC_SOURCE_DIR "/assets/scene.qcs", text));
    QC_Ptr<QD_Sequencer> timeline;
    EXPECT_TRUE(QD_ParseSequencerText(text.CStr(), static_cast<std::uint32_t>(text.Length()), timeline));
    if (!timeline)
        return {};
    return LM1_FindSceneChanges(LM1_TimelineSceneAt(timeline, 0.0f), 0.0f, static_cast<float>(kRunEndBeat));
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

double Max(const std::vector<double>& values) { return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end()); }

// Clicks "Run demo!" until the program says the demo runs (a click before the launcher has drawn
// its first frame finds no button yet).
bool ClickRunDemo(const TempDir& folder, ChildProcess& demo)
{
    const auto end = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < end && !demo.Exited()) {
        RunTool({"xdotool", "search", "--onlyvisible", "--name", kCaption, "mousemove", "--window", "%1",
                 std::to_string(kRunButtonX), std::to_string(kRunButtonY), "click", "1"},
                folder.File("xdotool.txt"));
        std::this_thread::sleep_for(1s);
        if (demo.Output().find("Running ") != std::string::npos)
            return true;
    }
    return false;
}
} // namespace

TEST(LM1_DemoSoakTest, TheWholeDemoPlaysToTheEndOfTheRunWithFlatMemoryAndEvenFrames)
{
    XvfbServer server("640x360x24");
    ASSERT_TRUE(server.Running()) << server.Error();
    TempDir folder;
    const std::string presentsPath = folder.File("presents.bin");
    // The software GL driver rasterises in the presenting thread (LP_NUM_THREADS=0), so that
    // thread's CPU time is the whole cost of a frame.
    ChildProcess demo({VC_BINARY_DIR "/velvet-cascade"},
                      {"SDL_AUDIODRIVER=dummy", "VC_LOG=info", "LP_NUM_THREADS=0", "LD_PRELOAD=" VC_PRESENT_CLOCK,
                       "VC_PRESENT_TIMES=" + presentsPath, "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0"},
                      folder.File("demo.log"));
    ASSERT_TRUE(demo.Started());
    ASSERT_TRUE(ClickRunDemo(folder, demo)) << demo.Output();

    // Figures every quarter second while it plays; the run lasts 224 s after the loading.
    std::vector<Sample> samples;
    const auto end = std::chrono::steady_clock::now() + 600s;
    while (!demo.Exited() && std::chrono::steady_clock::now() < end) {
        const ProcessFigures figures = ReadProcessFigures(std::to_string(demo.Pid()));
        const double now = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
        if (figures.residentKiB > 0)
            samples.push_back({now, figures});
        std::this_thread::sleep_for(250ms);
    }
    ASSERT_TRUE(demo.Wait(30s)) << "still running after 10 minutes\n" << demo.Output();
    EXPECT_EQ(demo.ExitCode(), 0) << demo.Output();
    EXPECT_EQ(demo.Output().find("[ERROR]"), std::string::npos) << demo.Output();

    // The last present is the frame that read run 0, at the run's end: the beats of every other
    // present count back from it (the music and the clock start together).
    const std::vector<Present> presents = ReadPresents(presentsPath);
    ASSERT_GT(presents.size(), 100u);
    const double endSeconds = presents.back().seconds;
    const auto beatAt = [endSeconds](double seconds) { return kRunEndBeat - (endSeconds - seconds) / kSecondsPerBeat; };
    const std::vector<float> changes = SceneChanges();
    ASSERT_GT(changes.size(), 20u);
    const auto sceneOf = [&changes](double beat) { return *(std::upper_bound(changes.begin(), changes.end(), float(beat)) - 1); };
    const auto entering = [&changes](double beat) {
        return std::any_of(changes.begin(), changes.end(),
                           [beat](float change) { return beat > change - kEntryBefore && beat < change + kEntryAfter; });
    };

    // Each frame's length from the present before: on the clock, and in the main thread's CPU
    // time, which the other processes of a busy machine do not stretch. The scenes differ in cost
    // by design, so a frame is held against its own scene's median.
    std::vector<double> wall, cpu, steadyCpu;
    std::map<float, std::vector<double>> cpuByScene;
    for (std::size_t i = 1; i < presents.size(); ++i) {
        const double beat = beatAt(presents[i].seconds);
        if (beatAt(presents[i - 1].seconds) < 0.0)
            continue;
        wall.push_back((presents[i].seconds - presents[i - 1].seconds) * 1000.0);
        cpu.push_back((presents[i].cpuSeconds - presents[i - 1].cpuSeconds) * 1000.0);
        if (entering(beat))
            continue;
        cpuByScene[sceneOf(beat)].push_back(cpu.back());
        steadyCpu.push_back(cpu.back());
    }
    std::printf("Soak run: %zu frames from beat 0 to %.0f; wall clock median %.1f ms, worst %.1f ms; main thread CPU "
                "median %.1f ms, worst %.1f ms (%.1f ms with scene entries aside)\n",
                wall.size(), kRunEndBeat, Median(wall), Max(wall), Median(cpu), Max(cpu), Max(steadyCpu));
    // The whole run's median is printed, not held against: the heaviest scene's ordinary frames
    // alone come to 3-4 times it here. Every frame is held against its own scene's median below.

    // Memory and descriptors from the end of the first scene to the last beat played. Entering a
    // scene for the first time builds what its first frames need (the GL driver's compiled
    // shader variants among them): growth at entries is reported, not held against the run.
    // While scenes play on, a leak would grow every one of them to its end; a few take the
    // driver's buffers up to a high-water mark in their first pass (o14 and o1 up to 1.3 MiB each,
    // the heaviest scene several MiB on some runs, given back at the next change), so each scene
    // is measured over the second half of its play, and the sum is held to twice 2 MiB.
    const auto figuresAt = [&](double beat, bool last) -> const ProcessFigures* {
        const Sample* found = nullptr;
        for (const Sample& sample : samples) {
            const double sampleBeat = beatAt(sample.seconds);
            if (last ? sampleBeat < beat : (sampleBeat >= beat && !found))
                found = &sample;
        }
        return found ? &found->figures : nullptr;
    };
    long playingGrowth = 0;
    std::size_t longFrames = 0, steadyFrames = 0;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const std::vector<double>& lengths = cpuByScene[changes[i]];
        const double median = Median(lengths);
        const double next = i + 1 < changes.size() ? changes[i + 1] : kRunEndBeat;
        // From halfway through the scene's play: a high-water mark is reached in its first frames,
        // while a leak goes on growing to the end.
        const double played = changes[i] + kEntryAfter;
        const ProcessFigures* settled = figuresAt(played + std::max(0.0, next - played) / 2.0, false);
        const ProcessFigures* ending = figuresAt(next, true);
        const long growth = settled && ending ? ending->residentKiB - settled->residentKiB : 0;
        if (i > 0)
            playingGrowth += std::max(0L, growth);
        std::printf("  scene from beat %5.1f: %4zu frames past its entry, CPU median %5.1f ms, worst %5.1f ms; "
                    "resident %+ld KiB in its second half\n",
                    static_cast<double>(changes[i]), lengths.size(), median, Max(lengths), growth);
        const auto over = std::count_if(lengths.begin(), lengths.end(), [median](double length) { return length > 4.0 * median; });
        longFrames += static_cast<std::size_t>(over);
        steadyFrames += lengths.size();
        if (over > 0)
            std::printf("    %ld frame(s) over 4 times the median\n", static_cast<long>(over));
    }
    // A hitch that comes back - work put on some frames of every second, a cache that thrashes -
    // gives many frames over 4 times their scene's median. On this shared virtual machine a
    // single frame of 75-105 ms of main-thread CPU also turns up now and then, a few in a run, at
    // other beats each time; one frame in a thousand is let pass for those.
    EXPECT_LE(longFrames, std::max<std::size_t>(1, steadyFrames / 1000))
        << longFrames << " of " << steadyFrames << " frames took over 4 times their scene's median";
    const ProcessFigures* start = figuresAt(changes[1], false);
    const ProcessFigures* finish = figuresAt(kRunEndBeat, true);
    ASSERT_TRUE(start && finish) << samples.size() << " samples";
    long peak = 0;
    for (const Sample& sample : samples)
        peak = std::max(peak, sample.figures.residentKiB);
    std::printf("  resident %ld KiB after the first scene, %ld KiB at the end (%+ld KiB, %ld KiB of it while scenes "
                "played on in their second halves, peak %ld KiB); descriptors %d -> %d\n",
                start->residentKiB, finish->residentKiB, finish->residentKiB - start->residentKiB, playingGrowth, peak,
                start->descriptors, finish->descriptors);
    // What a scene's pass takes and the next scene change gives back (the heaviest scene's driver
    // buffers, several MiB on some runs) is no leak: only what is still held at the end counts.
    const long keptGrowth = std::min(playingGrowth, std::max(0L, finish->residentKiB - start->residentKiB));
    EXPECT_LE(keptGrowth, 2 * 2048) << "resident memory grew while scenes played and was still held at the end";
    EXPECT_LE(finish->descriptors, start->descriptors) << "descriptors were left open";
}
