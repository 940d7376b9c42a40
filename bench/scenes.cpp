// Every scene of the demo, one frame at a time, as the scene parts draw it at 1280 x 720 on the
// headless device from the real assets/.
//
//   Scene/N      scene N (101-124 part O, 201-205 part P, 301 part T) drawn through its part's
//                Render into a 1280 x 720 target at the middle of its range on the timeline of
//                scene.qcs; the clock moves on by a sixtieth of a second a frame and goes back
//                over one beat. Each frame waits for the GPU (a one-pixel copy of the target
//                read back), so real time includes the rasteriser's work. CPU time is the whole
//                process's: the main thread and, on the software renderer, the rasteriser's
//                threads, so it is the frame's full cost even on a machine busy with others.
//   (counter allocs/frame: operator new calls per measured frame, expected 0)
//   (counter beat: where on the timeline the scene is measured)
//
//   Composed/N   the demo's whole frame while scene N comes in: LM1_Demo's Render (both scenes
//                of a cross-fade while the timeline fades, then the composition with post.qcs and
//                the vignette), EndFrame and the present of a 1280 x 720 headless swap chain,
//                over the first two beats of the scene's first range on the timeline, entered
//                from the scene before it as the demo enters it (its fade-in included, where
//                the timeline fades). The clock moves on by a sixtieth of a second a frame.
//                Each frame ends with the back buffer read back, as a window's present copies
//                the picture out, so real time includes the rasteriser's work; CPU time is the
//                process's, as for Scene/N.
//   (counter fps: composed frames a second of real time)
//   (counter fade_cpu_ms: process CPU time of the frames drawn during the fade, per frame)
//
// A scene whose assets are not in assets/ yet (or that draws nothing) is skipped with a reason.
// Scene/N: five repetitions each, Composed/N: three; the aggregates include the median.

#include "LM1_Demo.h"
#include "LM1_Draw2D.h"
#include "LM1_O.h"
#include "LM1_P.h"
#include "LM1_T.h"
#include "QC_Image.h"
#include "QC_Log.h"
#include "QC_Tasks.h"
#include "QC_Thread.h"
#include "QD_Assets.h"
#include "QD_Sequencer_QCS.h"
#include "QD_Sync.h"
#include "QA_Audio.h"
#include "QM_Quad.h"
#include "QR_Renderer.h"
#include "QU_Font.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <new>
#include <string>

// Every allocation of the process is counted: a frame must make none.
#include "AllocationCounter.h"

namespace
{
constexpr std::int32_t kWidth = 1280;
constexpr std::int32_t kHeight = 720;
// VC_BENCH_ASSETS names another asset folder (ending in /): the same build measured on an
// earlier version of the shaders, for before-and-after figures from one run.
std::string AssetFolder()
{
    const char* chosen = std::getenv("VC_BENCH_ASSETS");
    return chosen && *chosen ? std::string(chosen) : std::string(VC_SOURCE_DIR "/assets/");
}
const std::string kAssets = AssetFolder();
// Sixty frames a second at 120 beats a minute.
constexpr float kBeatsPerFrame = 2.0f / 60.0f;
// The composed stretch: two beats from the scene's entry, its one-beat fade-in and a beat alone.
constexpr float kComposedBeats = 2.0f;
constexpr std::int64_t kComposedFrames = 60;

// Draws texture slot 0 through a point sampler: the one-pixel copy that waits for a target.
const char* const kCopySource = R"(samplers
{
  QR_Sampler2D picture;
}
vertex
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, out QR_Position outPosition, out QR_TexCoord0 outTexCoord)
  {
    outPosition = inPosition;
    outTexCoord = inTexCoord;
  }
}
pixel
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, out QR_Target outColour)
  {
    outColour = QR_Sample(picture, inTexCoord)
  }
}
)";

