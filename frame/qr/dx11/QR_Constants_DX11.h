#pragma once
// The Direct3D 11 backend's translation tables: those of QR_Constants_DX10 except that blend
// operation Max and filter Linear are rejected; profiles "vs_5_0" and "ps_5_0". The two tables
// of its own report their rejections at this unit, the shared ones at QR_Constants_DX10.

#include "QR_ConstantSet.h"

class QR_Constants_DX11
{
public:
    static const QR_ConstantSet set;

    static const QR_ConstantTable blendOp;
    static const QR_ConstantTable filter;
};
