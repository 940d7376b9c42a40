#include "synth/VS_Loudness.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace
{
constexpr double kPi = 3.14159265358979323846;
constexpr int kOversampling = 4;
constexpr int kHalfTaps = 6; // interpolation reads 12 input samples around each point

struct Biquad
{
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double z1 = 0, z2 = 0;
    double Process(double x)
    {
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

// The K-weighting stages from their analogue prototypes, so any sample rate gets the curve the
// standard tabulates for 48 kHz.
Biquad HeadShelf(double sampleRate)
{
    const double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
    const double k = std::tan(kPi * f0 / sampleRate);
    const double vh = std::pow(10.0, gainDb / 20.0);
    const double vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1.0 + k / q + k * k;
    Biquad stage;
    stage.b0 = (vh + vb * k / q + k * k) / a0;
    stage.b1 = 2.0 * (k * k - vh) / a0;
    stage.b2 = (vh - vb * k / q + k * k) / a0;
    stage.a1 = 2.0 * (k * k - 1.0) / a0;
    stage.a2 = (1.0 - k / q + k * k) / a0;
    return stage;
}

Biquad EarHighPass(double sampleRate)
{
    const double f0 = 38.13547087602444, q = 0.5003270373238773;
    const double k = std::tan(kPi * f0 / sampleRate);
    const double a0 = 1.0 + k / q + k * k;
    Biquad stage;
    stage.b0 = 1.0;
    stage.b1 = -2.0;
    stage.b2 = 1.0;
    stage.a1 = 2.0 * (k * k - 1.0) / a0;
    stage.a2 = (1.0 - k / q + k * k) / a0;
    return stage;
}

double BlockLoudness(double meanSquare)
{
    return meanSquare > 0.0 ? -0.691 + 10.0 * std::log10(meanSquare) : VS_Loudness::kSilence;
}

// Windowed-sinc taps for the points 1/4, 2/4 and 3/4 of the way from sample n - 1 to n.
using PhaseTaps = std::array<std::array<float, 2 * kHalfTaps>, kOversampling - 1>;
static_assert(kOversampling == 4, "ChannelPeakAt sums three phases by hand");
const PhaseTaps& InterpolationTaps()
{
    static const PhaseTaps taps = [] {
        PhaseTaps table{};
        for (int phase = 1; phase < kOversampling; ++phase) {
            const double fraction = double(phase) / kOversampling;
            double sum = 0.0;
            for (int i = 0; i < 2 * kHalfTaps; ++i) {
                // Input sample n - 1 - (kHalfTaps - 1) + i sits at distance x from the point.
                const double x = double(i - (kHalfTaps - 1)) - fraction;
                const double sinc = std::fabs(x) < 1e-12 ? 1.0 : std::sin(kPi * x) / (kPi * x);
                const double window = 0.5 + 0.5 * std::cos(kPi * x / (kHalfTaps + 0.5));
                table[std::size_t(phase - 1)][std::size_t(i)] = float(sinc * window);
                sum += sinc * window;
            }
            // Unity gain at DC, so a constant reads as itself.
            for (float& tap : table[std::size_t(phase - 1)])
                tap = float(tap / sum);
        }
        return table;
    }();
    return taps;
}

float ChannelPeakAt(const float* samples, std::size_t frames, std::size_t n, const PhaseTaps& taps)
{
    const float sample = std::fabs(samples[n]);
    if (n < kHalfTaps || n + kHalfTaps > frames)
        return sample; // the first and last few samples are compared as they are
    const float* window = samples + (n - kHalfTaps); // samples n-6 .. n+5; n-1 is index 5
    // The three phases in one pass over the window: independent sums the processor overlaps.
    float first = 0.0f, second = 0.0f, third = 0.0f;
    for (int i = 0; i < 2 * kHalfTaps; ++i) {
        const float value = window[i];
        first += value * taps[0][std::size_t(i)];
        second += value * taps[1][std::size_t(i)];
        third += value * taps[2][std::size_t(i)];
    }
    return std::max({sample, std::fabs(first), std::fabs(second), std::fabs(third)});
}
} // namespace

double VS_Loudness::Integrated(const float* left, const float* right, std::size_t frames, double sampleRate)
{
    // Mean squares of 100 ms segments; a 400 ms block is four consecutive segments.
    const std::size_t segment = std::size_t(std::llround(sampleRate * 0.1));
    std::vector<double> segmentEnergy(frames / segment, 0.0);
    const float* channels[2] = {left, right};
    for (const float* channel : channels) {
        Biquad shelf = HeadShelf(sampleRate);
        Biquad highPass = EarHighPass(sampleRate);
        for (std::size_t n = 0; n < segmentEnergy.size() * segment; ++n) {
            const double weighted = highPass.Process(shelf.Process(double(channel[n])));
            segmentEnergy[n / segment] += weighted * weighted;
        }
    }
    if (segmentEnergy.size() < 4)
        return kSilence;
    std::vector<double> blocks;
    for (std::size_t i = 0; i + 4 <= segmentEnergy.size(); ++i)
        blocks.push_back((segmentEnergy[i] + segmentEnergy[i + 1] + segmentEnergy[i + 2] + segmentEnergy[i + 3]) /
                         double(4 * segment));

    auto gatedMean = [&blocks](double threshold) {
        double sum = 0.0;
        std::size_t count = 0;
        for (double block : blocks)
            if (BlockLoudness(block) > threshold) {
                sum += block;
                ++count;
            }
        return count ? sum / double(count) : 0.0;
    };
    const double absoluteGated = gatedMean(-70.0);
    if (absoluteGated <= 0.0)
        return kSilence;
    const double relativeGate = BlockLoudness(absoluteGated) - 10.0;
    return BlockLoudness(gatedMean(std::max(relativeGate, -70.0)));
}

void VS_Loudness::TruePeakEnvelope(const float* left, const float* right, std::size_t frames, std::vector<float>& envelope)
{
    const PhaseTaps& taps = InterpolationTaps();
    envelope.resize(frames);
    for (std::size_t n = 0; n < frames; ++n)
        envelope[n] = std::max(ChannelPeakAt(left, frames, n, taps), ChannelPeakAt(right, frames, n, taps));
}

double VS_Loudness::TruePeak(const float* left, const float* right, std::size_t frames)
{
    const PhaseTaps& taps = InterpolationTaps();
    // An interpolated point is at most tapBound times the largest sample of its window, so a
    // stretch whose samples are all below peak / tapBound cannot raise the peak: only the loud
    // stretches are interpolated, and the result is the same as interpolating everywhere.
    float tapBound = 0.0f;
    for (const auto& phase : taps) {
        float sum = 0.0f;
        for (float tap : phase)
            sum += std::fabs(tap);
        tapBound = std::max(tapBound, sum);
    }
    float peak = 0.0f;
    for (std::size_t n = 0; n < frames; ++n)
        peak = std::max({peak, std::fabs(left[n]), std::fabs(right[n])});

    constexpr std::size_t kStretch = 256;
    for (std::size_t first = 0; first < frames; first += kStretch) {
        const std::size_t end = std::min(frames, first + kStretch);
        const std::size_t windowFirst = first >= kHalfTaps ? first - kHalfTaps : 0;
        const std::size_t windowEnd = std::min(frames, end + kHalfTaps);
        float loudest = 0.0f;
        for (std::size_t n = windowFirst; n < windowEnd; ++n)
            loudest = std::max({loudest, std::fabs(left[n]), std::fabs(right[n])});
        if (loudest * tapBound <= peak)
            continue;
        for (std::size_t n = first; n < end; ++n)
            peak = std::max({peak, ChannelPeakAt(left, frames, n, taps), ChannelPeakAt(right, frames, n, taps)});
    }
    return peak;
}

double VS_Loudness::GainToDecibels(double gain)
{
    return gain > 0.0 ? 20.0 * std::log10(gain) : kSilence;
}