// The demo's subsystems and its three scene parts on the headless device, built once for the
// whole run and kept until the process ends (the demo never releases its parts either).
class SceneRig
{
public:
    SceneRig()
    {
        QC_CreateLog(QC_LogConfig{});
        QR_CreateRenderer(QR_RendererSettings{.backend = QR_Backend::DX10, .headless = true});
        renderer = QR_GetRenderer();
        // The back buffer only receives the one-pixel copy; scenes draw into their own target.
        swapChain = renderer->CreateSwapChain(1, 1);
        context = renderer->GetRenderContext();
        context->SetSwapChain(swapChain.Get());
        QC_CreateTasks(QC_TasksConfig{.workerCount = 2});
        QD_CreateSync(QD_SyncSettings{.method = QD_SYNC_METHOD_BPM, .bpm = 120, .midiDevice = 0});
        QD_AssetsSettings settings;
        settings.root = kAssets.c_str();
        QD_CreateAssets(settings);
        LM1_InitDraw2D();
        partO = QC_Ptr<LM1_O>(new LM1_O(kWidth, kHeight));
        partP = QC_Ptr<LM1_P>(new LM1_P(kWidth, kHeight));
        partT = QC_Ptr<LM1_T>(new LM1_T(kWidth, kHeight));
        target = renderer->CreateRenderTarget(kWidth, kHeight);
        BuildCopy();
        LoadScripts();
        // Files that are missing never load: wait for the rest, then go on without them.
        const auto start = std::chrono::steady_clock::now();
        const auto end = start + std::chrono::seconds(30);
        while (!QD_GetAssets()->AllLoaded() && std::chrono::steady_clock::now() < end) {
            QC_GetTasks()->RunMainThreadTasks();
            QD_GetAssets()->Update();
            QC_Sleep(2);
        }
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        std::fprintf(stderr, "bench_scenes: %s after %lld ms\n",
                     QD_GetAssets()->AllLoaded() ? "every asset loaded" : "some assets still missing",
                     static_cast<long long>(waited.count()));
        FindMiddles();
    }

    // The middle of the scene's first range on the timeline; negative when it is not on it.
    float MiddleOf(std::int32_t scene) const
    {
        const auto found = middles.find(scene);
        return found == middles.end() ? -1.0f : found->second;
    }

    // Where the scene's first range on the timeline starts; negative when it is not on it.
    float StartOf(std::int32_t scene) const
    {
        const auto found = starts.find(scene);
        return found == starts.end() ? -1.0f : found->second;
    }

    // The demo object on the real assets, with a 1280 x 720 headless swap chain of its own, built
    // on first use (the scene benchmarks alone never pay for it) and bound for composed frames.
    LM1_Demo& Demo()
    {
        if (!demo)
            BuildDemo();
        context->SetSwapChain(composedSwapChain.Get());
        context->SetViewport(0, 0, kWidth, kHeight);
        return *demo;
    }

    // Binds the one-pixel swap chain the scene benchmarks copy into.
    void UseSceneSwapChain() { context->SetSwapChain(swapChain.Get()); }

    // One frame of the demo at beat as the main loop runs it, then waits for the rasteriser by
    // reading the back buffer back, as presenting to a window copies the picture out.
    void ComposedFrame(float beat)
    {
        QC_GetTasks()->RunMainThreadTasks();
        QD_GetAssets()->Update();
        SetBeat(beat);
        demo->UpdateStatistics();
        demo->Render();
        demo->EndFrame();
        composedSwapChain->Present();
        composedSwapChain->ReadBackBuffer(*composedPicture);
    }

    bool HasScripts() const { return o && p && t; }

    void SetBeat(float beat) { QD_GetSync()->UpdateAtMilliseconds(std::llround(double(beat) * 500.0)); }

    void SceneChanged()
    {
        partO->SceneChanged();
        partP->SceneChanged();
    }

    // One frame of the scene into the target, as the demo's RenderScene dispatches it.
    void Draw(std::int32_t scene)
    {
        context->SetViewport(0, 0, kWidth, kHeight);
        if (scene < 200)
            partO->Render(scene, *o, target.Get());
        else if (scene < 300)
            partP->Render(scene, *p, target.Get());
        else
            partT->Render(scene, *t, target.Get());
    }

