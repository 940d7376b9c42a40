#pragma once
// One band-limited oscillator: a phase accumulator whose saw and pulse edges are smoothed with a
// polynomial step correction, so high notes do not fold back into audible aliases.
//
//   VS_Oscillator osc;
//   osc.Reset(VS_WAVE_SAW, 0.0);          // phase 0-1
//   osc.SetFrequency(220.0f / 44100.0f);  // cycles a sample
//   float sample = osc.Next();            // -1 to 1
//
// Noise is not made here (see VS_Noise): an oscillator holds no random state.

#include "synth/VS_Score.h"

#include <cmath>

class VS_Oscillator
{
public:
    void Reset(VS_Waveform wave, double startPhase)
    {
        waveform = wave;
        phase = startPhase - double(long(startPhase));
    }
    // Cycles a sample; kept below 0.5 by the caller (a note above Nyquist is silenced).
    void SetFrequency(float cyclesPerSample) { increment = cyclesPerSample; }
    void SetPulseWidth(float width) { pulseWidth = width; }
    float Next();

private:
    VS_Waveform waveform = VS_WAVE_SINE;
    double phase = 0.0;
    float increment = 0.0f;
    float pulseWidth = 0.5f;
};

// Defined here so that a voice's per-sample loop can inline it.
namespace VS_OscillatorShapes
{
inline constexpr double kTwoPi = 6.28318530717958647692;

// The band-limiting correction for a unit step at phase 0, two samples wide.
inline float PolyBlep(float t, float dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

inline float Saw(float t, float dt)
{
    return 2.0f * t - 1.0f - PolyBlep(t, dt);
}

inline float Pulse(float t, float dt, float width)
{
    float shifted = t + (1.0f - width);
    if (shifted >= 1.0f)
        shifted -= 1.0f;
    float value = t < width ? 1.0f : -1.0f;
    value += PolyBlep(t, dt) - PolyBlep(shifted, dt);
    return value;
}
} // namespace VS_OscillatorShapes

[[gnu::always_inline]] inline float VS_Oscillator::Next()
{
    const float t = float(phase);
    const float dt = increment;
    float value = 0.0f;
    switch (waveform) {
    case VS_WAVE_SAW: value = VS_OscillatorShapes::Saw(t, dt); break;
    case VS_WAVE_SQUARE: value = VS_OscillatorShapes::Pulse(t, dt, pulseWidth); break;
    case VS_WAVE_TRIANGLE: value = t < 0.5f ? 4.0f * t - 1.0f : 3.0f - 4.0f * t; break;
    case VS_WAVE_SINE: value = float(std::sin(VS_OscillatorShapes::kTwoPi * phase)); break;
    case VS_WAVE_NONE:
    case VS_WAVE_NOISE:
    case VS_WAVE_COUNT: value = 0.0f; break;
    }
    phase += dt;
    if (phase >= 1.0)
        phase -= 1.0;
    return value;
}
