// The timeline panel's logic without a window: the beat view under zoom and pan, the waveform's
// levels of detail against the samples themselves, lanes against the sequencer's own values,
// and the cue point file.

#include "LM1_DevBeatView.h"
#include "LM1_DevCuePoints.h"
#include "LM1_DevLanes.h"
#include "LM1_DevWaveform.h"
#include "QD_Sequencer_QCS.h"
#include "QD_Sync.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{
// Stereo PCM with loud and quiet stretches, deterministic.
std::vector<std::uint8_t> NoisyPcm(std::uint32_t frames)
{
    std::vector<std::uint8_t> pcm(static_cast<std::size_t>(frames) * 4);
    std::uint32_t state = 12345;
    for (std::uint32_t i = 0; i < frames * 2; ++i) {
        state = state * 214013u + 2531011u;
        const int loudness = (i / 20000) % 3 == 0 ? 32767 : 3000;
        const std::int16_t sample = static_cast<std::int16_t>(static_cast<int>((state >> 16) & 0xFFFF) % (2 * loudness + 1) - loudness);
        std::memcpy(pcm.data() + i * 2, &sample, 2);
    }
    return pcm;
}

// The peaks of frames [first, end) straight from the samples.
LM1_DevPeak DirectPeak(const std::vector<std::uint8_t>& pcm, std::uint64_t first, std::uint64_t end)
{
    LM1_DevPeak peak{32767, -32768};
    for (std::uint64_t sample = first * 2; sample < end * 2; ++sample) {
        std::int16_t value;
        std::memcpy(&value, pcm.data() + sample * 2, 2);
        peak.low = std::min(peak.low, value);
        peak.high = std::max(peak.high, value);
    }
    return peak;
}
} // namespace

TEST(LM1_DevBeatViewTest, PixelsAndBeatsMapBothWaysUnderZoomAndPan)
{
    LM1_DevBeatView view;
    view.SetStrip(180.0f, 1100.0f);
    view.Show(8.0f, 0.05f);
    EXPECT_FLOAT_EQ(view.PixelAt(8.0f), 180.0f);
    EXPECT_FLOAT_EQ(view.BeatAt(380.0f), 18.0f);
    EXPECT_FLOAT_EQ(view.LastBeat(), 8.0f + 1100.0f * 0.05f);

    // The wheel: the beat under the pointer stays under it, in and out again.
    const float anchor = view.BeatAt(700.0f);
    view.ZoomAround(700.0f, 1.25f);
    EXPECT_NEAR(view.BeatAt(700.0f), anchor, 1e-4f);
    EXPECT_FLOAT_EQ(view.BeatsPerPixel(), 0.04f);
    view.ZoomAround(700.0f, 0.8f);
    EXPECT_NEAR(view.BeatAt(700.0f), anchor, 1e-4f);
    for (float x : {180.0f, 333.0f, 1279.0f})
        EXPECT_NEAR(view.PixelAt(view.BeatAt(x)), x, 1e-3f);

    // Pan: dragging right shows earlier beats, never before 0.
    view.PanByPixels(100.0f);
    EXPECT_NEAR(view.FirstBeat(), 3.0f, 1e-4f);
    view.PanByPixels(1000.0f);
    EXPECT_EQ(view.FirstBeat(), 0.0f);
    view.ZoomAround(180.0f, 0.5f);
    EXPECT_EQ(view.FirstBeat(), 0.0f) << "zooming out at the start keeps beat 0 at the left";

    // The scale is held to its limits, whatever the wheel does; bad input changes nothing.
    for (int i = 0; i < 100; ++i)
        view.ZoomAround(500.0f, 2.0f);
    EXPECT_EQ(view.BeatsPerPixel(), LM1_DevBeatView::MinBeatsPerPixel);
    for (int i = 0; i < 100; ++i)
        view.ZoomAround(500.0f, 0.5f);
    EXPECT_EQ(view.BeatsPerPixel(), LM1_DevBeatView::MaxBeatsPerPixel);
    const float first = view.FirstBeat();
    view.ZoomAround(500.0f, std::nanf(""));
    view.ZoomAround(500.0f, 0.0f);
    view.PanByPixels(INFINITY);
    EXPECT_EQ(view.BeatsPerPixel(), LM1_DevBeatView::MaxBeatsPerPixel);
    EXPECT_EQ(view.FirstBeat(), first);

    // Follow: a playhead inside the page leaves the view alone, one past it turns the page.
    view.Show(0.0f, 0.1f); // 110 beats wide
    view.Follow(50.0f);
    EXPECT_EQ(view.FirstBeat(), 0.0f);
    view.Follow(100.0f);
    EXPECT_NEAR(view.FirstBeat(), 100.0f - 11.0f, 1e-3f);
    view.Follow(20.0f);
    EXPECT_NEAR(view.FirstBeat(), 9.0f, 1e-3f);

    // Ruler lines: powers of two, whole bars once beats are small on screen.
    view.Show(0.0f, 0.05f);
    EXPECT_EQ(view.GridStep(8.0f), 0.5f);
    EXPECT_EQ(view.GridStep(64.0f), 4.0f);
    view.Show(0.0f, 1.0f);
    EXPECT_EQ(view.GridStep(64.0f), 64.0f);
}

