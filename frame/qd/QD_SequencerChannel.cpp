#include "QD_SequencerChannel.h"

#include "QC_Log.h"

bool QD_SequencerChannel::GetBool(float timeOffset) const
{
    return GetFloat(timeOffset) != 0.0f;
}

void QD_SequencerChannel::AddSyncListener(const QD_SyncListener& listener)
{
    QD_Sync* sync = QD_GetSync();
    QC_ASSERT(sync != nullptr, "Sequencer channel subscribed without a sync.");
    sync->AddListener(listener);
}

void QD_SequencerChannel::RemoveSyncListener(const QD_SyncListener& listener)
{
    // At shut-down the sync may already be gone, and with it every listener.
    if (QD_Sync* sync = QD_GetSync())
        sync->RemoveListener(listener);
}
