#include "QC_Thread.h"

#include "QC_Mutex.h"
#include "QP_System.h"
#include "QP_Thread.h"

#include <memory>
#include <vector>

namespace
{
// Owned by the new thread, which deletes it before running the body.
struct ThreadStart
{
    QC_Callback<void()> body;
    QC_ThreadName name;
};

void ThreadProcedure(void* argument)
{
    ThreadStart* start = static_cast<ThreadStart*>(argument);
    QC_Callback<void()> body = start->body;
    if (!start->name.IsEmpty())
        QC_SetThreadName(start->name.CStr());
    delete start;
    body.Run();
}

QP_Thread* Start(const char* name, const QC_Callback<void()>& body)
{
    ThreadStart* start = new ThreadStart{body, QC_ThreadName(name)};
    int errorCode = 0;
    QP_Thread* thread = QP_StartThread(&ThreadProcedure, start, &errorCode);
    if (!thread) {
        delete start;
        QC_FlushLog(QC_GetLog());
        QC_FATAL("Failed to start thread. Last error is %d.", errorCode);
    }
    return thread;
}

// The registry: guarded by its own mutex, entries live until the process ends.
QC_Mutex g_registryMutex;
std::vector<std::unique_ptr<QC_ThreadRecord>> g_registry;
std::uint64_t g_startCycles = 0;
thread_local QC_ThreadRecord* t_record = nullptr;
} // namespace

void QC_StartThread(const char* name, const QC_Callback<void()>& body)
{
    QP_DetachThread(Start(name, body));
}

QC_ThreadHandle* QC_StartJoinableThread(const char* name, const QC_Callback<void()>& body)
{
    return Start(name, body);
}

void QC_JoinThread(QC_ThreadHandle* thread)
{
    QP_JoinThread(thread);
}

void QC_SetThreadBackground()
{
    // Five steps: about a third of a normal thread's share when they compete.
    QP_LowerCurrentThreadPriority(5);
}

void QC_SetThreadName(const char* name)
{
    const QC_ThreadName checked(name);
    QP_SetCurrentThreadName(checked.CStr());
}

QC_ThreadName QC_GetThreadName()
{
    char buffer[QC_THREAD_NAME_CAPACITY];
    QP_GetCurrentThreadName(buffer, sizeof(buffer));
    return QC_ThreadName(buffer);
}

void QC_StartThreads()
{
    QC_ScopedLock lock(g_registryMutex);
    if (g_startCycles == 0)
        g_startCycles = QP_ReadCycleCounter();
    if (t_record)
        return;
    auto record = std::make_unique<QC_ThreadRecord>();
    record->name = QC_GetThreadName();
    record->id = QP_GetCurrentThreadId();
    record->registeredCycles = QP_ReadCycleCounter();
    t_record = record.get();
    g_registry.push_back(std::move(record));
}

const QC_ThreadRecord* QC_GetThreadRecord()
{
    return t_record;
}

std::uint64_t QC_GetStartCycles()
{
    QC_ScopedLock lock(g_registryMutex);
    return g_startCycles;
}

std::uint32_t QC_GetRegisteredThreadCount()
{
    QC_ScopedLock lock(g_registryMutex);
    return static_cast<std::uint32_t>(g_registry.size());
}

std::uint32_t QC_GetProcessorCount()
{
    return QP_GetProcessorCount();
}

void QC_Sleep(std::uint32_t milliseconds)
{
    QP_Sleep(milliseconds);
}
