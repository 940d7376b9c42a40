#include "synth/VS_Loudness.h"
#include "synth/VS_Master.h"

#include "support/SynthTestSupport.h"

namespace
{
constexpr double kRate = 44100.0;
constexpr double kTwoPi = 6.28318530717958647692;

std::vector<float> Sine(double hz, double amplitude, double seconds, double phase = 0.0)
{
    std::vector<float> out(std::size_t(seconds * kRate));
    for (std::size_t n = 0; n < out.size(); ++n)
        out[n] = float(amplitude * std::sin(kTwoPi * hz * double(n) / kRate + phase));
    return out;
}
} // namespace

TEST(VS_LoudnessTest, OneKilohertzToneReadsItsLevelAndSilenceIsGatedAway)
{
    // A 1 kHz sine of peak A in both channels of a stereo pair reads 20 log10(A) LUFS.
    const std::vector<float> tone = Sine(1000.0, 0.1, 5.0);
    EXPECT_NEAR(VS_Loudness::Integrated(tone.data(), tone.data(), tone.size(), kRate), -20.0, 0.1);
    const std::vector<float> quiet = Sine(1000.0, 0.01, 5.0);
    EXPECT_NEAR(VS_Loudness::Integrated(quiet.data(), quiet.data(), quiet.size(), kRate), -40.0, 0.1);

    // Silence after the tone falls under the gates and leaves the reading alone.
    std::vector<float> padded = tone;
    padded.resize(tone.size() * 3, 0.0f);
    // (The blocks that straddle the end of the tone still pass the gates and pull it down a little.)
    EXPECT_NEAR(VS_Loudness::Integrated(padded.data(), padded.data(), padded.size(), kRate), -20.0, 0.2);

    const std::vector<float> silence(std::size_t(kRate), 0.0f);
    EXPECT_EQ(VS_Loudness::Integrated(silence.data(), silence.data(), silence.size(), kRate), VS_Loudness::kSilence);
    EXPECT_EQ(VS_Loudness::Integrated(tone.data(), tone.data(), 1000, kRate), VS_Loudness::kSilence) << "shorter than a block";

    // K-weighting: a 40 Hz tone counts for several dB less than 1 kHz at the same level.
    const std::vector<float> low = Sine(40.0, 0.1, 5.0);
    EXPECT_LT(VS_Loudness::Integrated(low.data(), low.data(), low.size(), kRate), -22.0);
}

TEST(VS_LoudnessTest, TruePeakFindsThePeakBetweenSamples)
{
    // A quarter of the sample rate sampled 45 degrees off its crests: every sample is at
    // 0.707 of the amplitude, the waveform between them reaches the amplitude.
    const std::vector<float> tone = Sine(kRate / 4.0, 0.5, 1.0, kTwoPi / 8.0);
    float samplePeak = 0.0f;
    for (float sample : tone)
        samplePeak = std::max(samplePeak, std::fabs(sample));
    EXPECT_NEAR(samplePeak, 0.3536f, 0.001f);
    EXPECT_NEAR(VS_Loudness::TruePeak(tone.data(), tone.data(), tone.size()), 0.5, 0.01);
    EXPECT_NEAR(VS_Loudness::GainToDecibels(0.5), -6.02, 0.01);
}

TEST(VS_MasterTest, ReachesTheLoudnessTargetUnderTheTruePeakCeiling)
{
    // Loud bursts over a quiet bed: hitting -14 LUFS needs the limiter on the bursts.
    VS_StereoBuffer mix;
    mix.left = Sine(220.0, 0.05, 10.0);
    mix.right = Sine(330.0, 0.05, 10.0);
    for (std::size_t n = 0; n < mix.Frames(); n += 22050)
        for (std::size_t i = n; i < std::min(n + 400, mix.Frames()); ++i) {
            mix.left[i] *= 20.0f;
            mix.right[i] *= 20.0f;
        }
    const VS_MasterResult result = VS_Master::Process(mix, -14.0, -1.0, 4410, kRate);
    EXPECT_NEAR(result.loudness, -14.0, 0.1);
    EXPECT_NEAR(VS_Loudness::Integrated(mix.left.data(), mix.right.data(), mix.Frames(), kRate), result.loudness, 0.01)
        << "the reported loudness is that of the output";
    EXPECT_LE(result.truePeak, -1.0);
    EXPECT_LE(VS_Loudness::GainToDecibels(VS_Loudness::TruePeak(mix.left.data(), mix.right.data(), mix.Frames())), -1.0);
    EXPECT_LT(result.maxReduction, -1.0) << "the bursts were limited; gain " << result.gain;
    EXPECT_EQ(mix.left.back(), 0.0f) << "the tail fades to silence";
}
