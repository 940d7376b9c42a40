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
//                            The same frames are also drawn alone (VC_RENDER_ONLY=1: no
//                            read-back, no encoding) in the same run: render_only_s, and
//                            capture_over_render, the capture's wall time over that (the
//                            outputs' cost; 1 would be free), and cpu_capture_over_render, the
//                            same in CPU time, loading taken off both. With
//                            VC_BENCH_VIDEO_BASELINE=PROGRAM an older velvet-cascade captures
//                            the same frames too: baseline_over_render and
//                            baseline_x_realtime, for a before-and-after in one run;
//                            VC_BENCH_VIDEO_OPTIONS adds options to this build's capture
//                            (--preset NAME, to weigh a preset against the drawing)
//   WholeDemoEstimate        the samples weighted by the length of their scenes: the capture
//                            time of the whole demo, its x_realtime, shares and the ratios
//                            above. Needs the samples in the same run (the default filter runs
//                            them all)
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

// One run of the program over a sample's frames, as its summary line and its CPU time tell.
struct Run
{
    double loopSeconds = 0.0;     // the frame loop's wall time
    double cpuSeconds = 0.0;      // of the frames, the loading taken off
    double renderShare = 0.0;
    double readBackShare = 0.0;
    double encodeShare = 0.0;
    double mebibytes = 0.0;
};

