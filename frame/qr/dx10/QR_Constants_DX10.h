#pragma once
// The Direct3D 10 backend's translation tables and profiles (see QR_ConstantSet.h). Every table
// is public: QR_Constants_DX11 uses them all except blend operations and filters.

#include "QR_ConstantSet.h"

class QR_Constants_DX10
{
public:
    static const QR_ConstantSet set;

    static const QR_ConstantTable blend;
    static const QR_ConstantTable blendOp;
    static const QR_ConstantTable writeMask;
    static const QR_ConstantTable comparisonFunc;
    static const QR_ConstantTable stencilOp;
    static const QR_ConstantTable cullMode;
    static const QR_ConstantTable fillMode;
    static const QR_ConstantTable filter;
    static const QR_ConstantTable textureAddress;
    static const QR_ConstantTable usage;
    static const QR_ConstantTable primitive;
    static const QR_ConstantTable vertexAccess;
    static const QR_ConstantTable indexAccess;
};
