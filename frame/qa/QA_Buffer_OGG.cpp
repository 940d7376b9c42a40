#include "QA_Buffer_OGG.h"

#include "QC_Log.h"
#include "QC_Thread.h"
#include "QP_AudioResampler.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
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

// The decoder takes all its memory, setup and per-frame scratch alike, from one arena that the
// loader owns: malformed setup headers make the decoder return without freeing what it had
// allocated, and its scratch would otherwise come from the worker's stack (alloca). Freeing
// the arena reclaims everything, and its size caps what a hostile header can ask for.
constexpr std::size_t kArenaSizes[] = {std::size_t(1) << 20, std::size_t(32) << 20};
// Comment headers (tags, embedded cover art) larger than this are refused.
constexpr std::uint32_t kMaxCommentPacketBytes = 16u << 20;

// Reads the little-endian 32-bit value at offset, if the four bytes lie inside size.
bool ReadU32(const unsigned char* data, std::size_t size, std::size_t offset, std::uint32_t& value)
{
    if (offset > size || size - offset < 4)
        return false;
    value = std::uint32_t(data[offset]) | std::uint32_t(data[offset + 1]) << 8 | std::uint32_t(data[offset + 2]) << 16 |
            std::uint32_t(data[offset + 3]) << 24;
    return true;
}

enum class CommentCheck
{
    Safe,        // the comment packet is whole and every length in it fits inside it
    NotReached,  // the decoder rejects the stream before it reads the comments
    Unsafe,      // refused here: the decoder would act on lengths the packet cannot hold
};

// The decoder sizes its comment allocations from the lengths written in the comment header
// without checking them against the packet, and on a failed allocation it frees a comment
// list it never allocated (a null dereference), or writes before a zero-sized vendor string.
// This check walks the first two packets exactly as the decoder frames them (the 30-byte
// identification packet alone on the first page, the comment packet from the start of the
// next page, each further page of it flagged as a continuation) and accepts the comment
// header only when it is whole and every length fits. Then the vendor string and the comment
// list, the allocations before the one whose failure the decoder mishandles, take at most
// three times the packet size, which the arena always adds on top of its base size.
CommentCheck CheckCommentHeader(const unsigned char* data, std::size_t size, std::uint32_t& packetBytes)
{
    auto isPageAt = [&](std::size_t at) {
        return at <= size && size - at >= 27 && std::memcmp(data + at, "OggS", 4) == 0 && data[at + 4] == 0;
    };
    // First page: one segment of 30 bytes, or the decoder stops there.
    if (!isPageAt(0) || data[26] != 1 || size < 28 || data[27] != 30)
        return CommentCheck::NotReached;
    // The comment packet starts on the next page, whatever that page's flags say (the decoder
    // checks the continuation flag only on the pages after it).
    std::size_t page = 27 + 1 + 30;
    if (!isPageAt(page))
        return CommentCheck::NotReached;

    std::vector<unsigned char> packet;
    bool first = true;
    for (;;) {
        if (!isPageAt(page) || (!first && (data[page + 5] & 0x01) == 0))
            return CommentCheck::Unsafe; // cut short, or a continuation the decoder refuses
        const std::size_t segments = data[page + 26];
        const std::size_t bodyAt = page + 27 + segments;
        if (segments == 0 || bodyAt > size)
            return CommentCheck::Unsafe;
        std::size_t offset = bodyAt;
        bool complete = false;
        for (std::size_t i = 0; i < segments && !complete; ++i) {
            const std::size_t lacing = data[page + 27 + i];
            if (offset > size || size - offset < lacing)
                return CommentCheck::Unsafe;
            packet.insert(packet.end(), data + offset, data + offset + lacing);
            if (packet.size() > kMaxCommentPacketBytes)
                return CommentCheck::Unsafe;
            offset += lacing;
            complete = lacing < 255;
        }
        if (complete)
            break;
        // Every segment was full: the packet goes on from the page that follows this body.
        page = offset;
        first = false;
    }

    const unsigned char* bytes = packet.data();
    const std::size_t length = packet.size();
    if (length < 7 || bytes[0] != 3 || std::memcmp(bytes + 1, "vorbis", 6) != 0)
        return CommentCheck::NotReached; // the decoder refuses the packet type itself
    std::size_t at = 7;
    std::uint32_t vendor = 0, count = 0;
    if (!ReadU32(bytes, length, at, vendor) || vendor > length - at - 4)
        return CommentCheck::Unsafe;
    at += 4 + vendor;
    if (!ReadU32(bytes, length, at, count) || count > (length - at - 4) / 4)
        return CommentCheck::Unsafe;
    at += 4;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t comment = 0;
        if (!ReadU32(bytes, length, at, comment) || comment > length - at - 4)
            return CommentCheck::Unsafe;
        at += 4 + comment;
    }
    if (at >= length)
        return CommentCheck::Unsafe; // no framing byte
    packetBytes = std::uint32_t(length);
    return CommentCheck::Safe;
}

