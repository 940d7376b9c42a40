#include "QC_Mutex.h"
#include "QC_Thread.h"
#include "QP_System.h"

#include "support/ThreadNames.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace
{
struct ThreadReport
{
    std::atomic<bool> finished{false};
    std::string ownName;
    std::string comm;
    std::string childName;
    std::string childComm;
    std::atomic<bool> childFinished{false};
};

void ReportChild(ThreadReport* report)
{
    report->childName = QC_GetThreadName().CStr();
    report->childComm = ReadThreadCommOf(QP_GetCurrentThreadId());
    report->childFinished.store(true, std::memory_order_release);
}

// Runs on a thread named "Parent": starts an unnamed child, which inherits the system name but
// has no name of its own.
void ReportAndStartChild(ThreadReport* report)
{
    report->ownName = QC_GetThreadName().CStr();
    report->comm = ReadThreadCommOf(QP_GetCurrentThreadId());
    QC_StartThread("", QC_Bind(&ReportChild, report));
    report->finished.store(true, std::memory_order_release);
}

void ReportName(ThreadReport* report)
{
    report->ownName = QC_GetThreadName().CStr();
    report->comm = ReadThreadCommOf(QP_GetCurrentThreadId());
    report->finished.store(true, std::memory_order_release);
}

void RegisterAsMain(ThreadReport* report)
{
    QC_SetThreadName("Main");
    const std::uint32_t before = QC_GetRegisteredThreadCount();
    QC_StartThreads();
    QC_StartThreads(); // a second call does not register the thread again
    const QC_ThreadRecord* record = QC_GetThreadRecord();
    if (record && record->id == QP_GetCurrentThreadId() && QC_GetRegisteredThreadCount() == before + 1 &&
        record->registeredCycles != 0 && QC_GetStartCycles() != 0)
        report->ownName = record->name.CStr();
    report->finished.store(true, std::memory_order_release);
}

void AddUnderLock(QC_Mutex* mutex, int* counter)
{
    for (int i = 0; i < 20000; ++i) {
        QC_ScopedLock lock(*mutex);
        EXPECT_TRUE(mutex->IsLockedByCurrentThread());
        ++*counter;
    }
}
} // namespace

TEST(QC_ThreadTest, NamedThreadIsVisibleToTheSystemAndToItself)
{
    ThreadReport report;
    QC_ThreadHandle* thread = QC_StartJoinableThread("Loader", QC_Bind(&ReportName, &report));
    QC_JoinThread(thread);
    ASSERT_TRUE(report.finished.load());
    EXPECT_EQ(report.ownName, "Loader");
    EXPECT_EQ(report.comm, "Loader");
}

TEST(QC_ThreadTest, LongNameIsKeptWholeButTheSystemSeesFifteenBytes)
{
    const std::string name(63, 'n');
    ThreadReport report;
    QC_JoinThread(QC_StartJoinableThread(name.c_str(), QC_Bind(&ReportName, &report)));
    EXPECT_EQ(report.ownName, name);
    EXPECT_EQ(report.comm, name.substr(0, 15));
}

TEST(QC_ThreadTest, ThreadStartedWithEmptyNameIsNotNamed)
{
    ThreadReport report;
    QC_StartThread("Parent", QC_Bind(&ReportAndStartChild, &report));
    ASSERT_TRUE(WaitUntil([&] { return report.finished.load() && report.childFinished.load(); }));
    EXPECT_EQ(report.ownName, "Parent");
    EXPECT_EQ(report.childName, "");
    // The system gives a new thread its creator's name until it is named itself.
    EXPECT_EQ(report.childComm, "Parent");
}

TEST(QC_ThreadTest, StartThreadsRegistersTheNamedCallerOnce)
{
    ThreadReport report;
    QC_JoinThread(QC_StartJoinableThread("", QC_Bind(&RegisterAsMain, &report)));
    EXPECT_EQ(report.ownName, "Main");
}

TEST(QC_ThreadTest, ProcessorCountAndSleep)
{
    EXPECT_GE(QC_GetProcessorCount(), 1u);
    QC_Sleep(0);
    const auto start = std::chrono::steady_clock::now();
    QC_Sleep(20);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
}

TEST(QC_MutexTest, ScopedLockExcludesOtherThreads)
{
    QC_Mutex mutex;
    int counter = 0;
    QC_ThreadHandle* a = QC_StartJoinableThread("A", QC_Bind(&AddUnderLock, &mutex, &counter));
    QC_ThreadHandle* b = QC_StartJoinableThread("B", QC_Bind(&AddUnderLock, &mutex, &counter));
    QC_JoinThread(a);
    QC_JoinThread(b);
    EXPECT_EQ(counter, 40000);
    EXPECT_EQ(mutex.Owner(), 0u);
}

TEST(QC_ThreadDeathTest, NameOf64BytesIsABufferOverflow)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string name(64, 'n');
    EXPECT_EXIT(QC_SetThreadName(name.c_str()), testing::ExitedWithCode(3), "Buffer overflow\\.");
    EXPECT_EXIT(QC_StartThread(name.c_str(), QC_Callback<void()>()), testing::ExitedWithCode(3),
                "Buffer overflow\\.");
}

TEST(QC_ThreadDeathTest, LockingAHeldMutexAgainIsFatalNotAHang)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QC_Mutex mutex;
            mutex.Lock();
            mutex.Lock();
        },
        testing::ExitedWithCode(3), "Mutex locked twice by one thread\\.");
}
