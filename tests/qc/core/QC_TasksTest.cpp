#include "QC_Tasks.h"

#include "support/ThreadNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace
{
// Creates the pool for one test and always destroys it, even when an assertion returns early.
class PoolScope
{
public:
    explicit PoolScope(std::uint32_t workers) { QC_CreateTasks(QC_TasksConfig{workers}); }
    ~PoolScope() { QC_DestroyTasks(); }
    QC_Tasks* operator->() const { return QC_GetTasks(); }
};

struct RunRecord
{
    std::atomic<int> runs{0};
    std::string threadName; // written by the task, read after IsDone
};

bool CountRun(RunRecord* record)
{
    record->runs.fetch_add(1, std::memory_order_relaxed);
    record->threadName = QC_GetThreadName().CStr();
    return true;
}

// The callback writes plain memory and returns a result: both must be visible to whoever
// sees the done flag, without any other synchronisation.
struct Payload
{
    int values[16] = {};
};

bool FillPayload(Payload* payload, int seed)
{
    for (int i = 0; i < 16; ++i)
        payload->values[i] = seed + i;
    return (seed & 1) == 0;
}

bool WaitForGate(std::atomic<bool>* gate)
{
    while (!gate->load(std::memory_order_acquire))
        QC_Sleep(0);
    return true;
}

void AppendTo(std::vector<int>* order, int value)
{
    order->push_back(value);
}

void AppendAndQueueNext(std::vector<int>* order, int value)
{
    order->push_back(value);
    QC_GetTasks()->RunOnMainThread(QC_Bind(&AppendTo, order, value + 100));
}

// Queues count main-thread steps, each after the previous one was done, as a loader would.
bool QueueMainSteps(std::vector<int>* order, int base, int count)
{
    for (int i = 0; i < count; ++i) {
        QC_Ptr<QC_Task<void>> step = QC_GetTasks()->RunOnMainThread(QC_Bind(&AppendTo, order, base + i));
        while (!step->IsDone())
            QC_Sleep(0);
    }
    return true;
}

struct ShutdownProbe
{
    std::atomic<bool> stepRan{false};
    std::atomic<bool> stepAbandoned{false};
};

void MarkStepRan(ShutdownProbe* probe)
{
    probe->stepRan.store(true);
}

// A loader waiting for a main-thread step that the main thread will never run.
bool WaitForMainStep(ShutdownProbe* probe)
{
    QC_Ptr<QC_Task<void>> step = QC_GetTasks()->RunOnMainThread(QC_Bind(&MarkStepRan, probe));
    while (!step->IsDone())
        QC_Sleep(0);
    probe->stepAbandoned.store(step->WasAbandoned());
    return true;
}

bool SleepThenReturn(std::uint32_t milliseconds)
{
    QC_Sleep(milliseconds);
    return true;
}

struct FollowUp
{
    QC_Ptr<QC_Task<bool>> task;
    std::atomic<bool> posted{false};
};

bool PostFollowUp(FollowUp* followUp)
{
    QC_Sleep(20);
    followUp->task = QC_GetTasks()->Run(QC_Bind(&SleepThenReturn, std::uint32_t(0)));
    followUp->posted.store(true, std::memory_order_release);
    return true;
}
} // namespace

TEST(QC_TasksTest, WorkersAreNamedWorker1ToNForTheSystem)
{
    {
        PoolScope pool(4);
        EXPECT_EQ(pool->WorkerCount(), 4u);
        for (const char* name : {"Worker_1", "Worker_2", "Worker_3", "Worker_4"})
            EXPECT_TRUE(WaitUntil([&] { return CountThreadsNamed(name) == 1; })) << name;
        EXPECT_EQ(CountThreadsNamed("Worker_5"), 0);
    }
    // Shut-down waits for the workers: none is left afterwards. (The kernel may list a joined
    // thread for a moment longer while it finishes exiting, hence the short wait.)
    for (const char* name : {"Worker_1", "Worker_2", "Worker_3", "Worker_4"})
        EXPECT_TRUE(WaitUntil([&] { return CountThreadsNamed(name) == 0; }, std::chrono::seconds(2))) << name;
}

