// Capture speed: velvet-cascade --render FILE.mp4 at 1280 x 720, 60 fps (H.264 CRF 18 and AAC),
// run as a process on a stretch of every scene of the timeline, and an estimate for the whole
// demo built from those samples.
//
//   Capture720p60/<scene>    one sample of the scene: VC_BENCH_VIDEO_BEATS beats (default 1,
//                            30 frames) from two beats after its start, past its fade. Time: the frame loop's wall time (the process's own
//                            figure; loading is not counted). Counters: x_realtime (seconds of
//                            video per second of capture), fps, and the shares of the frame
//                            loop spent rendering (the demo's frame: drawing commands), in the
//                            read-back (which waits for the rasteriser to finish the frame) and
//                            encoding (colour conversion, encoders, file); cpu_x_realtime:
//                            seconds of video per second of the process's CPU time, less that
//                            of a run of one frame (the loading) - steadier than wall time on
//                            a shared machine, and above x_realtime where threads run at once
//   WholeDemoEstimate        the samples weighted by the length of their scenes: the capture
//                            time of the whole demo, its x_realtime and shares. Needs the
//                            samples in the same run (the default filter runs them all)
//
// The scenes and their lengths are read from assets/scene.qcs (channel 10 to the end of the
// run at beat 448), so the list follows the timeline. Run from anywhere; the demo runs in the
// repository root. Each sample loads every asset (some seconds) before its frames.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
constexpr const char* kScenePath = VC_SOURCE_DIR "/assets/scene.qcs";
// Where the run channel ends the demo.
constexpr double kEndBeat = 448.0;
constexpr double kSecondsPerBeat = 0.5;
// Past the one-beat fade at a scene's start.
constexpr double kSampleOffsetBeats = 2.0;

struct Scene
{
    std::string name;
    double startBeat = 0.0;
    double endBeat = 0.0;
};

struct Sample
{
    double beats = 0.0;           // the scene's length
    double loopSeconds = 0.0;     // capture wall time of the sample
    double sampleBeats = 0.0;
    double renderShare = 0.0;
    double readBackShare = 0.0;
    double encodeShare = 0.0;
    double cpuSeconds = 0.0;      // of the frames, the loading taken off
};

std::vector<Sample>& Samples()
{
    static std::vector<Sample> samples;
    return samples;
}

double SampleBeats()
{
    const char* text = std::getenv("VC_BENCH_VIDEO_BEATS");
    const double beats = text ? std::atof(text) : 1.0;
    return beats > 0.0 ? beats : 1.0;
}

std::string SceneName(int number)
{
    if (number >= 301)
        return "t" + std::to_string(number - 300);
    if (number >= 201)
        return "p" + std::to_string(number - 200);
    return "o" + std::to_string(number - 100);
}

// The keys of channel 10 ("beat:scene" inside "10 = constant( ... );"), cut at the run's end.
std::vector<Scene> ReadScenes()
{
    std::ifstream in(kScenePath);
    std::stringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    const std::size_t start = all.find("\n10 = constant(");
    const std::size_t end = all.find(");", start);
    std::vector<Scene> scenes;
    if (start == std::string::npos || end == std::string::npos)
        return scenes;
    std::string block = all.substr(start, end - start);
    block = std::regex_replace(block, std::regex("//[^\n]*"), "");
    const std::regex key("(\\d+(?:\\.\\d+)?)\\s*:\\s*(\\d+)");
    for (auto match = std::sregex_iterator(block.begin(), block.end(), key); match != std::sregex_iterator(); ++match) {
        const double beat = std::atof((*match)[1].str().c_str());
        if (!scenes.empty())
            scenes.back().endBeat = std::min(beat, kEndBeat);
        if (beat >= kEndBeat)
            break;
        scenes.push_back(Scene{SceneName(std::atoi((*match)[2].str().c_str())), beat, kEndBeat});
    }
    return scenes;
}

// CPU seconds of the finished child processes so far.
double ChildrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1.0e6;
}

// Runs command; its exit status and the CPU seconds it took.
int RunCounted(const std::string& command, double& cpuSeconds)
{
    const double before = ChildrenCpuSeconds();
    const int status = std::system(command.c_str());
    cpuSeconds = ChildrenCpuSeconds() - before;
    return status;
}

std::string RenderCommand(const std::string& video, const std::string& log, double from, double to)
{
    char range[96];
    std::snprintf(range, sizeof(range), " --from %.4f --to %.4f", from, to);
    return "cd '" VC_SOURCE_DIR "' && '" VC_BINARY_DIR "/velvet-cascade' --render '" + video +
           "' --size 1280x720 --fps 60" + range + " 2>'" + log + "' >/dev/null";
}

// CPU seconds of a capture of one frame: start-up, loading and shut-down, taken off each sample.
double LoadingCpuSeconds(const std::string& base)
{
    static double seconds = -1.0;
    if (seconds < 0.0) {
        RunCounted(RenderCommand(base + "-load.mp4", base + "-load.log", 0.0, 1.0 / 30.0), seconds);
        std::error_code ignored;
        std::filesystem::remove(base + "-load.mp4", ignored);
        std::filesystem::remove(base + "-load.log", ignored);
    }
    return seconds;
}

