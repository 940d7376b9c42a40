// The workbench's costs on the headless device (320 x 180):
//
//   SaveToFrame/settle/isolated   time from a shader file's save (renamed over the asset) to
//                                 the end of the first frame drawn with the new program, with the
//                                 asset tree watched; settle = the settle time in milliseconds
//                                 (40 is the workbench's), isolated = compiles in the helper;
//                                 issued_ms: until that frame's draw was issued (the rest is the
//                                 device's: a software rasteriser compiles a new program at its
//                                 first draw)
//   Frame/overlay                 one frame: a full-screen quad drawn, then (overlay = 1) the
//                                 statistics panel and a six-line error area built and drawn, and
//                                 one pixel read back so the GPU's share is counted too
//   PanelFrame/panel              one 1280 x 720 frame: the quad, then (panel = 1) the timeline
//                                 panel over it with 100 lanes selected (those in sight drawn),
//                                 waveform, scene strip and ruler; the CPU column is the main
//                                 thread's, the panel's cost is the difference of the two rows
//   LaneSampling/lanes            the worst case of the lanes: every one of 100 lanes sampled
//                                 across 1280 pixels as the panel samples them (every 3 pixels)
//   WaveformBuild                 the whole music's waveform (3:44 of stereo at 44100 Hz, the
//                                 demo's length), as the worker builds it
//   KeyDragStep                   one frame's step of a key drag on the demo's own o.qcs: the
//                                 key moved (its tokens rewritten, the text parsed and checked)
//                                 and the new sequencer's channels subscribed, as the asset takes it
//
// Frames are run back to back (no vertical sync), each waited for on the device as a presented
// frame is: the save-to-frame time is then the reload's own latency, not a multiple of a
// display's frame time.

#include "LM1_DevLanes.h"
#include "LM1_DevOverlay.h"
#include "LM1_DevTimelinePanel.h"
#include "LM1_DevTransport.h"
#include "LM1_DevWaveform.h"
#include "QA_Audio.h"
#include "QD_Sequencer_QCS.h"
#include "QP_GuiOverlay.h"
#include "QC_Log.h"
#include "QC_Tasks.h"
#include "QC_Thread.h"
#include "QD_Assets.h"
#include "QD_ScriptDocument.h"
#include "QD_Sync.h"
#include "QM_Quad.h"
#include "QP_ShaderCompiler.h"
#include "QR_Renderer.h"
#include "QU_Font.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <ctime>
#include <unistd.h>

namespace
{
constexpr std::uint32_t kWidth = 320;
constexpr std::uint32_t kHeight = 180;

std::string FlatShader(int shade)
{
    char colour[64];
    std::snprintf(colour, sizeof(colour), "float4(%d.0 / 255.0, 0.5, 0.25, 1.0)", shade % 256);
    return std::string(R"(vertex
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
    outColour = )") + colour + ";\n  }\n}\n";
}

void SaveAtomically(const std::string& path, const std::string& text)
{
    const std::string temporary = path + ".swp";
    std::ofstream(temporary, std::ios::binary) << text;
    std::filesystem::rename(temporary, path);
}

// The subsystems a workbench frame needs, around a temporary asset folder.
class Workbench
{
public:
    explicit Workbench(bool isolated, std::uint32_t pictureWidth = kWidth, std::uint32_t pictureHeight = kHeight)
        : picture(pictureWidth, pictureHeight)
    {
        char pattern[] = "/tmp/vc-bench-devmode-XXXXXX";
        folder = mkdtemp(pattern) ? pattern : "/tmp";
        QC_CreateLog(QC_LogConfig{});
        QR_RendererSettings settings;
        settings.backend = QR_Backend::DX10;
        settings.headless = true;
        QR_CreateRenderer(settings);
        swapChain = QR_GetRenderer()->CreateSwapChain(pictureWidth, pictureHeight);
        context = QR_GetRenderer()->GetRenderContext();
        context->SetSwapChain(swapChain.Get());
        context->SetViewport(0, 0, static_cast<std::int32_t>(pictureWidth), static_cast<std::int32_t>(pictureHeight));
        QC_CreateTasks(QC_TasksConfig{.workerCount = 2});
        QD_CreateSync(QD_SyncSettings{.method = QD_SYNC_METHOD_BPM, .bpm = 120, .midiDevice = 0});
        QU_InitFonts();
        QP_SetShaderCompilerIsolation(isolated);
        SaveAtomically(folder + "/flat.qcs", FlatShader(0));
        QD_AssetsSettings assetSettings;
        assetSettings.root = folder.c_str();
        assetSettings.watch = true;
        assetSettings.fatalOnLoadFailure = false;
        QD_CreateAssets(assetSettings);
        shader = QD_GetAssets()->LoadShader("flat.qcs");
        quad = QC_Ptr<QM_Quad>(new QM_Quad);
        quad->Init();
        while (!shader->IsLoaded())
            Frame();
    }
    ~Workbench()
    {
        shader = nullptr;
        quad = nullptr;
        QD_DestroyAssets();
        QU_ShutdownFonts();
        QD_DestroySync();
        QC_DestroyTasks();
        context = nullptr;
        swapChain = nullptr;
        QR_DestroyRenderer();
        QC_DestroyLog();
        QP_SetShaderCompilerIsolation(false);
        QD_SetSaveSettling(QD_SaveSettling{});
        std::filesystem::remove_all(folder);
    }