struct Sample
{
    double beats = 0.0;           // the scene's length
    double sampleBeats = 0.0;
    Run capture;
    Run renderOnly;
    Run baseline;                 // loopSeconds 0 without VC_BENCH_VIDEO_BASELINE
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

// The ways a sample's frames are run: this build's capture, its drawing alone, and an older
// build's capture.
enum Mode
{
    kCapture,
    kRenderOnly,
    kBaseline,
    kModeCount,
};

std::string BaselineProgram()
{
    const char* program = std::getenv("VC_BENCH_VIDEO_BASELINE");
    return program ? program : "";
}

std::string CaptureOptions()
{
    const char* options = std::getenv("VC_BENCH_VIDEO_OPTIONS");
    return options ? std::string(" ") + options : "";
}

std::string RenderCommand(Mode mode, const std::string& video, const std::string& log, double from, double to)
{
    char range[96];
    std::snprintf(range, sizeof(range), " --from %.4f --to %.4f", from, to);
    const std::string program = mode == kBaseline ? BaselineProgram() : VC_BINARY_DIR "/velvet-cascade";
    return std::string("cd '" VC_SOURCE_DIR "' && ") + (mode == kRenderOnly ? "VC_RENDER_ONLY=1 " : "") + "'" +
           program + "' --render '" + video + "' --size 1280x720 --fps 60" + range +
           (mode == kCapture ? CaptureOptions() : "") +
           // An older program kept anywhere is told where the data is.
           (mode == kBaseline ? " --assets '" VC_SOURCE_DIR "/assets'" : "") + " 2>'" + log + "' >/dev/null";
}

// CPU seconds of a run of one frame: start-up, loading and shut-down, taken off each sample of
// the same mode.
double LoadingCpuSeconds(Mode mode, const std::string& base)
{
    static double seconds[kModeCount] = {-1.0, -1.0, -1.0};
    if (seconds[mode] < 0.0) {
        RunCounted(RenderCommand(mode, base + "-load.mp4", base + "-load.log", 0.0, 1.0 / 30.0), seconds[mode]);
        std::error_code ignored;
        std::filesystem::remove(base + "-load.mp4", ignored);
        std::filesystem::remove(base + "-load.log", ignored);
    }
    return seconds[mode];
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

// Runs the sample's frames in mode; false with why when the run failed or said nothing.
bool RunSample(Mode mode, double from, double to, Run& run, std::string& why)
{
    const std::string base =
        (std::filesystem::temp_directory_path() / ("vc-bench-video-" + std::to_string(getpid()))).string();
    const std::string video = base + ".mp4";
    const std::string log = base + ".log";
    const double loadingCpu = LoadingCpuSeconds(mode, base);
    double cpu = 0.0;
    const int status = RunCounted(RenderCommand(mode, video, log, from, to), cpu);
    std::ifstream in(log);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::error_code ignored;
    std::filesystem::remove(video, ignored);
    std::filesystem::remove(log, ignored);
    const std::size_t summary = text.find("s of video at 60 fps");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || summary == std::string::npos) {
        why = "velvet-cascade --render failed: " + text.substr(text.size() > 400 ? text.size() - 400 : 0);
        return false;
    }
    const std::string line = text.substr(text.rfind('\n', summary) + 1);
    run.loopSeconds = NumberAfter(line, ", in ");
    run.renderShare = NumberAfter(line, "rendering ");
    run.readBackShare = NumberAfter(line, "read-back ");
    run.encodeShare = NumberAfter(line, "encoding ");
    run.mebibytes = NumberBefore(line, " MiB");
    run.cpuSeconds = std::max(cpu - loadingCpu, 1e-3);
    return true;
}

double Ratio(double part, double whole)
{
    return whole > 0.0 ? part / whole : 0.0;
}

void CaptureScene(benchmark::State& state, const Scene& scene)
{
    const double beats = SampleBeats();
    const double from = scene.startBeat + std::min(kSampleOffsetBeats, (scene.endBeat - scene.startBeat) / 2.0);
    const double to = std::min(from + beats, scene.endBeat);
    const bool withBaseline = !BaselineProgram().empty();
    for (auto _ : state) {
        Sample sample;
        sample.beats = scene.endBeat - scene.startBeat;
        sample.sampleBeats = to - from;
        std::string why;
        if (!RunSample(kCapture, from, to, sample.capture, why) || !RunSample(kRenderOnly, from, to, sample.renderOnly, why) ||
            (withBaseline && !RunSample(kBaseline, from, to, sample.baseline, why))) {
            state.SkipWithError(why.c_str());
            return;
        }
        const Run& capture = sample.capture;
        const double videoSeconds = sample.sampleBeats * kSecondsPerBeat;
        state.SetIterationTime(capture.loopSeconds);
        state.counters["x_realtime"] = Ratio(videoSeconds, capture.loopSeconds);
        state.counters["fps"] = Ratio(videoSeconds * 60.0, capture.loopSeconds);
        state.counters["render_pct"] = capture.renderShare;
        state.counters["readback_pct"] = capture.readBackShare;
        state.counters["encode_pct"] = capture.encodeShare;
        state.counters["cpu_x_realtime"] = videoSeconds / capture.cpuSeconds;
        state.counters["MiB_per_s"] = capture.mebibytes / videoSeconds;
        state.counters["render_only_s"] = sample.renderOnly.loopSeconds;
        state.counters["capture_over_render"] = Ratio(capture.loopSeconds, sample.renderOnly.loopSeconds);
        state.counters["cpu_capture_over_render"] = Ratio(capture.cpuSeconds, sample.renderOnly.cpuSeconds);
        if (withBaseline) {
            state.counters["baseline_x_realtime"] = Ratio(videoSeconds, sample.baseline.loopSeconds);
            state.counters["baseline_over_render"] = Ratio(sample.baseline.loopSeconds, sample.renderOnly.loopSeconds);
            state.counters["cpu_baseline_over_render"] = Ratio(sample.baseline.cpuSeconds, sample.renderOnly.cpuSeconds);
        }
        Samples().push_back(sample);
    }
}

// A run's seconds per beat over the whole scene.
double OverScene(const Sample& sample, double seconds)
{
    return seconds / sample.sampleBeats * sample.beats;
}

void WholeDemoEstimate(benchmark::State& state)
{
    for (auto _ : state) {
        double captureSeconds = 0.0, demoBeats = 0.0, render = 0.0, readBack = 0.0, encode = 0.0, cpu = 0.0;
        double renderOnlySeconds = 0.0, renderOnlyCpu = 0.0, baselineSeconds = 0.0, baselineCpu = 0.0;
        for (const Sample& sample : Samples()) {
            const double seconds = OverScene(sample, sample.capture.loopSeconds);
            captureSeconds += seconds;
            cpu += OverScene(sample, sample.capture.cpuSeconds);
            renderOnlySeconds += OverScene(sample, sample.renderOnly.loopSeconds);
            renderOnlyCpu += OverScene(sample, sample.renderOnly.cpuSeconds);
            baselineSeconds += OverScene(sample, sample.baseline.loopSeconds);
            baselineCpu += OverScene(sample, sample.baseline.cpuSeconds);
            demoBeats += sample.beats;
            render += seconds * sample.capture.renderShare;
            readBack += seconds * sample.capture.readBackShare;
            encode += seconds * sample.capture.encodeShare;
        }
        if (captureSeconds <= 0.0) {
            state.SkipWithError("no scene samples in this run: run the Capture720p60 benchmarks with it");
            return;
        }
        const double demoSeconds = demoBeats * kSecondsPerBeat;
        state.SetIterationTime(captureSeconds);
        state.counters["x_realtime"] = demoSeconds / captureSeconds;
        state.counters["cpu_x_realtime"] = demoSeconds / cpu;
        state.counters["demo_s"] = demoSeconds;
        state.counters["capture_min"] = captureSeconds / 60.0;
        state.counters["render_pct"] = render / captureSeconds;
        state.counters["readback_pct"] = readBack / captureSeconds;
        state.counters["encode_pct"] = encode / captureSeconds;
        state.counters["render_only_min"] = renderOnlySeconds / 60.0;
        state.counters["capture_over_render"] = Ratio(captureSeconds, renderOnlySeconds);
        state.counters["cpu_capture_over_render"] = Ratio(cpu, renderOnlyCpu);
        if (baselineSeconds > 0.0) {
            state.counters["baseline_x_realtime"] = demoSeconds / baselineSeconds;
            state.counters["baseline_over_render"] = Ratio(baselineSeconds, renderOnlySeconds);
            state.counters["cpu_baseline_over_render"] = Ratio(baselineCpu, renderOnlyCpu);
        }
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
