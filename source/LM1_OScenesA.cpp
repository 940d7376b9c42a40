#include "LM1_OScenesA.h"

#include "LM1_SceneKit.h"

LM1_OScenesA::LM1_OScenesA(LM1_OShared& part) : shared(part) {}

void LM1_OScenesA::Render(std::int32_t, const QD_Sequencer&)
{
    LM1_ClearScene(shared.target.Get());
}
