#include "synth/VS_Sequencer.h"

#include <algorithm>
#include <cmath>

namespace
{
struct Emitter
{
    const VS_Score& score;
    std::int64_t firstSample;
    std::int64_t endSample;
    std::vector<VS_TimedNote>& out;

    void Note(double globalStep, double lengthSteps, float note, float velocity, int instrument)
    {
        const double samplesPerStep = score.SamplesPerStep();
        VS_TimedNote timed;
        timed.onset = std::llround(globalStep * samplesPerStep);
        if (timed.onset < firstSample || timed.onset >= endSample)
            return;
        timed.length = std::max<std::int64_t>(1, std::llround((globalStep + lengthSteps) * samplesPerStep) - timed.onset);
        timed.note = note;
        timed.velocity = velocity;
        timed.instrument = instrument;
        out.push_back(timed);
    }
};

// The pitches an arpeggio cycles through, lowest first, over the instrument's octaves.
std::vector<float> ArpeggioPitches(const VS_Instrument& instrument, std::vector<float> chord)
{
    std::sort(chord.begin(), chord.end());
    std::vector<float> up;
    for (int octave = 0; octave < instrument.arpOctaves; ++octave)
        for (float pitch : chord)
            up.push_back(pitch + 12.0f * float(octave));
    switch (instrument.arpMode) {
    case VS_ARP_DOWN: std::reverse(up.begin(), up.end()); return up;
    case VS_ARP_UPDOWN: {
        std::vector<float> cycle = up;
        for (std::size_t i = up.size() - 1; i-- > 1;)
            cycle.push_back(up[i]);
        return cycle;
    }
    default: return up;
    }
}

void EmitEvent(Emitter& emitter, const VS_Placement& placement, const VS_NoteEvent& event, double globalStep,
               double stepsLeftInPlacement)
{
    const VS_Instrument& instrument = emitter.score.instruments[std::size_t(placement.instrument)];
    // A note never outlasts its placement: the next placement may be a different pattern.
    const double length = std::min(event.length, stepsLeftInPlacement);
    if (instrument.arpSteps <= 0.0f || event.notes.size() < 2) {
        for (float pitch : event.notes)
            emitter.Note(globalStep, length, pitch + placement.transpose, event.velocity, placement.instrument);
        return;
    }
    const std::vector<float> cycle = ArpeggioPitches(instrument, event.notes);
    const double stride = instrument.arpSteps;
    for (int i = 0; i * stride < length - 1e-9; ++i) {
        const double gate = std::min(stride * instrument.arpGate, length - i * stride);
        emitter.Note(globalStep + i * stride, gate, cycle[std::size_t(i) % cycle.size()] + placement.transpose,
                     event.velocity, placement.instrument);
    }
}
} // namespace

std::vector<VS_TimedNote> VS_Sequencer::Schedule(const VS_Score& score, int fromBar, int toBar)
{
    std::vector<VS_TimedNote> notes;
    Emitter emitter{score, score.BarStartSample(fromBar), score.BarStartSample(toBar), notes};
    const double stepsPerBar = double(score.song.stepsPerBeat * score.song.beatsPerBar);
    for (const VS_Placement& placement : score.placements) {
        const VS_Pattern& pattern = score.patterns[std::size_t(placement.pattern)];
        const double start = placement.fromBar * stepsPerBar;
        const double end = placement.toBar * stepsPerBar;
        for (double repeat = start; repeat < end; repeat += pattern.steps) {
            for (const VS_NoteEvent& event : pattern.events) {
                const double step = repeat + event.step;
                if (step < end)
                    EmitEvent(emitter, placement, event, step, end - step);
            }
        }
    }
    std::stable_sort(notes.begin(), notes.end(),
                     [](const VS_TimedNote& a, const VS_TimedNote& b) { return a.onset < b.onset; });
    // A note's noise seed comes from what and when it plays, so a render of some bars sounds
    // the same as those bars of the whole song.
    for (VS_TimedNote& timed : notes) {
        std::uint64_t key = std::uint64_t(timed.onset) * 0x9E3779B97F4A7C15ull;
        key ^= std::uint64_t(timed.instrument + 1) * 0xC2B2AE3D27D4EB4Full;
        key ^= std::uint64_t(std::llround(timed.note * 64.0f)) * 0x165667B19E3779F9ull;
        key ^= key >> 29;
        timed.seed = std::uint32_t(key ^ (key >> 32)) | 1u;
    }
    return notes;
}