struct OpenDecoder
{
    stb_vorbis* decoder = nullptr;
    void* arena = nullptr;

    OpenDecoder() = default;
    OpenDecoder(const OpenDecoder&) = delete;
    OpenDecoder& operator=(const OpenDecoder&) = delete;
    ~OpenDecoder()
    {
        if (decoder)
            stb_vorbis_close(decoder); // frees nothing itself: everything lives in the arena
        std::free(arena);
    }

    // Opens the stream, retrying with the larger arena when the smaller one is too small.
    // Three times commentBytes (the comment packet's size) is added, so the comment list is
    // always allocated (see CheckCommentHeader).
    // Returns false with the decoder's error code.
    bool Open(const unsigned char* data, int size, std::uint32_t commentBytes, int& error)
    {
        for (const std::size_t baseSize : kArenaSizes) {
            const std::size_t arenaSize = baseSize + 3 * std::size_t(commentBytes);
            arena = std::malloc(arenaSize);
            if (!arena) {
                error = VORBIS_outofmem;
                return false;
            }
            stb_vorbis_alloc memory{static_cast<char*>(arena), static_cast<int>(arenaSize)};
            error = 0;
            decoder = stb_vorbis_open_memory(data, size, &error, &memory);
            if (decoder)
                return true;
            std::free(arena);
            arena = nullptr;
            if (error != VORBIS_outofmem)
                return false;
        }
        return false;
    }
};

