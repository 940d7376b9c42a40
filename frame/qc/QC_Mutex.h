#pragma once
// A non-recursive mutual exclusion lock that remembers its owner, and its scoped lock.
//
//   QC_Mutex mutex;
//   {
//       QC_ScopedLock lock(mutex);   // locked here, unlocked at the closing brace
//       ...
//   }
//
// Locking a mutex the calling thread already holds is a programming error reported as fatal
// (it would otherwise hang for ever).

#include "QC_Log.h"
#include "QP_Mutex.h"
#include "QP_System.h"

#include <atomic>
#include <cstdint>

class QC_Mutex
{
public:
    QC_Mutex() = default;
    QC_Mutex(const QC_Mutex&) = delete;
    QC_Mutex& operator=(const QC_Mutex&) = delete;
    ~QC_Mutex() { QC_ASSERT(owner.load(std::memory_order_relaxed) == 0, "Mutex destroyed while locked."); }

    void Lock()
    {
        const std::uint32_t self = QP_GetCurrentThreadId();
        QC_ASSERT(owner.load(std::memory_order_relaxed) != self, "Mutex locked twice by one thread.");
        mutex.Lock();
        owner.store(self, std::memory_order_relaxed);
    }
    void Unlock()
    {
        // Only the lock side asks the kernel for the thread id: one system call per pair.
        QC_ASSERT(owner.load(std::memory_order_relaxed) != 0, "Mutex unlocked while not locked.");
        owner.store(0, std::memory_order_relaxed);
        mutex.Unlock();
    }

    // The kernel id of the holding thread; 0 when free. Exact only for the holder itself.
    std::uint32_t Owner() const { return owner.load(std::memory_order_relaxed); }
    bool IsLockedByCurrentThread() const { return Owner() == QP_GetCurrentThreadId(); }

private:
    QP_Mutex mutex;
    // Written only by the holder; atomic so that other threads may look without a data race.
    std::atomic<std::uint32_t> owner{0};
};

class QC_ScopedLock
{
public:
    explicit QC_ScopedLock(QC_Mutex& lockedMutex) : mutex(lockedMutex) { mutex.Lock(); }
    ~QC_ScopedLock() { mutex.Unlock(); }
    QC_ScopedLock(const QC_ScopedLock&) = delete;
    QC_ScopedLock& operator=(const QC_ScopedLock&) = delete;

private:
    QC_Mutex& mutex;
};
