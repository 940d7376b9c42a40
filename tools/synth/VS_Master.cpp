#include "synth/VS_Master.h"

#include "synth/VS_Loudness.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

namespace
{
constexpr double kPi = 3.14159265358979323846;
constexpr double kLookAheadSeconds = 0.0015;
constexpr double kReleaseSeconds = 0.08;
constexpr double kDcCutHz = 8.0;
constexpr int kGainPasses = 8;
constexpr double kLoudnessTolerance = 0.05; // LU

void RemoveDc(std::vector<float>& channel, double sampleRate)
{
    // One-pole high-pass: y[n] = a (y[n-1] + x[n] - x[n-1]).
    const double a = 1.0 / (1.0 + 2.0 * kPi * kDcCutHz / sampleRate);
    double previousIn = 0.0, previousOut = 0.0;
    for (float& sample : channel) {
        const double out = a * (previousOut + double(sample) - previousIn);
        previousIn = sample;
        previousOut = out;
        sample = float(out);
    }
}

void FadeOut(std::vector<float>& channel, std::size_t fadeFrames)
{
    fadeFrames = std::min(fadeFrames, channel.size());
    const std::size_t first = channel.size() - fadeFrames;
    for (std::size_t i = 0; i < fadeFrames; ++i) {
        const double progress = double(i + 1) / double(fadeFrames);
        channel[first + i] *= float(0.5 + 0.5 * std::cos(kPi * progress));
    }
}

// Minimum of values over [n - radius, n + radius] for every n (a monotonic queue: O(n)).
void WindowMinimum(const std::vector<float>& values, std::size_t radius, std::vector<float>& result)
{
    result.resize(values.size());
    std::deque<std::size_t> candidates;
    const std::size_t count = values.size();
    for (std::size_t i = 0; i < count + radius; ++i) {
        if (i < count) {
            while (!candidates.empty() && values[candidates.back()] >= values[i])
                candidates.pop_back();
            candidates.push_back(i);
        }
        if (i >= radius) {
            const std::size_t centre = i - radius;
            while (candidates.front() + radius < centre)
                candidates.pop_front();
            result[centre] = values[candidates.front()];
        }
    }
}

// Average over [n - radius, n + radius], the window clipped at the ends (a running sum).
void WindowAverage(const std::vector<float>& values, std::size_t radius, std::vector<float>& result)
{
    const std::size_t count = values.size();
    result.resize(count);
    double sum = 0.0;
    std::size_t low = 0, high = 0; // the window is [low, high)
    for (std::size_t n = 0; n < count; ++n) {
        const std::size_t wantHigh = std::min(count, n + radius + 1);
        const std::size_t wantLow = n >= radius ? n - radius : 0;
        for (; high < wantHigh; ++high)
            sum += values[high];
        for (; low < wantLow; ++low)
            sum -= values[low];
        result[n] = float(sum / double(high - low));
    }
}

double ChannelMean(const std::vector<float>& channel)
{
    double sum = 0.0;
    for (float sample : channel)
        sum += sample;
    return channel.empty() ? 0.0 : sum / double(channel.size());
}
} // namespace

float VS_Master::Limit(const VS_StereoBuffer& source, const std::vector<float>& peaks, float gain, float ceiling,
                       double sampleRate, VS_StereoBuffer& out, VS_LimiterWork& work)
{
    const std::size_t frames = source.Frames();
    work.wanted.resize(frames);
    for (std::size_t n = 0; n < frames; ++n) {
        const float peak = peaks[n] * gain;
        work.wanted[n] = peak > ceiling ? ceiling / peak : 1.0f;
    }
    const std::size_t radius = std::size_t(std::llround(kLookAheadSeconds * sampleRate));
    WindowMinimum(work.wanted, radius, work.minimum);
    WindowAverage(work.minimum, radius, work.wanted);
    const std::vector<float>& smooth = work.wanted;

    const float recovery = float(1.0 - std::exp(-1.0 / (kReleaseSeconds * sampleRate)));
    // Every sample is written below: no need to clear a buffer kept from an earlier pass.
    out.left.resize(frames);
    out.right.resize(frames);
    float current = 1.0f;
    float deepest = 1.0f;
    for (std::size_t n = 0; n < frames; ++n) {
        current = std::min(smooth[n], current + (1.0f - current) * recovery);
        deepest = std::min(deepest, current);
        out.left[n] = source.left[n] * gain * current;
        out.right[n] = source.right[n] * gain * current;
    }
    return deepest;
}

VS_MasterResult VS_Master::Process(VS_StereoBuffer& mix, double targetLufs, double ceilingDbtp, std::size_t fadeFrames,
                                   double sampleRate)
{
    RemoveDc(mix.left, sampleRate);
    RemoveDc(mix.right, sampleRate);
    FadeOut(mix.left, fadeFrames);
    FadeOut(mix.right, fadeFrames);

    VS_MasterResult result;
    const std::size_t frames = mix.Frames();
    const double measured = VS_Loudness::Integrated(mix.left.data(), mix.right.data(), frames, sampleRate);
    if (measured <= VS_Loudness::kSilence) {
        result.loudness = measured;
        result.truePeak = VS_Loudness::kSilence;
        return result;
    }

    // The limiter takes loudness away, so the gain is found by a few passes; the ceiling is
    // lowered by any overshoot the interpolated peaks between limited samples still show.
    double gainDb = targetLufs - measured;
    double ceilingDb = ceilingDbtp;
    std::vector<float> peaks;
    VS_Loudness::TruePeakEnvelope(mix.left.data(), mix.right.data(), frames, peaks);
    VS_StereoBuffer limited;
    VS_LimiterWork work;
    float deepest = 1.0f;
    bool peakMeasured = false;
    for (int pass = 0; pass < kGainPasses; ++pass) {
        deepest = Limit(mix, peaks, float(std::pow(10.0, gainDb / 20.0)), float(std::pow(10.0, ceilingDb / 20.0)),
                        sampleRate, limited, work);
        result.gain = gainDb;
        ++result.passes;
        result.loudness = VS_Loudness::Integrated(limited.left.data(), limited.right.data(), frames, sampleRate);
        peakMeasured = false;
        const double error = targetLufs - result.loudness;
        if (std::fabs(error) <= kLoudnessTolerance) {
            result.truePeak = VS_Loudness::GainToDecibels(
                VS_Loudness::TruePeak(limited.left.data(), limited.right.data(), frames));
            peakMeasured = true;
            if (result.truePeak <= ceilingDbtp)
                break;
            ceilingDb -= result.truePeak - ceilingDbtp + 0.02;
        }
        gainDb += error;
    }
    if (!peakMeasured)
        result.truePeak = VS_Loudness::GainToDecibels(
            VS_Loudness::TruePeak(limited.left.data(), limited.right.data(), frames));
    if (result.truePeak > ceilingDbtp) {
        // Passes ran out before the interpolated overshoot was gone: a plain gain settles it,
        // and moves loudness by exactly the same number of dB.
        const double trim = ceilingDbtp - result.truePeak - 0.01;
        const float factor = float(std::pow(10.0, trim / 20.0));
        for (std::size_t n = 0; n < frames; ++n) {
            limited.left[n] *= factor;
            limited.right[n] *= factor;
        }
        result.truePeak += trim;
        result.loudness += trim;
        result.gain += trim;
    }
    result.maxReduction = VS_Loudness::GainToDecibels(deepest);
    mix = std::move(limited);
    result.dcOffset = std::max(std::fabs(ChannelMean(mix.left)), std::fabs(ChannelMean(mix.right)));
    return result;
}
