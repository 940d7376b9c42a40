// The demo object's frame and the demo's start-up.
//
//   DemoFrame/painted        Render with two trivial scenes (each clears its target) during a
//                            fade, composition included, then Present; main-thread CPU time
//   DemoFrame/unpainted      the same with scenes that draw nothing: the timeline and the
//                            composition alone
//   ClearAndPresent          the floor: one clear of the back buffer and Present
//   (counter allocs/frame: operator new calls per frame after warm-up, expected 0)
//
//   RenderStartUp/cold       velvet-cascade --render of one frame at 160 x 90 with all of
//   RenderStartUp/warm       assets/, as a process, wall time to its end; cold with the GL
//                            shader cache and our shader cache off, warm with both filled by
//                            the first run. Counter first_frame_ms: the process's own figure
//                            for the first composed frame
//   StartUpToFloor           the warm start-up next to the device's bring-up floor, in one run:
//                            turn about, the warm render above and a process that brings up
//                            the headless device, presents one cleared 160 x 90 frame, reads it
//                            back and ends (this program started again as the floor). Counters:
//                            startup_ms and floor_ms (process wall times) and their ratio,
//                            startup_cpu_ms and floor_cpu_ms (their CPU times) and cpu_ratio
//                            (VC_BENCH_PROGRAM names another velvet-cascade to time, an older
//                            build for a before figure)
//   StartUpShaders/cold|warm every .qcs shader of assets/ with both stages compiled (the
//                            sequencer scripts among them fail to compile and are skipped); cold
//                            with both caches off, warm with both filled by a first pass
//   StartUpPictures          every PNG of assets/ decoded
//   StartUpMusic             assets/music.ogg decoded
//
// The demo-object benchmarks run on the headless device at 1280 x 720, from assets/ for the
// composition shader and the 2D kit, with a small timeline written to a temporary folder.

#include "LM1_Demo.h"
#include "LM1_Draw2D.h"
#include "QA_Buffer_OGG.h"
#include "QC_File.h"
#include "QC_Image.h"
#include "QC_Log.h"
#include "QC_Tasks.h"
#include "QC_Thread.h"
#include "QD_Assets.h"
#include "QD_Sync.h"
#include "QR_Renderer.h"
#include "QU_Font.h"
#include "QA_Audio.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Every allocation of the process is counted: a frame must make none.
#include "AllocationCounter.h"