    // Waits until the GPU has finished the frame: one pixel of the target copied onto the
    // back buffer and read back, which cannot complete before the target's drawing has.
    void WaitForGpu()
    {
        context->SetRenderTarget(nullptr);
        context->SetViewport(0, 0, 1, 1);
        context->SetBlendState(copyBlend.Get());
        context->SetRasteriserState(copyRasteriser.Get());
        context->SetDepthStencilState(copyDepth.Get());
        copyState->SetTexture(target->Texture(), 0);
        copyQuad->Draw();
        swapChain->ReadBackBuffer(*readBack);
    }

    std::int32_t Triangles() const { return renderer->GetTriangleCount(); }
    void ResetTriangles() { renderer->ResetTriangleCount(); }

private:
    void BuildDemo()
    {
        QU_InitFonts();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        QA_CreateAudio(QA_AudioSettings{.enabled = false});
        composedSwapChain = renderer->CreateSwapChain(kWidth, kHeight);
        composedPicture = QC_Ptr<QC_Image>(new QC_Image(kWidth, kHeight));
        context->SetSwapChain(composedSwapChain.Get());
        context->SetViewport(0, 0, kWidth, kHeight);
        demo = new LM1_Demo;
        demo->Init(kWidth, kHeight);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!demo->StartWhenLoaded() && std::chrono::steady_clock::now() < end) {
            QC_GetTasks()->RunMainThreadTasks();
            QD_GetAssets()->Update();
            QC_Sleep(2);
        }
    }

    void BuildCopy()
    {
        const QC_StaticString<4096> source(kCopySource);
        QC_Ptr<QR_VertexShader> vertexShader = renderer->CreateVertexShader(source);
        QC_Ptr<QR_PixelShader> pixelShader = renderer->CreatePixelShader(source);
        copyState = renderer->CreateShaderState(vertexShader.Get(), pixelShader.Get());
        QR_SamplerDesc point = {};
        point.filter = QR_Filter::Point;
        point.addressU = point.addressV = point.addressW = QR_TextureAddress::Clamp;
        point.maxAnisotropy = 1;
        point.comparisonFunc = QR_ComparisonFunc::Never;
        point.maxLod = 3.402823466e38f;
        copySampler = renderer->CreateSamplerState(point);
        copyState->SetSamplerState(copySampler.Get(), 0);
        copyQuad = QC_Ptr<QM_Quad>(new QM_Quad);
        copyQuad->Init();
        copyQuad->SetShaderState(copyState.Get());
        QR_BlendDesc opaque = {};
        for (QR_RenderTargetBlendDesc& slot : opaque.renderTargets) {
            slot.srcBlend = slot.srcBlendAlpha = QR_Blend::One;
            slot.destBlend = slot.destBlendAlpha = QR_Blend::Zero;
            slot.blendOp = slot.blendOpAlpha = QR_BlendOp::Add;
        }
        copyBlend = renderer->CreateBlendState(opaque);
        QR_RasteriserDesc noCull = {};
        noCull.cullMode = QR_CullMode::None;
        noCull.fillMode = QR_FillMode::Solid;
        noCull.depthBiasClamp = 1.0f;
        copyRasteriser = renderer->CreateRasteriserState(noCull);
        QR_DepthStencilDesc noDepth = {};
        noDepth.depthFunc = QR_ComparisonFunc::Less;
        noDepth.stencilReadMask = noDepth.stencilWriteMask = 0xFF;
        noDepth.frontStencilFunc = noDepth.backStencilFunc = QR_ComparisonFunc::Always;
        copyDepth = renderer->CreateDepthStencilState(noDepth);
        readBack = QC_Ptr<QC_Image>(new QC_Image(1, 1));
    }

    void LoadScripts()
    {
        for (auto [name, script] : {std::pair{"scene.qcs", &timeline}, std::pair{"o.qcs", &o}, std::pair{"p.qcs", &p},
                                    std::pair{"t.qcs", &t}}) {
            if (QD_ParseSequencerScript((kAssets + name).c_str(), *script))
                (*script)->SubscribeChannels();
            else
                std::fprintf(stderr, "bench_scenes: %s%s does not parse\n", kAssets.c_str(), name);
        }
    }

    // Walks the timeline a quarter beat at a time: each scene's first range and its middle.
    void FindMiddles()
    {
        if (!timeline)
            return;
        std::int32_t current = -1;
        for (float beat = 0.0f; beat <= 448.0f; beat += 0.25f) {
            SetBeat(beat);
            const auto selector = static_cast<std::int32_t>(timeline->GetValue(3));
            const auto scene = static_cast<std::int32_t>(timeline->GetValue(selector));
            if (scene == current)
                continue;
            if (current >= 0 && middles.find(current) == middles.end())
                middles[current] = (starts[current] + beat) / 2.0f;
            if (starts.find(scene) == starts.end())
                starts[scene] = beat;
            current = scene;
        }
        if (current >= 0 && middles.find(current) == middles.end())
            middles[current] = (starts[current] + 448.0f) / 2.0f;
    }

    QR_Renderer* renderer = nullptr;
    QC_Ptr<QR_SwapChain> swapChain;
    QC_Ptr<QR_RenderContext> context;
    QC_Ptr<LM1_O> partO;
    QC_Ptr<LM1_P> partP;
    QC_Ptr<LM1_T> partT;
    QC_Ptr<QR_RenderTarget> target;
    QC_Ptr<QD_Sequencer> timeline;
    QC_Ptr<QD_Sequencer> o;
    QC_Ptr<QD_Sequencer> p;
    QC_Ptr<QD_Sequencer> t;
    std::map<std::int32_t, float> middles;
    std::map<std::int32_t, float> starts;
    // The demo object and its output, for the composed frames.
    LM1_Demo* demo = nullptr;
    QC_Ptr<QR_SwapChain> composedSwapChain;
    QC_Ptr<QC_Image> composedPicture;
    QC_Ptr<QR_ShaderState> copyState;
    QC_Ptr<QR_SamplerState> copySampler;
    QC_Ptr<QM_Quad> copyQuad;
    QC_Ptr<QR_BlendState> copyBlend;
    QC_Ptr<QR_RasteriserState> copyRasteriser;
    QC_Ptr<QR_DepthStencilState> copyDepth;
    QC_Ptr<QC_Image> readBack;
};

