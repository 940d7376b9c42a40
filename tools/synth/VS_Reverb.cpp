#include "synth/VS_Reverb.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kPi = 3.14159265358979323846;
// Mutually prime lengths (samples at 44.1 kHz) spread over 23-62 ms, so echoes of different
// lines rarely coincide and the tail stays smooth.
constexpr int kLineLengths[VS_Reverb::kLines] = {1031, 1327, 1523, 1777, 1987, 2213, 2437, 2719};
constexpr int kDiffuserLengths[VS_Reverb::kDiffusers] = {113, 211, 337, 409};
constexpr float kDiffusion = 0.62f;

// In-place 8-point Walsh-Hadamard transform, scaled to stay energy-preserving.
void Hadamard(float (&values)[VS_Reverb::kLines])
{
    for (int span = 1; span < VS_Reverb::kLines; span *= 2)
        for (int i = 0; i < VS_Reverb::kLines; i += 2 * span)
            for (int j = i; j < i + span; ++j) {
                const float a = values[j];
                const float b = values[j + span];
                values[j] = a + b;
                values[j + span] = a - b;
            }
    for (float& value : values)
        value *= 0.35355339f; // 1 / sqrt(8)
}
} // namespace

void VS_Reverb::Configure(float decaySeconds, float toneHz, float predelaySeconds, double sampleRate)
{
    const double scale = sampleRate / 44100.0;
    for (int i = 0; i < kLines; ++i) {
        const std::size_t length = std::size_t(std::max(1.0, std::round(kLineLengths[i] * scale)));
        lines[i].buffer.assign(length, 0.0f);
        lines[i].position = 0;
        lines[i].damped = 0.0f;
        // -60 dB after decaySeconds: each pass through a line of L samples loses 60 L / (rate T) dB.
        lines[i].gain = float(std::pow(10.0, -3.0 * double(length) / (sampleRate * double(decaySeconds))));
    }
    for (int i = 0; i < kDiffusers; ++i) {
        diffusers[i].buffer.assign(std::size_t(std::max(1.0, std::round(kDiffuserLengths[i] * scale))), 0.0f);
        diffusers[i].position = 0;
    }
    predelay.assign(std::size_t(std::max(1.0, std::round(double(predelaySeconds) * sampleRate))), 0.0f);
    predelayPosition = 0;
    damping = float(1.0 - std::exp(-2.0 * kPi * double(toneHz) / sampleRate));
    // The reverb's input loses its lowest octaves: a booming tail muddies the bass.
    lowCutCoefficient = float(1.0 - std::exp(-2.0 * kPi * 180.0 / sampleRate));
    lowCutState = 0.0f;
}

float VS_Reverb::Diffuse(Diffuser& diffuser, float input)
{
    const float delayed = diffuser.buffer[diffuser.position];
    const float written = input + kDiffusion * delayed;
    diffuser.buffer[diffuser.position] = written;
    if (++diffuser.position == diffuser.buffer.size())
        diffuser.position = 0;
    return delayed - kDiffusion * written;
}

void VS_Reverb::Process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int count)
{
    for (int n = 0; n < count; ++n) {
        const float mono = 0.5f * (inLeft[n] + inRight[n]);
        lowCutState += lowCutCoefficient * (mono - lowCutState);
        float input = predelay[predelayPosition];
        predelay[predelayPosition] = mono - lowCutState;
        if (++predelayPosition == predelay.size())
            predelayPosition = 0;
        for (Diffuser& diffuser : diffusers)
            input = Diffuse(diffuser, input);

        float outputs[kLines];
        for (int i = 0; i < kLines; ++i) {
            Line& line = lines[i];
            line.damped += damping * (line.buffer[line.position] - line.damped);
            outputs[i] = line.damped;
        }
        outLeft[n] += 0.5f * (outputs[0] - outputs[2] + outputs[4] - outputs[6]);
        outRight[n] += 0.5f * (outputs[1] - outputs[3] + outputs[5] - outputs[7]);

        Hadamard(outputs);
        for (int i = 0; i < kLines; ++i) {
            Line& line = lines[i];
            // Alternating signs feed the input into the lines decorrelated.
            line.buffer[line.position] = outputs[i] * line.gain + ((i & 1) ? -input : input);
            if (++line.position == line.buffer.size())
                line.position = 0;
        }
    }
}
