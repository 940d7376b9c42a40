#include "LM1_P.h"

#include "LM1_SceneKit.h"

LM1_P::LM1_P(std::int32_t, std::int32_t) {}

LM1_P::~LM1_P() = default;

void LM1_P::Render(std::int32_t, const QD_Sequencer&, QR_RenderTarget* renderTarget)
{
    target = QC_Ptr<QR_RenderTarget>(renderTarget);
    LM1_ClearScene(renderTarget);
}
