#pragma once
// Loudness and peak measurement of a stereo signal, after ITU-R BS.1770: K-weighting (a high
// shelf for the head, a high-pass for the ear), mean square over 400 ms blocks overlapping by
// 75 %, an absolute gate at -70 LUFS and a relative gate 10 LU below the ungated level. True
// peak is the largest magnitude of the signal interpolated to four times its sample rate.
//
//   double lufs = VS_Loudness::Integrated(left, right, frames, 44100.0);
//   double dbtp = VS_Loudness::GainToDecibels(VS_Loudness::TruePeak(left, right, frames));

#include <cstddef>
#include <vector>

namespace VS_Loudness
{
constexpr double kSilence = -200.0; // what a level of nothing reads, in dB or LUFS

double Integrated(const float* left, const float* right, std::size_t frames, double sampleRate);
// Linear true peak (1.0 = full scale).
double TruePeak(const float* left, const float* right, std::size_t frames);
// For each sample n, the largest magnitude of either channel at n and on the interpolated
// points between n - 1 and n.
void TruePeakEnvelope(const float* left, const float* right, std::size_t frames, std::vector<float>& envelope);
double GainToDecibels(double gain);
} // namespace VS_Loudness
