#pragma once
// A key-framed curve over song position. Keys keep the order in which the script gave them
// (never sorted); the curve repeats with a period equal to its largest key beat.
//
// Evaluation at x = time + offset, n keys (b, v):
//   n = 0 -> 0; n = 1 -> v[0]; x < 0 -> v[0];
//   wrap: xw = x - trunc(x / period) * period;
//   i = first index with b[i] > xw (script order);
//   constant: v[i-1]; linear: lerp of v[i-1], v[i]; catmullrom: uniform Catmull-Rom through
//   v[i-2] .. v[i+1], the ends repeating the first or last value.
// Where there is no key before xw (xw before the first key, keys out of order, a period of 0
// with several keys) the value is v[0]; where there is none after it (a position that is not
// finite, or rounding at the end of the period) it is v[n-1]. All arithmetic is 32-bit float.

#include "QD_SequencerChannel.h"

#include <atomic>
#include <cstdint>
#include <vector>

struct QD_SequencerKey
{
    float beat;
    float value;
};

enum QD_SplineType : std::int32_t
{
    QD_SPLINE_LINEAR = 0,
    QD_SPLINE_CATMULLROM = 2,
    QD_SPLINE_CONSTANT = 3,
};

class QD_SequencerSpline final : public QD_SequencerChannel
{
public:
    // type is one of QD_SplineType; evaluating another type is fatal ("Unknown spline.").
    QD_SequencerSpline(std::int32_t splineType, std::vector<QD_SequencerKey> splineKeys);
    ~QD_SequencerSpline() override;

    float GetFloat(float timeOffset) const override;
    void Subscribe() override;
    // Beat listener: keeps the event's position (on the dispatching thread).
    void OnBeat(const QD_SyncBeatEvent& event);

    std::int32_t Type() const { return type; }
    const std::vector<QD_SequencerKey>& Keys() const { return keys; }
    float Period() const { return period; }
    float Time() const { return time.load(std::memory_order_relaxed); }
    bool IsSubscribed() const { return subscribed; }

private:
    std::int32_t type;
    // Written by the dispatching thread (the MIDI thread in MIDI mode), read by the main one.
    std::atomic<float> time{0.0f};
    QD_SyncListener onBeat;
    std::vector<QD_SequencerKey> keys;
    float period = 0.0f; // max(0, every key beat)
    bool subscribed = false;
};
