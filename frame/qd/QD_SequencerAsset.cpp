#include "qd/QD_SequencerAsset.h"

#include "qd/QD_Sequencer_QCS.h"

bool QD_SequencerAsset::Load()
{
    if (StampUnchanged())
        return false;
    QC_Ptr<QD_Sequencer> parsed;
    if (!QD_ParseSequencerScript(path.CStr(), parsed)) {
        ReportLoadFailure();
        return false;
    }
    pending = parsed;
    if (!RunMainThreadStep())
        return false;
    return true;
}

void QD_SequencerAsset::MainThreadStep()
{
    if (pending)
        pending->SubscribeChannels();
}

void QD_SequencerAsset::MakePendingCurrent()
{
    // The old sequencer's channels unsubscribe as they die (unless the demo still holds it).
    current = pending;
    pending = nullptr;
}
