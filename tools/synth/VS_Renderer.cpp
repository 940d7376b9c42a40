#include "synth/VS_Renderer.h"

#include "QC_Callback.h"
#include "QC_Thread.h"
#include "synth/VS_Delay.h"
#include "synth/VS_Reverb.h"
#include "synth/VS_Sequencer.h"
#include "synth/VS_Voice.h"

#include <algorithm>
#include <cmath>
#include <xmmintrin.h>

// Sections: the denormal guard, tracks and sweeps, the side-chain, one track's segment, the
// segment loop with its mix and effects, levels.

namespace
{
constexpr double kPi = 3.14159265358979323846;
constexpr float kDelayIntoReverb = 0.3f;
constexpr double kDuckAttackSeconds = 0.004;

float DecibelsToGain(double db)
{
    return float(std::pow(10.0, db / 20.0));
}

// Decaying reverb and delay tails reach denormal floats, which are many times slower to add and
// multiply; flushing them to zero changes nothing audible. The mode is per thread, so every
// thread that renders sets it (the same on all of them keeps the result thread-independent).
// Restores the thread's mode.
class DenormalGuard
{
public:
    DenormalGuard() : saved(_mm_getcsr()) { _mm_setcsr(saved | 0x8040); }
    ~DenormalGuard() { _mm_setcsr(saved); }
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;

private:
    unsigned int saved;
};
} // namespace

// One instrument's voices, notes and output for the segment being rendered. Only the thread
// that took the track in RenderTracks touches it until the segment is mixed.
struct VS_Renderer::Track
{
    int index = 0;
    const VS_Instrument* instrument = nullptr;
    std::vector<VS_TimedNote> notes; // ascending onsets
    std::size_t nextNote = 0;
    std::vector<VS_Voice> voices;
    std::vector<float> left, right; // the segment, after volume, ducking and balance
    bool sounded = false;           // left and right hold this segment's output
    std::vector<double> barEnergy;  // sum of squares of both channels, per bar of the render
    float blockLeft[kBlock] = {};
    float blockRight[kBlock] = {};
};

VS_Renderer::VS_Renderer(const VS_Score& source) : score(source) {}

VS_Renderer::~VS_Renderer() = default;

double VS_Renderer::SweptValue(int instrument, VS_SweepTarget target, double bar, double base) const
{
    double value = base;
    for (const VS_Sweep& sweep : score.sweeps) {
        if (sweep.instrument != instrument || sweep.target != target || bar < sweep.fromBar || bar >= sweep.toBar)
            continue;
        const double progress = (bar - sweep.fromBar) / double(sweep.toBar - sweep.fromBar);
        if (target == VS_SWEEP_CUTOFF)
            // Cut-offs move evenly in pitch, as an ear hears a filter opening.
            value = sweep.start * std::pow(double(sweep.end) / sweep.start, progress);
        else
            value = sweep.start + (sweep.end - sweep.start) * progress;
    }
    return value;
}

void VS_Renderer::PrepareTracks(int fromBar, int toBar)
{
    const std::int64_t total = score.BarStartSample(toBar) - score.BarStartSample(fromBar) +
                               std::llround(score.song.tail * score.song.sampleRate);
    const std::size_t barsCovered = std::size_t(std::ceil(double(total) / samplesPerBar)) + 1;
    tracks.clear();
    for (std::size_t i = 0; i < score.instruments.size(); ++i) {
        auto track = std::make_unique<Track>();
        track->index = int(i);
        track->instrument = &score.instruments[i];
        track->left.resize(std::size_t(kBlock) * kSegmentBlocks);
        track->right.resize(std::size_t(kBlock) * kSegmentBlocks);
        track->barEnergy.assign(barsCovered, 0.0);
        track->voices.reserve(64);
        tracks.push_back(std::move(track));
    }
    keyOnsets.clear();
    for (const VS_TimedNote& note : VS_Sequencer::Schedule(score, fromBar, toBar)) {
        tracks[std::size_t(note.instrument)]->notes.push_back(note);
        if (score.instruments[std::size_t(note.instrument)].sidechainKey)
            keyOnsets.push_back(note.onset);
    }
    nextKey = 0;
    duckLevel = 0.0f;
    duckRising = false;
}

// The side-chain envelope over the segment: rises over a few milliseconds from each key onset,
// then falls back with the song's duck release.
void VS_Renderer::ComputeDuckCurve(const Segment& segment)
{
    const double rate = score.song.sampleRate;
    const float attackStep = float(1.0 / (kDuckAttackSeconds * rate));
    const float fall = float(std::exp(-1.0 / (double(score.song.duckRelease) * rate)));
    duckCurve.resize(std::size_t(segment.count));
    for (int n = 0; n < segment.count; ++n) {
        while (nextKey < keyOnsets.size() && keyOnsets[nextKey] <= segment.first + n) {
            duckRising = true;
            ++nextKey;
        }
        if (duckRising) {
            duckLevel += attackStep;
            if (duckLevel >= 1.0f) {
                duckLevel = 1.0f;
                duckRising = false;
            }
        } else {
            duckLevel *= fall;
        }
        duckCurve[std::size_t(n)] = duckLevel;
    }
}

