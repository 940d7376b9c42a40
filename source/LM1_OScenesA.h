#pragma once
// Scenes o1 to o12 of part O (101 to 112): each scene's own objects, made by its set-up step
// at construction in scene order, and its frame.

#include "LM1_OShared.h"
#include "qd/QD_Sequencer.h"

#include <cstdint>

class LM1_OScenesA
{
public:
    // Runs the set-up steps of o1 to o12 in order: constant buffers, asset requests, models.
    explicit LM1_OScenesA(LM1_OShared& part);
    LM1_OScenesA(const LM1_OScenesA&) = delete;
    LM1_OScenesA& operator=(const LM1_OScenesA&) = delete;

    // Draws scene 101 to 112 into the part's target. A scene with an asset missing draws nothing.
    void Render(std::int32_t scene, const QD_Sequencer& sequencer);

private:
    LM1_OShared& shared;
};
