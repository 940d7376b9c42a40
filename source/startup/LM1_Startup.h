#pragma once
// The one start-up and shut-down sequence of every way the demo runs: the launcher run, the
// workbench and the offline renderer. Each says what it needs in LM1_StartupSettings (a window
// or headless, sound or the null output, watching the assets or not); the order is the same:
//
//   LM1_StartupSettings settings{...};
//   if (!LM1_StartLogAndRenderer(settings)) return 1;   // thread name, log, renderer
//   QP_NativeWindow* window = LM1_OpenMainWindow(...);  // the launcher run asks the launcher first
//   ... the caller's swap chain ...
//   LM1_StartSubsystems(settings);      // threads, task pool, fonts, utility object, sync, assets, audio
//   QC_Ptr<QR_RenderContext> context = LM1_BindSwapChain(swapChain, width, height);
//   ... the demo ...
//   LM1_StopSubsystems();               // what was started, in reverse order, each step announced
//   LM1_CloseMainWindow(window);
//
// Main thread only. The caller destroys its window after LM1_StopSubsystems, and lets go of its
// render context and render objects before it.

#include "QC_Ptr.h"
#include "QD_Sync.h"
#include "QR_Renderer.h"

#include <cstdint>
#include <string>

class QC_LogBackend;
struct QP_NativeWindow;

struct LM1_StartupSettings
{
    // The log: a fatal report also shows a message box; one more backend of the caller's (the
    // workbench's error list, the offline renderer's watch), owned by the log from then on.
    bool fatalMessageBox = true;
    QC_LogBackend* logBackend = nullptr;
    // Standard error shows information and debug lines too (--verbose); without it only what
    // VC_LOG asks for (LM1_StandardErrorLevel).
    bool verboseLog = false;
    // A window is needed: without a display, start-up ends after "No display available.".
    bool needsDisplay = true;
    QR_RendererSettings renderer;
    // The hidden utility window object, which only the live runs create.
    bool utilityObject = true;
    QD_SyncSettings sync{.method = QD_SYNC_METHOD_BPM, .bpm = 120, .midiDevice = 0};
    // The folder LM1_FindAssetFolder found, ending in '/'.
    std::string assetRoot;
    bool watchAssets = false;
    bool fatalOnLoadFailure = true;
    // Reload music.ogg when it changes (the workbench).
    bool reloadSounds = false;
    // Play the music; silentAudio opens the null output, so no sound device is needed.
    bool audioEnabled = true;
    bool silentAudio = false;
};

// The lowest log level standard error shows: debug when verbose, else what the environment's
// VC_LOG names ("debug" or "info", in any case), else errors only.
int LM1_StandardErrorLevel(bool verbose, const char* environment);

// Names the main thread "Main", sets standard error's log level, creates the log and the
// renderer. False, with the log already gone again, when a window is needed and there is no
// display.
bool LM1_StartLogAndRenderer(const LM1_StartupSettings& settings);

// Threads, task pool (one worker per processor), fonts, utility object, synchronisation, asset
// manager and audio device.
void LM1_StartSubsystems(const LM1_StartupSettings& settings);

// Binds the swap chain and a viewport of its size on the render context and clears it black: the
// demo draws nothing until its assets have loaded, and the first frames must not show the back
// buffer's undefined contents.
QC_Ptr<QR_RenderContext> LM1_BindSwapChain(QR_SwapChain* swapChain, std::int32_t width, std::int32_t height);

// Destroys what the start-up created, in reverse order: audio, asset manager, synchronisation,
// utility object, fonts, renderer, task pool and last the log, each step announced by a DEBUG
// line first. Safe after a partial start-up (a declined launcher): only what exists goes.
void LM1_StopSubsystems();

// The main window, hidden until the caller shows it, with the executable's icon: centred on the
// screen, or at (0, 0) where a full-screen swap chain takes the mode. Fatal when it cannot be
// made.
enum class LM1_WindowPlace
{
    Centred,
    TopLeft,
};
QP_NativeWindow* LM1_OpenMainWindow(const char* caption, std::uint32_t width, std::uint32_t height,
                                    LM1_WindowPlace place, bool resizable);

// Destroys the main window, last of all, announced by a DEBUG line that goes straight to the
// debugger output (the log is gone by then).
void LM1_CloseMainWindow(QP_NativeWindow* window);
