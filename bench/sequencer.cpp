// Sequencer costs on the per-frame path: reading one channel of a long spline, and broadcasting
// one beat to many subscribed channels.
//
//   build/bench_sequencer
//
// SplineGetValue/N: one GetValue on an N-key catmull-rom spline at positions spread over the
// whole curve (the key search is a linear scan in script order, so cost grows with N).
// DispatchBeat/N: one beat event to N subscribed channels; the per_listener counter is the
// time per listener.

#include "QD_Sequencer.h"
#include "QD_SequencerBeat.h"
#include "QD_SequencerSpline.h"
#include "QD_Sync.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
QC_Ptr<QD_Sequencer> MakeSplineSequencer(int keyCount)
{
    std::vector<QD_SequencerKey> keys;
    for (int i = 0; i < keyCount; ++i)
        keys.push_back(QD_SequencerKey{static_cast<float>(i), static_cast<float>((i * 7) % 11) - 5.0f});
    QC_Ptr<QD_Sequencer> sequencer(new QD_Sequencer);
    sequencer->SetChannel(new QD_SequencerSpline(QD_SPLINE_CATMULLROM, std::move(keys)), 1);
    return sequencer;
}

void SplineGetValue(benchmark::State& state)
{
    const int keyCount = static_cast<int>(state.range(0));
    const QC_Ptr<QD_Sequencer> sequencer = MakeSplineSequencer(keyCount);
    auto* spline = static_cast<QD_SequencerSpline*>(sequencer->GetChannel(1));
    // 61 positions spread over the period (61 is prime to the key count, so every span is hit).
    std::vector<float> positions;
    for (int i = 0; i < 61; ++i)
        positions.push_back(static_cast<float>(keyCount - 1) * static_cast<float>(i) / 61.0f + 0.37f);
    std::size_t next = 0;
    for (auto _ : state) {
        spline->OnBeat(QD_SyncBeatEvent{positions[next]});
        benchmark::DoNotOptimize(sequencer->GetValue(1));
        next = next + 1 == positions.size() ? 0 : next + 1;
    }
}
BENCHMARK(SplineGetValue)->Arg(2)->Arg(8)->Arg(64);

void DispatchBeat(benchmark::State& state)
{
    const int channelCount = static_cast<int>(state.range(0));
    QD_SyncSettings settings;
    settings.method = QD_SYNC_METHOD_BPM;
    QD_CreateSync(settings);
    {
        QC_Ptr<QD_Sequencer> sequencer(new QD_Sequencer);
        for (int i = 0; i < channelCount; ++i) {
            if (i % 2)
                sequencer->SetChannel(new QD_SequencerBeat(0.25f), static_cast<std::uint32_t>(i));
            else
                sequencer->SetChannel(
                    new QD_SequencerSpline(QD_SPLINE_LINEAR, {{0.0f, 0.0f}, {4.0f, 1.0f}}), static_cast<std::uint32_t>(i));
        }
        sequencer->SubscribeChannels();
        float position = 0.0f;
        for (auto _ : state) {
            QD_GetSync()->DispatchBeat(position);
            position += 0.01f;
        }
        state.counters["per_listener"] = benchmark::Counter(
            static_cast<double>(state.iterations()) * channelCount, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
        benchmark::DoNotOptimize(sequencer->GetValue(1));
    }
    QD_DestroySync();
}
BENCHMARK(DispatchBeat)->Arg(1)->Arg(3000);
} // namespace
