#include "QA_Buffer.h"

#include <cstdlib>

QC_Ptr<QA_Buffer> QA_Buffer::Create(std::uint32_t size)
{
    // malloc(0) may return null; keep a valid pointer for empty buffers.
    auto* memory = static_cast<std::uint8_t*>(std::malloc(size ? size : 1));
    if (!memory)
        return nullptr;
    return QC_Ptr<QA_Buffer>(new QA_Buffer(memory, size));
}

QA_Buffer::~QA_Buffer()
{
    // The decode writes into data until it has stopped.
    fill.reset();
    std::free(data);
}

void QA_Buffer::Truncate(std::uint32_t newSize)
{
    QC_ASSERT(!fill, "A buffer that a decode fills is not truncated.");
    if (newSize >= size)
        return;
    size = newSize;
    filled.store(newSize, std::memory_order_release);
    // Shrinking in place rarely fails; if it does the old block stays valid and is kept.
    if (auto* smaller = static_cast<std::uint8_t*>(std::realloc(data, newSize ? newSize : 1)))
        data = smaller;
}

void QA_Buffer::BeginFilling(std::uint32_t bytesSoFar, std::unique_ptr<QA_BufferFill> work)
{
    QC_ASSERT(!fill && work, "A buffer is filled by one decode.");
    filled.store(bytesSoFar, std::memory_order_release);
    filling.store(true, std::memory_order_release);
    fill = std::move(work);
}

void QA_Buffer::Want()
{
    if (!wanted.exchange(true, std::memory_order_acq_rel))
        wanted.notify_all();
}

void QA_Buffer::WaitUntilWanted() const
{
    wanted.wait(false, std::memory_order_acquire);
}

void QA_Buffer::WaitUntilFilled()
{
    Want();
    QC_ScopedLock lock(fillMutex);
    if (fill && IsFilling())
        fill->Wait();
}
