#include "QP_AudioResampler.h"

#include <SDL.h>
#include <cstdio>

namespace
{
constexpr std::uint32_t kBytesPerFrame = 4;

SDL_AudioStream* StreamOf(void* stream)
{
    return static_cast<SDL_AudioStream*>(stream);
}
} // namespace

QP_AudioResampler::~QP_AudioResampler()
{
    if (stream)
        SDL_FreeAudioStream(StreamOf(stream));
}

void QP_AudioResampler::SetError(const char* context)
{
    std::snprintf(errorText, sizeof(errorText), "%s: %s", context, SDL_GetError());
}

bool QP_AudioResampler::Open(int fromRate, int toRate)
{
    if (stream) {
        SDL_FreeAudioStream(StreamOf(stream));
        stream = nullptr;
    }
    stream = SDL_NewAudioStream(AUDIO_S16LSB, 2, fromRate, AUDIO_S16LSB, 2, toRate);
    if (!stream) {
        SetError("SDL_NewAudioStream");
        return false;
    }
    return true;
}

bool QP_AudioResampler::Put(const void* pcm, std::uint32_t bytes)
{
    bytes -= bytes % kBytesPerFrame;
    if (!stream)
        return false;
    if (bytes == 0)
        return true;
    if (SDL_AudioStreamPut(StreamOf(stream), pcm, static_cast<int>(bytes)) != 0) {
        SetError("SDL_AudioStreamPut");
        return false;
    }
    return true;
}

bool QP_AudioResampler::Flush()
{
    if (!stream)
        return false;
    if (SDL_AudioStreamFlush(StreamOf(stream)) != 0) {
        SetError("SDL_AudioStreamFlush");
        return false;
    }
    return true;
}

std::uint32_t QP_AudioResampler::Available() const
{
    if (!stream)
        return 0;
    const int available = SDL_AudioStreamAvailable(StreamOf(stream));
    return available > 0 ? static_cast<std::uint32_t>(available) : 0;
}

std::uint32_t QP_AudioResampler::Get(void* destination, std::uint32_t capacity)
{
    capacity -= capacity % kBytesPerFrame;
    if (!stream || capacity == 0)
        return 0;
    // SDL takes an int count: keep each request well inside it.
    constexpr std::uint32_t kMaxRequest = 1u << 30;
    if (capacity > kMaxRequest)
        capacity = kMaxRequest;
    const int got = SDL_AudioStreamGet(StreamOf(stream), destination, static_cast<int>(capacity));
    if (got < 0) {
        SetError("SDL_AudioStreamGet");
        return 0;
    }
    return static_cast<std::uint32_t>(got);
}
