#pragma once
// Sample-rate conversion of signed 16-bit little-endian stereo PCM, used to bring decoded
// music to the device's 44100 Hz. Pure computation: needs no open audio device and may run
// on any thread (one converter per thread).
//
//   QP_AudioResampler resampler;
//   if (!resampler.Open(48000, 44100)) report(resampler.ErrorText());
//   resampler.Put(pcm, bytes);  ...  resampler.Flush();
//   while (resampler.Available()) resampler.Get(out, capacity);
//
// Nothing outside frame/qp includes a platform header; this file includes none either.

#include <cstdint>

class QP_AudioResampler
{
public:
    QP_AudioResampler() = default;
    ~QP_AudioResampler();
    QP_AudioResampler(const QP_AudioResampler&) = delete;
    QP_AudioResampler& operator=(const QP_AudioResampler&) = delete;

    // False, with ErrorText set, when the platform refuses the pair of rates.
    bool Open(int fromRate, int toRate);
    // Queues whole frames of input. False on failure.
    bool Put(const void* pcm, std::uint32_t bytes);
    // Marks the end of the input so the last frames become available.
    bool Flush();
    // Converted bytes ready to be taken.
    std::uint32_t Available() const;
    // Takes at most capacity bytes (whole frames) into destination; returns the count.
    std::uint32_t Get(void* destination, std::uint32_t capacity);

    const char* ErrorText() const { return errorText; }

private:
    void SetError(const char* context);

    void* stream = nullptr; // the platform's stream object, opaque above this layer
    char errorText[256] = {};
};
