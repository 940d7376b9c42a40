// Speed of the core library's hot paths, each against the obvious alternative where there is one:
//   - a QC_String built by 1-byte appends to 1 MB, against std::string doing the same;
//   - the task pool's round trip (post to a worker, then see its done flag), with 1 and 2 workers;
//   - the main-thread queue: RunOnMainThread followed by RunMainThreadTasks, one task and a
//     batch of 64 tasks per frame.
// Build with optimisation (RelWithDebInfo or Release) and compare figures of one run only.

#include "QC_String.h"
#include "QC_Tasks.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{
constexpr std::uint32_t MEGABYTE = 1u << 20;

void QC_StringOneByteAppends(benchmark::State& state)
{
    for (auto _ : state) {
        QC_String text;
        for (std::uint32_t i = 0; i < MEGABYTE; ++i)
            text.Append(static_cast<char>('a' + (i & 15)));
        benchmark::DoNotOptimize(text.CStr());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * MEGABYTE);
}
BENCHMARK(QC_StringOneByteAppends)->Unit(benchmark::kMicrosecond);

void StdStringOneByteAppends(benchmark::State& state)
{
    for (auto _ : state) {
        std::string text;
        for (std::uint32_t i = 0; i < MEGABYTE; ++i)
            text.push_back(static_cast<char>('a' + (i & 15)));
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * MEGABYTE);
}
BENCHMARK(StdStringOneByteAppends)->Unit(benchmark::kMicrosecond);

bool ReturnTrue()
{
    return true;
}

void Nothing(int* counter)
{
    ++*counter;
}

// One task at a time: the time from Run to seeing IsDone, the waiter yielding between checks
// as a loader does.
void TaskPoolRoundTrip(benchmark::State& state)
{
    QC_CreateTasks(QC_TasksConfig{static_cast<std::uint32_t>(state.range(0))});
    for (auto _ : state) {
        QC_Ptr<QC_Task<bool>> task = QC_GetTasks()->Run(QC_Bind(&ReturnTrue));
        while (!task->IsDone())
            QC_Sleep(0);
        benchmark::DoNotOptimize(task->Result());
    }
    QC_DestroyTasks();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(TaskPoolRoundTrip)->ArgName("workers")->Arg(1)->Arg(2)->UseRealTime();

void MainThreadQueueOneTaskPerFrame(benchmark::State& state)
{
    QC_CreateTasks(QC_TasksConfig{1});
    int counter = 0;
    for (auto _ : state) {
        QC_GetTasks()->RunOnMainThread(QC_Bind(&Nothing, &counter));
        QC_GetTasks()->RunMainThreadTasks();
    }
    QC_DestroyTasks();
    benchmark::DoNotOptimize(counter);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(MainThreadQueueOneTaskPerFrame);

void MainThreadQueue64TasksPerFrame(benchmark::State& state)
{
    QC_CreateTasks(QC_TasksConfig{1});
    int counter = 0;
    for (auto _ : state) {
        for (int i = 0; i < 64; ++i)
            QC_GetTasks()->RunOnMainThread(QC_Bind(&Nothing, &counter));
        QC_GetTasks()->RunMainThreadTasks();
    }
    QC_DestroyTasks();
    benchmark::DoNotOptimize(counter);
    state.SetItemsProcessed(std::int64_t(state.iterations()) * 64);
}
BENCHMARK(MainThreadQueue64TasksPerFrame);
} // namespace
