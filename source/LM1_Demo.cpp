#include "LM1_Demo.h"

#include "qc/QC_Log.h"
#include "qc/QC_Timer.h"
#include "qp/QP_Clock.h"
#include "qr/QR_Renderer.h"

namespace
{
// Milliseconds of the monotonic clock, wrapping at 2^32 like a system tick count.
std::uint32_t TickCount()
{
    static double ticksPerMillisecond = 0.0;
    if (ticksPerMillisecond == 0.0) {
        std::int64_t frequency = 0;
        int errorCode = 0;
        if (!QP_QueryCounterFrequency(&frequency, &errorCode) || frequency <= 0)
            QC_FATAL("Failed to read the counter frequency. Last error is %d.", errorCode);
        ticksPerMillisecond = static_cast<double>(frequency) / 1000.0;
    }
    return static_cast<std::uint32_t>(QC_Timer::TicksToMilliseconds(QP_QueryCounter(), ticksPerMillisecond));
}
} // namespace

void LM1_Demo::UpdateStatistics() { UpdateStatisticsAt(TickCount()); }

void LM1_Demo::UpdateStatisticsAt(std::uint32_t now)
{
    if (secondStart == 0) {
        secondStart = now;
        return;
    }
    // Unsigned difference: correct across the tick count's wrap at 2^32 ms.
    if (now - secondStart >= 1000) {
        secondStart += 1000;
        framesPerSecond = framesThisSecond;
        framesThisSecond = 0;
    }
}

void LM1_Demo::EndFrame()
{
    ++framesThisSecond;
    QR_Renderer* renderer = QR_GetRenderer();
    if (!renderer)
        return;
    trianglesLastFrame = renderer->GetTriangleCount();
    renderer->ResetTriangleCount();
}
