#include "synth/VS_Oscillator.h"

#include <cmath>

namespace
{
constexpr double kTwoPi = 6.28318530717958647692;

// The band-limiting correction for a unit step at phase 0, two samples wide.
float PolyBlep(float t, float dt)
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

float Saw(float t, float dt)
{
    return 2.0f * t - 1.0f - PolyBlep(t, dt);
}

float Pulse(float t, float dt, float width)
{
    float shifted = t + (1.0f - width);
    if (shifted >= 1.0f)
        shifted -= 1.0f;
    float value = t < width ? 1.0f : -1.0f;
    value += PolyBlep(t, dt) - PolyBlep(shifted, dt);
    return value;
}
} // namespace

float VS_Oscillator::Next()
{
    const float t = float(phase);
    const float dt = increment;
    float value = 0.0f;
    switch (waveform) {
    case VS_WAVE_SAW: value = Saw(t, dt); break;
    case VS_WAVE_SQUARE: value = Pulse(t, dt, pulseWidth); break;
    case VS_WAVE_TRIANGLE: value = t < 0.5f ? 4.0f * t - 1.0f : 3.0f - 4.0f * t; break;
    case VS_WAVE_SINE: value = float(std::sin(kTwoPi * phase)); break;
    case VS_WAVE_NONE:
    case VS_WAVE_NOISE:
    case VS_WAVE_COUNT: value = 0.0f; break;
    }
    phase += dt;
    if (phase >= 1.0)
        phase -= 1.0;
    return value;
}
