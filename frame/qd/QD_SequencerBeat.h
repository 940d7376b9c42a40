#pragma once
// A ramp over song position: (time + offset) × amplifier, so it rises by amplifier per beat.

#include "QD_SequencerChannel.h"

#include <atomic>

class QD_SequencerBeat final : public QD_SequencerChannel
{
public:
    explicit QD_SequencerBeat(float beatAmplifier);
    ~QD_SequencerBeat() override;

    float GetFloat(float timeOffset) const override;
    void Subscribe() override;
    // Beat listener: keeps the event's position (on the dispatching thread).
    void OnBeat(const QD_SyncBeatEvent& event);

    float Amplifier() const { return amplifier; }
    float Time() const { return time.load(std::memory_order_relaxed); }
    bool IsSubscribed() const { return subscribed; }

private:
    float amplifier;
    // Written by the dispatching thread (the MIDI thread in MIDI mode), read by the main one.
    std::atomic<float> time{0.0f};
    QD_SyncListener onBeat;
    bool subscribed = false;
};
