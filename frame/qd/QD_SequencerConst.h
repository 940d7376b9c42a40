#pragma once
// A channel holding one value for every position.

#include "QD_SequencerChannel.h"

class QD_SequencerConst final : public QD_SequencerChannel
{
public:
    explicit QD_SequencerConst(float constantValue) : value(constantValue) {}

    float GetFloat(float timeOffset) const override;
    float Value() const { return value; }

private:
    float value;
};
