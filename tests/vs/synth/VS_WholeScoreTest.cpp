// The committed score and the committed music file: the score renders within full scale at the
// loudness it asks for, and the file the demo plays decodes to the run's length and levels.

#include "QA_Buffer_OGG.h"
#include "synth/VS_Loudness.h"
#include "synth/VS_Master.h"
#include "synth/VS_OggEncoder.h"
#include "synth/VS_Renderer.h"
#include "synth/VS_Sequencer.h"

#include "support/TempDir.h"
#include "support/SynthTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace
{
const std::string kScorePath = std::string(VC_SOURCE_DIR) + "/music/velvet-cascade.score";
const std::string kMusicPath = std::string(VC_SOURCE_DIR) + "/assets/music.ogg";

VS_StereoBuffer Decode(const std::string& path)
{
    VS_StereoBuffer decoded;
    QC_Ptr<QA_Buffer> pcm;
    if (!QA_Buffer_OGG::Load(path.c_str(), pcm)) {
        ADD_FAILURE() << "cannot decode " << path;
        return decoded;
    }
    const std::size_t frames = pcm->Size() / 4;
    decoded.Resize(frames);
    const std::int16_t* samples = reinterpret_cast<const std::int16_t*>(pcm->Data());
    for (std::size_t n = 0; n < frames; ++n) {
        decoded.left[n] = float(samples[2 * n]) / 32768.0f;
        decoded.right[n] = float(samples[2 * n + 1]) / 32768.0f;
    }
    return decoded;
}

// The densest bars of the song (the drop), rendered and mastered once for the whole suite: a
// whole-song render would cost many seconds under the address sanitiser.
class VelvetCascadeScoreTest : public ::testing::Test
{
protected:
    static constexpr int kFromBar = 64;
    static constexpr int kToBar = 72;

    static void SetUpTestSuite()
    {
        SynthLog log;
        score = new VS_Score;
        parsed = VS_ScoreParser::ParseFile(kScorePath, *score);
        parseLog = log.All();
        if (!parsed)
            return;
        VS_Renderer renderer(*score);
        mix = new VS_StereoBuffer;
        renderer.Render(kFromBar, kToBar, *mix);
        for (std::size_t i = 0; i < score->instruments.size(); ++i)
            if (score->instruments[i].sidechainKey)
                kickLevel = std::max(kickLevel, renderer.InstrumentLevel(int(i), kFromBar, kToBar));
        result = VS_Master::Process(*mix, score->song.loudness, score->song.ceiling, 22050, score->song.sampleRate);
    }
    static void TearDownTestSuite()
    {
        delete score;
        delete mix;
    }

    static inline VS_Score* score = nullptr;
    static inline VS_StereoBuffer* mix = nullptr;
    static inline VS_MasterResult result;
    static inline bool parsed = false;
    static inline std::string parseLog;
    static inline double kickLevel = -200.0;
};
} // namespace

TEST_F(VelvetCascadeScoreTest, ParsesAndCoversTheRunWithItsSections)
{
    ASSERT_TRUE(parsed) << parseLog;
    EXPECT_EQ(score->song.tempo, 120.0);
    EXPECT_EQ(score->BarStartSample(score->song.bars), 448 * 22050) << "the song ends at beat 448";
    const double seconds = double(score->TotalSamples()) / score->song.sampleRate;
    EXPECT_GE(seconds, 224.0);
    EXPECT_LE(seconds, 226.0) << "a tail of at most 2 s";
    const char* const names[] = {"intro", "A", "B", "break", "build", "drop", "C", "outro"};
    const int bounds[] = {0, 16, 32, 48, 56, 64, 80, 96, 112};
    ASSERT_EQ(score->sections.size(), std::size(names));
    for (std::size_t i = 0; i < std::size(names); ++i) {
        EXPECT_EQ(score->sections[i].name, names[i]);
        EXPECT_EQ(score->sections[i].fromBar, bounds[i]);
        EXPECT_EQ(score->sections[i].toBar, bounds[i + 1]);
    }
}

TEST_F(VelvetCascadeScoreTest, RendersWithinFullScaleAtTheLoudnessItAsksFor)
{
    ASSERT_TRUE(parsed) << parseLog;
    ASSERT_GT(mix->Frames(), 0u);
    float peak = 0.0f;
    double sumLeft = 0.0, sumRight = 0.0;
    for (std::size_t n = 0; n < mix->Frames(); ++n) {
        peak = std::max({peak, std::fabs(mix->left[n]), std::fabs(mix->right[n])});
        sumLeft += mix->left[n];
        sumRight += mix->right[n];
    }
    EXPECT_LE(peak, 1.0f) << "no sample above full scale";
    EXPECT_LE(result.truePeak, score->song.ceiling + 1e-6);
    EXPECT_NEAR(result.loudness, score->song.loudness, 0.1);
    EXPECT_LT(std::fabs(sumLeft / double(mix->Frames())), 1e-3) << "DC offset left";
    EXPECT_LT(std::fabs(sumRight / double(mix->Frames())), 1e-3) << "DC offset right";
    EXPECT_GT(kickLevel, -40.0) << "the drop has its kick";
}

