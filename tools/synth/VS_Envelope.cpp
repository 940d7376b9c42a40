#include "synth/VS_Envelope.h"

#include <algorithm>
#include <cmath>

namespace
{
std::int64_t Samples(float seconds, float floor, double sampleRate)
{
    return std::max<std::int64_t>(1, std::llround(double(std::max(seconds, floor)) * sampleRate));
}

// 1 at the start of a falling stage to 0 at its end, bending like an exponential but landing
// exactly on 0 (the caller snaps the last sample to its target).
float FallCurve(std::int64_t position, float inverseLength)
{
    const float remaining = 1.0f - float(position) * inverseLength;
    return remaining * remaining * remaining;
}
} // namespace

void VS_Envelope::Start(const VS_EnvelopeShape& shape, double sampleRate)
{
    stage = Stage::Attack;
    level = 0.0f;
    position = 0;
    sustain = shape.sustain;
    attackSamples = Samples(shape.attack, kMinAttack, sampleRate);
    decaySamples = Samples(shape.decay, 0.0f, sampleRate);
    releaseSamples = Samples(shape.release, kMinRelease, sampleRate);
    inverseAttack = 1.0f / float(attackSamples);
    inverseDecay = 1.0f / float(decaySamples);
    inverseRelease = 1.0f / float(releaseSamples);
}

void VS_Envelope::Release()
{
    if (stage == Stage::Release || stage == Stage::Done)
        return;
    stage = Stage::Release;
    releaseFrom = level;
    position = 0;
}

float VS_Envelope::Next()
{
    // The value returned is the level at the start of the sample: the first sample of a note is 0.
    const float value = level;
    switch (stage) {
    case Stage::Attack:
        level = float(++position) * inverseAttack;
        if (position >= attackSamples) {
            level = 1.0f;
            stage = Stage::Decay;
            position = 0;
        }
        break;
    case Stage::Decay:
        level = sustain + (1.0f - sustain) * FallCurve(++position, inverseDecay);
        if (position >= decaySamples) {
            level = sustain;
            // A percussive shape has nothing left to release.
            stage = sustain > 0.0f ? Stage::Sustain : Stage::Done;
        }
        break;
    case Stage::Sustain:
        break;
    case Stage::Release:
        level = releaseFrom * FallCurve(++position, inverseRelease);
        if (position >= releaseSamples) {
            level = 0.0f;
            stage = Stage::Done;
        }
        break;
    case Stage::Done:
        level = 0.0f;
        break;
    }
    return value;
}
