#include "qa/QA_Buffer_OGG.h"

#include "qc/QC_Log.h"
#include "qp/QP_AudioResampler.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

// The decoder's implementation is compiled once, in QA_StbVorbis.cpp.
#define STB_VORBIS_HEADER_ONLY
#include <stb/stb_vorbis.h>

// The decoder writes native 16-bit values; the PCM format is little-endian.
static_assert(std::endian::native == std::endian::little, "PCM blocks are little-endian");

namespace QA_Buffer_OGG
{
namespace
{
constexpr std::uint32_t kBytesPerFrame = 4;
constexpr std::uint32_t kDeviceRate = 44100;
// Frames decoded per call when converting, and at most per call when decoding in place.
constexpr std::uint32_t kChunkFrames = 4096;
constexpr std::uint32_t kMaxRequestFrames = 1u << 20;
// Room beyond the exact scaled length for the converter's rounding at the edges.
constexpr std::uint64_t kConversionSlackFrames = 1024;

struct DecoderCloser
{
    stb_vorbis* decoder;
    ~DecoderCloser() { stb_vorbis_close(decoder); }
};

// Decodes up to frames frames straight into the buffer. Returns the frames decoded.
std::uint32_t DecodeInPlace(stb_vorbis* decoder, std::uint32_t frames, QA_Buffer& buffer)
{
    auto* samples = reinterpret_cast<short*>(buffer.Data());
    std::uint32_t decoded = 0;
    while (decoded < frames) {
        // Ask for no more than the room left: a stream may hold more frames than it states,
        // and the buffer has room for exactly the stated count.
        std::uint32_t request = frames - decoded;
        if (request > kMaxRequestFrames)
            request = kMaxRequestFrames;
        const int got = stb_vorbis_get_samples_short_interleaved(decoder, 2, samples + std::size_t(decoded) * 2,
                                                                 static_cast<int>(request * 2));
        // A stream that ends before its stated length yields 0: stop rather than spin.
        if (got <= 0)
            break;
        decoded += static_cast<std::uint32_t>(got);
    }
    return decoded;
}

// Decodes up to frames frames in chunks, converting each to the device rate into the buffer.
// Returns false when the converter fails; decodedFrames and writtenBytes tell how far it got.
bool DecodeConverted(stb_vorbis* decoder, std::uint32_t frames, std::uint32_t sampleRate, QA_Buffer& buffer,
                     const char* name, std::uint32_t& decodedFrames, std::uint32_t& writtenBytes)
{
    decodedFrames = 0;
    writtenBytes = 0;
    QP_AudioResampler resampler;
    if (!resampler.Open(static_cast<int>(sampleRate), static_cast<int>(kDeviceRate))) {
        QC_ERROR("Cannot convert ogg %s from %u Hz: %s", name, sampleRate, resampler.ErrorText());
        return false;
    }
    const std::uint32_t capacity = buffer.Size();
    // Takes what the converter has ready, never past the buffer's end.
    auto drain = [&]() {
        while (writtenBytes < capacity && resampler.Available() > 0) {
            const std::uint32_t got = resampler.Get(buffer.Data() + writtenBytes, capacity - writtenBytes);
            if (got == 0)
                break;
            writtenBytes += got;
        }
    };

    std::vector<short> chunk(std::size_t(kChunkFrames) * 2);
    while (decodedFrames < frames) {
        std::uint32_t request = frames - decodedFrames;
        if (request > kChunkFrames)
            request = kChunkFrames;
        const int got = stb_vorbis_get_samples_short_interleaved(decoder, 2, chunk.data(), static_cast<int>(request * 2));
        if (got <= 0)
            break;
        decodedFrames += static_cast<std::uint32_t>(got);
        if (!resampler.Put(chunk.data(), static_cast<std::uint32_t>(got) * kBytesPerFrame)) {
            QC_ERROR("Cannot convert ogg %s from %u Hz: %s", name, sampleRate, resampler.ErrorText());
            return false;
        }
        drain();
    }
    // The converter keeps back the last few hundred frames as filter history even when
    // flushed; a tail of silence pushes them out, and the result is cut to the exact length.
    std::fill(chunk.begin(), chunk.end(), short(0));
    if (!resampler.Put(chunk.data(), kChunkFrames * kBytesPerFrame) || !resampler.Flush()) {
        QC_ERROR("Cannot convert ogg %s from %u Hz: %s", name, sampleRate, resampler.ErrorText());
        return false;
    }
    drain();
    const std::uint64_t exactBytes =
        (std::uint64_t(decodedFrames) * kDeviceRate + sampleRate / 2) / sampleRate * kBytesPerFrame;
    if (writtenBytes > exactBytes)
        writtenBytes = static_cast<std::uint32_t>(exactBytes);
    return true;
}

// Decodes an opened stream into a new buffer. Closes the decoder in every case.
bool Decode(stb_vorbis* decoder, const char* name, QC_Ptr<QA_Buffer>& result)
{
    DecoderCloser closer{decoder};
    const stb_vorbis_info info = stb_vorbis_get_info(decoder);
    if (info.sample_rate < MinSampleRate || info.sample_rate > MaxSampleRate) {
        QC_ERROR("Failed to open ogg %s. Error is %d.", name, ErrorSampleRate);
        return false;
    }
    // Sample frames per channel, from the last page's position; 0 when there is none.
    const std::uint32_t frames = stb_vorbis_stream_length_in_samples(decoder);
    if (frames == 0) {
        QC_ERROR("Failed to open ogg %s. Error is %d.", name, ErrorNoLength);
        return false;
    }
    if (std::uint64_t(frames) > std::uint64_t(MaxSeconds) * info.sample_rate) {
        QC_ERROR("Failed to open ogg %s. Error is %d.", name, ErrorTooLong);
        return false;
    }

    // Bounded by the limits above: at most 3600 s at 44100 Hz (plus slack), about 635 MB.
    const bool convert = info.sample_rate != kDeviceRate;
    const std::uint64_t outputFrames =
        convert ? (std::uint64_t(frames) * kDeviceRate + info.sample_rate - 1) / info.sample_rate + kConversionSlackFrames
                : frames;
    static_assert(std::uint64_t(MaxSeconds) * kDeviceRate * kBytesPerFrame + kConversionSlackFrames * kBytesPerFrame <=
                  UINT32_MAX);
    QC_Ptr<QA_Buffer> buffer = QA_Buffer::Create(static_cast<std::uint32_t>(outputFrames * kBytesPerFrame));
    if (!buffer) {
        QC_ERROR("Failed to open ogg %s. Error is %d.", name, ErrorOutOfMemory);
        return false;
    }

    std::uint32_t decoded = 0;
    std::uint32_t bytes = 0;
    if (convert) {
        if (!DecodeConverted(decoder, frames, info.sample_rate, *buffer, name, decoded, bytes)) {
            QC_ERROR("Failed to open ogg %s. Error is %d.", name, ErrorConversion);
            return false;
        }
    } else {
        decoded = DecodeInPlace(decoder, frames, *buffer);
        bytes = decoded * kBytesPerFrame;
    }
    if (decoded == 0 || bytes == 0) {
        QC_ERROR("Failed to open ogg %s. Error is %d.", name, ErrorNoAudio);
        return false;
    }
    if (decoded < frames)
        QC_ERROR("Ogg %s ended after %u of its %u frames.", name, decoded, frames);
    buffer->Truncate(bytes);
    result = buffer;
    return true;
}
} // namespace

bool Load(const char* path, QC_Ptr<QA_Buffer>& result)
{
    FILE* file = std::fopen(path, "rb");
    if (!file) {
        QC_ERROR("Failed to open ogg %s. Error is %d.", path, VORBIS_file_open_failure);
        return false;
    }
    // The size is checked before the decoder sees a byte; a folder or device is no file.
    std::error_code error;
    const bool regular = std::filesystem::is_regular_file(path, error);
    const std::uintmax_t size = regular ? std::filesystem::file_size(path, error) : 0;
    if (!regular || error) {
        std::fclose(file);
        QC_ERROR("Failed to open ogg %s. Error is %d.", path, VORBIS_file_open_failure);
        return false;
    }
    if (size > MaxFileBytes) {
        std::fclose(file);
        QC_ERROR("Failed to open ogg %s. Error is %d.", path, ErrorFileTooLarge);
        return false;
    }
    int decoderError = 0;
    // Owns the file from here on, failure included.
    stb_vorbis* decoder = stb_vorbis_open_file(file, 1, &decoderError, nullptr);
    if (!decoder) {
        QC_ERROR("Failed to open ogg %s. Error is %d.", path, decoderError);
        return false;
    }
    return Decode(decoder, path, result);
}

bool LoadFromMemory(const void* data, std::size_t size, const char* name, QC_Ptr<QA_Buffer>& result)
{
    if (size > MaxFileBytes) {
        QC_ERROR("Failed to open ogg %s. Error is %d.", name, ErrorFileTooLarge);
        return false;
    }
    static_assert(MaxFileBytes <= INT_MAX);
    int decoderError = 0;
    stb_vorbis* decoder =
        stb_vorbis_open_memory(static_cast<const unsigned char*>(data), static_cast<int>(size), &decoderError, nullptr);
    if (!decoder) {
        QC_ERROR("Failed to open ogg %s. Error is %d.", name, decoderError);
        return false;
    }
    return Decode(decoder, name, result);
}
} // namespace QA_Buffer_OGG
