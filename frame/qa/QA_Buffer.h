#pragma once
// Decoded PCM in memory: the Ogg loader's result, copied into a sound buffer on the main
// thread. The bytes are signed 16-bit little-endian stereo at 44100 Hz (4 bytes a frame).
//
//   QC_Ptr<QA_Buffer> pcm = QA_Buffer::Create(frames * 4);   // null when memory is short
//   std::memcpy(pcm->Data(), decoded, pcm->Size());

#include "QC_Ptr.h"

#include <cstdint>

class QA_Buffer : public QC_RefCounted
{
public:
    // A new buffer of size bytes, contents undefined, or null when the memory cannot be had
    // (a loader fails softly on that rather than ending the process).
    static QC_Ptr<QA_Buffer> Create(std::uint32_t size);
    ~QA_Buffer() override;

    std::uint32_t Size() const { return size; }
    std::uint8_t* Data() { return data; }
    const std::uint8_t* Data() const { return data; }

    // Keeps only the first newSize bytes; a larger newSize is ignored.
    void Truncate(std::uint32_t newSize);

private:
    QA_Buffer(std::uint8_t* memory, std::uint32_t bytes) : data(memory), size(bytes) {}

    std::uint8_t* data; // owned, malloc'd: Truncate can give the tail back in place
    std::uint32_t size;
};
