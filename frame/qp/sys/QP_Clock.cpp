#include "QP_Clock.h"

#include <cerrno>
#include <ctime>

namespace
{
// The counter is CLOCK_MONOTONIC in nanoseconds.
constexpr std::int64_t NANOSECONDS_PER_SECOND = 1000000000;
} // namespace

bool QP_QueryCounterFrequency(std::int64_t* frequency, int* errorCode)
{
    timespec now;
    if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) {
        *frequency = 0;
        *errorCode = errno;
        return false;
    }
    *frequency = NANOSECONDS_PER_SECOND;
    *errorCode = 0;
    return true;
}

std::int64_t QP_QueryCounter()
{
    timespec now;
    // Cannot fail once QP_QueryCounterFrequency has succeeded: the clock id is valid and the
    // argument is writable.
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * NANOSECONDS_PER_SECOND + now.tv_nsec;
}
