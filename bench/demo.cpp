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
//                            shader cache off, warm with a cache filled by the first run.
//                            Counter first_frame_ms: the process's own figure for the first
//                            composed frame
//   StartUpShaders/cold|warm every .qcs shader of assets/ with both stages compiled (the
//                            sequencer scripts among them fail to compile and are skipped)
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

// Runs velvet-cascade --render for one small frame; returns its figure for the first composed
// frame in milliseconds (-1 when the run failed).
double RunRenderOnce(const std::string& environment)
{
    const std::filesystem::path out = std::filesystem::temp_directory_path() / ("vc-bench-render-" + std::to_string(getpid()));
    const std::filesystem::path log = out.string() + ".log";
    const std::string command = "cd '" VC_SOURCE_DIR "' && " + environment + " '" VC_BINARY_DIR
                                "/velvet-cascade' --render '" + out.string() + "' --size 160x90 --fps 4 --to 0.5 2>'" +
                                log.string() + "'";
    const int status = std::system(command.c_str());
    std::ifstream in(log);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::error_code ignored;
    std::filesystem::remove_all(out, ignored);
    std::filesystem::remove(log, ignored);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1.0;
    const std::string marker = "first frame composed after ";
    const std::size_t at = text.find(marker);
    return at == std::string::npos ? -1.0 : std::atof(text.c_str() + at + marker.size());
}

void RenderStartUp(benchmark::State& state)
{
    const bool warm = state.range(0) != 0;
    const std::string cache = std::filesystem::temp_directory_path() / ("vc-bench-cache-" + std::to_string(getpid()));
    const std::string environment =
        warm ? "MESA_SHADER_CACHE_DIR='" + cache + "'" : std::string("MESA_SHADER_CACHE_DISABLE=true");
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

std::vector<std::string> AssetFiles(const char* extension)
{
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(kAssets))
        if (entry.path().extension() == extension)
            files.push_back(entry.path().string());
    return files;
}

// Compiling every shader as the shader assets do, on the main thread; cold: the GL driver's
// cache is off (set before the renderer opens the driver).
void StartUpShaders(benchmark::State& state)
{
    const bool warm = state.range(0) != 0;
    if (!warm)
        setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
    QC_CreateLog(QC_LogConfig{});
    QR_CreateRenderer(QR_RendererSettings{.backend = QR_Backend::DX10, .headless = true});
    std::vector<QC_String> sources;
    for (const std::string& file : AssetFiles(".qcs")) {
        QC_String text;
        if (QC_ReadFile(file.c_str(), text) && std::string(text.CStr()).find("vertex") != std::string::npos)
            sources.push_back(text);
    }
    for (auto _ : state) {
        int compiled = 0;
        for (const QC_String& source : sources) {
            QC_Ptr<QR_VertexShader> vertex = QR_GetRenderer()->CreateVertexShader(source);
            QC_Ptr<QR_PixelShader> pixel = QR_GetRenderer()->CreatePixelShader(source);
            compiled += vertex && pixel ? 1 : 0;
        }
        state.counters["shaders"] = compiled;
    }
    QR_DestroyRenderer();
    QC_DestroyLog();
    unsetenv("MESA_SHADER_CACHE_DISABLE");
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
