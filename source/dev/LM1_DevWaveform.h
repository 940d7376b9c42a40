#pragma once
// The music's waveform for the timeline panel: the lowest and highest sample of every block of
// 64 frames (both channels together), and coarser levels of detail each halving the one below,
// so that the peaks of any pixel column are read from a handful of entries whatever the zoom:
// no frame drawn scans the samples.
//
//   QC_Ptr<LM1_DevWaveform> waveform = LM1_DevWaveform::Build(pcm, frames);   // on a worker
//   LM1_DevPeak peak = waveform->Range(firstFrame, endFrame);                   // per column
//
// A range is widened to whole blocks (1.45 ms at 44100 Hz), far below a pixel of any zoom the
// panel allows. Immutable once built, so any thread may read it.

#include "QC_Ptr.h"

#include <cstdint>
#include <vector>

struct LM1_DevPeak
{
    std::int16_t low = 0;
    std::int16_t high = 0;
};

class LM1_DevWaveform final : public QC_RefCounted
{
public:
    static constexpr std::uint32_t FramesPerBlock = 64;

    // From frames of interleaved signed 16-bit stereo PCM, as the sound buffers hold it.
    static QC_Ptr<LM1_DevWaveform> Build(const std::uint8_t* pcm, std::uint32_t frames);

    std::uint32_t Frames() const { return frames; }
    // Levels of detail: level 0 has a peak per block, level k per 2^k blocks.
    std::uint32_t LevelCount() const { return static_cast<std::uint32_t>(levels.size()); }

    // The peaks of the frames [firstFrame, endFrame) widened to whole blocks; {0, 0} when the
    // range holds no frame of the music.
    LM1_DevPeak Range(std::uint64_t firstFrame, std::uint64_t endFrame) const;

private:
    std::uint32_t frames = 0;
    std::vector<std::vector<LM1_DevPeak>> levels;
};
