#pragma once
// The Ogg Vorbis loader: decodes a whole file into a QA_Buffer of signed 16-bit stereo PCM at
// 44100 Hz. Runs on a worker thread; touches no audio device.
//
//   QC_Ptr<QA_Buffer> pcm;
//   if (!QA_Buffer_OGG::Load("assets/music.ogg", pcm))
//       ...;   // "Failed to open ogg %s. Error is %d." has been logged at level 2
//
// Mono files are spread to both channels (the result is always 4 bytes a frame); files at
// another sample rate are converted to 44100 Hz. A file that decodes to fewer frames than its
// stated length keeps what was decoded. Refused as a failed open, with the decoder's error
// code or one of the codes below: files over 256 MB, streams stated longer than one hour,
// sample rates outside 8000-192000 Hz, streams with no stated length or no audio, and comment
// headers that are cut short, state lengths they do not hold or exceed 16 MB. The
// decoder works in an arena of at most 32 MB owned by the loader; a stream whose setup needs
// more is refused with the decoder's out-of-memory code (3).

#include "QA_Buffer.h"
#include "QC_Ptr.h"

#include <cstddef>
#include <cstdint>

namespace QA_Buffer_OGG
{
constexpr std::uint64_t MaxFileBytes = 256ull * 1024 * 1024;
constexpr std::uint32_t MaxSeconds = 3600;
constexpr std::uint32_t MinSampleRate = 8000;
constexpr std::uint32_t MaxSampleRate = 192000;

// Error codes of our own, beyond the decoder's (which are all below 100).
enum Error : int
{
    ErrorFileTooLarge = 100,   // over MaxFileBytes
    ErrorTooLong = 101,        // stated length over MaxSeconds
    ErrorNoLength = 102,       // the stream states no length (no final page found)
    ErrorSampleRate = 103,     // outside MinSampleRate..MaxSampleRate
    ErrorNoAudio = 104,        // no frame could be decoded
    ErrorOutOfMemory = 105,    // the PCM buffer could not be allocated
    ErrorConversion = 106,     // the sample-rate converter failed
    ErrorHeader = 107,         // the comment header is cut short or states impossible lengths
};

// Decodes the file at path. True with a new buffer in result, or false (result untouched)
// after logging the failure at level 2.
bool Load(const char* path, QC_Ptr<QA_Buffer>& result);

// As Load, for music that plays while it decodes: a 44100 Hz stream of 20 s and more returns
// with its first 5 seconds decoded into a buffer of its whole stated length, and the rest is
// decoded on a background thread of its own once the buffer is wanted (QA_Buffer::Want: played,
// or waited for whole), straight into that buffer (its Filled() grows; the samples end the same
// as Load's). A stream that ends early logs "Ogg %s ended after %u of its %u frames." from that
// thread and stays short of Size(). Shorter sounds and other rates are decoded whole, as by
// Load. The decode stops when the buffer goes.
bool LoadStreamed(const char* path, QC_Ptr<QA_Buffer>& result);

// The same for a file already in memory; name stands for the path in the log line.
bool LoadFromMemory(const void* data, std::size_t size, const char* name, QC_Ptr<QA_Buffer>& result);
} // namespace QA_Buffer_OGG