SceneRig& Rig()
{
    static SceneRig* rig = new SceneRig;
    return *rig;
}

// Whether the scene's assets are all there: t1 draws by clearing alone, so its one asset file
// is looked for; every other scene draws triangles once its assets have loaded.
bool SceneDraws(SceneRig& rig, std::int32_t scene)
{
    if (scene == 301)
        return std::filesystem::exists(kAssets + "t1.qcs");
    rig.ResetTriangles();
    rig.Draw(scene);
    rig.WaitForGpu();
    return rig.Triangles() > 0;
}

// Whether the scripts parse and the scene is on the timeline (at a beat not negative); the
// benchmark is skipped with the reason otherwise.
bool CanMeasure(benchmark::State& state, const SceneRig& rig, float beatOnTimeline)
{
    if (!rig.HasScripts()) {
        state.SkipWithError("a script of assets/ does not parse");
        return false;
    }
    if (beatOnTimeline < 0.0f) {
        state.SkipWithError("the scene is not on the timeline");
        return false;
    }
    return true;
}

void Scene(benchmark::State& state)
{
    const auto scene = static_cast<std::int32_t>(state.range(0));
    SceneRig& rig = Rig();
    const float middle = rig.MiddleOf(scene);
    if (!CanMeasure(state, rig, middle))
        return;
    rig.UseSceneSwapChain();
    rig.SetBeat(middle);
    rig.SceneChanged();
    if (!SceneDraws(rig, scene)) {
        state.SkipWithError("the scene draws nothing: its assets are not all in assets/ yet");
        return;
    }
    // Warm-up: shaders, textures and buffers touched once before the measured frames.
    float beat = middle;
    for (int frame = 0; frame < 3; ++frame) {
        rig.SetBeat(beat += kBeatsPerFrame);
        rig.Draw(scene);
        rig.WaitForGpu();
    }

    const std::uint64_t allocationsBefore = gAllocations.load();
    std::int64_t frames = 0;
    for (auto _ : state) {
        beat += kBeatsPerFrame;
        // The clock goes back over the same beat, as a new entry into the scene would start it.
        if (beat > middle + 1.0f) {
            beat = middle;
            rig.SceneChanged();
        }
        rig.SetBeat(beat);
        rig.Draw(scene);
        rig.WaitForGpu();
        ++frames;
    }
    const std::uint64_t allocations = gAllocations.load() - allocationsBefore;
    state.counters["allocs/frame"] = double(allocations) / double(frames ? frames : 1);
    state.counters["beat"] = middle;
}

