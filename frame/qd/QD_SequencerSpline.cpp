#include "QD_SequencerSpline.h"

#include "QC_Log.h"

#include <cmath>
#include <utility>

QD_SequencerSpline::QD_SequencerSpline(std::int32_t splineType, std::vector<QD_SequencerKey> splineKeys)
    : type(splineType), onBeat(QC_Bind(&QD_SequencerSpline::OnBeat, this)), keys(std::move(splineKeys))
{
    for (const QD_SequencerKey& key : keys) {
        if (key.beat > period)
            period = key.beat;
    }
}

QD_SequencerSpline::~QD_SequencerSpline()
{
    if (subscribed)
        RemoveSyncListener(onBeat);
}

void QD_SequencerSpline::Subscribe()
{
    // One listener per object: the destructor removes exactly one.
    if (subscribed)
        return;
    AddSyncListener(onBeat);
    subscribed = true;
}

void QD_SequencerSpline::OnBeat(const QD_SyncBeatEvent& event)
{
    time.store(event.position, std::memory_order_relaxed);
}

float QD_SequencerSpline::GetFloat(float timeOffset) const
{
    const std::size_t count = keys.size();
    if (count == 0)
        return 0.0f;
    if (count == 1)
        return keys[0].value;
    const float x = time.load(std::memory_order_relaxed) + timeOffset;
    if (x < 0.0f)
        return keys[0].value;
    // Every key at or before beat 0: there is no span to repeat (and x / 0 has no meaning).
    if (period == 0.0f)
        return keys[0].value;

    // trunc in float equals the conversion toward zero to a 32-bit integer wherever that is
    // defined, and stays defined for quotients beyond it.
    const float wrapped = x - std::trunc(x / period) * period;
    std::size_t next = 0;
    while (next < count && !(keys[next].beat > wrapped))
        ++next;
    // No key before the position: keys out of order, a first key above 0, or rounding that
    // left the wrapped position just below 0.
    if (next == 0)
        return keys[0].value;
    // No key after it: the position is not finite, or rounding put it at the period itself.
    if (next == count)
        return keys[count - 1].value;

    const float p1 = keys[next - 1].value;
    if (type == QD_SPLINE_CONSTANT)
        return p1;
    // b[next - 1] <= wrapped < b[next], so the span is never empty.
    const float u = (wrapped - keys[next - 1].beat) / (keys[next].beat - keys[next - 1].beat);
    const float p2 = keys[next].value;
    switch (type) {
    case QD_SPLINE_LINEAR:
        return (1.0f - u) * p1 + u * p2;
    case QD_SPLINE_CATMULLROM: {
        const float p0 = next >= 2 ? keys[next - 2].value : keys[0].value;
        const float p3 = next + 1 < count ? keys[next + 1].value : keys[count - 1].value;
        const float u2 = u * u;
        const float u3 = u2 * u;
        const float h00 = 2.0f * u3 - 3.0f * u2 + 1.0f;
        const float h01 = 3.0f * u2 - 2.0f * u3;
        const float h10 = u3 - 2.0f * u2 + u;
        const float h11 = u3 - u2;
        return h00 * p1 + h01 * p2 + h10 * (p2 - p0) * 0.5f + h11 * (p3 - p1) * 0.5f;
    }
    default:
        QC_FlushLog(QC_GetLog());
        QC_FATAL("Unknown spline.");
    }
}
