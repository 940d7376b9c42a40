#pragma once
// One animated value of a sequencer: a constant, a key-framed spline or a beat ramp. Channels
// are reference counted and immutable once built, except for the song position that spline
// and beat channels follow: Subscribe registers them with the sync, whose beat events set
// their time; a subscribed channel unsubscribes itself when it is destroyed.
//
//   QC_Ptr<QD_SequencerChannel> channel(new QD_SequencerBeat(0.25f));
//   channel->Subscribe();                  // main thread, once the sequencer is complete
//   float value = channel->GetFloat(0.0f); // value at the last received song position

#include "QC_Ptr.h"
#include "QD_Sync.h"

class QD_SequencerChannel : public QC_RefCounted
{
public:
    ~QD_SequencerChannel() override = default;

    // GetFloat (timeOffset) compared with 0: true when not equal, so a NaN counts as true.
    virtual bool GetBool(float timeOffset) const;
    // The value at the channel's song position plus timeOffset beats.
    virtual float GetFloat(float timeOffset) const = 0;
    // Registers with the sync for beat events (main thread). Nothing for a constant; a channel
    // that is already subscribed stays subscribed once.
    virtual void Subscribe() {}

protected:
    // Listener bookkeeping shared by the kinds that follow the song position. Subscribing
    // needs the process's sync (QD_CreateSync); without one it is a programming error.
    static void AddSyncListener(const QD_SyncListener& listener);
    // Removes the first listener bound to the same object; nothing when the sync is gone.
    static void RemoveSyncListener(const QD_SyncListener& listener);
};
