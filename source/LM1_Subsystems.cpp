#include "LM1_Subsystems.h"

#include "qa/QA_Audio.h"
#include "qc/QC_Log.h"
#include "qc/QC_Tasks.h"
#include "qd/QD_Assets.h"
#include "qd/QD_Sync.h"
#include "qr/QR_Renderer.h"
#include "qu/QU_App.h"
#include "qu/QU_Font.h"

void LM1_DestroySubsystems()
{
    QC_DEBUG("Shut-down: destroying the audio device.");
    QA_DestroyAudio();
    QC_DEBUG("Shut-down: destroying the asset manager.");
    QD_DestroyAssets();
    QC_DEBUG("Shut-down: destroying the synchronisation.");
    QD_DestroySync();
    QC_DEBUG("Shut-down: destroying the utility object.");
    QU_DestroyApp();
    QC_DEBUG("Shut-down: shutting down the fonts.");
    QU_ShutdownFonts();
    QC_DEBUG("Shut-down: destroying the renderer.");
    QR_DestroyRenderer();
    QC_DEBUG("Shut-down: destroying the task pool.");
    QC_DestroyTasks();
    QC_DEBUG("Shut-down: destroying the log.");
    QC_DestroyLog();
}