// The number after marker in text, or -1.
double NumberAfter(const std::string& text, const std::string& marker)
{
    const std::size_t at = text.find(marker);
    return at == std::string::npos ? -1.0 : std::atof(text.c_str() + at + marker.size());
}

// The number just before marker in text ("55 %, " -> 55), or -1.
double NumberBefore(const std::string& text, const std::string& marker)
{
    const std::size_t at = text.find(marker);
    if (at == std::string::npos)
        return -1.0;
    std::size_t begin = text.rfind(' ', at > 0 ? at - 1 : 0);
    return std::atof(text.c_str() + (begin == std::string::npos ? 0 : begin + 1));
}

void CaptureScene(benchmark::State& state, const Scene& scene)
{
    const double beats = SampleBeats();
    const double from = scene.startBeat + std::min(kSampleOffsetBeats, (scene.endBeat - scene.startBeat) / 2.0);
    const double to = std::min(from + beats, scene.endBeat);
    const std::string base = (std::filesystem::temp_directory_path() / ("vc-bench-video-" + std::to_string(getpid()))).string();
    const std::string video = base + ".mp4";
    const std::string log = base + ".log";
    const std::string command = RenderCommand(video, log, from, to);
    const double loadingCpu = LoadingCpuSeconds(base);
    for (auto _ : state) {
        double cpu = 0.0;
        const int status = RunCounted(command, cpu);
        std::ifstream in(log);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::error_code ignored;
        std::filesystem::remove(video, ignored);
        std::filesystem::remove(log, ignored);
        const std::size_t summary = text.find("s of video at 60 fps");
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || summary == std::string::npos) {
            state.SkipWithError(("velvet-cascade --render failed: " + text.substr(text.size() > 400 ? text.size() - 400 : 0)).c_str());
            return;
        }
        const std::string line = text.substr(text.rfind('\n', summary) + 1);
        Sample sample;
        sample.beats = scene.endBeat - scene.startBeat;
        sample.sampleBeats = to - from;
        sample.loopSeconds = NumberAfter(line, " MiB, in ");
        sample.renderShare = NumberAfter(line, "rendering ");
        sample.readBackShare = NumberAfter(line, "read-back ");
        sample.encodeShare = NumberAfter(line, "encoding ");
        sample.cpuSeconds = std::max(cpu - loadingCpu, 1e-3);
        const double videoSeconds = sample.sampleBeats * kSecondsPerBeat;
        state.SetIterationTime(sample.loopSeconds);
        state.counters["x_realtime"] = sample.loopSeconds > 0.0 ? videoSeconds / sample.loopSeconds : 0.0;
        state.counters["fps"] = sample.loopSeconds > 0.0 ? videoSeconds * 60.0 / sample.loopSeconds : 0.0;
        state.counters["render_pct"] = sample.renderShare;
        state.counters["readback_pct"] = sample.readBackShare;
        state.counters["encode_pct"] = sample.encodeShare;
        state.counters["cpu_x_realtime"] = videoSeconds / sample.cpuSeconds;
        state.counters["MiB_per_s"] = NumberBefore(line, " MiB") / videoSeconds;
        Samples().push_back(sample);
    }
}

void WholeDemoEstimate(benchmark::State& state)
{
    for (auto _ : state) {
        double captureSeconds = 0.0, demoBeats = 0.0, render = 0.0, readBack = 0.0, encode = 0.0, cpu = 0.0;
        for (const Sample& sample : Samples()) {
            // The sample's seconds per beat over the whole scene.
            const double seconds = sample.loopSeconds / sample.sampleBeats * sample.beats;
            captureSeconds += seconds;
            cpu += sample.cpuSeconds / sample.sampleBeats * sample.beats;
            demoBeats += sample.beats;
            render += seconds * sample.renderShare;
            readBack += seconds * sample.readBackShare;
            encode += seconds * sample.encodeShare;
        }
        if (captureSeconds <= 0.0) {
            state.SkipWithError("no scene samples in this run: run the Capture720p60 benchmarks with it");
            return;
        }
        state.SetIterationTime(captureSeconds);
        state.counters["x_realtime"] = demoBeats * kSecondsPerBeat / captureSeconds;
        state.counters["cpu_x_realtime"] = demoBeats * kSecondsPerBeat / cpu;
        state.counters["demo_s"] = demoBeats * kSecondsPerBeat;
        state.counters["capture_min"] = captureSeconds / 60.0;
        state.counters["render_pct"] = render / captureSeconds;
        state.counters["readback_pct"] = readBack / captureSeconds;
        state.counters["encode_pct"] = encode / captureSeconds;
    }
}

// Registered before main runs, in the timeline's order, the estimate last.
const bool kRegistered = [] {
    const std::vector<Scene> scenes = ReadScenes();
    if (scenes.empty())
        std::fprintf(stderr, "bench_video: no scenes found in %s\n", kScenePath);
    for (const Scene& scene : scenes)
        benchmark::RegisterBenchmark(("Capture720p60/" + scene.name).c_str(),
                                     [scene](benchmark::State& state) { CaptureScene(state, scene); })
            ->UseManualTime()
            ->Iterations(1)
            ->Unit(benchmark::kSecond);
    benchmark::RegisterBenchmark("WholeDemoEstimate", WholeDemoEstimate)
        ->UseManualTime()
        ->Iterations(1)
        ->Unit(benchmark::kSecond);
    return true;
}();
} // namespace
