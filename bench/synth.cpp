// The soundtrack's render time: music/velvet-cascade.score played, mastered and encoded, one
// iteration each (a whole render takes seconds).
//
//   SynthRender          the score played into a stereo mix (voices, delay, reverb)
//   SynthMaster          loudness normalisation and true-peak limiting of that mix
//   SynthEncode          Ogg Vorbis encoding of the mastered mix to /tmp
//   SynthWholeScore      all three, as vc-synth does them
//
// Counter x_realtime = seconds of music per second of wall time; the CPU column counts every
// thread of the process (the renderer uses two).

#include "QC_Log.h"
#include "synth/VS_Master.h"
#include "synth/VS_OggEncoder.h"
#include "synth/VS_Renderer.h"
#include "synth/VS_ScoreParser.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace
{
// The repository's score; without the build's source path, relative to the repository root
// where the benchmarks are run from.
#ifdef VC_SOURCE_DIR
const std::string kScorePath = std::string(VC_SOURCE_DIR) + "/music/velvet-cascade.score";
#else
const std::string kScorePath = "music/velvet-cascade.score";
#endif

const VS_Score& Score()
{
    static VS_Score score;
    static bool parsed = false;
    if (!parsed) {
        QC_CreateLog(QC_LogConfig{});
        if (!VS_ScoreParser::ParseFile(kScorePath, score)) {
            std::fprintf(stderr, "the score does not parse\n");
            std::exit(1);
        }
        parsed = true;
    }
    return score;
}

double MusicSeconds(const VS_StereoBuffer& buffer)
{
    return double(buffer.Frames()) / Score().song.sampleRate;
}

void Render(VS_StereoBuffer& mix)
{
    VS_Renderer renderer(Score());
    renderer.Render(0, Score().song.bars, mix);
}

void Master(VS_StereoBuffer& mix)
{
    const VS_Song& song = Score().song;
    const VS_MasterResult result =
        VS_Master::Process(mix, song.loudness, song.ceiling, std::size_t(song.tail * 0.5 * song.sampleRate), song.sampleRate);
    benchmark::DoNotOptimize(result.loudness);
}

std::string TemporaryOgg()
{
    return "/tmp/vc-bench-synth-" + std::to_string(getpid()) + ".ogg";
}

void SetRealtime(benchmark::State& state, double seconds)
{
    state.counters["x_realtime"] = benchmark::Counter(seconds * double(state.iterations()), benchmark::Counter::kIsRate);
}

void SynthRender(benchmark::State& state)
{
    VS_StereoBuffer mix;
    for (auto _ : state)
        Render(mix);
    SetRealtime(state, MusicSeconds(mix));
}

void SynthMaster(benchmark::State& state)
{
    VS_StereoBuffer played;
    Render(played);
    VS_StereoBuffer mix;
    for (auto _ : state) {
        state.PauseTiming();
        mix = played;
        state.ResumeTiming();
        Master(mix);
    }
    SetRealtime(state, MusicSeconds(played));
}

void SynthEncode(benchmark::State& state)
{
    VS_StereoBuffer mix;
    Render(mix);
    Master(mix);
    const std::string path = TemporaryOgg();
    for (auto _ : state)
        benchmark::DoNotOptimize(VS_OggEncoder::Write(path, mix, 44100, 0.5f));
    std::remove(path.c_str());
    SetRealtime(state, MusicSeconds(mix));
}

void SynthWholeScore(benchmark::State& state)
{
    const std::string path = TemporaryOgg();
    VS_StereoBuffer mix;
    for (auto _ : state) {
        Render(mix);
        Master(mix);
        benchmark::DoNotOptimize(VS_OggEncoder::Write(path, mix, 44100, 0.5f));
    }
    std::remove(path.c_str());
    SetRealtime(state, MusicSeconds(mix));
}
} // namespace

BENCHMARK(SynthRender)->Iterations(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(SynthMaster)->Iterations(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(SynthEncode)->Iterations(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(SynthWholeScore)->Iterations(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
