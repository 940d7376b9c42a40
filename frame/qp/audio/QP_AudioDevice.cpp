#include "QP_AudioDevice.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
// About 23 ms per period: short enough that music starts in the frame it is asked for.
constexpr Uint16 kPeriodFrames = 1024;
// The null output's thread sleeps a period at a time, and closing the device waits for it:
// nobody hears it, so its periods are short and an offline render ends without that wait.
constexpr Uint16 kSilentPeriodFrames = 256;

void SDLCALL FillFromDevice(void* userdata, Uint8* stream, int length)
{
    static_cast<QP_AudioDevice*>(userdata)->Fill(stream, static_cast<std::uint32_t>(length));
}
} // namespace

QP_AudioDevice::~QP_AudioDevice()
{
    Close();
}

void QP_AudioDevice::SetError(const char* context)
{
    std::snprintf(errorText, sizeof(errorText), "%s: %s", context, SDL_GetError());
}

bool QP_AudioDevice::Open(bool silent)
{
    if (deviceId != 0)
        return true;
    if (silent)
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        SetError("SDL_InitSubSystem(SDL_INIT_AUDIO)");
        return false;
    }
    subsystemStarted = true;

    SDL_AudioSpec wanted;
    SDL_zero(wanted);
    wanted.freq = SampleRate;
    wanted.format = AUDIO_S16LSB; // the PCM blocks are little-endian 16-bit, left then right
    wanted.channels = Channels;
    wanted.samples = silent ? kSilentPeriodFrames : kPeriodFrames;
    wanted.callback = FillFromDevice;
    wanted.userdata = this;
    // No allowed changes: SDL converts to whatever the hardware takes, so Fill always writes
    // the fixed format.
    SDL_AudioSpec obtained;
    const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (id == 0) {
        SetError("SDL_OpenAudioDevice");
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemStarted = false;
        return false;
    }
    deviceId = id;
    // The device runs from now on and plays silence until the first Play.
    SDL_PauseAudioDevice(deviceId, 0);
    return true;
}

void QP_AudioDevice::Close()
{
    if (deviceId != 0) {
        // Returns after the mixer thread has stopped: the block is never read again.
        SDL_CloseAudioDevice(deviceId);
        deviceId = 0;
    }
    source = nullptr;
    sourceSize = 0;
    sourceFilled = nullptr;
    position = 0;
    if (subsystemStarted) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemStarted = false;
    }
}

void QP_AudioDevice::Play(const void* pcm, std::uint32_t bytes, const std::atomic<std::uint32_t>* filled)
{
    if (deviceId == 0)
        return;
    SDL_LockAudioDevice(deviceId);
    source = static_cast<const std::uint8_t*>(pcm);
    sourceSize = pcm ? bytes - bytes % BytesPerFrame : 0;
    sourceFilled = pcm ? filled : nullptr;
    position = 0;
    slowPhase = 0;
    SDL_UnlockAudioDevice(deviceId);
}

std::uint32_t QP_AudioDevice::Position() const
{
    if (deviceId == 0)
        return position;
    SDL_LockAudioDevice(deviceId);
    const std::uint32_t now = position;
    SDL_UnlockAudioDevice(deviceId);
    return now;
}

void QP_AudioDevice::Seek(std::uint32_t byteOffset)
{
    if (deviceId != 0)
        SDL_LockAudioDevice(deviceId);
    const std::uint32_t whole = byteOffset - byteOffset % BytesPerFrame;
    position = whole < sourceSize ? whole : sourceSize;
    slowPhase = 0;
    if (deviceId != 0)
        SDL_UnlockAudioDevice(deviceId);
}

void QP_AudioDevice::SetPaused(bool pause)
{
    if (deviceId != 0)
        SDL_LockAudioDevice(deviceId);
    paused = pause;
    if (deviceId != 0)
        SDL_UnlockAudioDevice(deviceId);
}

void QP_AudioDevice::SetSlowdown(std::uint32_t divisor)
{
    if (deviceId != 0)
        SDL_LockAudioDevice(deviceId);
    slowdown = divisor > 0 ? divisor : 1;
    slowPhase = 0;
    if (deviceId != 0)
        SDL_UnlockAudioDevice(deviceId);
}

void QP_AudioDevice::Stop()
{
    Play(nullptr, 0);
}

void QP_AudioDevice::LockSource()
{
    if (deviceId != 0)
        SDL_LockAudioDevice(deviceId);
}

void QP_AudioDevice::UnlockSource()
{
    if (deviceId != 0)
        SDL_UnlockAudioDevice(deviceId);
}

std::uint32_t QP_AudioDevice::ReadableBytes() const
{
    if (!sourceFilled)
        return sourceSize;
    const std::uint32_t filled = sourceFilled->load(std::memory_order_acquire);
    return filled < sourceSize ? filled - filled % BytesPerFrame : sourceSize;
}

void QP_AudioDevice::Fill(std::uint8_t* output, std::uint32_t bytes)
{
    // Runs on the mixer thread with the device lock held by SDL. Signed 16-bit silence is zero.
    std::uint32_t written = 0;
    if (source && !paused && position < sourceSize && slowdown > 1) {
        written = FillSlowed(output, bytes, ReadableBytes());
    } else if (source && !paused && position < sourceSize) {
        const std::uint32_t readable = ReadableBytes();
        written = std::min(sourceSize - position, bytes);
        const std::uint32_t copied = position < readable ? std::min(readable - position, written) : 0;
        std::memcpy(output, source + position, copied);
        std::memset(output + copied, 0, written - copied);
        position += written;
    }
    std::memset(output + written, 0, bytes - written);
}

std::uint32_t QP_AudioDevice::FillSlowed(std::uint8_t* output, std::uint32_t bytes, std::uint32_t readable)
{
    // Between the frame at the cursor and the next one, slowPhase / slowdown of the way; the
    // last frame of the block holds its value. Frames not yet readable count as silence.
    std::uint32_t written = 0;
    while (written + BytesPerFrame <= bytes && position < sourceSize) {
        const std::uint32_t next = position + BytesPerFrame < sourceSize ? position + BytesPerFrame : position;
        for (std::uint32_t channel = 0; channel < static_cast<std::uint32_t>(Channels); ++channel) {
            std::int16_t from = 0, to = 0;
            if (position < readable)
                std::memcpy(&from, source + position + channel * 2, 2);
            if (next < readable)
                std::memcpy(&to, source + next + channel * 2, 2);
            const std::int32_t value = from + (static_cast<std::int32_t>(to) - from) * static_cast<std::int32_t>(slowPhase) /
                                                  static_cast<std::int32_t>(slowdown);
            const std::int16_t sample = static_cast<std::int16_t>(value);
            std::memcpy(output + written + channel * 2, &sample, 2);
        }
        written += BytesPerFrame;
        if (++slowPhase == slowdown) {
            slowPhase = 0;
            position += BytesPerFrame;
        }
    }
    return written;
}
