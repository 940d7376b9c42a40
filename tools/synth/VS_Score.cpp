#include "synth/VS_Score.h"

#include <cmath>

int VS_Score::FindInstrument(const std::string& name) const
{
    for (std::size_t i = 0; i < instruments.size(); ++i)
        if (instruments[i].name == name)
            return int(i);
    return -1;
}

int VS_Score::FindPattern(const std::string& name) const
{
    for (std::size_t i = 0; i < patterns.size(); ++i)
        if (patterns[i].name == name)
            return int(i);
    return -1;
}

double VS_Score::SamplesPerStep() const
{
    return song.sampleRate * 60.0 / (song.tempo * song.stepsPerBeat);
}

std::int64_t VS_Score::BarStartSample(int bar) const
{
    // Rounded once from the exact product, so beat starts at 120 BPM (22050 samples) are exact.
    return std::llround(double(bar) * song.beatsPerBar * song.stepsPerBeat * SamplesPerStep());
}

std::int64_t VS_Score::TotalSamples() const
{
    return BarStartSample(song.bars) + std::llround(song.tail * song.sampleRate);
}
