#include "QC_Timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

TEST(QC_TimerTest, ConversionTruncatesToWholeMilliseconds)
{
    // A 10 MHz counter has 10,000 ticks per millisecond.
    EXPECT_EQ(QC_Timer::TicksToMilliseconds(25000, 10000.0), 2);
    EXPECT_EQ(QC_Timer::TicksToMilliseconds(9999, 10000.0), 0);
    EXPECT_EQ(QC_Timer::TicksToMilliseconds(10000, 10000.0), 1);
    // Truncation toward zero, not flooring.
    EXPECT_EQ(QC_Timer::TicksToMilliseconds(-15000, 10000.0), -1);
    // Past 2^32 milliseconds the result does not wrap.
    EXPECT_EQ(QC_Timer::TicksToMilliseconds(5000000000LL * 1000000, 1000000.0), 5000000000LL);
}

TEST(QC_TimerTest, StartsAtZeroAndCountsForward)
{
    QC_Timer timer;
    EXPECT_EQ(timer.StartTicks(), 0);
    EXPECT_EQ(timer.TicksPerMillisecond(), 0.0);

    timer.Start();
    EXPECT_GT(timer.TicksPerMillisecond(), 0.0);
    // Nothing between Start and the first reading takes a millisecond on an idle machine, but a
    // loaded CI machine may deschedule us; allow a little.
    EXPECT_LE(timer.ElapsedMilliseconds(), 50);

    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const std::int64_t first = timer.ElapsedMilliseconds();
    EXPECT_GE(first, 30);
    EXPECT_GE(timer.ElapsedMilliseconds(), first);
}

TEST(QC_TimerDeathTest, ReadingBeforeStartIsFatal)
{
    QC_Timer timer;
    EXPECT_EXIT(timer.ElapsedMilliseconds(), testing::ExitedWithCode(3), "Timer used before Start.");
}
