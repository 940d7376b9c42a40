// The workbench's start-up, loop and shut-down. Start-up follows the demo's order without the
// launcher; the settings that differ are the point of it: watching on, failures not fatal,
// isolated shader compiles, sounds reloading, the asset errors captured from the log.

#include "LM1_DevMode.h"

#include "LM1_DataFolders.h"
#include "LM1_Demo.h"
#include "LM1_DevFramePacer.h"
#include "LM1_DevSession.h"
#include "LM1_Startup.h"
#include "QC_Log.h"
#include "QC_Tasks.h"
#include "QD_AssetErrorLog.h"
#include "QD_Assets.h"
#include "QD_Sync.h"
#include "QP_GuiOverlay.h"
#include "QP_InputEvent.h"
#include "QP_Thread.h"
#include "QP_System.h"
#include "QP_Window.h"
#include "QR_Renderer.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr std::int32_t kTempo = 120;
constexpr const char* kCaption = "LM: Velvet Cascade - dev";
constexpr int kNoDisplayExitCode = 1;
constexpr int kNoDataExitCode = 1;
// Kept beside the demo's assets, so they last from one session to the next.
constexpr const char* kCueFileName = "cues.txt";

double MillisecondsSince(std::chrono::steady_clock::time_point origin)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - origin).count();
}

std::string CueFile(const std::string& assetRoot)
{
    const bool separated = !assetRoot.empty() && assetRoot.back() == '/';
    return assetRoot + (separated ? "" : "/") + kCueFileName;
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

int LM1_RunDevMode(const LM1_DevOptions& options)
{
    LM1_StartupSettings settings;
    settings.assetRoot = LM1_FindAssetFolder(options.assetFolder);
    if (settings.assetRoot.empty())
        return kNoDataExitCode;
    settings.verboseLog = options.verbose;
    // Load errors are shown on screen with the lines the parsers and the compiler reported.
    settings.logBackend = new QD_AssetErrorLog;
    // Any text may be saved as a shader while the session runs; the compile chain must not be
    // able to take the session with it.
    settings.renderer.isolatedShaderCompiles = true;
    settings.sync.bpm = kTempo;
    settings.watchAssets = true;
    // A file seen half-saved, or saved broken, must never end the session.
    settings.fatalOnLoadFailure = false;
    settings.reloadSounds = true;
    if (!LM1_StartLogAndRenderer(settings))
        return kNoDisplayExitCode;

    std::uint32_t width = static_cast<std::uint32_t>(options.width);
    std::uint32_t height = static_cast<std::uint32_t>(options.height);
    QP_NativeWindow* window = LM1_OpenMainWindow(kCaption, width, height, LM1_WindowPlace::Centred, true);
    QC_Ptr<QR_SwapChain> swapChain = QR_GetRenderer()->CreateSwapChain(window);

    LM1_StartSubsystems(settings);
    QC_Ptr<QR_RenderContext> context = LM1_BindSwapChain(swapChain.Get(), options.width, options.height);

    LM1_Demo demo;
    demo.Init(options.width, options.height);
    LM1_DevSession session(demo, options.startBeat, CueFile(settings.assetRoot));
    // The panel's GUI draws on the device's context, over the back buffer; without it the
    // session runs on, panel-less.
    QP_GuiOverlay* gui = QP_GuiOverlay::Create(window);
    session.SetGui(gui);
    QP_ShowWindow(window, true);
    QC_INFO("Dev mode: %u x %u, watching %s, starting at beat %.2f.", width, height, settings.assetRoot.c_str(),
            static_cast<double>(options.startBeat));

    const auto origin = std::chrono::steady_clock::now();
    LM1_DevFramePacer pacer;
    double frameStart = 0.0;
    for (bool quit = false; !quit;) {
        const QP_InputEvent event = QP_PollInputEvent();
        if (event.type != QP_InputType::None)
            pacer.NoteInput(MillisecondsSince(origin));
        switch (event.type) {
        case QP_InputType::Quit:
            quit = true;
            continue;
        case QP_InputType::Key:
            // Keys typed into the panel's filter are the filter's.
            if (!gui || !gui->WantsKeyboard())
                session.Press(event.key, event.shift, event.ctrl);
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
        QP_Sleep(pacer.RestAfterFrame(frameStart, MillisecondsSince(origin), session.Clock().IsPaused()));
        frameStart = MillisecondsSince(origin);
    }

    session.SetGui(nullptr);
    delete gui;
    LM1_StopSubsystems();
    LM1_CloseMainWindow(window);
    QP_ExitProcess(0);
}
