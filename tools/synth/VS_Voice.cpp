#include "synth/VS_Voice.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kTwoPi = 6.28318530717958647692;

float NoteHz(float note)
{
    return 440.0f * std::exp2((note - 69.0f) / 12.0f);
}

// Soft saturation that is linear near 0 and bends smoothly to +-1 at |x| = 3.
float Saturate(float x)
{
    x = std::clamp(x, -3.0f, 3.0f);
    return x * (27.0f + x * x) / (27.0f + 9.0f * x * x);
}
} // namespace

void VS_Voice::Start(const VS_Instrument& source, float midiNote, float velocity, std::int64_t lengthSamples,
                     std::uint32_t seed, double rate)
{
    instrument = &source;
    sampleRate = rate;
    note = midiNote;
    age = 0;
    releaseAt = std::max<std::int64_t>(1, lengthSamples);
    gain = 1.0f - source.velocitySense * (1.0f - velocity);
    noise = VS_Noise(seed);
    unison = std::clamp(source.unison, 1, kMaxUnison);
    stereo = unison > 1 && source.unisonWidth > 0.0f;

    // One copy keeps phase 0, so a sine kick starts its transient exactly at the onset; copies
    // of a unison stack start at scattered phases so they do not sum into one loud spike.
    for (int i = 0; i < unison; ++i) {
        const float spread = unison > 1 ? float(i) / float(unison - 1) - 0.5f : 0.0f;
        detuneRatio[i] = std::exp2(spread * source.unisonDetune / 1200.0f);
        const float position = 2.0f * spread * source.unisonWidth;
        const float angle = (position + 1.0f) * 0.25f * float(kTwoPi) * 0.5f;
        panLeft[i] = stereo ? std::cos(angle) : 1.0f;
        panRight[i] = stereo ? std::sin(angle) : 1.0f;
        const double phase1 = unison > 1 ? 0.5 * (noise.Next() + 1.0f) : 0.0;
        const double phase2 = unison > 1 ? 0.5 * (noise.Next() + 1.0f) : 0.0;
        osc1[i].Reset(source.osc1, phase1);
        osc2[i].Reset(source.osc2, phase2);
        osc1[i].SetPulseWidth(source.pulseWidth);
        osc2[i].SetPulseWidth(source.pulseWidth);
    }
    sub.Reset(VS_WAVE_SINE, 0.0);
    const float stackLevel = 1.0f / std::sqrt(float(unison));
    osc1Gain = source.osc1 == VS_WAVE_NOISE ? 0.0f : source.osc1Level * stackLevel;
    osc2Gain = (source.osc2 == VS_WAVE_NONE || source.osc2 == VS_WAVE_NOISE) ? 0.0f : source.osc2Level * stackLevel;
    // A noise "oscillator" is the noise source at that oscillator's level.
    noiseGain = source.noiseLevel + (source.osc1 == VS_WAVE_NOISE ? source.osc1Level : 0.0f) +
                (source.osc2 == VS_WAVE_NOISE ? source.osc2Level : 0.0f);
    noiseFall = source.noiseDecay > 0.0f ? float(std::exp(-1.0 / (double(source.noiseDecay) * rate))) : 1.0f;
    drive = source.drive;

    amp.Start(source.amp, rate);
    VS_EnvelopeShape filterShape = source.filterShape;
    filterShape.release = source.amp.release;
    filterEnvelope.Start(filterShape, rate);
    filterLeft.Reset();
    filterRight.Reset();
    filterLeft.SetMode(source.filter);
    filterRight.SetMode(source.filter);
    untilControl = 0;
}

