#include "synth/VS_Filter.h"

#include "support/SynthTestSupport.h"

namespace
{
constexpr double kRate = 44100.0;
constexpr double kTwoPi = 6.28318530717958647692;

// Steady-state gain in dB of a filter for a sine at hz (the first 100 ms are left to settle).
double ResponseDb(VS_FilterMode mode, float cutoff, float resonance, double hz)
{
    VS_Filter filter;
    filter.SetMode(mode);
    filter.SetCutoff(cutoff, resonance, kRate);
    const std::size_t settle = std::size_t(kRate * 0.1), measure = std::size_t(kRate * 0.4);
    std::vector<float> in(settle + measure), out(settle + measure);
    for (std::size_t n = 0; n < in.size(); ++n) {
        in[n] = float(std::sin(kTwoPi * hz * double(n) / kRate));
        out[n] = filter.Process(in[n]);
    }
    return 20.0 * std::log10(RmsOf(out, settle, out.size()) / RmsOf(in, settle, in.size()));
}
} // namespace

TEST(VS_FilterTest, LowPassIsThreeDecibelsDownAtTheCutoffAndFallsTwelveAnOctave)
{
    for (float cutoff : {200.0f, 1000.0f, 4000.0f}) {
        EXPECT_NEAR(ResponseDb(VS_FILTER_LOWPASS, cutoff, 0.0f, cutoff / 8.0), 0.0, 0.1) << "pass band, cutoff " << cutoff;
        EXPECT_NEAR(ResponseDb(VS_FILTER_LOWPASS, cutoff, 0.0f, cutoff), -3.0, 0.3) << "at the cutoff " << cutoff;
        // A two-pole Butterworth is 12.3 dB down an octave above and 24.1 dB two octaves above;
        // the digital filter has its zero at Nyquist, so near it the fall only gets steeper.
        const double octaveUp = ResponseDb(VS_FILTER_LOWPASS, cutoff, 0.0f, cutoff * 2.0);
        const double twoOctavesUp = ResponseDb(VS_FILTER_LOWPASS, cutoff, 0.0f, cutoff * 4.0);
        if (cutoff <= 1000.0f) {
            EXPECT_NEAR(octaveUp, -12.3, 0.8) << "an octave up, cutoff " << cutoff;
            EXPECT_NEAR(twoOctavesUp, -24.1, 1.5) << "two octaves up, cutoff " << cutoff;
        } else {
            EXPECT_LT(octaveUp, -11.5) << "an octave up, cutoff " << cutoff;
            EXPECT_LT(twoOctavesUp, -23.0) << "two octaves up, cutoff " << cutoff;
        }
    }
}

TEST(VS_FilterTest, HighPassAndBandPassMirrorTheLowPass)
{
    EXPECT_NEAR(ResponseDb(VS_FILTER_HIGHPASS, 1000.0f, 0.0f, 8000.0), 0.0, 0.2);
    EXPECT_NEAR(ResponseDb(VS_FILTER_HIGHPASS, 1000.0f, 0.0f, 1000.0), -3.0, 0.3);
    EXPECT_NEAR(ResponseDb(VS_FILTER_HIGHPASS, 1000.0f, 0.0f, 250.0), -24.1, 1.0);
    EXPECT_NEAR(ResponseDb(VS_FILTER_BANDPASS, 1000.0f, 0.0f, 1000.0), 0.0, 0.2) << "unity at the centre";
    EXPECT_LT(ResponseDb(VS_FILTER_BANDPASS, 1000.0f, 0.0f, 125.0), -15.0);
    EXPECT_LT(ResponseDb(VS_FILTER_BANDPASS, 1000.0f, 0.0f, 8000.0), -15.0);
}

TEST(VS_FilterTest, ResonanceRaisesAPeakAtTheCutoffAndStaysStable)
{
    const double flat = ResponseDb(VS_FILTER_LOWPASS, 1000.0f, 0.0f, 1000.0);
    const double resonant = ResponseDb(VS_FILTER_LOWPASS, 1000.0f, 0.5f, 1000.0);
    EXPECT_GT(resonant, flat + 15.0) << "resonance 0.5 is a Q of about 13";
    EXPECT_LT(ResponseDb(VS_FILTER_LOWPASS, 1000.0f, 1.0f, 4000.0), -20.0) << "still a low-pass above it";
    // Cut-offs beyond Nyquist are held below it rather than blowing up.
    const double top = ResponseDb(VS_FILTER_LOWPASS, 30000.0f, 0.0f, 1000.0);
    EXPECT_TRUE(std::isfinite(top));
    EXPECT_NEAR(top, 0.0, 0.1);
}
