#pragma once
// Scene part T: scene 301 (t1), the clear in one colour taken from channels 100 to 102 of
// "t.qcs". A number other than 301 clears the target to opaque black.
//
//   QC_Ptr<LM1_T> partT(new LM1_T(1280, 720));
//   partT->Render(301, *sequencer, target.Get());

#include "qc/QC_Ptr.h"
#include "qd/QD_Sequencer.h"
#include "qr/QR_RenderTarget.h"

#include <cstdint>

class LM1_T : public QC_RefCounted
{
public:
    LM1_T(std::int32_t width, std::int32_t height);
    ~LM1_T() override;
    LM1_T(const LM1_T&) = delete;
    LM1_T& operator=(const LM1_T&) = delete;

    void Render(std::int32_t scene, const QD_Sequencer& sequencer, QR_RenderTarget* target);

private:
    QC_Ptr<QR_RenderTarget> target;
    float aspect = 1.0f;
};
