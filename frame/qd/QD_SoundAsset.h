#pragma once
// The music as an asset: an Ogg Vorbis file decoded on a worker into PCM that a static sound
// buffer, made on the main thread, plays in place. Long music counts as loaded once its first
// seconds are decoded; the rest is decoded on a background thread while it plays. Loaded once,
// as the demo wants it: changes to the file are ignored. Made with reloading on (a workbench), a
// changed file is decoded again into a new sound buffer, which becomes current; whoever plays
// the music sees the new buffer and decides how to switch to it.
//
//   QC_Ptr<QD_SoundAsset> music = QD_GetAssets()->LoadSound("music.ogg");
//   if (QC_Ptr<QA_SoundBuffer> buffer = music->GetCurrent()) QA_GetAudio()->Play(buffer.Get());

#include "QA_Buffer.h"
#include "QA_SoundBuffer.h"
#include "QD_Asset.h"

class QD_SoundAsset final : public QD_Asset
{
public:
    QD_SoundAsset(const QD_AssetPath& fullPath, bool reloading) : QD_Asset(fullPath, reloading)
    {
        reloadsOnChange = reloading;
    }

    // Without reloading only the first call loads; the file is never read again.
    void Reload() override;
    bool IsLoaded() const override { return static_cast<bool>(current); }
    QC_Ptr<QA_SoundBuffer> GetCurrent() const { return current; }

protected:
    bool Load() override;
    // Creates and fills the sound buffer: the audio device is main-thread only.
    void MainThreadStep() override;
    void MakePendingCurrent() override;

private:
    bool requested = false;
    QC_Ptr<QA_Buffer> decoded; // worker-written, read by the step, dropped after it
    QC_Ptr<QA_SoundBuffer> current;
    QC_Ptr<QA_SoundBuffer> pending;
};
