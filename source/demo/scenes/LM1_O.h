#pragma once
// Scene part O: scenes 101 to 124 (o1 to o24), each drawn into a full-screen target from its
// own assets and the channels N x 100 to N x 100 + 99 of "o.qcs".
//
//   QC_Ptr<LM1_O> partO(new LM1_O(1280, 720));     // builds every scene's objects
//   partO->Render(101, *sequencer, target.Get());   // o1 into target
//
// A scene whose assets are not all loaded draws nothing: the target keeps what it held. A
// number outside 101-124 clears the target to opaque black.

#include "LM1_OShared.h"
#include "QD_Sequencer.h"

#include <cstdint>
#include <memory>

class LM1_OScenesA;
class LM1_OScenesB;

class LM1_O : public QC_RefCounted
{
public:
    LM1_O(std::int32_t width, std::int32_t height);
    ~LM1_O() override;
    LM1_O(const LM1_O&) = delete;
    LM1_O& operator=(const LM1_O&) = delete;

    void Render(std::int32_t scene, const QD_Sequencer& sequencer, QR_RenderTarget* target);
    // A scene change (or a restart after a seek): the scenes that keep a screen between frames
    // start it anew when they are next entered.
    void SceneChanged();

private:
    LM1_OShared shared;
    std::unique_ptr<LM1_OScenesA> scenesA; // o1 to o12
    std::unique_ptr<LM1_OScenesB> scenesB; // o13 to o24
};