namespace
{
constexpr std::int32_t kWidth = 1280;
constexpr std::int32_t kHeight = 720;
const std::string kAssets = VC_SOURCE_DIR "/assets/";

// The subsystems of the demo on the headless device around an asset folder with the real
// composition shader, vignette and 2D kit and a timeline that fades from 101 to 205 at beat 1.
class DemoRig
{
public:
    explicit DemoRig(bool paintScenes)
    {
        folder = std::filesystem::temp_directory_path() / ("vc-bench-demo-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        Write("scene.qcs", "1 = 1;\n2 = 1;\n3 = 10;\n10 = constant(0:101, 1:205, 1000:205);\n");
        for (const char* part : {"o.qcs", "p.qcs", "t.qcs"})
            Write(part, "1 = 0;\n");
        for (const char* name : {"post.qcs", "vignette.png", "font.png", "font.qcs", "texture.qcs", "music.ogg"})
            std::filesystem::copy_file(kAssets + name, folder / name, std::filesystem::copy_options::overwrite_existing);

        QC_CreateLog(QC_LogConfig{});
        QR_CreateRenderer(QR_RendererSettings{.backend = QR_Backend::DX10, .headless = true});
        swapChain = QR_GetRenderer()->CreateSwapChain(kWidth, kHeight);
        context = QR_GetRenderer()->GetRenderContext();
        context->SetSwapChain(swapChain.Get());
        context->SetViewport(0, 0, kWidth, kHeight);
        QC_CreateTasks(QC_TasksConfig{.workerCount = 2});
        QU_InitFonts();
        QD_CreateSync(QD_SyncSettings{.method = QD_SYNC_METHOD_BPM, .bpm = 120, .midiDevice = 0});
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        QA_CreateAudio(QA_AudioSettings{.enabled = false});
        QD_AssetsSettings settings;
        settings.root = folder.string().c_str();
        QD_CreateAssets(settings);
        demo = new LM1_Demo;
        LM1_ScenePainter painter;
        if (paintScenes)
            painter = [this](std::int32_t scene, QR_RenderTarget* target) {
                context->SetRenderTarget(target);
                context->Clear(scene == 101 ? QR_Colour{255, 0, 0, 255} : QR_Colour{0, 0, 255, 255});
            };
        else
            painter = [](std::int32_t, QR_RenderTarget*) {};
        demo->Init(kWidth, kHeight, painter);
        while (!demo->StartWhenLoaded()) {
            QC_GetTasks()->RunMainThreadTasks();
            QD_GetAssets()->Update();
            QC_Sleep(1);
        }
    }

    ~DemoRig()
    {
        delete demo;
        LM1_ReleaseDraw2D();
        QD_DestroyAssets();
        QA_DestroyAudio();
        QD_DestroySync();
        QU_ShutdownFonts();
        context = nullptr;
        swapChain = nullptr;
        QR_DestroyRenderer();
        QC_DestroyTasks();
        QC_DestroyLog();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    // One frame at beat, as the main loop runs it.
    void Frame(float beat)
    {
        QC_GetTasks()->RunMainThreadTasks();
        QD_GetAssets()->Update();
        QD_GetSync()->UpdateAtMilliseconds(std::llround(beat * 500.0));
        demo->UpdateStatistics();
        demo->Render();
        demo->EndFrame();
        swapChain->Present();
    }

    LM1_Demo* demo = nullptr;
    QC_Ptr<QR_SwapChain> swapChain;
    QC_Ptr<QR_RenderContext> context;

private:
    void Write(const char* name, const std::string& text)
    {
        std::ofstream out(folder / name, std::ios::binary);
        out << text;
    }
    std::filesystem::path folder;
};

void DemoFrame(benchmark::State& state)
{
    DemoRig rig(state.range(0) != 0);
    // The change to 205 comes in the frame at 1.0, a hundredth of a beat after the last one;
    // the clock then stands still, so the fade stays at 0.01 and both scenes are drawn.
    rig.Frame(0.0f);
    rig.Frame(0.99f);
    const float beat = 1.0f;
    for (int warm = 0; warm < 10; ++warm)
        rig.Frame(beat);
    const std::uint64_t allocationsBefore = gAllocations.load();
    std::uint64_t frames = 0;
    for (auto _ : state) {
        rig.Frame(beat);
        ++frames;
    }
    const std::uint64_t allocations = gAllocations.load() - allocationsBefore;
    state.counters["allocs/frame"] = double(allocations) / double(frames ? frames : 1);
    state.counters["fade"] = rig.demo->Fade();
    // Let the rasteriser finish before the rig goes.
    QC_Ptr<QC_Image> image(new QC_Image(kWidth, kHeight));
    rig.swapChain->ReadBackBuffer(*image);
}
BENCHMARK(DemoFrame)->Arg(1)->Arg(0)->ArgName("painted")->Unit(benchmark::kMicrosecond);

void ClearAndPresent(benchmark::State& state)
{
    DemoRig rig(false);
    for (auto _ : state) {
        rig.context->SetRenderTarget(nullptr);
        rig.context->Clear(QR_Colour{0, 0, 0, 255});
        rig.swapChain->Present();
    }
    QC_Ptr<QC_Image> image(new QC_Image(kWidth, kHeight));
    rig.swapChain->ReadBackBuffer(*image);
}
BENCHMARK(ClearAndPresent)->Unit(benchmark::kMicrosecond);

// --- start-up ----------------------------------------------------------------------------------

constexpr const char* kFloorVariable = "VC_BENCH_FLOOR_CHILD";

// The floor's process: this program started again with kFloorVariable set brings up the
// headless device as velvet-cascade --render does, presents one cleared frame, reads it back
// (the render does so to write it) and ends before the benchmarks would start.
const bool g_floorChildRan = [] {
    if (!std::getenv(kFloorVariable))
        return false;
    QC_CreateLog(QC_LogConfig{});
    QR_CreateRenderer(QR_RendererSettings{.backend = QR_Backend::DX10, .headless = true});
    {
        QC_Ptr<QR_SwapChain> swapChain = QR_GetRenderer()->CreateSwapChain(160, 90);
        QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
        context->SetSwapChain(swapChain.Get());
        context->SetViewport(0, 0, 160, 90);
        context->SetRenderTarget(nullptr);
        context->Clear(QR_Colour{0, 0, 0, 255});
        swapChain->Present();
        QC_Ptr<QC_Image> image(new QC_Image(160, 90));
        swapChain->ReadBackBuffer(*image);
    }
    QR_DestroyRenderer();
    QC_DestroyLog();
    std::exit(0);
}();

std::string ProgramToTime()
{
    const char* named = std::getenv("VC_BENCH_PROGRAM");
    return named && named[0] ? named : VC_BINARY_DIR "/velvet-cascade";
}

double ChildrenCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// Milliseconds of wall time a shell command takes, -1 when it failed; the CPU time of its
// processes (user and system, the shell's included) in *cpuMs. The CPU time is the steadier
// figure on a machine that others share.
double TimeCommand(const std::string& command, double* cpuMs = nullptr)
{
    const double cpuBefore = ChildrenCpuMs();
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const std::chrono::duration<double, std::milli> taken = std::chrono::steady_clock::now() - start;
    if (cpuMs)
        *cpuMs = ChildrenCpuMs() - cpuBefore;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? taken.count() : -1.0;
}

// The floor's process once, started from the same folder and shell as the render.
double RunFloorOnce(double* cpuMs = nullptr)
{
    return TimeCommand("cd '" VC_SOURCE_DIR "' && " + std::string(kFloorVariable) + "=1 '/proc/" +
                           std::to_string(getpid()) + "/exe' 2>/dev/null",
                       cpuMs);
}

// The environment of a cold or warm start: the caches off, or in a folder of this run's own.
std::string CacheEnvironment(bool warm, const std::string& folder)
{
    return warm ? "MESA_SHADER_CACHE_DIR='" + folder + "/gl' VC_SHADER_CACHE='" + folder + "/shaders'"
                : std::string("MESA_SHADER_CACHE_DISABLE=true VC_SHADER_CACHE=off");
}

// Runs velvet-cascade --render for one small frame; returns its figure for the first composed
// frame in milliseconds (-1 when the run failed) and the process's wall time in *wallMs.
double RunRenderOnce(const std::string& environment, double* wallMs = nullptr, double* cpuMs = nullptr)
{
    const std::filesystem::path out = std::filesystem::temp_directory_path() / ("vc-bench-render-" + std::to_string(getpid()));
    const std::filesystem::path log = out.string() + ".log";
    // The data named, so that a program copied out of its build folder finds it too.
    const std::string command = "cd '" VC_SOURCE_DIR "' && " + environment + " '" + ProgramToTime() +
                                "' --assets '" VC_SOURCE_DIR "/assets' --render '" + out.string() +
                                "' --size 160x90 --fps 4 --to 0.5 2>'" + log.string() + "'";
    const double wall = TimeCommand(command, cpuMs);
    if (wallMs)
        *wallMs = wall;
    std::ifstream in(log);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::error_code ignored;
    std::filesystem::remove_all(out, ignored);
    std::filesystem::remove(log, ignored);
    if (wall < 0.0)
        return -1.0;
    const std::string marker = "first frame composed after ";
    const std::size_t at = text.find(marker);
    return at == std::string::npos ? -1.0 : std::atof(text.c_str() + at + marker.size());
}

void RenderStartUp(benchmark::State& state)
{
    const bool warm = state.range(0) != 0;
    const std::string cache = std::filesystem::temp_directory_path() / ("vc-bench-cache-" + std::to_string(getpid()));
    const std::string environment = CacheEnvironment(warm, cache);
    if (warm && RunRenderOnce(environment) < 0.0)
        state.SkipWithError("velvet-cascade --render failed");
    double firstFrame = 0.0;
    for (auto _ : state) {
        const double milliseconds = RunRenderOnce(environment);
        if (milliseconds < 0.0) {
            state.SkipWithError("velvet-cascade --render failed");
            break;
        }
        firstFrame += milliseconds;
    }
    state.counters["first_frame_ms"] = benchmark::Counter(firstFrame, benchmark::Counter::kAvgIterations);
    std::error_code ignored;
    std::filesystem::remove_all(cache, ignored);
}
BENCHMARK(RenderStartUp)->ArgName("warm")->Arg(0)->Arg(1)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

void StartUpToFloor(benchmark::State& state)
{
    const std::string cache = std::filesystem::temp_directory_path() / ("vc-bench-cache-" + std::to_string(getpid()));
    const std::string environment = CacheEnvironment(true, cache);
    // The first of each fills the caches and the file system's: neither is counted.
    if (RunRenderOnce(environment) < 0.0 || RunFloorOnce() < 0.0)
        state.SkipWithError("velvet-cascade --render or the floor's process failed");
    double startUp = 0.0, floor = 0.0, firstFrame = 0.0, startUpCpu = 0.0, floorCpu = 0.0;
    for (auto _ : state) {
        double wall = -1.0, cpu = 0.0, floorProcessCpu = 0.0;
        const double milliseconds = RunRenderOnce(environment, &wall, &cpu);
        const double floorWall = RunFloorOnce(&floorProcessCpu);
        if (milliseconds < 0.0 || floorWall < 0.0) {
            state.SkipWithError("velvet-cascade --render or the floor's process failed");
            break;
        }
        startUp += wall;
        floor += floorWall;
        startUpCpu += cpu;
        floorCpu += floorProcessCpu;
        firstFrame += milliseconds;
    }
    state.counters["startup_ms"] = benchmark::Counter(startUp, benchmark::Counter::kAvgIterations);
    state.counters["floor_ms"] = benchmark::Counter(floor, benchmark::Counter::kAvgIterations);
    state.counters["first_frame_ms"] = benchmark::Counter(firstFrame, benchmark::Counter::kAvgIterations);
    state.counters["ratio"] = floor > 0.0 ? startUp / floor : 0.0;
    state.counters["startup_cpu_ms"] = benchmark::Counter(startUpCpu, benchmark::Counter::kAvgIterations);
    state.counters["floor_cpu_ms"] = benchmark::Counter(floorCpu, benchmark::Counter::kAvgIterations);
    state.counters["cpu_ratio"] = floorCpu > 0.0 ? startUpCpu / floorCpu : 0.0;
    std::error_code ignored;
    std::filesystem::remove_all(cache, ignored);
}
BENCHMARK(StartUpToFloor)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

std::vector<std::string> AssetFiles(const char* extension)
{
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(kAssets))
        if (entry.path().extension() == extension)
            files.push_back(entry.path().string());
    return files;
}

// Compiling every shader as the shader assets do, on the main thread; cold: the GL driver's
// cache and our shader cache are off (set before the renderer opens the driver), warm: both are
// filled by a first pass that is not counted.
void StartUpShaders(benchmark::State& state)
{
    const bool warm = state.range(0) != 0;
    const std::string cache = std::filesystem::temp_directory_path() / ("vc-bench-shaders-" + std::to_string(getpid()));
    if (!warm)
        setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
    setenv("VC_SHADER_CACHE", warm ? cache.c_str() : "off", 1);
    QC_CreateLog(QC_LogConfig{});
    QR_CreateRenderer(QR_RendererSettings{.backend = QR_Backend::DX10, .headless = true});
    std::vector<QC_String> sources;
    for (const std::string& file : AssetFiles(".qcs")) {
        QC_String text;
        if (QC_ReadFile(file.c_str(), text) && std::string(text.CStr()).find("vertex") != std::string::npos)
            sources.push_back(text);
    }
    auto compileAll = [&sources] {
        int compiled = 0;
        for (const QC_String& source : sources) {
            QC_Ptr<QR_VertexShader> vertex = QR_GetRenderer()->CreateVertexShader(source);
            QC_Ptr<QR_PixelShader> pixel = QR_GetRenderer()->CreatePixelShader(source);
            compiled += vertex && pixel ? 1 : 0;
        }
        return compiled;
    };
    if (warm)
        compileAll();
    for (auto _ : state)
        state.counters["shaders"] = compileAll();
    QR_DestroyRenderer();
    QC_DestroyLog();
    unsetenv("MESA_SHADER_CACHE_DISABLE");
    unsetenv("VC_SHADER_CACHE");
    std::error_code ignored;
    std::filesystem::remove_all(cache, ignored);
}
BENCHMARK(StartUpShaders)->ArgName("warm")->Arg(0)->Arg(1)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);

void StartUpPictures(benchmark::State& state)
{
    const std::vector<std::string> files = AssetFiles(".png");
    for (auto _ : state) {
        for (const std::string& file : files) {
            QC_Ptr<QC_Image> image;
            benchmark::DoNotOptimize(QC_LoadPng(file.c_str(), image));
        }
    }
    state.counters["pictures"] = double(files.size());
}
BENCHMARK(StartUpPictures)->Iterations(3)->Unit(benchmark::kMillisecond);

void StartUpMusic(benchmark::State& state)
{
    for (auto _ : state) {
        QC_Ptr<QA_Buffer> pcm;
        if (!QA_Buffer_OGG::Load((kAssets + "music.ogg").c_str(), pcm))
            state.SkipWithError("assets/music.ogg did not decode");
    }
}
BENCHMARK(StartUpMusic)->Iterations(2)->Unit(benchmark::kMillisecond);
} // namespace
