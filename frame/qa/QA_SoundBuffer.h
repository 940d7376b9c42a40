#pragma once
// A static sound buffer: one block of PCM in the device's fixed format (signed 16-bit
// little-endian stereo, 44100 Hz), written once through QA_Audio::Lock / Unlock and played
// through QA_Audio::Play. Created only by QA_Audio::CreateSoundBuffer.
//
// The buffer owns its memory and gives it back when its last reference goes. While it is the
// buffer being played the device holds a reference, so the mixer never reads freed memory.
// One made over decoded PCM (QA_Audio::CreateSoundBuffer(pcm)) plays it in place, and while a
// decode still fills it only the filled part is played: silence stands in for the rest.

#include "QA_Buffer.h"
#include "QC_Ptr.h"

#include <atomic>
#include <cstdint>

class QA_SoundBuffer : public QC_RefCounted
{
public:
    ~QA_SoundBuffer() override;

    std::uint32_t Size() const { return size; }
    bool IsLocked() const { return locked; }
    // The PCM, for reading only (a waveform drawn from the music): its first Filled() bytes do
    // not change while the buffer is unlocked, so any thread that holds a reference may read them.
    const std::uint8_t* Pcm() const { return data; }
    std::uint32_t Filled() const { return decoded ? decoded->Filled() : size; }
    // True while a decode still fills the buffer.
    bool IsFilling() const { return decoded && decoded->IsFilling(); }
    // Lets a decode that waits for the buffer's first reader go on (QA_Buffer::Want).
    void Want() const
    {
        if (decoded)
            decoded->Want();
    }
    // Where the decode publishes its progress, for the mixer; null when the buffer is whole.
    const std::atomic<std::uint32_t>* FilledCounter() const { return decoded ? &decoded->FilledCounter() : nullptr; }

private:
    friend class QA_Audio;

    QA_SoundBuffer(std::uint8_t* memory, std::uint32_t bytes) : data(memory), size(bytes) {}
    explicit QA_SoundBuffer(const QC_Ptr<QA_Buffer>& pcm) : data(pcm->Data()), size(pcm->Size()), decoded(pcm) {}

    // The whole buffer for writing, once a decode that fills it has ended. Locking a buffer
    // that is already locked is fatal.
    void* Lock();
    // Ends a Lock; pointer must be the one Lock returned. Anything else is fatal.
    void Unlock(void* pointer);

    std::uint8_t* data; // owned, unless it is decoded's
    std::uint32_t size;
    QC_Ptr<QA_Buffer> decoded;
    bool locked = false;
};
