#pragma once
// Scene part P: scenes 201 to 205 (p1 to p5) drawn from "p.qcs", with depth testing on. p5 keeps
// the picture of its previous frames: it clears its target only on the first frame after
// SceneChanged, and paints over its own earlier frames the rest of the time.
//
//   QC_Ptr<LM1_P> partP(new LM1_P(1280, 720));
//   partP->SceneChanged();                          // the timeline switched scenes
//   partP->Render(205, *sequencer, target.Get());
//
// A number outside 201-205 clears the target to opaque black.

#include "qc/QC_Ptr.h"
#include "qd/QD_Sequencer.h"
#include "qr/QR_RenderTarget.h"

#include <cstdint>

class LM1_P : public QC_RefCounted
{
public:
    LM1_P(std::int32_t width, std::int32_t height);
    ~LM1_P() override;
    LM1_P(const LM1_P&) = delete;
    LM1_P& operator=(const LM1_P&) = delete;

    void Render(std::int32_t scene, const QD_Sequencer& sequencer, QR_RenderTarget* target);
    void SceneChanged() { sceneChanged = true; }

private:
    QC_Ptr<QR_RenderTarget> target;
    bool sceneChanged = true;
    float aspect = 1.0f;
};