TEST_F(VelvetCascadeScoreTest, KicksAndSnaresMarkEverySceneCut)
{
    ASSERT_TRUE(parsed) << parseLog;
    const int kick = score->FindInstrument("kick");
    const int snare = score->FindInstrument("snare");
    ASSERT_GE(kick, 0);
    ASSERT_GE(snare, 0);
    std::set<std::int64_t> hits;
    std::set<std::int64_t> kickBars;
    for (const VS_TimedNote& note : VS_Sequencer::Schedule(*score, 0, score->song.bars)) {
        if (note.instrument != kick && note.instrument != snare)
            continue;
        // A thirty-second lasts 2756.25 samples; each onset is the nearest sample to its grid point.
        const double thirtySeconds = std::round(double(note.onset) / 2756.25);
        EXPECT_EQ(note.onset, std::llround(thirtySeconds * 2756.25)) << "drum onset off the grid";
        hits.insert(note.onset);
        if (note.instrument == kick)
            kickBars.insert(note.onset / 88200);
    }
    // Scene cuts at these beats; each must land on a drum hit.
    for (int beat : {64, 128, 192, 224, 232, 240, 248, 256, 320, 384})
        EXPECT_EQ(hits.count(std::int64_t(beat) * 22050), 1u) << "no kick or snare at the cut on beat " << beat;
    EXPECT_EQ(kickBars.count(0), 0u) << "the intro has no kick";
    EXPECT_EQ(*kickBars.begin(), 16) << "the kick enters with section A";
    EXPECT_EQ(kickBars.count(50), 0u) << "the break has no kick";
}

TEST(VelvetCascadeMusicTest, CommittedFileDecodesToTheRunsLengthAndLevels)
{
    SynthLog log;
    ASSERT_TRUE(std::filesystem::exists(kMusicPath)) << kMusicPath;
    const VS_StereoBuffer music = Decode(kMusicPath);
    // The loader's buffers are always 44.1 kHz stereo (other files are converted), so the
    // stream's own identification header is read for its channels and rate.
    std::ifstream file(kMusicPath, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t header = bytes.find(std::string("\x01vorbis", 7));
    ASSERT_NE(header, std::string::npos) << "no Vorbis identification header";
    ASSERT_GT(bytes.size(), header + 16);
    const auto byte = [&bytes](std::size_t at) { return std::uint32_t(std::uint8_t(bytes[at])); };
    EXPECT_EQ(byte(header + 11), 2u) << "channels";
    EXPECT_EQ(byte(header + 12) | byte(header + 13) << 8 | byte(header + 14) << 16 | byte(header + 15) << 24, 44100u)
        << "sample rate";
    const double seconds = double(music.Frames()) / 44100.0;
    EXPECT_GE(seconds, 224.0);
    EXPECT_LE(seconds, 226.5);
    const double lufs = VS_Loudness::Integrated(music.left.data(), music.right.data(), music.Frames(), 44100.0);
    EXPECT_GE(lufs, -16.0);
    EXPECT_LE(lufs, -12.0);
    EXPECT_LE(VS_Loudness::GainToDecibels(VS_Loudness::TruePeak(music.left.data(), music.right.data(), music.Frames())), -1.0);
    EXPECT_NE(music.left, music.right) << "stereo, not two copies of one channel";

    // The drop (beats 256-320) is the loudest section; the run ends in silence at beat 448.
    const auto rms = [&music](double fromBeat, double toBeat) {
        const std::size_t first = std::size_t(fromBeat * 22050), end = std::min(music.Frames(), std::size_t(toBeat * 22050));
        return std::sqrt((RmsOf(music.left, first, end) * RmsOf(music.left, first, end) +
                          RmsOf(music.right, first, end) * RmsOf(music.right, first, end)) / 2.0);
    };
    const double drop = rms(256, 320);
    const int otherSections[][2] = {{0, 64}, {64, 128}, {128, 192}, {192, 224}, {224, 256}, {320, 384}, {384, 448}};
    for (const auto& section : otherSections)
        EXPECT_GT(drop, rms(section[0], section[1]) * 1.1) << "section from beat " << section[0];
    EXPECT_LT(VS_Loudness::GainToDecibels(rms(447, 448)), -50.0) << "the outro has faded by the end of the run";
    EXPECT_EQ(log.messages.size(), 0u) << log.All();
}

TEST(VS_OggEncoderTest, WritesAFileTheDemosLoaderReadsBack)
{
    SynthLog log;
    TempDir dir;
    VS_StereoBuffer tone;
    tone.Resize(44100);
    for (std::size_t n = 0; n < tone.Frames(); ++n) {
        tone.left[n] = 0.5f * float(std::sin(6.28318530718 * 440.0 * double(n) / 44100.0));
        tone.right[n] = 0.25f * float(std::sin(6.28318530718 * 1000.0 * double(n) / 44100.0));
    }
    const std::string path = dir.File("tone.ogg");
    ASSERT_TRUE(VS_OggEncoder::Write(path, tone, 44100, 0.5f));
    const VS_StereoBuffer decoded = Decode(path);
    ASSERT_EQ(decoded.Frames(), tone.Frames());
    EXPECT_NEAR(CrossingRate(decoded.left, 44100.0), 440.0, 2.0);
    EXPECT_NEAR(CrossingRate(decoded.right, 44100.0), 1000.0, 2.0);
    EXPECT_NEAR(RmsOf(decoded.left, 0, decoded.Frames()), 0.3536, 0.01);

    std::ifstream first(path, std::ios::binary), again;
    const std::string bytes((std::istreambuf_iterator<char>(first)), std::istreambuf_iterator<char>());
    ASSERT_TRUE(VS_OggEncoder::Write(dir.File("again.ogg"), tone, 44100, 0.5f));
    again.open(dir.File("again.ogg"), std::ios::binary);
    EXPECT_EQ(bytes, std::string((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>()))
        << "the same samples give the same bytes";

    EXPECT_FALSE(VS_OggEncoder::Write(dir.File("no/such/folder/x.ogg"), tone, 44100, 0.5f));
    EXPECT_TRUE(log.Contains("Cannot open")) << log.All();
}
