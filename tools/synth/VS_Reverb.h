#pragma once
// Reverb for the send bus: a pre-delay, four all-pass diffusers that smear the input into a
// dense wash, and a feedback-delay network of eight lines mixed by an orthogonal (Hadamard)
// matrix. Each line's feedback gain is set from its length so that all of them fall by 60 dB
// in the same time; a one-pole low-pass in each line makes high frequencies die sooner.
//
//   VS_Reverb reverb;
//   reverb.Configure(3.0f, 6000.0f, 0.02f, 44100.0);   // seconds to -60 dB, damping Hz, pre-delay
//   reverb.Process(inLeft, inRight, outLeft, outRight, count);   // adds into out

#include <vector>

class VS_Reverb
{
public:
    static constexpr int kLines = 8;
    static constexpr int kDiffusers = 4;

    void Configure(float decaySeconds, float toneHz, float predelaySeconds, double sampleRate);
    void Process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int count);

private:
    struct Line
    {
        std::vector<float> buffer;
        std::size_t position = 0;
        float gain = 0.0f;
        float damped = 0.0f;
    };
    struct Diffuser
    {
        std::vector<float> buffer;
        std::size_t position = 0;
    };

    float Diffuse(Diffuser& diffuser, float input);

    Line lines[kLines];
    Diffuser diffusers[kDiffusers];
    std::vector<float> predelay;
    std::size_t predelayPosition = 0;
    float damping = 1.0f;
    float lowCutState = 0.0f;
    float lowCutCoefficient = 0.0f;
};
