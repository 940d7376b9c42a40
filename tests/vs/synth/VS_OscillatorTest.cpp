#include "synth/VS_Envelope.h"
#include "synth/VS_Oscillator.h"
#include "synth/VS_Voice.h"

#include "support/SynthTestSupport.h"

#include <algorithm>

namespace
{
constexpr double kRate = 44100.0;

std::vector<float> Oscillate(VS_Waveform wave, double hz, std::size_t samples)
{
    VS_Oscillator oscillator;
    oscillator.Reset(wave, 0.0);
    oscillator.SetFrequency(float(hz / kRate));
    std::vector<float> out(samples);
    for (float& sample : out)
        sample = oscillator.Next();
    return out;
}
} // namespace

TEST(VS_OscillatorTest, FrequencyMeasuredFromZeroCrossingsMatchesTheSetting)
{
    for (double hz : {55.0, 440.0, 1000.0, 5000.0}) {
        const std::vector<float> sine = Oscillate(VS_WAVE_SINE, hz, std::size_t(kRate));
        EXPECT_NEAR(CrossingRate(sine, kRate), hz, 1.5) << "sine at " << hz << " Hz";
        EXPECT_NEAR(RmsOf(sine, 0, sine.size()), std::sqrt(0.5), 0.01) << "sine at " << hz << " Hz";
        EXPECT_NEAR(CrossingRate(Oscillate(VS_WAVE_SQUARE, hz, std::size_t(kRate)), kRate), hz, 1.5) << "square";
        EXPECT_NEAR(CrossingRate(Oscillate(VS_WAVE_TRIANGLE, hz, std::size_t(kRate)), kRate), hz, 1.5) << "triangle";
    }
}

TEST(VS_OscillatorTest, EveryWaveformStaysWithinFullScaleAndHasNoDc)
{
    for (VS_Waveform wave : {VS_WAVE_SAW, VS_WAVE_SQUARE, VS_WAVE_TRIANGLE, VS_WAVE_SINE}) {
        for (double hz : {41.0, 330.0, 3700.0}) {
            const std::vector<float> out = Oscillate(wave, hz, std::size_t(kRate));
            double sum = 0.0;
            float peak = 0.0f;
            for (float sample : out) {
                sum += sample;
                peak = std::max(peak, std::fabs(sample));
            }
            EXPECT_LE(peak, 1.1f) << "wave " << int(wave) << " at " << hz << " Hz";
            EXPECT_GT(peak, 0.8f) << "wave " << int(wave) << " at " << hz << " Hz";
            EXPECT_NEAR(sum / double(out.size()), 0.0, 0.01) << "wave " << int(wave) << " at " << hz << " Hz";
        }
    }
}

TEST(VS_EnvelopeTest, RisesFromZeroHoldsSustainAndFallsExactlyToZero)
{
    VS_Envelope envelope;
    envelope.Start(VS_EnvelopeShape{0.01f, 0.05f, 0.5f, 0.02f}, kRate);
    EXPECT_EQ(envelope.Next(), 0.0f) << "the first sample of a note is silent";
    for (int n = 1; n < 441; ++n)
        envelope.Next();
    EXPECT_NEAR(envelope.Level(), 1.0f, 1e-6f) << "attack peaks after 10 ms";
    for (int n = 0; n < 4410; ++n)
        envelope.Next();
    EXPECT_NEAR(envelope.Level(), 0.5f, 1e-6f) << "sustain level after the decay";
    envelope.Release();
    float previous = envelope.Level();
    int samples = 0;
    while (!envelope.Finished() && samples < 10000) {
        const float value = envelope.Next();
        EXPECT_LE(value, previous + 1e-7f) << "the release never rises";
        previous = value;
        ++samples;
    }
    EXPECT_TRUE(envelope.Finished());
    EXPECT_NEAR(samples, 882, 2) << "the release lasts 20 ms";
    EXPECT_EQ(envelope.Level(), 0.0f);

    // A zero attack still ramps: a click-free note needs some samples to rise.
    envelope.Start(VS_EnvelopeShape{0.0f, 0.1f, 1.0f, 0.0f}, kRate);
    EXPECT_EQ(envelope.Next(), 0.0f);
    EXPECT_LT(envelope.Next(), 0.1f);
}

TEST(VS_VoiceTest, EnvelopedNoteStartsAndEndsAtZero)
{
    VS_Instrument instrument;
    instrument.osc1 = VS_WAVE_SAW;
    instrument.unison = 3;
    instrument.filter = VS_FILTER_LOWPASS;
    instrument.cutoff = 3000.0f;
    instrument.amp = VS_EnvelopeShape{0.0f, 0.1f, 0.8f, 0.03f}; // the shortest attack allowed

    VS_Voice voice;
    const std::int64_t length = 4410;
    voice.Start(instrument, 57.0f, 1.0f, length, 7u, kRate);
    std::vector<float> left(20000, 0.0f), right(20000, 0.0f);
    VS_VoiceControl control;
    control.cutoff = instrument.cutoff;
    int rendered = 0;
    bool sounding = true;
    while (sounding && rendered < int(left.size())) {
        const int count = std::min(256, int(left.size()) - rendered);
        sounding = voice.Render(left.data() + rendered, right.data() + rendered, count, control);
        rendered += count;
    }
    ASSERT_FALSE(sounding) << "the voice ends after its release";
    EXPECT_EQ(left[0], 0.0f);
    EXPECT_EQ(right[0], 0.0f);
    EXPECT_LT(std::fabs(left[1]), 0.01f) << "the attack starts from silence";

    std::size_t last = 0;
    for (std::size_t n = 0; n < left.size(); ++n)
        if (left[n] != 0.0f || right[n] != 0.0f)
            last = n;
    const std::size_t releaseEnd = std::size_t(length + 0.03 * kRate);
    EXPECT_NEAR(double(last), double(releaseEnd), 3.0) << "silent from the end of the release on";
    EXPECT_LT(RmsOf(left, last - 20, last + 1), 0.002) << "the last samples fade into zero";
    EXPECT_GT(RmsOf(left, 1000, std::size_t(length)), 0.1) << "the note itself sounds";
}
