#pragma once
// Attack-decay-sustain-release envelope, advanced one sample at a time. The attack rises from
// exactly 0 and the release falls to exactly 0 at its end, with a floor on both times, so
// every note starts and ends silent and nothing clicks.
//
//   VS_Envelope env;
//   env.Start(shape, sampleRate);
//   ... env.Next() ...          // 0-1
//   env.Release();              // at the note's end
//   if (env.Finished()) ...     // after the release has reached 0

#include "synth/VS_Score.h"

class VS_Envelope
{
public:
    static constexpr float kMinAttack = 0.0005f;  // seconds
    static constexpr float kMinRelease = 0.004f;  // seconds

    void Start(const VS_EnvelopeShape& shape, double sampleRate);
    void Release();
    float Next();
    bool Finished() const { return stage == Stage::Done; }
    float Level() const { return level; }

private:
    enum class Stage
    {
        Attack,
        Decay,
        Sustain,
        Release,
        Done,
    };
    Stage stage = Stage::Done;
    float level = 0.0f;
    float sustain = 1.0f;
    float releaseFrom = 0.0f;
    std::int64_t position = 0; // samples into the current stage
    std::int64_t attackSamples = 1;
    std::int64_t decaySamples = 1;
    std::int64_t releaseSamples = 1;
    // Reciprocals of the stage lengths: a multiply a sample instead of a divide.
    float inverseAttack = 1.0f, inverseDecay = 1.0f, inverseRelease = 1.0f;
};