TEST(QC_TasksTest, EachPostedTaskRunsExactlyOnceOnAWorker)
{
    PoolScope pool(2);
    std::vector<std::unique_ptr<RunRecord>> records;
    std::vector<QC_Ptr<QC_Task<bool>>> tasks;
    for (int i = 0; i < 500; ++i) {
        records.push_back(std::make_unique<RunRecord>());
        tasks.push_back(pool->Run(QC_Bind(&CountRun, records.back().get())));
    }
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        ASSERT_TRUE(WaitUntil([&] { return tasks[i]->IsDone(); })) << "task " << i;
        EXPECT_TRUE(tasks[i]->Result());
        EXPECT_FALSE(tasks[i]->WasAbandoned());
        EXPECT_EQ(records[i]->runs.load(), 1) << "task " << i;
        EXPECT_TRUE(records[i]->threadName == "Worker_1" || records[i]->threadName == "Worker_2")
            << records[i]->threadName;
    }
}

TEST(QC_TasksTest, DoneIsSetOnlyAfterTheCallbackReturned)
{
    PoolScope pool(1);
    std::atomic<bool> gate{false};
    QC_Ptr<QC_Task<bool>> task = pool->Run(QC_Bind(&WaitForGate, &gate));
    QC_Sleep(20);
    EXPECT_FALSE(task->IsDone()) << "the callback has not returned yet";
    gate.store(true, std::memory_order_release);
    ASSERT_TRUE(WaitUntil([&] { return task->IsDone(); }));
    EXPECT_TRUE(task->Result());
}

TEST(QC_TasksTest, DoneFlagPublishesResultAndWritesUnderStress)
{
    PoolScope pool(2);
    constexpr int taskCount = 4000;
    std::vector<Payload> payloads(taskCount);
    std::vector<QC_Ptr<QC_Task<bool>>> tasks;
    tasks.reserve(taskCount);
    for (int i = 0; i < taskCount; ++i)
        tasks.push_back(pool->Run(QC_Bind(&FillPayload, &payloads[i], i * 31)));

    // Poll the flags the way the main loop does and read as soon as one turns up done; the
    // plain reads below race with the worker unless the flag publishes them (TSan checks this).
    int remaining = taskCount;
    std::vector<bool> seen(taskCount, false);
    while (remaining > 0) {
        for (int i = 0; i < taskCount; ++i) {
            if (seen[i] || !tasks[i]->IsDone())
                continue;
            seen[i] = true;
            --remaining;
            ASSERT_EQ(tasks[i]->Result(), ((i * 31) & 1) == 0) << "task " << i;
            for (int v = 0; v < 16; ++v)
                ASSERT_EQ(payloads[i].values[v], i * 31 + v) << "task " << i;
        }
    }
}

TEST(QC_TasksTest, MainThreadTasksRunInQueueOrderAndNestedOnesInTheNextCall)
{
    PoolScope pool(1);
    std::vector<int> order;
    QC_Ptr<QC_Task<void>> first = pool->RunOnMainThread(QC_Bind(&AppendTo, &order, 1));
    QC_Ptr<QC_Task<void>> second = pool->RunOnMainThread(QC_Bind(&AppendAndQueueNext, &order, 2));
    QC_Ptr<QC_Task<void>> third = pool->RunOnMainThread(QC_Bind(&AppendTo, &order, 3));
    EXPECT_TRUE(order.empty()) << "nothing runs before RunMainThreadTasks";
    EXPECT_FALSE(first->IsDone());

    pool->RunMainThreadTasks();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(first->IsDone() && second->IsDone() && third->IsDone());
    EXPECT_EQ(first->RefCount(), 1) << "the queue released its reference";

    pool->RunMainThreadTasks();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 102}));
    pool->RunMainThreadTasks();
    EXPECT_EQ(order.size(), 4u);
}

