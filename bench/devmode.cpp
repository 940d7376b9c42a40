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
//
// Frames are run back to back (no vertical sync), each waited for on the device as a presented
// frame is: the save-to-frame time is then the reload's own latency, not a multiple of a
// display's frame time.

#include "LM1_DevOverlay.h"
#include "QC_Log.h"
#include "QC_Tasks.h"
#include "QC_Thread.h"
#include "QD_Assets.h"
#include "QD_Sync.h"
#include "QM_Quad.h"
#include "QP_ShaderCompiler.h"
#include "QR_Renderer.h"
#include "QU_Font.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
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
    explicit Workbench(bool isolated)
    {
        char pattern[] = "/tmp/vc-bench-devmode-XXXXXX";
        folder = mkdtemp(pattern) ? pattern : "/tmp";
        QC_CreateLog(QC_LogConfig{});
        QR_RendererSettings settings;
        settings.backend = QR_Backend::DX10;
        settings.headless = true;
        QR_CreateRenderer(settings);
        swapChain = QR_GetRenderer()->CreateSwapChain(kWidth, kHeight);
        context = QR_GetRenderer()->GetRenderContext();
        context->SetSwapChain(swapChain.Get());
        context->SetViewport(0, 0, kWidth, kHeight);
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
    QC_Image picture{kWidth, kHeight};
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
} // namespace