// Decodes up to frames frames straight into the buffer from frame firstFrame on. Returns the
// frames decoded.
std::uint32_t DecodeInPlace(stb_vorbis* decoder, std::uint32_t frames, QA_Buffer& buffer, std::uint32_t firstFrame = 0)
{
    auto* samples = reinterpret_cast<short*>(buffer.Data()) + std::size_t(firstFrame) * 2;
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
        const int got =
            stb_vorbis_get_samples_short_interleaved(decoder, 2, chunk.data(), static_cast<int>(request * 2));
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

// The stream's rate and stated length in frames, checked against the limits; false after
// logging the failed open.
bool CheckStream(stb_vorbis* decoder, const char* name, std::uint32_t& sampleRate, std::uint32_t& frames)
{
    const stb_vorbis_info info = stb_vorbis_get_info(decoder);
    sampleRate = info.sample_rate;
    if (info.sample_rate < MinSampleRate || info.sample_rate > MaxSampleRate) {
        QC_ERROR("Failed to open ogg %s. Error is %d.", name, ErrorSampleRate);
        return false;
    }
    // Sample frames per channel, from the last page's position; 0 when there is none.
    frames = stb_vorbis_stream_length_in_samples(decoder);
    if (frames == 0) {
        QC_ERROR("Failed to open ogg %s. Error is %d.", name, ErrorNoLength);
        return false;
    }
    if (std::uint64_t(frames) > std::uint64_t(MaxSeconds) * info.sample_rate) {
        QC_ERROR("Failed to open ogg %s. Error is %d.", name, ErrorTooLong);
        return false;
    }
    return true;
}

// Decodes an opened stream into a new buffer.
bool Decode(stb_vorbis* decoder, const char* name, QC_Ptr<QA_Buffer>& result)
{
    std::uint32_t sampleRate = 0, frames = 0;
    if (!CheckStream(decoder, name, sampleRate, frames))
        return false;

    // Bounded by the limits above: at most 3600 s at 44100 Hz (plus slack), about 635 MB.
    const bool convert = sampleRate != kDeviceRate;
    const std::uint64_t scaledFrames = (std::uint64_t(frames) * kDeviceRate + sampleRate - 1) / sampleRate;
    const std::uint64_t outputFrames = convert ? scaledFrames + kConversionSlackFrames : frames;
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
        if (!DecodeConverted(decoder, frames, sampleRate, *buffer, name, decoded, bytes)) {
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

// Reads the whole file at path into a malloc'd block (the caller frees it); false after logging
// the failed open.
bool ReadWholeFile(const char* path, unsigned char*& bytes, std::size_t& byteCount)
{
    FILE* file = std::fopen(path, "rb");
    if (!file) {
        QC_ERROR("Failed to open ogg %s. Error is %d.", path, VORBIS_file_open_failure);
        return false;
    }
    // The size is checked before a byte is read; a folder or device is no file.
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
    // The whole file is read first (a few MB for music; at most MaxFileBytes), so that a file
    // and a block in memory go through one decoding path.
    bytes = static_cast<unsigned char*>(std::malloc(size ? size : 1));
    const bool read = bytes && std::fread(bytes, 1, size, file) == size;
    std::fclose(file);
    if (!read) {
        const int failure = bytes ? int(VORBIS_file_open_failure) : int(ErrorOutOfMemory);
        std::free(bytes);
        bytes = nullptr;
        QC_ERROR("Failed to open ogg %s. Error is %d.", path, failure);
        return false;
    }
    byteCount = size;
    return true;
}

// Checks the headers and opens a decoder on the stream; false after logging the failed open.
bool OpenStream(const unsigned char* bytes, std::size_t size, const char* name, OpenDecoder& opened)
{
    if (size > MaxFileBytes) {
        QC_ERROR("Failed to open ogg %s. Error is %d.", name, ErrorFileTooLarge);
        return false;
    }
    static_assert(MaxFileBytes <= INT_MAX);
    std::uint32_t commentBytes = 0;
    if (CheckCommentHeader(bytes, size, commentBytes) == CommentCheck::Unsafe) {
        QC_ERROR("Failed to open ogg %s. Error is %d.", name, ErrorHeader);
        return false;
    }
    int decoderError = 0;
    if (!opened.Open(bytes, static_cast<int>(size), commentBytes, decoderError)) {
        QC_ERROR("Failed to open ogg %s. Error is %d.", name, decoderError);
        return false;
    }
    return true;
}

// Music is streamed from this length on: the loader returns with its first seconds, and the
// rest is decoded ahead of the play cursor. Shorter sounds are not worth a thread.
constexpr std::uint32_t kStreamFrames = 20 * kDeviceRate;
constexpr std::uint32_t kStreamHeadFrames = 5 * kDeviceRate;
// Frames decoded between two reports of progress (about a third of a second).
constexpr std::uint32_t kStreamChunkFrames = 16384;

// The rest of a streamed decode: once the buffer is wanted, decodes on a background thread of
// its own, straight into the buffer, and publishes each chunk as it lands. It owns the file's
// bytes and the decoder, and gives both back as soon as the stream is done.
class StreamFill final : public QA_BufferFill
{
public:
    StreamFill(unsigned char* fileBytes, std::unique_ptr<OpenDecoder> decoder, QA_Buffer& target,
               std::uint32_t firstFrame, std::uint32_t streamFrames, const char* streamName)
        : bytes(fileBytes), opened(std::move(decoder)), buffer(target), from(firstFrame), frames(streamFrames),
          name(streamName)
    {
    }
    ~StreamFill() override
    {
        stop.store(true, std::memory_order_relaxed);
        buffer.Want(); // a decode still waiting for its first reader wakes to stop
        Wait();
        std::free(bytes);
    }

    void Start() { thread = QC_StartJoinableThread("Decoder", QC_Bind(&StreamFill::Run, this)); }
    void Wait() override
    {
        if (thread)
            QC_JoinThread(thread);
        thread = nullptr;
    }

private:
    static void Run(StreamFill* fill) { fill->DecodeRest(); }

    void DecodeRest()
    {
        buffer.WaitUntilWanted();
        QC_SetThreadBackground();
        std::uint32_t done = from;
        while (done < frames && !stop.load(std::memory_order_relaxed)) {
            const std::uint32_t chunk = frames - done < kStreamChunkFrames ? frames - done : kStreamChunkFrames;
            const std::uint32_t got = DecodeInPlace(opened->decoder, chunk, buffer, done);
            done += got;
            buffer.PublishFilled(done * kBytesPerFrame);
            if (got < chunk)
                break;
        }
        if (done < frames && !stop.load(std::memory_order_relaxed))
            QC_ERROR("Ogg %s ended after %u of its %u frames.", name.c_str(), done, frames);
        opened.reset();
        std::free(bytes);
        bytes = nullptr;
        buffer.EndFilling();
    }

    unsigned char* bytes;
    std::unique_ptr<OpenDecoder> opened;
    QA_Buffer& buffer;
    const std::uint32_t from;
    const std::uint32_t frames;
    const std::string name;
    std::atomic<bool> stop{false};
    QC_ThreadHandle* thread = nullptr;
};

// Decodes the head of a long 44100 Hz stream into a buffer of its whole stated length and hands
// the rest to a StreamFill. Takes the file's bytes over (freed on every path).
bool LoadHeadThenStream(unsigned char* bytes, std::unique_ptr<OpenDecoder> opened, std::uint32_t frames,
                        const char* name, QC_Ptr<QA_Buffer>& result)
{
    QC_Ptr<QA_Buffer> buffer = QA_Buffer::Create(frames * kBytesPerFrame);
    if (!buffer) {
        std::free(bytes);
        QC_ERROR("Failed to open ogg %s. Error is %d.", name, ErrorOutOfMemory);
        return false;
    }
    const std::uint32_t head = DecodeInPlace(opened->decoder, kStreamHeadFrames, *buffer);
    if (head == 0) {
        std::free(bytes);
        QC_ERROR("Failed to open ogg %s. Error is %d.", name, ErrorNoAudio);
        return false;
    }
    if (head < kStreamHeadFrames) {
        std::free(bytes);
        QC_ERROR("Ogg %s ended after %u of its %u frames.", name, head, frames);
        buffer->Truncate(head * kBytesPerFrame);
        result = buffer;
        return true;
    }
    auto fill = std::make_unique<StreamFill>(bytes, std::move(opened), *buffer, head, frames, name);
    StreamFill* starting = fill.get();
    buffer->BeginFilling(head * kBytesPerFrame, std::move(fill));
    starting->Start();
    result = buffer;
    return true;
}
} // namespace

bool Load(const char* path, QC_Ptr<QA_Buffer>& result)
{
    unsigned char* bytes = nullptr;
    std::size_t size = 0;
    if (!ReadWholeFile(path, bytes, size))
        return false;
    const bool loaded = LoadFromMemory(bytes, size, path, result);
    std::free(bytes);
    return loaded;
}

bool LoadStreamed(const char* path, QC_Ptr<QA_Buffer>& result)
{
    unsigned char* bytes = nullptr;
    std::size_t size = 0;
    if (!ReadWholeFile(path, bytes, size))
        return false;
    auto opened = std::make_unique<OpenDecoder>();
    std::uint32_t sampleRate = 0, frames = 0;
    if (!OpenStream(bytes, size, path, *opened) ||
        !CheckStream(opened->decoder, path, sampleRate, frames)) {
        std::free(bytes);
        return false;
    }
    if (sampleRate == kDeviceRate && frames >= kStreamFrames)
        return LoadHeadThenStream(bytes, std::move(opened), frames, path, result);
    // Short sounds and converted rates are decoded whole, as Load does.
    const bool loaded = Decode(opened->decoder, path, result);
    std::free(bytes);
    return loaded;
}

bool LoadFromMemory(const void* data, std::size_t size, const char* name, QC_Ptr<QA_Buffer>& result)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    OpenDecoder opened;
    if (!OpenStream(bytes, size, name, opened))
        return false;
    return Decode(opened.decoder, name, result);
}
} // namespace QA_Buffer_OGG
