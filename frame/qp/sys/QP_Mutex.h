#pragma once
// The platform's mutual exclusion lock, under QC_Mutex. Not recursive.
// Tier 1 of frame/qp (see README.md): the core includes it, so it includes no frame/qc header.

#include <mutex>

class QP_Mutex
{
public:
    void Lock() { mutex.lock(); }
    void Unlock() { mutex.unlock(); }

private:
    std::mutex mutex;
};
