#include "synth/VS_Delay.h"

#include <algorithm>
#include <cmath>

void VS_Delay::Configure(std::int64_t delaySamples, float feedbackGain, float toneHz, double sampleRate)
{
    const std::size_t length = std::size_t(std::clamp<std::int64_t>(delaySamples, 1, std::int64_t(sampleRate * 4.0)));
    left.assign(length, 0.0f);
    right.assign(length, 0.0f);
    position = 0;
    feedback = feedbackGain;
    toneCoefficient = float(1.0 - std::exp(-2.0 * 3.14159265358979323846 * double(toneHz) / sampleRate));
    toneLeft = toneRight = 0.0f;
}

void VS_Delay::Process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int count)
{
    const std::size_t length = left.size();
    for (int n = 0; n < count; ++n) {
        const float delayedLeft = left[position];
        const float delayedRight = right[position];
        outLeft[n] += delayedLeft;
        outRight[n] += delayedRight;
        toneLeft += toneCoefficient * (delayedLeft - toneLeft);
        toneRight += toneCoefficient * (delayedRight - toneRight);
        left[position] = 0.5f * (inLeft[n] + inRight[n]) + feedback * toneRight;
        right[position] = feedback * toneLeft;
        if (++position == length)
            position = 0;
    }
}
