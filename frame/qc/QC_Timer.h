#pragma once
// A millisecond stopwatch on the platform's high-resolution counter. The musical clock runs on
// it, so it counts whole milliseconds only (truncated toward zero).
//
//   QC_Timer timer;
//   timer.Start();
//   ...
//   std::int64_t ms = timer.ElapsedMilliseconds();

#include <cstdint>

class QC_Timer
{
public:
    // Reads the counter frequency (fatal when the platform has no monotonic counter) and
    // remembers the counter now.
    void Start();
    // Whole milliseconds since Start. Calling it before Start is a programming error.
    std::int64_t ElapsedMilliseconds() const;

    // The conversion ElapsedMilliseconds uses: ticks / ticksPerMillisecond in 64-bit float,
    // truncated toward zero.
    static std::int64_t TicksToMilliseconds(std::int64_t ticks, double ticksPerMillisecond)
    {
        return static_cast<std::int64_t>(static_cast<double>(ticks) / ticksPerMillisecond);
    }

    std::int64_t StartTicks() const { return start; }
    double TicksPerMillisecond() const { return ticksPerMillisecond; }

private:
    std::int64_t start = 0;
    double ticksPerMillisecond = 0.0;
};
