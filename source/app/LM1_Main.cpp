// Entry point of "LM: Velvet Cascade". Run without arguments it is the demo: it reads no
// configuration, every start-up setting is a constant here. With --render it renders frames to
// files without display or sound (LM1_OfflineRender); with --dev it is the demo maker's
// workbench (LM1_DevMode); --help prints the usage of every mode, --version the version, and a
// wrong command line prints the usage on standard error and exits with 2 (LM1_CommandLine).
// Every mode starts and stops through the same sequence (LM1_Startup).
//
// Start-up: thread name, log, renderer and its display modes, launcher, main window, swap
// chain, threads, task pool, fonts, utility object, synchronisation, asset manager, audio,
// render context, demo object, window shown; then the main loop. Shut-down: audio, asset
// manager, synchronisation, utility object, fonts, renderer, task pool, log, and last the
// window. Each shut-down step writes a DEBUG line first.
// Exit codes: 0 after a run, a declined launcher, --help or --version, 1 without a display or
// without the demo's data (LM1_DataFolders), 2 for a wrong command line, 3 for a fatal error.

#include "LM1_CommandLine.h"
#include "LM1_DataFolders.h"
#include "LM1_Demo.h"
#include "LM1_DevMode.h"
#include "LM1_Launcher.h"
#include "LM1_MainLoop.h"
#include "LM1_OfflineRender.h"
#include "LM1_Startup.h"
#include "QC_Log.h"
#include "QC_Tasks.h"
#include "QD_Assets.h"
#include "QD_Sync.h"
#include "QP_System.h"
#include "QP_Window.h"
#include "QR_Renderer.h"

#include <cstdio>

namespace
{
// --- start-up settings ---------------------------------------------------------------------------
constexpr bool kFatalMessageBox = true;
constexpr QR_Backend kBackend = QR_Backend::DX10;
constexpr std::int32_t kSyncMethod = QD_SYNC_METHOD_BPM;
constexpr std::int32_t kTempo = 120;
constexpr std::uint32_t kMidiDevice = 3;
constexpr bool kWatchAssets = false;
constexpr bool kFatalOnLoadFailure = true;
constexpr bool kAudioEnabled = true;
constexpr const char* kCaption = "LM: Velvet Cascade";
constexpr int kNoDisplayExitCode = 1;
constexpr int kNoDataExitCode = 1;
constexpr int kUsageExitCode = 2;

// The frame steps of the running demo: the subsystems' per-frame operations.
class DemoFrameSteps final : public LM1_FrameSteps
{
public:
    DemoFrameSteps(LM1_Demo& runningDemo, QR_SwapChain* chain) : demo(runningDemo), swapChain(chain) {}

    QP_WindowEvent PollEvent() override { return QP_PollWindowEvent(); }
    bool IsRunning() override { return demo.IsRunning(); }
    void RunMainThreadTasks() override { QC_GetTasks()->RunMainThreadTasks(); }
    void UpdateAssets() override { QD_GetAssets()->Update(); }
    void UpdateSync() override { QD_GetSync()->Update(); }
    void UpdateStatistics() override { demo.UpdateStatistics(); }
    void Render() override { demo.Render(); }
    void EndFrame() override { demo.EndFrame(); }
    void Present() override { swapChain->Present(); }

private:
    LM1_Demo& demo;
    QR_SwapChain* swapChain;
};

int RunDemo(const LM1_CommandLine& line);
} // namespace

int main(int argc, char** argv)
{
    LM1_CommandLine line;
    if (!LM1_ParseCommandLine(argc, argv, line)) {
        std::fprintf(stderr, "velvet-cascade: %s\n%s", line.error.c_str(), LM1_Usage());
        return kUsageExitCode;
    }
    switch (line.mode) {
    case LM1_RunMode::Help:
        std::fputs(LM1_Usage(), stdout);
        return 0;
    case LM1_RunMode::Version:
        std::fputs(LM1_VersionText(), stdout);
        return 0;
    case LM1_RunMode::Render:
        QP_ExitProcess(LM1_RunOfflineRender(line.render));
    case LM1_RunMode::Dev:
        return LM1_RunDevMode(line.dev);
    case LM1_RunMode::Demo:
        break;
    }
    return RunDemo(line);
}

namespace
{
int RunDemo(const LM1_CommandLine& line)
{
    LM1_StartupSettings settings;
    settings.assetRoot = LM1_FindAssetFolder(line.assetFolder);
    if (settings.assetRoot.empty())
        return kNoDataExitCode;
    settings.verboseLog = line.verbose;
    settings.fatalMessageBox = kFatalMessageBox;
    settings.renderer.backend = kBackend;
    settings.sync = QD_SyncSettings{.method = kSyncMethod, .bpm = kTempo, .midiDevice = kMidiDevice};
    settings.watchAssets = kWatchAssets;
    settings.fatalOnLoadFailure = kFatalOnLoadFailure;
    settings.audioEnabled = kAudioEnabled;
    if (!LM1_StartLogAndRenderer(settings))
        return kNoDisplayExitCode;

    QR_DisplayModeList displayModes;
    QR_GetRenderer()->GetDisplayModes(displayModes);
    QC_Ptr<QR_DisplayMode> mode;
    bool windowed = false;
    bool vsync = true;
    if (!LM1_RunLauncher(displayModes, &mode, &windowed, &vsync)) {
        QC_DEBUG("Shut-down: the launcher was closed without running the demo.");
        LM1_StopSubsystems();
        QP_ExitProcess(0);
    }
    const std::uint32_t width = mode->width;
    const std::uint32_t height = mode->height;
    QC_INFO("Running %u x %u @ %u Hz, %s, vsync %s.", width, height, mode->refreshRate,
            windowed ? "windowed" : "fullscreen", vsync ? "on" : "off");

    // The main window, hidden until the demo is initialised: centred when windowed; at (0, 0)
    // in full screen, where the swap chain takes the mode.
    QP_NativeWindow* window = LM1_OpenMainWindow(
        kCaption, width, height, windowed ? LM1_WindowPlace::Centred : LM1_WindowPlace::TopLeft, false);

    // The only place where full screen and vertical sync reach the renderer.
    QC_Ptr<QR_SwapChain> swapChain = QR_GetRenderer()->CreateSwapChain(window, mode.Get(), windowed, vsync);

    LM1_StartSubsystems(settings);
    QC_Ptr<QR_RenderContext> context =
        LM1_BindSwapChain(swapChain.Get(), static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));

    LM1_Demo demo;
    demo.Init(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));

    QP_ShowWindow(window, windowed);

    DemoFrameSteps steps(demo, swapChain.Get());
    const unsigned long frames = LM1_RunMainLoop(steps);
    QC_DEBUG("The main loop ended after %lu frames (%d per second in the last whole second).", frames,
             demo.FramesPerSecond());

    // The demo object, the swap chain and the display modes are not torn down: the process ends
    // with them.
    LM1_StopSubsystems();
    LM1_CloseMainWindow(window);
    QP_ExitProcess(0);
}
} // namespace
