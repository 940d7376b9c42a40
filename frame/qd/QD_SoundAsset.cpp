#include "QD_SoundAsset.h"

#include "QA_Audio.h"
#include "QA_Buffer_OGG.h"

void QD_SoundAsset::Reload()
{
    if (requested && !reloadsOnChange)
        return;
    requested = true;
    QD_Asset::Reload();
}

bool QD_SoundAsset::Load()
{
    if (!BeginRead())
        return false;
    QC_Ptr<QA_Buffer> pcm;
    // The music plays while the decode goes on: the loader returns with its first seconds.
    const bool decodedWell = QA_Buffer_OGG::LoadStreamed(path.CStr(), pcm);
    if (!EndRead())
        return false;
    // A failure has been reported by the Ogg loader at level 2 ("Failed to open ogg ...").
    if (!decodedWell) {
        NoteFailure("The music cannot be read or decoded.");
        ReportLoadFailure();
        return false;
    }
    decoded = pcm;
    const bool stepRan = RunMainThreadStep();
    decoded = nullptr;
    return stepRan && pending;
}

void QD_SoundAsset::MainThreadStep()
{
    QA_Audio* audio = QA_GetAudio();
    QC_ASSERT(audio != nullptr, "Sounds are loaded into the audio device: create it first.");
    if (!decoded)
        return;
    // Played in place: no copy of the whole music on the main thread.
    pending = audio->CreateSoundBuffer(decoded);
}

void QD_SoundAsset::MakePendingCurrent()
{
    current = pending;
    pending = nullptr;
}
