#pragma once
// A sequencer script as an asset. A reload whose script has an error (reported by the parser)
// keeps the previous sequencer, its channels still subscribed to the beat events.
//
//   QC_Ptr<QD_SequencerAsset> scene = QD_GetAssets()->LoadSequencer("scene.qcs");
//   if (QC_Ptr<QD_Sequencer> sequencer = scene->GetCurrent()) run = sequencer->GetValue(2);

#include "QD_Asset.h"
#include "QD_Sequencer.h"

class QD_SequencerAsset final : public QD_Asset
{
public:
    explicit QD_SequencerAsset(const QD_AssetPath& fullPath) : QD_Asset(fullPath, true) {}

    bool IsLoaded() const override { return static_cast<bool>(current); }
    QC_Ptr<QD_Sequencer> GetCurrent() const { return current; }

protected:
    bool Load() override;
    // Subscribes the new sequencer's channels: the sync's listener list is main-thread only.
    void MainThreadStep() override;
    void MakePendingCurrent() override;

private:
    QC_Ptr<QD_Sequencer> current;
    QC_Ptr<QD_Sequencer> pending;
};