TEST(QC_TasksTest, WorkersWaitingForMainThreadStepsAreServedInOrder)
{
    PoolScope pool(2);
    std::vector<int> firstOrder;
    std::vector<int> secondOrder;
    QC_Ptr<QC_Task<bool>> a = pool->Run(QC_Bind(&QueueMainSteps, &firstOrder, 0, 200));
    QC_Ptr<QC_Task<bool>> b = pool->Run(QC_Bind(&QueueMainSteps, &secondOrder, 1000, 200));
    ASSERT_TRUE(WaitUntil([&] {
        pool->RunMainThreadTasks();
        return a->IsDone() && b->IsDone();
    }));
    ASSERT_EQ(firstOrder.size(), 200u);
    ASSERT_EQ(secondOrder.size(), 200u);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(firstOrder[i], i);
        EXPECT_EQ(secondOrder[i], 1000 + i);
    }
}

TEST(QC_TasksTest, ShutdownRunsQueuedTasksAndWaitsForRunningOnes)
{
    std::vector<QC_Ptr<QC_Task<bool>>> tasks;
    QC_CreateTasks(QC_TasksConfig{2});
    for (int i = 0; i < 6; ++i)
        tasks.push_back(QC_GetTasks()->Run(QC_Bind(&SleepThenReturn, std::uint32_t(10))));
    QC_DestroyTasks();
    EXPECT_EQ(QC_GetTasks(), nullptr);
    for (const auto& task : tasks) {
        EXPECT_TRUE(task->IsDone());
        EXPECT_FALSE(task->WasAbandoned());
        EXPECT_EQ(task->RefCount(), 1) << "only our reference is left";
    }
}

TEST(QC_TasksTest, ShutdownDoesNotHangOnAWorkerWaitingForTheMainThread)
{
    ShutdownProbe probe;
    QC_CreateTasks(QC_TasksConfig{1});
    QC_Ptr<QC_Task<bool>> loader = QC_GetTasks()->Run(QC_Bind(&WaitForMainStep, &probe));
    QC_Sleep(10);
    QC_DestroyTasks();
    EXPECT_TRUE(loader->IsDone());
    EXPECT_TRUE(loader->Result());
    EXPECT_FALSE(probe.stepRan.load()) << "main-thread steps do not run during shut-down";
    EXPECT_TRUE(probe.stepAbandoned.load());
}

TEST(QC_TasksTest, TaskPostedDuringShutdownIsNeverLeftPending)
{
    FollowUp followUp;
    QC_CreateTasks(QC_TasksConfig{1});
    QC_Ptr<QC_Task<bool>> first = QC_GetTasks()->Run(QC_Bind(&PostFollowUp, &followUp));
    QC_DestroyTasks();
    ASSERT_TRUE(followUp.posted.load(std::memory_order_acquire));
    // Posted while the stop packet was (most likely) already queued: it either ran before the
    // worker stopped or was abandoned, but is done either way and holds no queue reference.
    ASSERT_TRUE(followUp.task);
    EXPECT_TRUE(followUp.task->IsDone());
    EXPECT_EQ(followUp.task->RefCount(), 1);
}

TEST(QC_TasksDeathTest, PoolWithoutWorkersIsAProgrammingError)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(QC_CreateTasks(QC_TasksConfig{0}), testing::ExitedWithCode(3),
                "The task pool needs at least one worker\\.");
}

TEST(QC_TasksDeathTest, ReadingAResultBeforeDoneIsAProgrammingError)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QC_Ptr<QC_Task<bool>> task(new QC_Task<bool>(QC_Bind(&SleepThenReturn, std::uint32_t(0))));
            (void)task->Result();
        },
        testing::ExitedWithCode(3), "Task result read before the task is done\\.");
}