void VS_Voice::UpdateControls(const VS_VoiceControl& control, double secondsIntoBlock)
{
    const VS_Instrument& source = *instrument;
    const double seconds = double(age) / sampleRate;
    float semitones = 0.0f;
    if (source.pitchEnvelope != 0.0f)
        semitones += source.pitchEnvelope * float(std::exp(-seconds / double(source.pitchDecay)));
    if (source.vibratoDepth > 0.0f)
        semitones += source.vibratoDepth / 100.0f * float(std::sin(kTwoPi * source.vibratoRate * seconds));
    const float baseCycles = NoteHz(note + semitones) / float(sampleRate);
    const float intervalRatio = std::exp2(source.osc2Semitones / 12.0f);
    // Partials above Nyquist would alias: such an oscillator is held silent.
    auto cycles = [](float value) { return value < 0.45f ? value : 0.0f; };
    for (int i = 0; i < unison; ++i) {
        osc1[i].SetFrequency(cycles(baseCycles * detuneRatio[i]));
        osc2[i].SetFrequency(cycles(baseCycles * detuneRatio[i] * intervalRatio));
    }
    sub.SetFrequency(cycles(baseCycles * 0.5f));

    if (source.filter != VS_FILTER_NONE) {
        float octaves = source.keyTrack * (note - 60.0f) / 12.0f + source.filterEnvelope * filterEnvelope.Level();
        if (source.lfoCutoff > 0.0f)
            octaves += source.lfoCutoff *
                       float(std::sin(kTwoPi * source.lfoRate * (control.songSeconds + secondsIntoBlock)));
        const float hz = control.cutoff * std::exp2(octaves);
        filterLeft.SetCutoff(hz, control.resonance, sampleRate);
        if (stereo)
            filterRight.SetCutoff(hz, control.resonance, sampleRate);
    }
}

float VS_Voice::NextMono()
{
    float value = osc1[0].Next() * osc1Gain;
    if (osc2Gain > 0.0f)
        value += osc2[0].Next() * osc2Gain;
    for (int i = 1; i < unison; ++i) {
        value += osc1[i].Next() * osc1Gain;
        if (osc2Gain > 0.0f)
            value += osc2[i].Next() * osc2Gain;
    }
    return value;
}

void VS_Voice::NextStereo(float& left, float& right)
{
    left = right = 0.0f;
    for (int i = 0; i < unison; ++i) {
        float value = osc1[i].Next() * osc1Gain;
        if (osc2Gain > 0.0f)
            value += osc2[i].Next() * osc2Gain;
        left += value * panLeft[i];
        right += value * panRight[i];
    }
}

bool VS_Voice::Render(float* left, float* right, int count, const VS_VoiceControl& control)
{
    const VS_Instrument& source = *instrument;
    const bool filtered = source.filter != VS_FILTER_NONE;
    const float driveGain = 1.0f + drive;
    // Make-up gain that gives a signal of amplitude 0.5 its level back after the saturation.
    const float driveMakeUp = drive > 0.0f ? 0.5f / Saturate(std::min(driveGain, 3.0f) * 0.5f) : 1.0f;
    for (int n = 0; n < count; ++n) {
        if (amp.Finished())
            return false;
        if (untilControl-- <= 0) {
            UpdateControls(control, double(n) / sampleRate);
            untilControl = kControlInterval - 1;
        }
        if (age++ == releaseAt) {
            amp.Release();
            filterEnvelope.Release();
        }
        // The filter envelope's level is read only when it moves the cut-off.
        if (source.filterEnvelope != 0.0f)
            filterEnvelope.Next();

        float shared = 0.0f;
        if (source.subLevel > 0.0f)
            shared += sub.Next() * source.subLevel;
        if (noiseGain > 0.0f) {
            shared += noise.Next() * noiseGain;
            noiseGain *= noiseFall;
        }
        float l = 0.0f, r = 0.0f;
        if (stereo) {
            NextStereo(l, r);
            l += shared * 0.70710678f;
            r += shared * 0.70710678f;
        } else {
            l = NextMono() + shared;
        }
        if (drive > 0.0f) {
            l = Saturate(l * driveGain) * driveMakeUp;
            if (stereo)
                r = Saturate(r * driveGain) * driveMakeUp;
        }
        if (filtered) {
            l = filterLeft.Process(l);
            if (stereo)
                r = filterRight.Process(r);
        }
        const float level = amp.Next() * gain;
        if (stereo) {
            left[n] += l * level;
            right[n] += r * level;
        } else {
            // A mono voice sits in the centre at equal power.
            left[n] += l * level * 0.70710678f;
            right[n] += l * level * 0.70710678f;
        }
    }
    return !amp.Finished();
}