void VS_Renderer::RenderTrack(Track& track, const Segment& segment)
{
    const std::int64_t segmentEnd = segment.first + segment.count;
    track.sounded = !track.voices.empty() ||
                    (track.nextNote < track.notes.size() && track.notes[track.nextNote].onset < segmentEnd);
    if (!track.sounded)
        return;
    const VS_Instrument& instrument = *track.instrument;
    const double rate = score.song.sampleRate;
    const std::int64_t renderStart = score.BarStartSample(renderedFrom);

    for (int blockStart = 0; blockStart < segment.count; blockStart += kBlock) {
        const int count = std::min(kBlock, segment.count - blockStart);
        const std::int64_t absolute = segment.first + blockStart;
        const double barAtStart = double(absolute) / samplesPerBar;
        const double barAtEnd = double(absolute + count) / samplesPerBar;
        std::fill_n(track.blockLeft, count, 0.0f);
        std::fill_n(track.blockRight, count, 0.0f);

        VS_VoiceControl control;
        control.cutoff = float(SweptValue(track.index, VS_SWEEP_CUTOFF, barAtStart, instrument.cutoff));
        control.resonance = float(SweptValue(track.index, VS_SWEEP_RESONANCE, barAtStart, instrument.resonance));
        control.songSeconds = double(absolute) / rate;

        // Voices already sounding, then the ones starting in this block (from their onsets).
        for (std::size_t v = 0; v < track.voices.size();) {
            if (!track.voices[v].Render(track.blockLeft, track.blockRight, count, control)) {
                track.voices[v] = track.voices.back();
                track.voices.pop_back();
            } else {
                ++v;
            }
        }
        while (track.nextNote < track.notes.size() && track.notes[track.nextNote].onset < absolute + count) {
            const VS_TimedNote& note = track.notes[track.nextNote++];
            const int offset = int(note.onset - absolute);
            VS_Voice voice;
            voice.Start(instrument, note.note, note.velocity, note.length, note.seed, rate);
            VS_VoiceControl late = control;
            late.songSeconds += double(offset) / rate;
            if (voice.Render(track.blockLeft + offset, track.blockRight + offset, count - offset, late))
                track.voices.push_back(voice);
        }

        const float volumeStart = DecibelsToGain(SweptValue(track.index, VS_SWEEP_VOLUME, barAtStart, instrument.volume));
        const float volumeEnd = DecibelsToGain(SweptValue(track.index, VS_SWEEP_VOLUME, barAtEnd, instrument.volume));
        const double pan = std::clamp(SweptValue(track.index, VS_SWEEP_PAN, barAtStart, instrument.pan), -1.0, 1.0);
        const float panLeft = float(std::cos((pan + 1.0) * kPi / 4.0) * std::sqrt(2.0));
        const float panRight = float(std::sin((pan + 1.0) * kPi / 4.0) * std::sqrt(2.0));
        // Levels are kept per bar: a block straddles at most one bar line.
        const std::int64_t renderPosition = segment.offset + blockStart;
        std::vector<double>& energy = track.barEnergy;
        const std::size_t bar = std::min(std::size_t(double(renderPosition) / samplesPerBar), energy.size() - 2);
        const std::int64_t barLine = score.BarStartSample(renderedFrom + int(bar) + 1) - renderStart - renderPosition;
        const float* duck = duckCurve.data() + blockStart;
        float* outLeft = track.left.data() + blockStart;
        float* outRight = track.right.data() + blockStart;
        for (int n = 0; n < count; ++n) {
            const float volume = volumeStart + (volumeEnd - volumeStart) * float(n) / float(count);
            const float gain = volume * (1.0f - instrument.duck * duck[n]);
            outLeft[n] = track.blockLeft[n] * gain * panLeft;
            outRight[n] = track.blockRight[n] * gain * panRight;
            energy[n < barLine ? bar : bar + 1] += double(outLeft[n]) * outLeft[n] + double(outRight[n]) * outRight[n];
        }
    }
}

void VS_Renderer::RenderTracks()
{
    DenormalGuard guard;
    for (std::size_t i = nextTrack++; i < tracks.size(); i = nextTrack++)
        RenderTrack(*tracks[i], current);
}

void VS_Renderer::RenderTracksOnWorker(VS_Renderer* renderer)
{
    renderer->RenderTracks();
}

