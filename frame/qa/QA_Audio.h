#pragma once
// The audio device: plays the demo's music, one static sound buffer, once, from its start.
//
//   QA_CreateAudio({ .enabled = true });               // start-up; no device is fatal
//   QC_Ptr<QA_SoundBuffer> music = QA_GetAudio()->CreateSoundBuffer(pcm->Size());
//   void* bytes = QA_GetAudio()->Lock(music.Get());
//   std::memcpy(bytes, pcm->Data(), pcm->Size());
//   QA_GetAudio()->Unlock(music.Get(), bytes);
//   QA_GetAudio()->Play(music.Get());                  // restarts from offset 0 when repeated
//   QA_DestroyAudio();                                 // shut-down
//
// The demo never reads the playback position: its clock is the synchronisation's, started in
// the frame that starts the music. A workbench moves both together: it pauses and seeks the
// music here (positions in sample frames of 44100 Hz) and the sync to the same time. Nothing
// here runs per frame. Main thread only (the Ogg
// loader, which runs on workers, touches no part of this).

#include "QA_SoundBuffer.h"
#include "QC_Ptr.h"
#include "QP_AudioDevice.h"

#include <cstdint>
#include <vector>

struct QA_AudioSettings
{
    // When false the device is still created but Play does nothing.
    bool enabled = true;
    // Opens the null output: nothing is heard and no sound device is needed.
    bool silentDevice = false;
};

class QA_Audio
{
public:
    // A new static buffer of size bytes (whole frames of the fixed format are played).
    QC_Ptr<QA_SoundBuffer> CreateSoundBuffer(std::uint32_t size);
    // A static buffer that plays decoded PCM in place, with no copy (the music: its memory is
    // the decoder's, and the part a streamed decode has not reached yet plays as silence).
    QC_Ptr<QA_SoundBuffer> CreateSoundBuffer(const QC_Ptr<QA_Buffer>& pcm);

    // The whole buffer's memory for writing size bytes of PCM, until Unlock.
    void* Lock(QA_SoundBuffer* buffer);
    void Unlock(QA_SoundBuffer* buffer, void* pointer);

    // Starts buffer from its beginning at full volume, without looping, replacing what was
    // playing. Returns at once when audio is disabled.
    void Play(QA_SoundBuffer* buffer);

    // The play cursor in sample frames from the start of the playing buffer (0 when nothing
    // plays or audio is disabled).
    std::uint32_t GetPlayPosition() const;
    // Moves the play cursor (clamped to the buffer's end, where silence follows).
    void SetPlayPosition(std::uint32_t frame);
    // Pausing holds the cursor and plays silence; resuming continues from the cursor.
    void SetPaused(bool paused);
    bool IsPaused() const { return device.IsPaused(); }
    // Slow motion: the music at 1 / divisor of its speed (1 as recorded, 2 half, 4 a quarter),
    // its cursor moving as much slower.
    void SetSlowdown(std::uint32_t divisor);
    std::uint32_t Slowdown() const { return device.Slowdown(); }

    bool IsEnabled() const { return enabled; }
    // The buffer last handed to Play (kept alive while the device lives), or null.
    QA_SoundBuffer* Playing() const { return playing.Get(); }

private:
    friend QA_Audio* QA_CreateAudio(const QA_AudioSettings& settings);
    friend void QA_DestroyAudio();

    explicit QA_Audio(const QA_AudioSettings& settings);
    ~QA_Audio();
    QA_Audio(const QA_Audio&) = delete;
    QA_Audio& operator=(const QA_Audio&) = delete;

    void AssertMainThread() const;
    void HoldMixerFor(QA_SoundBuffer* buffer);

    bool enabled;
    std::uint32_t mainThreadId;
    QP_AudioDevice device;
    QC_Ptr<QA_SoundBuffer> playing;
    // Locked buffers that are (or were, while locked) the one being played: for each, the
    // mixer is held off until its Unlock, so it never reads PCM while it is being rewritten.
    std::vector<QC_Ptr<QA_SoundBuffer>> mixerHeldFor;
};

// Creates the single device (fatal "Failed to create direct sounds." when none opens).
QA_Audio* QA_CreateAudio(const QA_AudioSettings& settings);
// Stops playback, closes the device and drops the playing buffer. Safe without a device.
void QA_DestroyAudio();
QA_Audio* QA_GetAudio();
