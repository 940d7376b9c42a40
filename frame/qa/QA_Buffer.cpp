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
    std::free(data);
}

void QA_Buffer::Truncate(std::uint32_t newSize)
{
    if (newSize >= size)
        return;
    size = newSize;
    // Shrinking in place rarely fails; if it does the old block stays valid and is kept.
    if (auto* smaller = static_cast<std::uint8_t*>(std::realloc(data, newSize ? newSize : 1)))
        data = smaller;
}