void VS_Renderer::Render(int fromBar, int toBar, VS_StereoBuffer& out)
{
    DenormalGuard guard;
    const VS_Song& song = score.song;
    const double rate = song.sampleRate;
    samplesPerBar = score.SamplesPerStep() * song.stepsPerBeat * song.beatsPerBar;
    renderedFrom = fromBar;
    PrepareTracks(fromBar, toBar);
    const std::int64_t start = score.BarStartSample(fromBar);
    const std::int64_t total = score.BarStartSample(toBar) - start + std::llround(song.tail * rate);
    out.Resize(std::size_t(total));

    VS_Delay delay;
    delay.Configure(std::llround(song.delaySteps * score.SamplesPerStep()), song.delayFeedback, song.delayTone, rate);
    VS_Reverb reverb;
    reverb.Configure(song.reverbTime, song.reverbTone, song.reverbPredelay, rate);
    float mixLeft[kBlock], mixRight[kBlock], delayLeft[kBlock], delayRight[kBlock];
    float reverbLeft[kBlock], reverbRight[kBlock], delayOutLeft[kBlock], delayOutRight[kBlock];

    constexpr std::int64_t kSegment = std::int64_t(kBlock) * kSegmentBlocks;
    for (std::int64_t segmentStart = 0; segmentStart < total; segmentStart += kSegment) {
        current.first = start + segmentStart;
        current.offset = segmentStart;
        current.count = int(std::min(kSegment, total - segmentStart));
        ComputeDuckCurve(current);
        nextTrack = 0;
        QC_ThreadHandle* worker = QC_StartJoinableThread("Synth", QC_Bind(&VS_Renderer::RenderTracksOnWorker, this));
        RenderTracks();
        QC_JoinThread(worker);

        // The mix, in instrument order, so the sums are the same whichever thread rendered what.
        for (int blockStart = 0; blockStart < current.count; blockStart += kBlock) {
            const int count = std::min(kBlock, current.count - blockStart);
            const double bar = double(current.first + blockStart) / samplesPerBar;
            std::fill_n(mixLeft, count, 0.0f);
            std::fill_n(mixRight, count, 0.0f);
            std::fill_n(delayLeft, count, 0.0f);
            std::fill_n(delayRight, count, 0.0f);
            std::fill_n(reverbLeft, count, 0.0f);
            std::fill_n(reverbRight, count, 0.0f);
            for (const std::unique_ptr<Track>& track : tracks) {
                if (!track->sounded)
                    continue;
                const float delaySend = float(SweptValue(track->index, VS_SWEEP_DELAY, bar, track->instrument->delaySend));
                const float reverbSend = float(SweptValue(track->index, VS_SWEEP_REVERB, bar, track->instrument->reverbSend));
                const float* left = track->left.data() + blockStart;
                const float* right = track->right.data() + blockStart;
                for (int n = 0; n < count; ++n) {
                    mixLeft[n] += left[n];
                    mixRight[n] += right[n];
                    delayLeft[n] += left[n] * delaySend;
                    delayRight[n] += right[n] * delaySend;
                    reverbLeft[n] += left[n] * reverbSend;
                    reverbRight[n] += right[n] * reverbSend;
                }
            }
            std::fill_n(delayOutLeft, count, 0.0f);
            std::fill_n(delayOutRight, count, 0.0f);
            delay.Process(delayLeft, delayRight, delayOutLeft, delayOutRight, count);
            for (int n = 0; n < count; ++n) {
                mixLeft[n] += delayOutLeft[n];
                mixRight[n] += delayOutRight[n];
                reverbLeft[n] += delayOutLeft[n] * kDelayIntoReverb;
                reverbRight[n] += delayOutRight[n] * kDelayIntoReverb;
            }
            reverb.Process(reverbLeft, reverbRight, mixLeft, mixRight, count);
            std::copy_n(mixLeft, count, out.left.begin() + current.offset + blockStart);
            std::copy_n(mixRight, count, out.right.begin() + current.offset + blockStart);
        }
    }
}

double VS_Renderer::InstrumentLevel(int instrument, int fromBar, int toBar) const
{
    if (instrument < 0 || std::size_t(instrument) >= tracks.size() || toBar <= fromBar)
        return -200.0;
    const std::vector<double>& energy = tracks[std::size_t(instrument)]->barEnergy;
    double sum = 0.0;
    for (int bar = fromBar; bar < toBar; ++bar) {
        const int index = bar - renderedFrom;
        if (index >= 0 && std::size_t(index) < energy.size())
            sum += energy[std::size_t(index)];
    }
    const double samples = double(score.BarStartSample(toBar) - score.BarStartSample(fromBar)) * 2.0;
    return sum > 0.0 ? 10.0 * std::log10(sum / samples) : -200.0;
}
