// Ogg loading speed and memory. At start it writes a three-minute 44.1 kHz stereo file (and a
// 48 kHz twin, which goes through the sample-rate converter) into /tmp with libvorbisenc.
//
//   OggDecode/44100      decode speed; counter x_realtime = seconds of music per CPU second
//   OggDecode/48000      the same with conversion to 44100 Hz
//   OggPeakMemory        peak resident growth of one load (maxrss after it - resident size
//                        before it, MiB), run first; pcm_MiB is the result's size

#include "QA_Buffer_OGG.h"

#include "../tests/support/OggWriter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace
{
constexpr double kSeconds = 180.0;

const std::string& MusicFile(long rate)
{
    static std::string paths[2];
    std::string& path = paths[rate == 44100 ? 0 : 1];
    if (path.empty()) {
        path = "/tmp/vc-bench-audio-" + std::to_string(getpid()) + "-" + std::to_string(rate) + ".ogg";
        OggWriteOptions options;
        options.channels = 2;
        options.sampleRate = rate;
        options.frames = std::uint64_t(kSeconds * double(rate));
        // A chord with a slow tremolo and a little noise, so the encoder has real work to keep.
        std::uint32_t noise = 1;
        options.sample = [rate, &noise](std::uint64_t frame, int channel) {
            const double t = double(frame) / double(rate);
            noise = noise * 1664525u + 1013904223u;
            const double hiss = (double(noise >> 8) / double(1u << 24) - 0.5) * 0.02;
            const double tone = std::sin(2 * M_PI * 220.0 * t) + 0.5 * std::sin(2 * M_PI * (330.0 + channel) * t) +
                                0.25 * std::sin(2 * M_PI * 440.0 * t);
            return float(0.25 * tone * (0.75 + 0.25 * std::sin(2 * M_PI * 0.5 * t)) + hiss);
        };
        if (!WriteOgg(path, options)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            std::exit(1);
        }
        std::atexit([] {
            for (const std::string& written : paths)
                if (!written.empty())
                    std::remove(written.c_str());
        });
    }
    return path;
}

long MaxRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long CurrentRssKiB()
{
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Runs first (registration order), so its load is the process's first. The figure is taken
// once; repetitions report the same measurement.
void OggPeakMemory(benchmark::State& state)
{
    static double peakMiB = -1.0, pcmMiB = 0.0;
    const std::string& path = MusicFile(44100);
    for (auto _ : state) {
        if (peakMiB >= 0.0)
            continue;
        // The high-water mark only moves when the load goes above every earlier peak (the
        // encoder's included), so the growth is measured from the resident size now.
        const long before = CurrentRssKiB();
        const long peakBefore = MaxRssKiB();
        QC_Ptr<QA_Buffer> pcm;
        if (!QA_Buffer_OGG::Load(path.c_str(), pcm)) {
            state.SkipWithError("load failed");
            return;
        }
        const long after = MaxRssKiB();
        if (after <= peakBefore) {
            state.SkipWithError("the load stayed below an earlier peak: no figure");
            return;
        }
        peakMiB = double(after - before) / 1024.0;
        pcmMiB = double(pcm->Size()) / (1024.0 * 1024.0);
    }
    state.counters["peak_rss_growth_MiB"] = peakMiB;
    state.counters["pcm_MiB"] = pcmMiB;
}
BENCHMARK(OggPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

void OggDecode(benchmark::State& state)
{
    const std::string& path = MusicFile(state.range(0));
    for (auto _ : state) {
        QC_Ptr<QA_Buffer> pcm;
        if (!QA_Buffer_OGG::Load(path.c_str(), pcm)) {
            state.SkipWithError("load failed");
            return;
        }
        benchmark::DoNotOptimize(pcm->Data());
    }
    // Seconds of music decoded per second of CPU time (the machine is shared: CPU time is what
    // the decoder costs).
    state.counters["x_realtime"] =
        benchmark::Counter(kSeconds * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(OggDecode)->Arg(44100)->Arg(48000)->Unit(benchmark::kMillisecond);
} // namespace
