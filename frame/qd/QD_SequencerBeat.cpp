#include "QD_SequencerBeat.h"

QD_SequencerBeat::QD_SequencerBeat(float beatAmplifier)
    : amplifier(beatAmplifier), onBeat(QC_Bind(&QD_SequencerBeat::OnBeat, this))
{
}

QD_SequencerBeat::~QD_SequencerBeat()
{
    if (subscribed)
        RemoveSyncListener(onBeat);
}

float QD_SequencerBeat::GetFloat(float timeOffset) const
{
    return (time.load(std::memory_order_relaxed) + timeOffset) * amplifier;
}

void QD_SequencerBeat::Subscribe()
{
    // One listener per object: the destructor removes exactly one.
    if (subscribed)
        return;
    AddSyncListener(onBeat);
    subscribed = true;
}

void QD_SequencerBeat::OnBeat(const QD_SyncBeatEvent& event)
{
    time.store(event.position, std::memory_order_relaxed);
}
