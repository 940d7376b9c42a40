#pragma once
// The platform's mutual exclusion lock, under QC_Mutex. Not recursive.

#include <mutex>

class QP_Mutex
{
public:
    void Lock() { mutex.lock(); }
    void Unlock() { mutex.unlock(); }

private:
    std::mutex mutex;
};
