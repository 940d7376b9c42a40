#include "QC_Tasks.h"

#include "QP_CompletionQueue.h"

namespace
{
// Completion keys of the worker queue.
constexpr std::uintptr_t STOP_KEY = 0;
constexpr std::uintptr_t TASK_KEY = 1;

QC_Tasks* g_tasks = nullptr;
} // namespace

QC_Tasks::QC_Tasks(const QC_TasksConfig& config) : workerCount(config.workerCount)
{
    QC_ASSERT(workerCount > 0, "The task pool needs at least one worker.");
    int errorCode = 0;
    port = QP_CreateCompletionQueue(&errorCode);
    if (!port) {
        QC_FlushLog(QC_GetLog());
        QC_FATAL("Failed to create io completion port. Last error is %d.", errorCode);
    }
    workers.reserve(workerCount);
    for (std::uint32_t i = 1; i <= workerCount; ++i) {
        char number[16];
        QC_IntToString(static_cast<int>(i), number);
        QC_ThreadName name("Worker_");
        name.Append(number);
        workers.push_back(QC_StartJoinableThread(name.CStr(), QC_Bind(&QC_Tasks::WorkerLoop, this)));
    }
}

QC_Tasks::~QC_Tasks()
{
    // Stop packets go behind everything already queued: each worker ends after the tasks
    // posted before shut-down.
    for (std::uint32_t i = 0; i < workerCount; ++i) {
        int errorCode = 0;
        if (!QP_PostQueuedCompletion(port, STOP_KEY, nullptr, &errorCode))
            QC_FATAL("Out of memory.");
    }

    // A worker may be waiting for a main-thread step that will never run now; abandoning the
    // main queue while waiting releases such a worker instead of hanging the shut-down.
    while (finishedWorkers.load(std::memory_order_acquire) < workerCount) {
        AbandonMainQueue();
        QC_Sleep(1);
    }
    for (QC_ThreadHandle* worker : workers)
        QC_JoinThread(worker);
    workers.clear();
    AbandonMainQueue();

    // Packets posted after the stop packets: never run, but their waiters learn it.
    std::uintptr_t key = 0;
    void* pointer = nullptr;
    while (QP_TryGetQueuedCompletion(port, &key, &pointer)) {
        if (key == TASK_KEY) {
            QC_TaskBase* task = static_cast<QC_TaskBase*>(pointer);
            task->Abandon();
            task->Release();
        }
    }
    QP_DestroyCompletionQueue(port);
}

void QC_Tasks::AbandonMainQueue()
{
    std::vector<QC_Task<void>*> abandoned;
    {
        QC_ScopedLock lock(mutex);
        abandoned.swap(mainQueue);
    }
    for (QC_Task<void>* task : abandoned) {
        task->Abandon();
        task->Release();
    }
}

void QC_Tasks::WorkerLoop()
{
    for (;;) {
        std::uintptr_t key = STOP_KEY;
        void* pointer = nullptr;
        QP_GetQueuedCompletion(port, &key, &pointer);
        if (key == STOP_KEY)
            break;
        QC_TaskBase* task = static_cast<QC_TaskBase*>(pointer);
        task->Run();
        task->Release();
    }
    finishedWorkers.fetch_add(1, std::memory_order_release);
}

QC_Ptr<QC_Task<bool>> QC_Tasks::Run(const QC_Callback<bool()>& callback)
{
    QC_Ptr<QC_Task<bool>> task(new QC_Task<bool>(callback));
    task->AddRef(); // the queue's reference, released by the worker after Run
    int errorCode = 0;
    if (!QP_PostQueuedCompletion(port, TASK_KEY, task.Get(), &errorCode)) {
        task->Release();
        QC_FATAL("Out of memory.");
    }
    return task;
}

QC_Ptr<QC_Task<void>> QC_Tasks::RunOnMainThread(const QC_Callback<void()>& callback)
{
    QC_Ptr<QC_Task<void>> task(new QC_Task<void>(callback));
    task->AddRef(); // the queue's reference, released after the main thread ran it
    QC_ScopedLock lock(mutex);
    mainQueue.push_back(task.Get());
    return task;
}

void QC_Tasks::RunMainThreadTasks()
{
    {
        // Only the exchange happens under the lock: its time does not depend on the tasks.
        QC_ScopedLock lock(mutex);
        mainQueue.swap(mainRunning);
    }
    for (QC_Task<void>* task : mainRunning) {
        task->Run();
        task->Release();
    }
    mainRunning.clear();
}

QC_Tasks* QC_CreateTasks(const QC_TasksConfig& config)
{
    QC_ASSERT(g_tasks == nullptr, "The task pool already exists.");
    g_tasks = new QC_Tasks(config);
    return g_tasks;
}

void QC_DestroyTasks()
{
    delete g_tasks;
    g_tasks = nullptr;
}

QC_Tasks* QC_GetTasks()
{
    return g_tasks;
}
