#pragma once
// One sounding note of an instrument: unison oscillators, sub, noise, drive, the filter with
// its envelope and LFO, and the amplitude envelope. A voice adds into a stereo block; the
// instrument's volume, pan and sends are applied to the sum of its voices (VS_Renderer).
//
//   VS_Voice voice;
//   voice.Start(instrument, note, velocity, lengthSamples, seed, sampleRate);
//   while (voice.Render(left, right, count, control)) ...   // false once silent for good

#include "synth/VS_Envelope.h"
#include "synth/VS_Filter.h"
#include "synth/VS_Noise.h"
#include "synth/VS_Oscillator.h"
#include "synth/VS_Score.h"

#include <cstdint>

// What the arrangement decides for the block being rendered (swept values included).
struct VS_VoiceControl
{
    float cutoff = 20000.0f;
    float resonance = 0.0f;
    double songSeconds = 0.0; // song time at the block's first sample, for the phase-locked LFO
};

class VS_Voice
{
public:
    static constexpr int kMaxUnison = 8;
    static constexpr int kControlInterval = 32; // samples between pitch and cut-off updates

    // note is a MIDI number (69 = 440 Hz), velocity 0-1; the release starts lengthSamples in.
    void Start(const VS_Instrument& instrument, float note, float velocity, std::int64_t lengthSamples,
               std::uint32_t seed, double sampleRate);
    // Adds count samples into left and right. Returns false when the voice has finished (its
    // last samples are in the block).
    bool Render(float* left, float* right, int count, const VS_VoiceControl& control);
    bool Finished() const { return amp.Finished(); }

private:
    void UpdateControls(const VS_VoiceControl& control, double secondsIntoBlock);
    float NextMono();
    void NextStereo(float& left, float& right);

    const VS_Instrument* instrument = nullptr;
    double sampleRate = 44100.0;
    float note = 60.0f;
    float gain = 1.0f;
    std::int64_t age = 0;          // samples since the onset
    std::int64_t releaseAt = 0;
    int unison = 1;
    bool stereo = false;

    VS_Oscillator osc1[kMaxUnison];
    VS_Oscillator osc2[kMaxUnison];
    VS_Oscillator sub;
    float detuneRatio[kMaxUnison] = {};
    float panLeft[kMaxUnison] = {};
    float panRight[kMaxUnison] = {};
    float osc1Gain = 0.0f, osc2Gain = 0.0f;

    VS_Noise noise;
    float noiseGain = 0.0f;
    float noiseFall = 1.0f;

    VS_Envelope amp;
    VS_Envelope filterEnvelope;
    VS_Filter filterLeft;
    VS_Filter filterRight;
    float drive = 0.0f;
    int untilControl = 0;
};
