#include "synth/VS_Renderer.h"
#include "synth/VS_Sequencer.h"

#include "support/SynthTestSupport.h"

namespace
{
const char* const kClick = "instrument click\n  osc1 sine\n  attack 0\n  decay 0.05\n  sustain 0\n  sidechain 1\nend\n";

std::size_t FirstSound(const std::vector<float>& samples)
{
    for (std::size_t n = 0; n < samples.size(); ++n)
        if (samples[n] != 0.0f)
            return n;
    return samples.size();
}
} // namespace

TEST(VS_SequencerTest, OnsetsLandOnTheExactSampleOfTheirBeat)
{
    SynthLog log;
    const VS_Score score = ParseOrFail(TestSong(4) + kClick + "pattern beats 16\n  0,4,8,12 A2 1 127\n  2 A2 1 127\nend\n" +
                                       "play 1 4 click beats\n");
    const std::vector<VS_TimedNote> notes = VS_Sequencer::Schedule(score, 0, 4);
    ASSERT_EQ(notes.size(), 15u);
    // Bar 1 starts at beat 4: sample 4 * 22050. An eighth note after beat b is 11025 further.
    EXPECT_EQ(notes[0].onset, 4 * 22050);
    EXPECT_EQ(notes[1].onset, 4 * 22050 + 11025);
    for (const VS_TimedNote& note : notes) {
        if (note.onset % 22050 != 11025) {
            EXPECT_EQ(note.onset % 22050, 0) << "beat onset " << note.onset;
        }
    }
    EXPECT_EQ(notes.back().onset, 15 * 22050);
    EXPECT_NEAR(double(notes[0].length), 5512.5, 0.5) << "one sixteenth, rounded";

    // Rendered: silence up to the onset sample, which is the envelope's zero; sound right after.
    VS_Renderer renderer(score);
    VS_StereoBuffer out;
    renderer.Render(0, 4, out);
    EXPECT_EQ(FirstSound(out.left), std::size_t(4 * 22050 + 1));
    EXPECT_EQ(out.Frames(), std::size_t(4 * 4 * 22050));

    // A render of later bars starts its buffer at the first of them.
    renderer.Render(2, 4, out);
    EXPECT_EQ(FirstSound(out.left), 1u) << "bar 2's first beat is sample 0 of this render";
    EXPECT_NEAR(renderer.InstrumentLevel(0, 2, 4), renderer.InstrumentLevel(0, 3, 4), 0.5);
    EXPECT_EQ(renderer.InstrumentLevel(0, 0, 2), -200.0) << "bars outside the render are silent";
}

TEST(VS_SequencerTest, PatternsRepeatTransposeAndArpeggiateWithinTheirBars)
{
    SynthLog log;
    const VS_Score score = ParseOrFail(TestSong(8) + kClick +
                                       "instrument arp\n  arp_steps 2\n  arp_octaves 2\n  arp_mode updown\nend\n"
                                       "pattern one 8\n  0 C4 12 100\nend\n"
                                       "pattern chord 16\n  0 C4+E4+G4 16 100\nend\n"
                                       "play 0 2 click one 7\n"
                                       "play 2 3 arp chord\n");
    const std::vector<VS_TimedNote> notes = VS_Sequencer::Schedule(score, 0, 8);
    ASSERT_EQ(notes.size(), 4u + 8u) << "an 8-step pattern plays four times in two bars; eight arp notes";
    EXPECT_EQ(notes[0].note, 67.0f) << "transposed by 7";
    EXPECT_EQ(notes[0].length, 12 * 5512.5) << "a note may overlap the pattern's next repeat";
    EXPECT_EQ(notes[3].length, 8 * 5512.5) << "but is cut at the placement's end";
    const float expected[] = {60, 64, 67, 72, 76, 79, 76, 72};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(notes[std::size_t(4 + i)].note, expected[i]) << "arp note " << i;
        EXPECT_EQ(notes[std::size_t(4 + i)].onset, 2 * 88200 + i * 11025) << "arp note " << i;
    }
    EXPECT_EQ(VS_Sequencer::Schedule(score, 1, 2).size(), 2u) << "only onsets inside the bars asked for";
}

TEST(VS_RendererTest, TheSameScoreRendersTheSameSamples)
{
    SynthLog log;
    const VS_Score score = ParseOrFail(TestSong(2, 0.5) + kClick +
                                       "instrument hiss\n  osc1 noise\n  unison 3\n  reverb 0.5\n  delay 0.5\n"
                                       "  duck 0.5\n  filter lowpass\n  lfo_cutoff 1\nend\n"
                                       "pattern p 16\n  0-15/2 C3 1 100\n  1-15/2 E4+G4 3 80\nend\n"
                                       "play 0 2 hiss p\nplay 0 2 click p\n");
    VS_Renderer first(score), second(score);
    VS_StereoBuffer a, b;
    first.Render(0, 2, a);
    second.Render(0, 2, b);
    ASSERT_EQ(a.Frames(), b.Frames());
    EXPECT_TRUE(a.left == b.left && a.right == b.right) << "two renders differ";
    EXPECT_GT(RmsOf(a.left, 0, a.Frames()), 0.01);
    EXPECT_NE(a.left, a.right) << "unison, delay and reverb give two different channels";
    first.Render(0, 2, b);
    EXPECT_TRUE(a.left == b.left && a.right == b.right) << "a renderer used again starts afresh";
}
