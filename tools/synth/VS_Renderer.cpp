#include "synth/VS_Renderer.h"

#include "synth/VS_Delay.h"
#include "synth/VS_Reverb.h"
#include "synth/VS_Sequencer.h"
#include "synth/VS_Voice.h"

#include <algorithm>
#include <cmath>
#include <xmmintrin.h>

// Sections: the per-instrument bus, the denormal guard, sweeps, the block loop, levels.

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
// multiply; flushing them to zero changes nothing audible. Restores the caller's mode.
class DenormalGuard
{
public:
    DenormalGuard() : saved(_mm_getcsr()) { _mm_setcsr(saved | 0x8040); }
    ~DenormalGuard() { _mm_setcsr(saved); }

private:
    unsigned int saved;
};

struct ActiveVoice
{
    VS_Voice voice;
    int instrument = 0;
};
} // namespace

struct VS_Renderer::InstrumentBus
{
    float left[kBlock] = {};
    float right[kBlock] = {};
    bool sounding = false;
};

VS_Renderer::VS_Renderer(const VS_Score& source) : score(source) {}

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

void VS_Renderer::Render(int fromBar, int toBar, VS_StereoBuffer& out)
{
    DenormalGuard guard;
    const VS_Song& song = score.song;
    const double rate = song.sampleRate;
    const std::size_t instrumentCount = score.instruments.size();
    const std::vector<VS_TimedNote> notes = VS_Sequencer::Schedule(score, fromBar, toBar);
    const std::int64_t start = score.BarStartSample(fromBar);
    const std::int64_t total = score.BarStartSample(toBar) - start + std::llround(song.tail * rate);
    const double samplesPerBar = score.SamplesPerStep() * song.stepsPerBeat * song.beatsPerBar;
    out.Resize(std::size_t(total));

    renderedFrom = fromBar;
    const int barsCovered = int(std::ceil(double(total) / samplesPerBar)) + 1;
    barEnergy.assign(instrumentCount, std::vector<double>(std::size_t(barsCovered), 0.0));

    std::vector<InstrumentBus> buses(instrumentCount);
    std::vector<ActiveVoice> voices;
    voices.reserve(256);
    std::vector<VS_VoiceControl> controls(instrumentCount);
    float delayLeft[kBlock], delayRight[kBlock], reverbLeft[kBlock], reverbRight[kBlock];
    float mixLeft[kBlock], mixRight[kBlock], duckCurve[kBlock], delayOutLeft[kBlock], delayOutRight[kBlock];

    VS_Delay delay;
    delay.Configure(std::llround(song.delaySteps * score.SamplesPerStep()), song.delayFeedback, song.delayTone, rate);
    VS_Reverb reverb;
    reverb.Configure(song.reverbTime, song.reverbTone, song.reverbPredelay, rate);

    const float duckAttackStep = float(1.0 / (kDuckAttackSeconds * rate));
    const float duckFall = float(std::exp(-1.0 / (double(song.duckRelease) * rate)));
    float duckLevel = 0.0f;
    bool duckRising = false;
    std::size_t nextNote = 0;

    for (std::int64_t blockStart = 0; blockStart < total; blockStart += kBlock) {
        const int count = int(std::min<std::int64_t>(kBlock, total - blockStart));
        const std::int64_t absolute = start + blockStart;
        const double songSeconds = double(absolute) / rate;
        const double barAtStart = double(absolute) / samplesPerBar;
        const double barAtEnd = double(absolute + count) / samplesPerBar;

        for (std::size_t i = 0; i < instrumentCount; ++i) {
            InstrumentBus& bus = buses[i];
            // Only a bus that sounded in the last block holds anything to clear.
            if (bus.sounding) {
                std::fill_n(bus.left, kBlock, 0.0f);
                std::fill_n(bus.right, kBlock, 0.0f);
            }
            bus.sounding = false;
            const VS_Instrument& instrument = score.instruments[i];
            controls[i].cutoff = float(SweptValue(int(i), VS_SWEEP_CUTOFF, barAtStart, instrument.cutoff));
            controls[i].resonance = float(SweptValue(int(i), VS_SWEEP_RESONANCE, barAtStart, instrument.resonance));
            controls[i].songSeconds = songSeconds;
        }

        // Voices already sounding, then the ones starting in this block (from their onsets).
        for (std::size_t v = 0; v < voices.size();) {
            ActiveVoice& active = voices[v];
            InstrumentBus& bus = buses[std::size_t(active.instrument)];
            bus.sounding = true;
            if (!active.voice.Render(bus.left, bus.right, count, controls[std::size_t(active.instrument)])) {
                voices[v] = voices.back();
                voices.pop_back();
            } else {
                ++v;
            }
        }
        std::fill_n(duckCurve, count, 0.0f);
        int keyOffsets[kBlock];
        int keyCount = 0;
        while (nextNote < notes.size() && notes[nextNote].onset < absolute + count) {
            const VS_TimedNote& timed = notes[nextNote++];
            const int offset = int(timed.onset - absolute);
            const VS_Instrument& instrument = score.instruments[std::size_t(timed.instrument)];
            if (instrument.sidechainKey && keyCount < kBlock)
                keyOffsets[keyCount++] = offset;
            ActiveVoice active;
            active.instrument = timed.instrument;
            active.voice.Start(instrument, timed.note, timed.velocity, timed.length, timed.seed, rate);
            InstrumentBus& bus = buses[std::size_t(timed.instrument)];
            bus.sounding = true;
            VS_VoiceControl control = controls[std::size_t(timed.instrument)];
            control.songSeconds += double(offset) / rate;
            if (active.voice.Render(bus.left + offset, bus.right + offset, count - offset, control))
                voices.push_back(active);
        }

        // The side-chain envelope: rises over a few milliseconds from each key, then falls back.
        for (int n = 0, key = 0; n < count; ++n) {
            while (key < keyCount && keyOffsets[key] == n) {
                duckRising = true;
                ++key;
            }
            if (duckRising) {
                duckLevel += duckAttackStep;
                if (duckLevel >= 1.0f) {
                    duckLevel = 1.0f;
                    duckRising = false;
                }
            } else {
                duckLevel *= duckFall;
            }
            duckCurve[n] = duckLevel;
        }

        std::fill_n(mixLeft, count, 0.0f);
        std::fill_n(mixRight, count, 0.0f);
        std::fill_n(delayLeft, count, 0.0f);
        std::fill_n(delayRight, count, 0.0f);
        std::fill_n(reverbLeft, count, 0.0f);
        std::fill_n(reverbRight, count, 0.0f);
        for (std::size_t i = 0; i < instrumentCount; ++i) {
            InstrumentBus& bus = buses[i];
            if (!bus.sounding)
                continue;
            const VS_Instrument& instrument = score.instruments[i];
            const int index = int(i);
            const float volumeStart = DecibelsToGain(SweptValue(index, VS_SWEEP_VOLUME, barAtStart, instrument.volume));
            const float volumeEnd = DecibelsToGain(SweptValue(index, VS_SWEEP_VOLUME, barAtEnd, instrument.volume));
            const double pan = std::clamp(SweptValue(index, VS_SWEEP_PAN, barAtStart, instrument.pan), -1.0, 1.0);
            const float panLeft = float(std::cos((pan + 1.0) * kPi / 4.0) * std::sqrt(2.0));
            const float panRight = float(std::sin((pan + 1.0) * kPi / 4.0) * std::sqrt(2.0));
            const float delaySend = float(SweptValue(index, VS_SWEEP_DELAY, barAtStart, instrument.delaySend));
            const float reverbSend = float(SweptValue(index, VS_SWEEP_REVERB, barAtStart, instrument.reverbSend));
            // Levels are kept per bar: a block straddles at most one bar line.
            std::vector<double>& energy = barEnergy[i];
            const std::size_t bar = std::min(std::size_t(double(blockStart) / samplesPerBar), energy.size() - 2);
            const std::int64_t barLine = score.BarStartSample(renderedFrom + int(bar) + 1) - start - blockStart;
            for (int n = 0; n < count; ++n) {
                const float volume = volumeStart + (volumeEnd - volumeStart) * float(n) / float(count);
                const float gain = volume * (1.0f - instrument.duck * duckCurve[n]);
                const float l = bus.left[n] * gain * panLeft;
                const float r = bus.right[n] * gain * panRight;
                mixLeft[n] += l;
                mixRight[n] += r;
                delayLeft[n] += l * delaySend;
                delayRight[n] += r * delaySend;
                reverbLeft[n] += l * reverbSend;
                reverbRight[n] += r * reverbSend;
                energy[n < barLine ? bar : bar + 1] += double(l) * l + double(r) * r;
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
        std::copy_n(mixLeft, count, out.left.begin() + blockStart);
        std::copy_n(mixRight, count, out.right.begin() + blockStart);
    }
}

double VS_Renderer::InstrumentLevel(int instrument, int fromBar, int toBar) const
{
    if (instrument < 0 || std::size_t(instrument) >= barEnergy.size() || toBar <= fromBar)
        return -200.0;
    const std::vector<double>& energy = barEnergy[std::size_t(instrument)];
    double sum = 0.0;
    for (int bar = fromBar; bar < toBar; ++bar) {
        const int index = bar - renderedFrom;
        if (index >= 0 && std::size_t(index) < energy.size())
            sum += energy[std::size_t(index)];
    }
    const double samples = double(score.BarStartSample(toBar) - score.BarStartSample(fromBar)) * 2.0;
    return sum > 0.0 ? 10.0 * std::log10(sum / samples) : -200.0;
}
