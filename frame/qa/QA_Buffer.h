#pragma once
// Decoded PCM in memory: the Ogg loader's result, played in place by a sound buffer. The bytes
// are signed 16-bit little-endian stereo at 44100 Hz (4 bytes a frame).
//
//   QC_Ptr<QA_Buffer> pcm = QA_Buffer::Create(frames * 4);   // null when memory is short
//   std::memcpy(pcm->Data(), decoded, pcm->Size());
//
// A buffer may still be filling when it is handed on: long music is decoded as a stream, the
// first seconds before the loader returns and the rest by a decode on a thread of its own
// (QA_Buffer_OGG::LoadStreamed), which waits until the buffer is first wanted - played, or
// asked for whole - so that a start-up loading everything at once has the processors to itself.
// Readers take only the first Filled() bytes, which never change once filled; the decode is
// stopped and waited for when the buffer goes.

#include "QC_Mutex.h"
#include "QC_Ptr.h"

#include <atomic>
#include <cstdint>
#include <memory>

// Work that goes on writing a buffer after it has been handed out.
class QA_BufferFill
{
public:
    // Stops the work and waits for it.
    virtual ~QA_BufferFill() = default;
    // Waits until the work has ended by itself.
    virtual void Wait() = 0;
};

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

    // Keeps only the first newSize bytes; a larger newSize is ignored. Not for a buffer that is
    // still filling.
    void Truncate(std::uint32_t newSize);

    // The bytes from the start that hold PCM: Size() unless a decode is still filling the
    // buffer, which publishes its progress here. Any thread.
    std::uint32_t Filled() const { return filled.load(std::memory_order_acquire); }
    const std::atomic<std::uint32_t>& FilledCounter() const { return filled; }
    // True until the filling decode has ended (Filled() is then final: Size(), or less for a
    // stream that ended early).
    bool IsFilling() const { return filling.load(std::memory_order_acquire); }
    // Lets a decode that waits for its first reader go on (the player calls it). Any thread.
    void Want();
    // Wants the buffer and blocks until the filling decode has ended; at once when there is none.
    void WaitUntilFilled();

    // For the decode: hands the buffer its fill, with bytesSoFar already written. The fill
    // then reports through PublishFilled and, once, EndFilling.
    void BeginFilling(std::uint32_t bytesSoFar, std::unique_ptr<QA_BufferFill> work);
    void PublishFilled(std::uint32_t bytes) { filled.store(bytes, std::memory_order_release); }
    void EndFilling() { filling.store(false, std::memory_order_release); }
    // Blocks until Want has been called.
    void WaitUntilWanted() const;

private:
    QA_Buffer(std::uint8_t* memory, std::uint32_t bytes) : data(memory), size(bytes), filled(bytes) {}

    std::uint8_t* data; // owned, malloc'd: Truncate can give the tail back in place
    std::uint32_t size;
    std::atomic<std::uint32_t> filled;
    std::atomic<bool> filling{false};
    std::atomic<bool> wanted{false};
    QC_Mutex fillMutex; // one waiter at a time
    std::unique_ptr<QA_BufferFill> fill;
};
