#pragma once
// A sequencer script as an asset. A reload whose script has an error (reported by the parser)
// keeps the previous sequencer, its channels still subscribed to the beat events.
//
//   QC_Ptr<QD_SequencerAsset> scene = QD_GetAssets()->LoadSequencer("scene.qcs");
//   if (QC_Ptr<QD_Sequencer> sequencer = scene->GetCurrent()) run = sequencer->GetValue(2);
//
// An editor that writes the script itself (QD_ScriptDocument) hands its sequencer over at once
// with Adopt; the reload that the watcher's notice of that write starts finds the same bytes
// and takes the adopted sequencer again instead of building another.

#include "QD_Asset.h"
#include "QD_Sequencer.h"

#include <mutex>
#include <string>

class QD_SequencerAsset final : public QD_Asset
{
public:
    explicit QD_SequencerAsset(const QD_AssetPath& fullPath) : QD_Asset(fullPath, true) {}

    bool IsLoaded() const override { return static_cast<bool>(current); }
    QC_Ptr<QD_Sequencer> GetCurrent() const { return current; }
    // Main thread: sequencer, built from text (the bytes just written to the asset's file),
    // becomes current now, its channels subscribed, as a reload of text would make it.
    void Adopt(const QC_Ptr<QD_Sequencer>& sequencer, const std::string& text);

protected:
    bool Load() override;
    // Subscribes the new sequencer's channels: the sync's listener list is main-thread only.
    void MainThreadStep() override;
    void MakePendingCurrent() override;

private:
    // The adopted sequencer for a loader that reads bytes, if they are its text.
    QC_Ptr<QD_Sequencer> AdoptedFor(const char* bytes, std::uint32_t length) const;

    QC_Ptr<QD_Sequencer> current;
    QC_Ptr<QD_Sequencer> pending;
    // Written on the main thread, read by the loader.
    mutable std::mutex adoptedLock;
    QC_Ptr<QD_Sequencer> adopted;
    std::string adoptedText;
};
