#pragma once
// Deferred work: a task wraps a callback, runs it once on some thread, and then publishes that
// it is done. Tasks are reference counted: the queue that will run one holds a reference, and
// so does whoever asked for it, so it lives until both are gone.
//
//   QC_Ptr<QC_Task<bool>> load = QC_GetTasks()->Run(QC_Bind(&Load, asset));
//   ...                                  // once per frame:
//   if (load->IsDone() && load->Result()) ...
//
// The done flag is set with an atomic exchange after the callback returned: a thread that sees
// IsDone() true also sees the result and everything the callback wrote.

#include "QC_Callback.h"

#include <atomic>
#include <cstdint>

class QC_TaskBase : public QC_RefCounted
{
public:
    virtual void Run() = 0;

    bool IsDone() const { return done.load(std::memory_order_acquire) == 1; }
    // True when the task was marked done without running (the pool shut down first).
    bool WasAbandoned() const { return abandoned.load(std::memory_order_acquire); }

    // Marks the task done without running it, so nobody waits for it for ever. Used by the
    // pool's shutdown for the tasks it will never run.
    void Abandon()
    {
        abandoned.store(true, std::memory_order_relaxed);
        Publish();
    }

protected:
    // Release half of the exchange: everything written before it is seen by a reader of done.
    void Publish() { done.exchange(1, std::memory_order_acq_rel); }

private:
    std::atomic<std::int32_t> done{0};
    std::atomic<bool> abandoned{false};
};

template <typename R>
class QC_Task;

template <>
class QC_Task<void> final : public QC_TaskBase
{
public:
    explicit QC_Task(const QC_Callback<void()>& taskCallback) : callback(taskCallback) {}

    void Run() override
    {
        callback.Run();
        Publish();
    }

private:
    QC_Callback<void()> callback;
};

template <>
class QC_Task<bool> final : public QC_TaskBase
{
public:
    explicit QC_Task(const QC_Callback<bool()>& taskCallback) : callback(taskCallback) {}

    void Run() override
    {
        result = callback.Run();
        Publish();
    }

    // The callback's result; false for an abandoned task. Reading it before IsDone() is a
    // programming error.
    bool Result() const
    {
        QC_ASSERT(IsDone(), "Task result read before the task is done.");
        return result;
    }

private:
    QC_Callback<bool()> callback;
    bool result = false;
};
