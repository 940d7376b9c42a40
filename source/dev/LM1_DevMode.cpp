// The workbench's start-up, loop and shut-down. Start-up follows the demo's order without the
// launcher; the settings that differ are the point of it: watching on, failures not fatal,
// isolated shader compiles, sounds reloading, the asset errors captured from the log.

#include "LM1_DevMode.h"

#include "LM1_Demo.h"
#include "LM1_DevSession.h"
#include "LM1_Resources.h"
#include "LM1_Subsystems.h"
#include "QA_Audio.h"
#include "QC_Log.h"
#include "QC_Tasks.h"
#include "QC_Thread.h"
#include "QD_AssetErrorLog.h"
#include "QD_Assets.h"
#include "QD_Sync.h"
#include "QP_InputEvent.h"
#include "QP_OutputWindow.h"
#include "QP_ShaderCompiler.h"
#include "QP_System.h"
#include "QP_Window.h"
#include "QR_Renderer.h"
#include "QU_App.h"
#include "QU_Font.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr const char* kThreadName = "Main";
constexpr std::int32_t kTempo = 120;
constexpr const char* kAssetRoot = "assets/";
constexpr const char* kCaption = "LM: Velvet Cascade - dev";
constexpr std::int32_t kSmallestSide = 64;
constexpr std::int32_t kLargestSide = 16384;
constexpr int kNoDisplayExitCode = 1;
constexpr int kUsageExitCode = 2;

bool ParseSize(const char* text, std::int32_t& width, std::int32_t& height)
{
    char* end = nullptr;
    const long w = std::strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X'))
        return false;
    const char* second = end + 1;
    const long h = std::strtol(second, &end, 10);
    if (end == second || *end != '\0')
        return false;
    if (w < kSmallestSide || w > kLargestSide || h < kSmallestSide || h > kLargestSide)
        return false;
    width = static_cast<std::int32_t>(w);
    height = static_cast<std::int32_t>(h);
    return true;
}

bool ParseBeat(const char* text, float& beat)
{
    char* end = nullptr;
    const float value = std::strtof(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(value) || value < 0.0f)
        return false;
    beat = value;
    return true;
}

// The demo's steps of one frame around the session's Render; returns the main thread's
// milliseconds spent before the present.
double RunFrame(LM1_Demo& demo, LM1_DevSession& session, std::uint32_t width, std::uint32_t height)
{
    const auto start = std::chrono::steady_clock::now();
    QC_GetTasks()->RunMainThreadTasks();
    QD_GetAssets()->Update();
    QD_GetSync()->Update();
    demo.UpdateStatistics();
    session.Render(width, height);
    demo.EndFrame();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}
} // namespace

bool LM1_IsDevCommandLine(int argc, const char* const* argv)
{
    return argc >= 2 && std::strcmp(argv[1], "--dev") == 0;
}

const char* LM1_DevUsage()
{
    return "usage: velvet-cascade --dev [--size WxH] [--start BEAT]\n"
           "  --size WxH     window size in pixels (default 1280x720)\n"
           "  --start BEAT   beat to start at (default 0)\n";
}

bool LM1_ParseDevCommandLine(int argc, const char* const* argv, LM1_DevOptions& options)
{
    options = LM1_DevOptions{};
    if (!LM1_IsDevCommandLine(argc, argv)) {
        options.error = "the first argument must be --dev";
        return false;
    }
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        if (option != "--size" && option != "--start") {
            options.error = "unknown option " + option;
            return false;
        }
        if (i + 1 >= argc) {
            options.error = option + " needs a value";
            return false;
        }
        const char* value = argv[++i];
        if (option == "--size" && !ParseSize(value, options.width, options.height)) {
            options.error = std::string("--size wants WxH, each from 64 to 16384, not ") + value;
            return false;
        }
        if (option == "--start" && !ParseBeat(value, options.startBeat)) {
            options.error = std::string("--start wants a beat from 0 on, not ") + value;
            return false;
        }
    }
    return true;
}

int LM1_RunDevMode(int argc, const char* const* argv)
{
    LM1_DevOptions options;
    if (!LM1_ParseDevCommandLine(argc, argv, options)) {
        std::fprintf(stderr, "velvet-cascade: %s\n%s", options.error.c_str(), LM1_DevUsage());
        return kUsageExitCode;
    }

    QC_SetThreadName(kThreadName);
    QC_CreateLog(QC_LogConfig{.fatalMessageBox = true});
    // Load errors are shown on screen with the lines the parsers and the compiler reported.
    QC_GetLog()->AddBackend(new QD_AssetErrorLog);
    if (!QP_DisplayAvailable()) {
        QC_ERROR("No display available.");
        QC_DestroyLog();
        return kNoDisplayExitCode;
    }
    // Any text may be saved as a shader while the session runs; the compile chain must not be
    // able to take the session with it.
    QP_SetShaderCompilerIsolation(true);

    std::uint32_t width = static_cast<std::uint32_t>(options.width);
    std::uint32_t height = static_cast<std::uint32_t>(options.height);
    QR_CreateRenderer(QR_RendererSettings{.backend = QR_Backend::DX10});
    QP_NativeWindow* window = QP_CreateOutputWindow(kCaption, width, height, false);
    if (!window)
        QC_FATAL("Unable to create the main window.");
    QP_CentreWindow(window, width, height);
    QP_SetWindowResizable(window, true);
    if (const QC_Ptr<QC_Image> icon = LM1_LoadResourceImage("icon.png"))
        QP_SetWindowIcon(window, *icon);
    QC_Ptr<QR_SwapChain> swapChain = QR_GetRenderer()->CreateSwapChain(window);

    QC_StartThreads();
    QC_CreateTasks(QC_TasksConfig{.workerCount = QC_GetProcessorCount()});
    QU_InitFonts();
    QU_CreateApp();
    QD_CreateSync(QD_SyncSettings{.method = QD_SYNC_METHOD_BPM, .bpm = kTempo, .midiDevice = 0});
    QD_AssetsSettings assetSettings;
    assetSettings.root = kAssetRoot;
    assetSettings.watch = true;
    // A file seen half-saved, or saved broken, must never end the session.
    assetSettings.fatalOnLoadFailure = false;
    QD_Assets* assets = QD_CreateAssets(assetSettings);
    assets->SetReloadSounds(true);
    QA_CreateAudio(QA_AudioSettings{.enabled = true});

    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    context->SetSwapChain(swapChain.Get());
    context->SetViewport(0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    context->Clear(QR_Colour{0, 0, 0, 255});

    LM1_Demo demo;
    demo.Init(options.width, options.height);
    LM1_DevSession session(demo, options.startBeat);
    QP_ShowWindow(window, true);
    QC_INFO("Dev mode: %u x %u, watching %s, starting at beat %.2f.", width, height, kAssetRoot,
            static_cast<double>(options.startBeat));

    for (bool quit = false; !quit;) {
        const QP_InputEvent event = QP_PollInputEvent();
        switch (event.type) {
        case QP_InputType::Quit:
            quit = true;
            continue;
        case QP_InputType::Key:
            session.Press(event.key, event.shift);
            continue;
        case QP_InputType::Resized:
            // The scene targets keep the start size; the composition stretches them.
            width = event.width;
            height = event.height;
            swapChain->Resize();
            context->SetViewport(0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
            continue;
        case QP_InputType::Other:
            continue;
        case QP_InputType::None:
            break;
        }
        session.SetCpuMilliseconds(RunFrame(demo, session, width, height));
        swapChain->Present();
    }

    LM1_DestroySubsystems();
    QP_DestroyOutputWindow(window);
    QP_ExitProcess(0);
}
