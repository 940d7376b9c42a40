#pragma once
// Scenes o13 to o24 of part O (113 to 124): each scene's own objects, made by its set-up step
// at construction in scene order, and its frame.

#include "LM1_OShared.h"
#include "qd/QD_Sequencer.h"

#include <cstdint>

class LM1_OScenesB
{
public:
    // Runs the set-up steps of o13 to o24 in order: constant buffers, asset requests, models.
    explicit LM1_OScenesB(LM1_OShared& part);
    LM1_OScenesB(const LM1_OScenesB&) = delete;
    LM1_OScenesB& operator=(const LM1_OScenesB&) = delete;

    // Draws scene 113 to 124 into the part's target. A scene with an asset missing draws nothing.
    void Render(std::int32_t scene, const QD_Sequencer& sequencer);

private:
    LM1_OShared& shared;
};