TEST(LM1_DevWaveformTest, PeaksAtEveryZoomEqualTheSamplesOfTheirBlocks)
{
    // Not a whole number of blocks: the last block is short.
    constexpr std::uint32_t kFrames = 200003;
    const std::vector<std::uint8_t> pcm = NoisyPcm(kFrames);
    const QC_Ptr<LM1_DevWaveform> waveform = LM1_DevWaveform::Build(pcm.data(), kFrames);
    ASSERT_EQ(waveform->Frames(), kFrames);
    const std::uint32_t blocks = (kFrames + 63) / 64;
    EXPECT_EQ(waveform->LevelCount(), 1u + static_cast<std::uint32_t>(std::ceil(std::log2(blocks))));

    // Columns of a few frames (deep zoom) to half the music (far out), at odd offsets.
    for (const double framesPerColumn : {7.0, 64.0, 100.5, 1378.125, 44100.0, 100001.0}) {
        for (double first = 13.0; first < kFrames; first += framesPerColumn * 3.7 + 1.0) {
            const std::uint64_t begin = static_cast<std::uint64_t>(first);
            const std::uint64_t end = static_cast<std::uint64_t>(first + framesPerColumn);
            const std::uint64_t blockBegin = begin / 64 * 64;
            const std::uint64_t blockEnd = std::min<std::uint64_t>((end + 63) / 64 * 64, kFrames);
            const LM1_DevPeak expected = DirectPeak(pcm, blockBegin, blockEnd);
            const LM1_DevPeak peak = waveform->Range(begin, end);
            ASSERT_EQ(peak.low, expected.low) << framesPerColumn << " frames a column, from " << begin;
            ASSERT_EQ(peak.high, expected.high) << framesPerColumn << " frames a column, from " << begin;
        }
    }
    // The whole music, and ranges holding no frame of it.
    const LM1_DevPeak all = DirectPeak(pcm, 0, kFrames);
    EXPECT_EQ(waveform->Range(0, kFrames).low, all.low);
    EXPECT_EQ(waveform->Range(0, UINT64_MAX).high, all.high);
    EXPECT_EQ(waveform->Range(kFrames, kFrames + 500).high, 0);
    EXPECT_EQ(waveform->Range(500, 500).low, 0);
    EXPECT_EQ(waveform->Range(600, 500).high, 0);

    const QC_Ptr<LM1_DevWaveform> silent = LM1_DevWaveform::Build(nullptr, 0);
    EXPECT_EQ(silent->LevelCount(), 0u);
    EXPECT_EQ(silent->Range(0, 100).high, 0);
}