double ProcessCpuMilliseconds() { return 1000.0 * double(std::clock()) / double(CLOCKS_PER_SEC); }

void Composed(benchmark::State& state)
{
    const auto scene = static_cast<std::int32_t>(state.range(0));
    SceneRig& rig = Rig();
    const float start = rig.StartOf(scene);
    if (!CanMeasure(state, rig, start))
        return;
    LM1_Demo& demo = rig.Demo();
    if (!demo.MusicStarted()) {
        state.SkipWithError("the demo's assets did not all load");
        return;
    }
    // Entered from the scene before it, as the demo plays into it: one frame of that scene
    // just before the change, outside the measurement, so the change itself fades or cuts as the
    // timeline says. The first entry warms shaders, textures and buffers up over a few frames.
    const float before = start > kBeatsPerFrame ? start - kBeatsPerFrame : 0.0f;
    demo.RestartScene();
    rig.ComposedFrame(before);
    if (start > 0.0f && demo.CurrentScene() == scene) {
        state.SkipWithError("the timeline did not show the scene before this one");
        return;
    }
    for (int frame = 0; frame < 3; ++frame)
        rig.ComposedFrame(start + kBeatsPerFrame * float(frame));
    demo.RestartScene();
    rig.ComposedFrame(before);

    std::int64_t frame = 0;
    std::int64_t fadeFrames = 0;
    double fadeCpu = 0.0;
    const std::uint64_t allocationsBefore = gAllocations.load();
    for (auto _ : state) {
        const float beat = start + kComposedBeats * float(frame % kComposedFrames) / float(kComposedFrames);
        const double cpuBefore = ProcessCpuMilliseconds();
        rig.ComposedFrame(beat);
        if (demo.Fade() < 1.0f) {
            fadeCpu += ProcessCpuMilliseconds() - cpuBefore;
            ++fadeFrames;
        }
        ++frame;
    }
    if (demo.CurrentScene() != scene)
        state.SkipWithError("the timeline showed another scene in the measured stretch");
    const std::uint64_t allocations = gAllocations.load() - allocationsBefore;
    state.counters["allocs/frame"] = double(allocations) / double(frame ? frame : 1);
    state.counters["beat"] = start;
    state.counters["fps"] = benchmark::Counter(double(frame), benchmark::Counter::kIsRate);
    state.counters["fade_cpu_ms"] = fadeFrames ? fadeCpu / double(fadeFrames) : 0.0;
}

void RegisterScenes()
{
    std::vector<std::int32_t> scenes;
    for (std::int32_t scene = 101; scene <= 124; ++scene)
        scenes.push_back(scene);
    for (std::int32_t scene = 201; scene <= 205; ++scene)
        scenes.push_back(scene);
    scenes.push_back(301);
    for (std::int32_t scene : scenes)
        benchmark::RegisterBenchmark("Scene", Scene)
            ->Arg(scene)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true)
            ->MeasureProcessCPUTime()
            ->UseRealTime()
            ->MinTime(0.2)
            ->Unit(benchmark::kMillisecond);
    for (std::int32_t scene : scenes)
        benchmark::RegisterBenchmark("Composed", Composed)
            ->Arg(scene)
            ->Repetitions(3)
            ->ReportAggregatesOnly(true)
            ->MeasureProcessCPUTime()
            ->UseRealTime()
            ->Iterations(kComposedFrames)
            ->Unit(benchmark::kMillisecond);
}

const bool gRegistered = (RegisterScenes(), true);
} // namespace
