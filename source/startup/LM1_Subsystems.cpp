#include "LM1_Subsystems.h"

#include "QA_Audio.h"
#include "QC_Log.h"
#include "QC_Tasks.h"
#include "QD_Assets.h"
#include "QD_Sync.h"
#include "QR_Renderer.h"
#include "QU_App.h"
#include "QU_Font.h"

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
