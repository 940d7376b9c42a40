#include "QP_Thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

struct QP_Thread
{
    std::thread thread;
};

namespace
{
// The calling thread's name as given to QP_SetCurrentThreadName; empty until then.
thread_local char t_threadName[QP_THREAD_NAME_SIZE] = {};

// Linux keeps 16 bytes of a thread's name, the NUL included.
constexpr std::size_t SYSTEM_NAME_SIZE = 16;
} // namespace

QP_Thread* QP_StartThread(QP_ThreadProcedure procedure, void* argument, int* errorCode)
{
    *errorCode = 0;
    QP_Thread* handle = new (std::nothrow) QP_Thread;
    if (!handle) {
        *errorCode = ENOMEM;
        return nullptr;
    }
    // std::thread reports a refused pthread_create as an exception; errors leave this layer as
    // codes, never as exceptions.
    try {
        handle->thread = std::thread(procedure, argument);
    }
    catch (const std::system_error& error) {
        *errorCode = error.code().value();
        delete handle;
        return nullptr;
    }
    catch (const std::bad_alloc&) {
        *errorCode = ENOMEM;
        delete handle;
        return nullptr;
    }
    return handle;
}

void QP_DetachThread(QP_Thread* thread)
{
    thread->thread.detach();
    delete thread;
}

void QP_JoinThread(QP_Thread* thread)
{
    thread->thread.join();
    delete thread;
}

void QP_SetCurrentThreadName(const char* name)
{
    char systemName[SYSTEM_NAME_SIZE];
    std::strncpy(systemName, name, sizeof(systemName) - 1);
    systemName[sizeof(systemName) - 1] = '\0';
    // Fails only for a name over 15 bytes, which the copy above rules out.
    pthread_setname_np(pthread_self(), systemName);

    std::strncpy(t_threadName, name, sizeof(t_threadName) - 1);
    t_threadName[sizeof(t_threadName) - 1] = '\0';
}

void QP_GetCurrentThreadName(char* buffer, std::size_t size)
{
    if (size == 0)
        return;
    std::strncpy(buffer, t_threadName, size - 1);
    buffer[size - 1] = '\0';
}

void QP_LowerCurrentThreadPriority(int steps)
{
    // Linux keeps a nice value per thread: the calling thread's id names it alone.
    const id_t self = static_cast<id_t>(gettid());
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, self);
    if (errno == 0)
        setpriority(PRIO_PROCESS, self, current + steps);
}

std::uint32_t QP_GetProcessorCount()
{
    const long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? static_cast<std::uint32_t>(count) : 1;
}

void QP_Sleep(std::uint32_t milliseconds)
{
    if (milliseconds == 0)
        sched_yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::uint64_t QP_ReadCycleCounter()
{
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
#endif
}
