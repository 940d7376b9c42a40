#include "QC_Timer.h"

#include "QC_Log.h"
#include "QP_Clock.h"

void QC_Timer::Start()
{
    std::int64_t frequency = 0;
    int errorCode = 0;
    if (!QP_QueryCounterFrequency(&frequency, &errorCode)) {
        QC_FlushLog(QC_GetLog());
        QC_FATAL("Query performance frequency failed, error is %d.", errorCode);
    }
    ticksPerMillisecond = static_cast<double>(frequency) / 1000.0;
    start = QP_QueryCounter();
}

std::int64_t QC_Timer::ElapsedMilliseconds() const
{
    QC_ASSERT(ticksPerMillisecond > 0.0, "Timer used before Start.");
    return TicksToMilliseconds(QP_QueryCounter() - start, ticksPerMillisecond);
}
