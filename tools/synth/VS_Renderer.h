#pragma once
// Plays a score into a stereo buffer, before mastering. Works through the song in blocks:
// starts the voices whose onsets fall in the block, lets each instrument's voices add into the
// instrument's own block, applies the instrument's volume, ducking and balance, and sends it
// to the dry mix, the delay and the reverb.
//
//   VS_Renderer renderer(score);           // the score must outlive the renderer
//   VS_StereoBuffer mix;
//   renderer.Render(0, score.song.bars, mix);
//   double db = renderer.InstrumentLevel(kick, 0, 16);   // RMS of one instrument over bars
//
// Single-threaded and seeded from the score only: the same score and bars give the same
// samples every time. A render of bars [from, to) holds the notes starting there and rings
// on for the song's tail; the buffer's sample 0 is the first sample of bar from.

#include "synth/VS_Score.h"
#include "synth/VS_StereoBuffer.h"

#include <cstdint>
#include <vector>

class VS_Renderer
{
public:
    static constexpr int kBlock = 256;

    explicit VS_Renderer(const VS_Score& score);
    void Render(int fromBar, int toBar, VS_StereoBuffer& out);

    // RMS in dBFS of an instrument's own output (after volume, before sends) over bars
    // [fromBar, toBar) of the last render; -200 for silence or bars outside it.
    double InstrumentLevel(int instrument, int fromBar, int toBar) const;

private:
    struct InstrumentBus;
    double SweptValue(int instrument, VS_SweepTarget target, double bar, double base) const;

    const VS_Score& score;
    int renderedFrom = 0;
    std::vector<std::vector<double>> barEnergy; // [instrument][bar - renderedFrom], sum of squares of both channels
};
