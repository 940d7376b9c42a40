#include "QA_SoundBuffer.h"

#include <cstdlib>

QA_SoundBuffer::~QA_SoundBuffer()
{
    if (!decoded)
        std::free(data);
}

void* QA_SoundBuffer::Lock()
{
    if (locked)
        QC_FATAL("Failed to lock buffer.");
    locked = true;
    if (decoded)
        decoded->WaitUntilFilled();
    return data;
}

void QA_SoundBuffer::Unlock(void* pointer)
{
    if (!locked || pointer != data)
        QC_FATAL("Failed to unlock buffer.");
    locked = false;
}
