#pragma once
// The master stage: removes DC, fades the tail out, then finds the gain that brings the mix to
// the loudness target and a look-ahead limiter that keeps the true peak under the ceiling.
//
//   VS_MasterResult result = VS_Master::Process(mix, -14.0, -1.0, fadeFrames, 44100.0);
//   // result.loudness (LUFS) and result.truePeak (dBTP) are measured on the final samples
//
// The limiter needs no time constants tuned to the material: its gain never exceeds
// ceiling / peak at any sample (a minimum over the look-ahead window, then a moving average of
// the same width, which cannot rise above any minimum it covers), and recovers with a release.

#include "synth/VS_StereoBuffer.h"

#include <cstddef>
#include <vector>

struct VS_MasterResult
{
    double loudness = 0.0;     // LUFS
    double truePeak = 0.0;     // dBTP
    double gain = 0.0;         // dB applied before limiting
    double maxReduction = 0.0; // dB, the limiter's deepest cut
    double dcOffset = 0.0;     // largest channel mean after the stage
    int passes = 0;            // limiter passes it took to settle the gain
};

// Buffers the limiter keeps between passes, so a pass allocates nothing.
struct VS_LimiterWork
{
    std::vector<float> wanted;
    std::vector<float> minimum;
};

namespace VS_Master
{
VS_MasterResult Process(VS_StereoBuffer& mix, double targetLufs, double ceilingDbtp, std::size_t fadeFrames,
                        double sampleRate);
// The limiter alone: scales source by gain and limits its true peak to ceiling (linear);
// peaks is source's VS_Loudness::TruePeakEnvelope. Returns the deepest gain reduction as a
// factor (1 = none).
float Limit(const VS_StereoBuffer& source, const std::vector<float>& peaks, float gain, float ceiling,
            double sampleRate, VS_StereoBuffer& out, VS_LimiterWork& work);
} // namespace VS_Master