    // The workbench's frame steps that matter here; the quad drawn with the shader asset.
    void Frame()
    {
        QC_GetTasks()->RunMainThreadTasks();
        QD_GetAssets()->Update();
        context->SetRenderTarget(nullptr);
        if (QC_Ptr<QR_ShaderState> state = shader->GetCurrent()) {
            quad->SetShaderState(state.Get());
            quad->Draw();
        }
    }

    // Waits for the draws so far to finish on the device.
    void Finish() { swapChain->ReadBackBuffer(picture); }

    std::string folder;
    QC_Ptr<QR_SwapChain> swapChain;
    QC_Ptr<QR_RenderContext> context;
    QC_Ptr<QD_ShaderAsset> shader;
    QC_Ptr<QM_Quad> quad;
    QC_Image picture;
};

void SaveToFrame(benchmark::State& state)
{
    QD_SetSaveSettling(QD_SaveSettling{.settleMilliseconds = static_cast<std::int32_t>(state.range(0)),
                                       .emptyHoldMilliseconds = 500});
    Workbench bench(state.range(1) != 0);
    int shade = 1;
    double toCurrent = 0.0;
    for (auto _ : state) {
        const QC_Ptr<QR_ShaderState> before = bench.shader->GetCurrent();
        const auto saved = std::chrono::steady_clock::now();
        SaveAtomically(bench.folder + "/flat.qcs", FlatShader(shade++));
        // Each frame is waited for, as a presented frame is: the device never runs behind.
        for (;;) {
            bench.Frame();
            if (bench.shader->GetCurrent() != before)
                break;
            bench.Finish();
        }
        // The engine's part ends here: the frame that draws with the new program has been issued.
        toCurrent += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - saved).count();
        // The device's part: the first draw of a new program compiles it for the device.
        bench.Finish();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - saved).count());
        // The next save must be a new version of the file for the file system's clock.
        QC_Sleep(10);
    }
    state.counters["issued_ms"] = benchmark::Counter(toCurrent / static_cast<double>(state.iterations()));
}
BENCHMARK(SaveToFrame)->Args({40, 1})->Args({0, 1})->Args({40, 0})->Args({0, 0})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void Frame(benchmark::State& state)
{
    Workbench bench(false);
    LM1_DevOverlay overlay;
    QC_Ptr<QU_Font> font(new QU_Font);
    font->Load("C:\\Windows\\Fonts\\consola.ttf", 10, true);
    LM1_DevStatistics figures;
    figures.beat = 130.25f;
    figures.scene = 105;
    figures.fade = 1.0f;
    figures.framesPerSecond = 60;
    figures.triangles = 12345;
    figures.musicStarted = true;
    const std::string errors = "assets/o5.qcs:\n  The shader does not compile.\n"
                               "  Shader stage compilation failed, D3D message is \"ERROR: 0:12: 'x' : undeclared\n"
                               "  ERROR: 0:12: '' : compilation terminated\n"
                               "  ERROR: 2 compilation errors.  No code generated.\n  \"\n";
    for (auto _ : state) {
        bench.Frame();
        if (state.range(0)) {
            figures.cpuMilliseconds += 0.01;
            overlay.Draw(font.Get(), kWidth, kHeight, LM1_DevOverlay::StatisticsText(figures), errors);
        }
        bench.Finish();
    }
    font = nullptr;
}
BENCHMARK(Frame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

constexpr std::uint32_t kPanelWidth = 1280;
constexpr std::uint32_t kPanelHeight = 720;
constexpr std::int32_t kLaneCount = 100;

// A part script whose scene 1 reads 100 channels (100-199), each a spline of 9 keys.
std::string HundredLanes()
{
    std::string text;
    for (std::int32_t channel = 100; channel < 100 + kLaneCount; ++channel) {
        text += std::to_string(channel) + " = catmullrom(0:0";
        for (int key = 1; key <= 8; ++key)
            text += ", " + std::to_string(key * 56) + ":" + std::to_string((channel * 7 + key * 13) % 17);
        text += ", 1000:0); // lane " + std::to_string(channel) + "\n";
    }
    return text;
}

// Stereo PCM of the given length, a tone with a beat.
std::vector<std::uint8_t> Music(double seconds)
{
    const std::uint32_t frames = static_cast<std::uint32_t>(seconds * 44100.0);
    std::vector<std::uint8_t> pcm(static_cast<std::size_t>(frames) * 4);
    for (std::uint32_t frame = 0; frame < frames; ++frame) {
        const double envelope = 1.0 - std::fmod(frame / 22050.0, 1.0);
        const auto sample = static_cast<std::int16_t>(12000.0 * envelope * std::sin(frame * 0.05));
        std::memcpy(pcm.data() + frame * 4, &sample, 2);
        std::memcpy(pcm.data() + frame * 4 + 2, &sample, 2);
    }
    return pcm;
}

double ThreadCpuMicroseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

class StillClock final : public LM1_DevClock
{
public:
    float GetBeat() const override { return 130.0f; }
    void SetBeat(float) override {}
    bool IsPaused() const override { return true; }
    void SetPaused(bool) override {}
    int Slowdown() const override { return 1; }
    void SetSlowdown(int) override {}
};

void PanelFrame(benchmark::State& state)
{
    Workbench bench(false, kPanelWidth, kPanelHeight);
    const std::string part = HundredLanes();
    const std::string timeline = "2 = constant(0:1, 448:0, 1000:0); // run\n3 = 10;\n"
                                 "10 = constant(0:101, 64:102, 128:103, 1000:103); // scenes\n";
    QC_Ptr<QD_Sequencer> partSequencer, timelineSequencer;
    QD_ParseSequencerText(part.c_str(), static_cast<std::uint32_t>(part.size()), partSequencer);
    QD_ParseSequencerText(timeline.c_str(), static_cast<std::uint32_t>(timeline.size()), timelineSequencer);
    partSequencer->SubscribeChannels();
    timelineSequencer->SubscribeChannels();
    QD_GetSync()->SetBeat(130.0f);
    LM1_DevLanes lanes;
    lanes.SetScripts({"scene.qcs", timelineSequencer, timeline}, {"o.qcs", partSequencer, part}, 101);
    StillClock clock;
    LM1_DevTransport transport(clock);
    transport.SetTimeline({0.0f, 64.0f, 128.0f}, 448.0f);
    const std::vector<LM1_SceneRange> scenes = LM1_FindSceneRanges(timelineSequencer, 130.0f, {0.0f, 64.0f, 128.0f}, 448.0f);
    const std::vector<float> cues{16.0f, 96.0f, 132.0f};
    const std::vector<std::uint8_t> music = Music(224.0);
    LM1_DevTimelinePanel panel;
    QP_GuiOverlay* gui = QP_GuiOverlay::Create(nullptr);
    LM1_DevPanelFrame frame;
    frame.width = kPanelWidth;
    frame.height = kPanelHeight;
    frame.beat = frame.syncBeat = 130.0f;
    frame.scenes = &scenes;
    frame.cues = &cues;
    // The music in a sound buffer, its waveform built on a worker, as in a session.
    QA_CreateAudio(QA_AudioSettings{.enabled = true, .silentDevice = true});
    QC_Ptr<QA_SoundBuffer> buffer = QA_GetAudio()->CreateSoundBuffer(static_cast<std::uint32_t>(music.size()));
    void* bytes = QA_GetAudio()->Lock(buffer.Get());
    std::memcpy(bytes, music.data(), music.size());
    QA_GetAudio()->Unlock(buffer.Get(), bytes);
    panel.SetMusic(buffer);
    while (!panel.Waveform()) {
        QC_Sleep(1);
        panel.Poll();
    }
    panel.View().Show(100.0f, 0.05f);
    panel.ToggleFollow();
    double buildMicroseconds = 0.0;
    double drawMicroseconds = 0.0;
    for (auto _ : state) {
        bench.Frame();
        if (state.range(0) && gui) {
            const double start = ThreadCpuMicroseconds();
            gui->BeginFrame(kPanelWidth, kPanelHeight);
            panel.Draw(frame, transport, lanes);
            const double built = ThreadCpuMicroseconds();
            buildMicroseconds += built - start;
            gui->EndFrame();
            drawMicroseconds += ThreadCpuMicroseconds() - built;
        }
        bench.Finish();
    }
    state.counters["lanes"] = static_cast<double>(lanes.Lanes().size());
    // The panel's own share: building the GUI frame, before the GL backend and the driver.
    state.counters["build_cpu_us"] = buildMicroseconds / static_cast<double>(state.iterations());
    // Handing it to the device: ImGui's vertices, the GL backend, the driver's share on this
    // thread (a software rasteriser's vertex stage included).
    state.counters["draw_cpu_us"] = drawMicroseconds / static_cast<double>(state.iterations());
    delete gui;
    buffer = nullptr;
    QA_DestroyAudio();
}
BENCHMARK(PanelFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void LaneSampling(benchmark::State& state)
{
    QD_CreateSync(QD_SyncSettings{.method = QD_SYNC_METHOD_BPM, .bpm = 120, .midiDevice = 0});
    {
        const std::string part = HundredLanes();
        QC_Ptr<QD_Sequencer> sequencer;
        QD_ParseSequencerText(part.c_str(), static_cast<std::uint32_t>(part.size()), sequencer);
        sequencer->SubscribeChannels();
        QD_GetSync()->SetBeat(130.0f);
        std::vector<float> beats, values;
        for (float x = 0.0f; x < static_cast<float>(kPanelWidth); x += 3.0f)
            beats.push_back(100.0f + x * 0.05f);
        for (auto _ : state)
            for (std::int32_t channel = 100; channel < 100 + state.range(0); ++channel) {
                LM1_DevLanes::Sample(*sequencer->GetChannel(channel), 130.0f, beats, values);
                benchmark::DoNotOptimize(values.data());
            }
    }
    QD_DestroySync();
}
BENCHMARK(LaneSampling)->Arg(kLaneCount)->Unit(benchmark::kMicrosecond);

void WaveformBuild(benchmark::State& state)
{
    const std::vector<std::uint8_t> music = Music(224.0);
    for (auto _ : state) {
        QC_Ptr<LM1_DevWaveform> waveform = LM1_DevWaveform::Build(music.data(), static_cast<std::uint32_t>(music.size() / 4));
        benchmark::DoNotOptimize(waveform.Get());
    }
}
BENCHMARK(WaveformBuild)->Unit(benchmark::kMillisecond);

void KeyDragStep(benchmark::State& state)
{
    QD_CreateSync(QD_SyncSettings{.method = QD_SYNC_METHOD_BPM, .bpm = 120, .midiDevice = 0});
    {
        QD_ScriptDocument script;
        if (!script.Open(VC_SOURCE_DIR "/assets/o.qcs")) {
            state.SkipWithError("assets/o.qcs cannot be read");
            QD_DestroySync();
            return;
        }
        script.SetSelection({{100, 1}});
        script.BeginGesture();
        float offset = 0.0f;
        for (auto _ : state) {
            // Back and forth on the grid, as a pointer moving over a few pixels does.
            offset = offset == 0.25f ? 0.5f : 0.25f;
            if (!script.MoveKeys(script.Selection(), offset, 0.0f))
                state.SkipWithError("the move was refused");
            script.Sequencer()->SubscribeChannels();
        }
        script.CancelGesture();
    }
    QD_DestroySync();
}
BENCHMARK(KeyDragStep)->Unit(benchmark::kMicrosecond);
} // namespace
