#include "LM1_T.h"

#include "LM1_SceneKit.h"

LM1_T::LM1_T(std::int32_t, std::int32_t) {}

LM1_T::~LM1_T() = default;

void LM1_T::Render(std::int32_t, const QD_Sequencer&, QR_RenderTarget* renderTarget)
{
    target = QC_Ptr<QR_RenderTarget>(renderTarget);
    LM1_ClearScene(renderTarget);
}
