#include "LM1_Startup.h"

#include "LM1_Resources.h"
#include "QA_Audio.h"
#include "QC_Log.h"
#include "QC_Tasks.h"
#include "QC_Thread.h"
#include "QD_Assets.h"
#include "QP_InputEvent.h"
#include "QP_OutputWindow.h"
#include "QP_Window.h"
#include "QU_App.h"
#include "QU_Font.h"

#include <cstdlib>
#include <strings.h>

namespace
{
constexpr const char* kThreadName = "Main";

// What LM1_StopSubsystems has to undo; the subsystems' own accessors cannot say it for the log,
// the fonts and the threads.
struct Started
{
    bool log = false;
    bool renderer = false;
    bool subsystems = false;
    bool utilityObject = false;
};
Started g_started;
} // namespace

int LM1_StandardErrorLevel(bool verbose, const char* environment)
{
    if (verbose)
        return QC_LOG_DEBUG;
    if (environment && strcasecmp(environment, "debug") == 0)
        return QC_LOG_DEBUG;
    if (environment && strcasecmp(environment, "info") == 0)
        return QC_LOG_INFO;
    return QC_LOG_ERROR;
}

bool LM1_StartLogAndRenderer(const LM1_StartupSettings& settings)
{
    // Named before the log exists, so every line and every debugger shows it as "Main".
    QC_SetThreadName(kThreadName);
    // Before the first line, and kept after the log is gone: the last shut-down line is written
    // without one.
    QC_SetStandardErrorLevel(LM1_StandardErrorLevel(settings.verboseLog, std::getenv("VC_LOG")));
    QC_CreateLog(QC_LogConfig{.fatalMessageBox = settings.fatalMessageBox});
    if (settings.logBackend)
        QC_GetLog()->AddBackend(settings.logBackend);
    g_started.log = true;

    // Every step of a live run needs a window system; without one it cannot show anything.
    if (settings.needsDisplay && !QP_DisplayAvailable()) {
        QC_ERROR("No display available.");
        QC_DestroyLog();
        g_started.log = false;
        return false;
    }
    QR_CreateRenderer(settings.renderer);
    g_started.renderer = true;
    return true;
}

void LM1_StartSubsystems(const LM1_StartupSettings& settings)
{
    QC_StartThreads();
    QC_CreateTasks(QC_TasksConfig{.workerCount = QC_GetProcessorCount()});
    QU_InitFonts();
    if (settings.utilityObject) {
        QU_CreateApp();
        g_started.utilityObject = true;
    }
    QD_CreateSync(settings.sync);
    QD_AssetsSettings assetSettings;
    assetSettings.root = settings.assetRoot.c_str();
    assetSettings.watch = settings.watchAssets;
    assetSettings.fatalOnLoadFailure = settings.fatalOnLoadFailure;
    QD_Assets* assets = QD_CreateAssets(assetSettings);
    assets->SetReloadSounds(settings.reloadSounds);
    QA_CreateAudio(QA_AudioSettings{.enabled = settings.audioEnabled, .silentDevice = settings.silentAudio});
    g_started.subsystems = true;
}

QC_Ptr<QR_RenderContext> LM1_BindSwapChain(QR_SwapChain* swapChain, std::int32_t width, std::int32_t height)
{
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    context->SetSwapChain(swapChain);
    context->SetViewport(0, 0, width, height);
    context->Clear(QR_Colour{0, 0, 0, 255});
    return context;
}

void LM1_StopSubsystems()
{
    if (g_started.subsystems) {
        QC_DEBUG("Shut-down: destroying the audio device.");
        QA_DestroyAudio();
        QC_DEBUG("Shut-down: destroying the asset manager.");
        QD_DestroyAssets();
        QC_DEBUG("Shut-down: destroying the synchronisation.");
        QD_DestroySync();
        if (g_started.utilityObject) {
            QC_DEBUG("Shut-down: destroying the utility object.");
            QU_DestroyApp();
        }
        QC_DEBUG("Shut-down: shutting down the fonts.");
        QU_ShutdownFonts();
    }
    if (g_started.renderer) {
        QC_DEBUG("Shut-down: destroying the renderer.");
        QR_DestroyRenderer();
    }
    if (g_started.subsystems) {
        QC_DEBUG("Shut-down: destroying the task pool.");
        QC_DestroyTasks();
    }
    if (g_started.log) {
        QC_DEBUG("Shut-down: destroying the log.");
        QC_DestroyLog();
    }
    g_started = Started{};
}

QP_NativeWindow* LM1_OpenMainWindow(const char* caption, std::uint32_t width, std::uint32_t height,
                                    LM1_WindowPlace place, bool resizable)
{
    QP_NativeWindow* window = QP_CreateOutputWindow(caption, width, height, false);
    if (!window)
        QC_FATAL("Unable to create the main window.");
    if (place == LM1_WindowPlace::Centred)
        QP_CentreWindow(window, width, height);
    else
        QP_MoveWindow(window, 0, 0);
    if (resizable)
        QP_SetWindowResizable(window, true);
    if (const QC_Ptr<QC_Image> icon = LM1_LoadResourceImage("icon.png"))
        QP_SetWindowIcon(window, *icon);
    return window;
}

void LM1_CloseMainWindow(QP_NativeWindow* window)
{
    QC_DEBUG("Shut-down: destroying the main window.");
    QP_DestroyOutputWindow(window);
}
