#include "QD_SequencerConst.h"

float QD_SequencerConst::GetFloat(float) const
{
    return value;
}
