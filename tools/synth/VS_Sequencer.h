#pragma once
// Turns a score's arrangement into a list of timed notes: patterns repeated across their bars,
// transposed, chords of arpeggiating instruments spread into single notes.
//
//   std::vector<VS_TimedNote> notes = VS_Sequencer::Schedule(score, 0, score.song.bars);
//
// Onsets are whole samples from the start of the song: step s of bar b starts at
// round((b * stepsPerBar + s) * samplesPerStep), so every beat at 120 BPM lands exactly on a
// multiple of 22050. The list is sorted by onset; notes at the same sample keep arrangement
// order, which makes the order (and each note's noise seed) independent of how it is played.

#include "synth/VS_Score.h"

#include <cstdint>
#include <vector>

struct VS_TimedNote
{
    std::int64_t onset = 0;  // sample
    std::int64_t length = 0; // samples until the release starts
    float note = 60.0f;
    float velocity = 1.0f;
    int instrument = 0;
    std::uint32_t seed = 0;
};

namespace VS_Sequencer
{
// Notes whose onsets lie in bars [fromBar, toBar).
std::vector<VS_TimedNote> Schedule(const VS_Score& score, int fromBar, int toBar);
} // namespace VS_Sequencer
