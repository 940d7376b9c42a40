#include "QD_SequencerAsset.h"

#include "QD_Sequencer_QCS.h"

bool QD_SequencerAsset::Load()
{
    if (!BeginRead())
        return false;
    QC_Ptr<QD_Sequencer> parsed;
    const bool parsedWell = QD_ParseSequencerScript(path.CStr(), parsed);
    if (!EndRead())
        return false;
    if (!parsedWell) {
        // The parser has reported the error with its line (captured after this line).
        NoteFailure("The script cannot be read or has an error.");
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
