#pragma once
// The task pool: a fixed set of worker threads ("Worker_1" .. "Worker_N") that run tasks in
// posting order, plus the queue of tasks that must run on the main thread.
//
//   QC_CreateTasks({.workerCount = QC_GetProcessorCount()});    // start-up, after the log
//   QC_Ptr<QC_Task<bool>> task = QC_GetTasks()->Run(callback);   // any thread
//   QC_GetTasks()->RunOnMainThread(step);                        // any thread
//   QC_GetTasks()->RunMainThreadTasks();                         // main loop, once per frame
//   QC_DestroyTasks();                                           // shut-down
//
// A worker that needs the main thread queues the step with RunOnMainThread and polls the
// task's IsDone with QC_Sleep(0) between checks; the main thread never waits for a worker.
//
// Shut-down posts one stop packet per worker after whatever is queued, so every task posted
// before it still runs, and then waits for every worker to end: nothing of the pool runs once
// QC_DestroyTasks has returned. Tasks that will never run (posted after the stop packets, or
// queued for the main thread) are abandoned: released, marked done, their callbacks not called.

#include "QC_Mutex.h"
#include "QC_Task.h"
#include "QC_Thread.h"

#include <atomic>
#include <cstdint>
#include <vector>

struct QP_CompletionQueue;

struct QC_TasksConfig
{
    std::uint32_t workerCount = 1;
};

class QC_Tasks
{
public:
    explicit QC_Tasks(const QC_TasksConfig& config);
    ~QC_Tasks();
    QC_Tasks(const QC_Tasks&) = delete;
    QC_Tasks& operator=(const QC_Tasks&) = delete;

    // Queues callback for the workers; the first free worker runs it.
    QC_Ptr<QC_Task<bool>> Run(const QC_Callback<bool()>& callback);
    // Queues callback for the main thread's next RunMainThreadTasks.
    QC_Ptr<QC_Task<void>> RunOnMainThread(const QC_Callback<void()>& callback);
    // Runs, in queue order, the main-thread tasks queued before this call. Tasks they queue
    // run in the next call.
    void RunMainThreadTasks();

    std::uint32_t WorkerCount() const { return workerCount; }

private:
    void WorkerLoop();
    void AbandonMainQueue();

    std::uint32_t workerCount;
    QP_CompletionQueue* port = nullptr;
    QC_Mutex mutex;
    std::vector<QC_Task<void>*> mainQueue;   // guarded by mutex; each holds a reference
    std::vector<QC_Task<void>*> mainRunning; // main thread only
    std::vector<QC_ThreadHandle*> workers;
    std::atomic<std::uint32_t> finishedWorkers{0};
};

QC_Tasks* QC_CreateTasks(const QC_TasksConfig& config);
// Shuts the pool down (see above); the accessor stays valid until the workers have ended.
void QC_DestroyTasks();
QC_Tasks* QC_GetTasks();