TEST(LM1_DevLanesTest, LanesFollowTheSceneFilterAndPinsAndSampleTheDemosValues)
{
    QD_Sync* sync = QD_CreateSync(QD_SyncSettings{.method = QD_SYNC_METHOD_BPM, .bpm = 120, .midiDevice = 0});
    {
        const std::string timelineText = "// the timeline\n2 = constant(0:1, 40:0, 1000:0); // run\n"
                                         "// 3: where the scenes are.\n// more about it\n3 = 10;\n"
                                         "10 = constant(0:101, 16:102, 1000:102);  //  scenes  \n";
        const std::string partText = "100 = linear(0:2, 4:6, 8:3, 1000:3); // layers\n101 = beat(1);\n"
                                     "  102 = catmullrom(0:0, 2:1, 5:-1, 9:0.5, 1000:0.5);   // cube size\n"
                                     "200 = 7; // flow time\n250 = linear(0:0, 1000:1); // tint\n";
        QC_Ptr<QD_Sequencer> timeline, part;
        ASSERT_TRUE(QD_ParseSequencerText(timelineText.c_str(), static_cast<std::uint32_t>(timelineText.size()), timeline));
        ASSERT_TRUE(QD_ParseSequencerText(partText.c_str(), static_cast<std::uint32_t>(partText.size()), part));
        timeline->SubscribeChannels();
        part->SubscribeChannels();

        const std::map<std::int32_t, std::string> comments = LM1_DevLanes::ReadComments(partText);
        EXPECT_EQ(comments.at(100), "layers");
        EXPECT_EQ(comments.at(102), "cube size");
        EXPECT_EQ(comments.count(101), 0u) << "the comment above 101 is 100's line, not a block";
        EXPECT_EQ(LM1_DevLanes::ReadComments(timelineText).at(10), "scenes");

        LM1_DevLanes lanes;
        const auto names = [&] {
            std::vector<std::string> shown;
            for (const LM1_DevLane& lane : lanes.Lanes())
                shown.push_back(lane.script + ":" + lane.name);
            return shown;
        };
        // Scene o1 reads 100-199 of its part, then the timeline's own channels.
        lanes.SetScripts({"scene.qcs", timeline, timelineText}, {"o.qcs", part, partText}, 101);
        EXPECT_EQ(names(), (std::vector<std::string>{"o.qcs:100 layers", "o.qcs:101", "o.qcs:102 cube size",
                                                     "scene.qcs:2 run", "scene.qcs:3 where the scenes are.",
                                                     "scene.qcs:10 scenes"}));
        ASSERT_EQ(lanes.Lanes()[0].keys.size(), 4u);
        EXPECT_EQ(lanes.Lanes()[0].keys[1].beat, 4.0f);
        EXPECT_EQ(lanes.Lanes()[0].keys[1].value, 6.0f);
        EXPECT_TRUE(lanes.Lanes()[1].keys.empty()) << "a beat ramp has no keys";
        lanes.SetScripts({"scene.qcs", timeline, timelineText}, {"o.qcs", part, partText}, 102);
        EXPECT_EQ(names().front(), "o.qcs:200 flow time");

        // A pin stays through scene changes and comes first; the filter searches both scripts
        // by number or name, case aside.
        lanes.TogglePin("o.qcs", 102);
        EXPECT_EQ(names().front(), "o.qcs:102 cube size");
        EXPECT_TRUE(lanes.Lanes().front().pinned);
        lanes.SetFilter("TINT");
        EXPECT_EQ(names(), (std::vector<std::string>{"o.qcs:102 cube size", "o.qcs:250 tint"}));
        lanes.SetFilter("10");
        EXPECT_EQ(names(), (std::vector<std::string>{"o.qcs:102 cube size", "o.qcs:100 layers", "o.qcs:101",
                                                     "scene.qcs:10 scenes"}));
        lanes.SetFilter("");
        lanes.TogglePin("o.qcs", 102);
        EXPECT_EQ(names().front(), "o.qcs:200 flow time");
        lanes.SetScripts({"scene.qcs", timeline, timelineText}, {"", nullptr, ""}, -1);
        EXPECT_EQ(names().front(), "scene.qcs:2 run") << "no part: the timeline's lanes alone";

        // Samples read from one sync position are what the demo reads with the clock at each
        // beat: exactly at the playhead, elsewhere to the float rounding of the position the
        // channel is asked for (the playhead plus an offset).
        sync->UpdateAtMilliseconds(11000);
        const float playhead = sync->GetBeat();
        std::vector<float> beats{playhead};
        for (int i = 0; i <= 48; ++i)
            beats.push_back(QD_SyncBeatsAtMilliseconds(static_cast<std::int64_t>(i) * 125, 120));
        for (const std::int32_t number : {100, 101, 102, 250}) {
            std::vector<float> values;
            LM1_DevLanes::Sample(*part->GetChannel(number), playhead, beats, values);
            ASSERT_EQ(values.size(), beats.size());
            EXPECT_EQ(values[0], part->GetValue(number)) << "channel " << number << " at the playhead";
            for (std::size_t i = 1; i < beats.size(); ++i) {
                sync->UpdateAtMilliseconds(static_cast<std::int64_t>(i - 1) * 125);
                const float demoReads = part->GetValue(number);
                ASSERT_NEAR(values[i], demoReads, 1e-5f * (1.0f + std::fabs(demoReads)))
                    << "channel " << number << " at beat " << beats[i];
            }
            sync->UpdateAtMilliseconds(11000);
        }
    }
    QD_DestroySync();
}

TEST(LM1_DevCuePointsTest, CuesToggleJumpAndLastInTheirFileAcrossSessions)
{
    TempDir folder;
    const std::string path = folder.File("cues.txt");
    {
        LM1_DevCuePoints cues(path);
        EXPECT_TRUE(cues.Beats().empty()) << "no file yet";
        cues.Toggle(64.0f);
        cues.Toggle(16.5f);
        cues.Toggle(128.0f);
        cues.Toggle(16.5f + LM1_DevCuePoints::SameCue / 2.0f); // the same cue: removed
        cues.Toggle(-3.0f);
        EXPECT_EQ(cues.Beats(), (std::vector<float>{64.0f, 128.0f}));
        cues.Toggle(16.5f);
    }
    LM1_DevCuePoints next(path);
    EXPECT_EQ(next.Beats(), (std::vector<float>{16.5f, 64.0f, 128.0f}));
    EXPECT_EQ(next.Next(16.5f), 64.0f);
    EXPECT_EQ(next.Next(100.0f), 128.0f);
    EXPECT_EQ(next.Next(128.0f), 128.0f) << "none after the last";
    EXPECT_EQ(next.Previous(64.0f), 16.5f);
    EXPECT_EQ(next.Previous(10.0f), 10.0f);

    // A hand-edited file: comments, blank lines and unsorted beats are fine; lines that are not
    // beats are skipped.
    EXPECT_EQ(LM1_DevCuePoints::Parse("# cues\n32\n\n  8.25  # the drop\nabc\n12x\n-4\nnan\n8.25\n", "cues.txt"),
              (std::vector<float>{8.25f, 32.0f}));
    EXPECT_EQ(LM1_DevCuePoints::Parse(LM1_DevCuePoints::Text({1.5f, 300.125f}), "again"),
              (std::vector<float>{1.5f, 300.125f}));

    // Without a file the cues last for the session only.
    LM1_DevCuePoints unsaved;
    unsaved.Toggle(4.0f);
    EXPECT_EQ(unsaved.Beats().size(), 1u);
}
