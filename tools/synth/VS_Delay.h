#pragma once
// Stereo ping-pong delay for the send bus: the input enters the left line, each repeat crosses
// to the other side, and a low-pass in the feedback darkens every repeat.
//
//   VS_Delay delay;
//   delay.Configure(16538, 0.4f, 4000.0f, 44100.0);   // samples, feedback, Hz
//   delay.Process(inLeft, inRight, outLeft, outRight, count);   // adds into out

#include <cstdint>
#include <vector>

class VS_Delay
{
public:
    void Configure(std::int64_t delaySamples, float feedback, float toneHz, double sampleRate);
    void Process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int count);

private:
    std::vector<float> left, right;
    std::size_t position = 0;
    float feedback = 0.0f;
    float toneCoefficient = 1.0f;
    float toneLeft = 0.0f, toneRight = 0.0f;
};
