#include "LM1_DevWaveform.h"

#include <algorithm>
#include <cstring>

namespace
{
LM1_DevPeak Merge(LM1_DevPeak a, LM1_DevPeak b)
{
    return {std::min(a.low, b.low), std::max(a.high, b.high)};
}

LM1_DevPeak BlockPeak(const std::uint8_t* pcm, std::uint32_t firstFrame, std::uint32_t endFrame)
{
    // Samples are little-endian, as the sound buffers hold them and as this machine reads them.
    const std::uint32_t sampleCount = (endFrame - firstFrame) * 2;
    const std::uint8_t* bytes = pcm + static_cast<std::size_t>(firstFrame) * 4;
    std::int16_t low = 32767, high = -32768;
    for (std::uint32_t i = 0; i < sampleCount; ++i) {
        std::int16_t sample;
        std::memcpy(&sample, bytes + i * 2, 2);
        low = std::min(low, sample);
        high = std::max(high, sample);
    }
    return {low, high};
}
} // namespace

QC_Ptr<LM1_DevWaveform> LM1_DevWaveform::Build(const std::uint8_t* pcm, std::uint32_t frameCount)
{
    QC_Ptr<LM1_DevWaveform> waveform(new LM1_DevWaveform);
    if (!pcm || frameCount == 0)
        return waveform;
    waveform->frames = frameCount;
    std::vector<LM1_DevPeak> blocks((frameCount + FramesPerBlock - 1) / FramesPerBlock);
    for (std::uint32_t block = 0; block < blocks.size(); ++block) {
        const std::uint32_t first = block * FramesPerBlock;
        blocks[block] = BlockPeak(pcm, first, std::min(first + FramesPerBlock, frameCount));
    }
    waveform->levels.push_back(std::move(blocks));
    while (waveform->levels.back().size() > 1) {
        const std::vector<LM1_DevPeak>& below = waveform->levels.back();
        std::vector<LM1_DevPeak> level((below.size() + 1) / 2);
        for (std::size_t i = 0; i < level.size(); ++i)
            level[i] = 2 * i + 1 < below.size() ? Merge(below[2 * i], below[2 * i + 1]) : below[2 * i];
        waveform->levels.push_back(std::move(level));
    }
    return waveform;
}

LM1_DevPeak LM1_DevWaveform::Range(std::uint64_t firstFrame, std::uint64_t endFrame) const
{
    if (levels.empty() || firstFrame >= endFrame || firstFrame >= frames)
        return {};
    // Held to the music first, so rounding up to a whole block cannot overflow.
    const std::uint64_t end = std::min<std::uint64_t>(endFrame, frames);
    std::uint64_t block = firstFrame / FramesPerBlock;
    const std::uint64_t endBlock = (end + FramesPerBlock - 1) / FramesPerBlock;
    LM1_DevPeak peak{32767, -32768};
    // The largest aligned run of blocks that starts at block and fits: at most two entries per
    // level are read, however wide the range.
    while (block < endBlock) {
        std::uint32_t level = 0;
        while (level + 1 < levels.size() && block % (std::uint64_t{2} << level) == 0 &&
               block + (std::uint64_t{2} << level) <= endBlock)
            ++level;
        peak = Merge(peak, levels[level][block >> level]);
        block += std::uint64_t{1} << level;
    }
    return peak;
}
