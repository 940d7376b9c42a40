#include "QA_Audio.h"

#include "QC_Log.h"
#include "QP_System.h"

#include <cstdint>
#include <cstdlib>

namespace
{
QA_Audio* g_audio = nullptr;
}

QA_Audio* QA_CreateAudio(const QA_AudioSettings& settings)
{
    QC_ASSERT(g_audio == nullptr, "Audio device created twice.");
    g_audio = new QA_Audio(settings);
    return g_audio;
}

void QA_DestroyAudio()
{
    delete g_audio;
    g_audio = nullptr;
}

QA_Audio* QA_GetAudio()
{
    return g_audio;
}

QA_Audio::QA_Audio(const QA_AudioSettings& settings)
    : enabled(settings.enabled), mainThreadId(QP_GetCurrentThreadId())
{
    // The device opens even when audio is disabled, as the demo's start-up expects it to.
    if (!device.Open(settings.silentDevice)) {
        QC_ERROR("%s", device.ErrorText());
        QC_FATAL("Failed to create direct sounds.");
    }
}

QA_Audio::~QA_Audio()
{
    // Close first: after it the mixer thread is gone and the playing buffer may be freed.
    for (std::size_t i = 0; i < mixerHeldFor.size(); ++i)
        device.UnlockSource();
    mixerHeldFor.clear();
    device.Close();
    playing = nullptr;
}

void QA_Audio::AssertMainThread() const
{
    QC_ASSERT(QP_GetCurrentThreadId() == mainThreadId, "Audio used off the main thread.");
}

QC_Ptr<QA_SoundBuffer> QA_Audio::CreateSoundBuffer(std::uint32_t size)
{
    AssertMainThread();
    auto* memory = size ? static_cast<std::uint8_t*>(std::calloc(size, 1)) : nullptr;
    if (!memory)
        QC_FATAL("Failed to create sound buffer.");
    return QC_Ptr<QA_SoundBuffer>(new QA_SoundBuffer(memory, size));
}

QC_Ptr<QA_SoundBuffer> QA_Audio::CreateSoundBuffer(const QC_Ptr<QA_Buffer>& pcm)
{
    AssertMainThread();
    QC_ASSERT(pcm, "Failed to create sound buffer.");
    return QC_Ptr<QA_SoundBuffer>(new QA_SoundBuffer(pcm));
}

void* QA_Audio::Lock(QA_SoundBuffer* buffer)
{
    AssertMainThread();
    QC_ASSERT(buffer, "Failed to lock buffer.");
    void* pointer = buffer->Lock();
    if (buffer == playing.Get())
        HoldMixerFor(buffer);
    return pointer;
}

void QA_Audio::Unlock(QA_SoundBuffer* buffer, void* pointer)
{
    AssertMainThread();
    QC_ASSERT(buffer, "Failed to unlock buffer.");
    buffer->Unlock(pointer);
    for (auto held = mixerHeldFor.begin(); held != mixerHeldFor.end(); ++held) {
        if (held->Get() == buffer) {
            mixerHeldFor.erase(held);
            device.UnlockSource();
            break;
        }
    }
}

void QA_Audio::HoldMixerFor(QA_SoundBuffer* buffer)
{
    for (const QC_Ptr<QA_SoundBuffer>& held : mixerHeldFor) {
        if (held.Get() == buffer)
            return;
    }
    device.LockSource();
    mixerHeldFor.push_back(buffer);
}

std::uint32_t QA_Audio::GetPlayPosition() const
{
    AssertMainThread();
    if (!enabled || !playing)
        return 0;
    return device.Position() / QP_AudioDevice::BytesPerFrame;
}

void QA_Audio::SetPlayPosition(std::uint32_t frame)
{
    AssertMainThread();
    if (!enabled || !playing)
        return;
    const std::uint64_t byteOffset = std::uint64_t(frame) * QP_AudioDevice::BytesPerFrame;
    device.Seek(byteOffset > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(byteOffset));
}

void QA_Audio::SetPaused(bool paused)
{
    AssertMainThread();
    device.SetPaused(paused);
}

void QA_Audio::SetSlowdown(std::uint32_t divisor)
{
    AssertMainThread();
    device.SetSlowdown(divisor);
}

void QA_Audio::Play(QA_SoundBuffer* buffer)
{
    if (!enabled)
        return;
    AssertMainThread();
    QC_ASSERT(buffer, "Failed to play buffer.");
    // Switch the mixer to the new block before the old reference goes, so the mixer never
    // reads a buffer that has been freed.
    QC_Ptr<QA_SoundBuffer> previous = playing;
    playing = buffer;
    if (buffer->IsLocked())
        HoldMixerFor(buffer);
    buffer->Want();
    device.Play(buffer->Pcm(), buffer->Size(), buffer->FilledCounter());
}
