#include "LM1_OScenesB.h"

#include "LM1_SceneKit.h"

LM1_OScenesB::LM1_OScenesB(LM1_OShared& part) : shared(part) {}

void LM1_OScenesB::Render(std::int32_t, const QD_Sequencer&)
{
    LM1_ClearScene(shared.target.Get());
}
