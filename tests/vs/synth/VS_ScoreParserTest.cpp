#include "synth/VS_ScoreParser.h"

#include "support/TempDir.h"
#include "support/SynthTestSupport.h"

TEST(VS_ScoreParserTest, ReadsInstrumentsPatternsAndTheArrangement)
{
    SynthLog log;
    const VS_Score score = ParseOrFail(TestSong(8, 1.0) +
                                       "# a comment line\n"
                                       "instrument keys   # trailing comment\n"
                                       "  osc1 square\n  osc2 none\n  pulse_width 0.3\n  filter bandpass\n"
                                       "  cutoff 800\n  attack 0.25\n  unison 4\n  sidechain 1\n  arp_mode down\n"
                                       "end\n"
                                       "pattern riff 32\n"
                                       "  0 C#3 2 127\n"
                                       "  4,8 Eb2+G2+Bb2 1.5 64\n"
                                       "  16-22/3 A4 1 100\n"
                                       "  30-31/0.5 C-1 0.5 1\n"
                                       "end\n"
                                       "play 2 6 keys riff -12\n"
                                       "sweep 0 4 keys cutoff 200 4000\n"
                                       "section verse 0 4\n");
    EXPECT_TRUE(log.messages.empty()) << log.All();
    ASSERT_EQ(score.instruments.size(), 1u);
    const VS_Instrument& keys = score.instruments[0];
    EXPECT_EQ(keys.osc1, VS_WAVE_SQUARE);
    EXPECT_EQ(keys.osc2, VS_WAVE_NONE);
    EXPECT_FLOAT_EQ(keys.pulseWidth, 0.3f);
    EXPECT_EQ(keys.filter, VS_FILTER_BANDPASS);
    EXPECT_FLOAT_EQ(keys.cutoff, 800.0f);
    EXPECT_FLOAT_EQ(keys.amp.attack, 0.25f);
    EXPECT_FLOAT_EQ(keys.amp.release, VS_EnvelopeShape{}.release) << "unset parameters keep their defaults";
    EXPECT_EQ(keys.unison, 4);
    EXPECT_TRUE(keys.sidechainKey);
    EXPECT_EQ(keys.arpMode, VS_ARP_DOWN);

    ASSERT_EQ(score.patterns.size(), 1u);
    const std::vector<VS_NoteEvent>& events = score.patterns[0].events;
    ASSERT_EQ(events.size(), 1u + 2u + 3u + 3u) << "lists and ranges expand to one event a step";
    EXPECT_EQ(events[0].notes, std::vector<float>{49.0f}) << "C#3 is MIDI 49";
    EXPECT_FLOAT_EQ(events[0].velocity, 1.0f);
    EXPECT_EQ(events[1].notes, (std::vector<float>{39.0f, 43.0f, 46.0f})) << "a chord";
    EXPECT_DOUBLE_EQ(events[2].step, 8.0);
    EXPECT_DOUBLE_EQ(events[2].length, 1.5);
    EXPECT_DOUBLE_EQ(events[3].step, 16.0);
    EXPECT_DOUBLE_EQ(events[5].step, 22.0);
    EXPECT_DOUBLE_EQ(events[7].step, 30.5);
    EXPECT_EQ(events[8].notes, std::vector<float>{0.0f}) << "C-1 is MIDI 0";

    ASSERT_EQ(score.placements.size(), 1u);
    EXPECT_EQ(score.placements[0].fromBar, 2);
    EXPECT_EQ(score.placements[0].toBar, 6);
    EXPECT_FLOAT_EQ(score.placements[0].transpose, -12.0f);
    ASSERT_EQ(score.sweeps.size(), 1u);
    EXPECT_EQ(score.sweeps[0].target, VS_SWEEP_CUTOFF);
    ASSERT_EQ(score.sections.size(), 1u);
    EXPECT_EQ(score.sections[0].name, "verse");
}

TEST(VS_ScoreParserTest, NoteNamesFollowMidiNumbering)
{
    float note = 0.0f;
    EXPECT_TRUE(VS_ScoreParser::ParseNoteName("A4", note));
    EXPECT_EQ(note, 69.0f);
    EXPECT_TRUE(VS_ScoreParser::ParseNoteName("Bb1", note));
    EXPECT_EQ(note, 34.0f);
    EXPECT_TRUE(VS_ScoreParser::ParseNoteName("B#3", note));
    EXPECT_EQ(note, 60.0f);
    for (const char* bad : {"", "H2", "C", "C#", "c4", "C10", "Cb-2", "C4x", "A 4"})
        EXPECT_FALSE(VS_ScoreParser::ParseNoteName(bad, note)) << bad;
}

TEST(VS_ScoreParserTest, EveryFaultIsReportedWithItsLineNumber)
{
    SynthLog log;
    VS_Score score;
    const std::string text = TestSong(4) +            // lines 1-6
                             "instrument lead\n"       // 7
                             "  cutof 300\n"           // 8: misspelt
                             "  resonance 2\n"         // 9: out of range
                             "  osc1 wobble\n"         // 10
                             "end\n"                   // 11
                             "pattern p 16\n"          // 12
                             "  16 C3 1 100\n"         // 13: outside the pattern
                             "  0 H3 1 100\n"          // 14
                             "  0 C3 1 200\n"          // 15
                             "  0 C3 1\n"              // 16
                             "end\n"                   // 17
                             "play 0 9 lead p\n"       // 18: past the song's 4 bars
                             "play 0 2 drums p\n"      // 19
                             "sweep 0 2 lead colour 1 2\n" // 20
                             "end\n"                   // 21
                             "dance\n"                 // 22
                             "sweep 0 2 lead cutoff 0 900\n" // 23: a cut-off of 0 Hz
                             "pattern tiny 0.5\n"      // 24: would repeat without end
                             "end\n"                   // 25
                             "instrument fast\n"       // 26
                             "  arp_steps 0.01\n"      // 27: millions of notes
                             "end\n"                   // 28
                             "pattern q 16\n";         // 29: never closed
    EXPECT_FALSE(VS_ScoreParser::Parse(text, "bad.score", score));
    for (int line : {8, 9, 10, 13, 14, 15, 16, 18, 19, 20, 21, 22, 23, 24, 27, 29})
        EXPECT_TRUE(log.Contains("bad.score(" + std::to_string(line) + "): ")) << "line " << line << "\n" << log.All();
    EXPECT_EQ(log.messages.size(), 16u) << log.All();
    EXPECT_TRUE(log.Contains("bad.score(8): unknown instrument parameter 'cutof'"));
    EXPECT_TRUE(log.Contains("bad.score(19): no instrument 'drums'"));

    // A song longer than an hour is refused at its song block, before any memory is asked for.
    log.messages.clear();
    EXPECT_FALSE(VS_ScoreParser::Parse("\nsong\n  tempo 20\n  bars 10000\nend\n", "long.score", score));
    EXPECT_TRUE(log.Contains("long.score(2): the song lasts")) << log.All();
}

TEST(VS_ScoreParserTest, UnreadableFileIsReportedNotParsed)
{
    SynthLog log;
    TempDir dir;
    VS_Score score;
    EXPECT_FALSE(VS_ScoreParser::ParseFile(dir.File("missing.score"), score));
    EXPECT_TRUE(log.Contains("Cannot read score")) << log.All();
    EXPECT_TRUE(VS_ScoreParser::ParseFile(dir.Write("empty.score", ""), score)) << "an empty score is valid";
}
