#pragma once
// A static sound buffer: one block of PCM in the device's fixed format (signed 16-bit
// little-endian stereo, 44100 Hz), written once through QA_Audio::Lock / Unlock and played
// through QA_Audio::Play. Created only by QA_Audio::CreateSoundBuffer.
//
// The buffer owns its memory and gives it back when its last reference goes. While it is the
// buffer being played the device holds a reference, so the mixer never reads freed memory.

#include "QC_Ptr.h"

#include <cstdint>

class QA_SoundBuffer : public QC_RefCounted
{
public:
    ~QA_SoundBuffer() override;

    std::uint32_t Size() const { return size; }
    bool IsLocked() const { return locked; }
    // The PCM, for reading only (a waveform drawn from the music): filled once, it does not
    // change while the buffer is unlocked, so any thread that holds a reference may read it.
    const std::uint8_t* Pcm() const { return data; }

private:
    friend class QA_Audio;

    QA_SoundBuffer(std::uint8_t* memory, std::uint32_t bytes) : data(memory), size(bytes) {}

    // The whole buffer for writing. Locking a buffer that is already locked is fatal.
    void* Lock();
    // Ends a Lock; pointer must be the one Lock returned. Anything else is fatal.
    void Unlock(void* pointer);

    std::uint8_t* data; // owned
    std::uint32_t size;
    bool locked = false;
};
