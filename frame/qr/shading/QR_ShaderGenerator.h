#pragma once
// The words every generated shader language shares: the names of the constant types.
// QR_ShaderGenerator_HLSL writes the rest of the text.

#include "QR_ShaderDescription.h"

class QR_ShaderGenerator
{
public:
    // "float", "float2" ... "float4x4" for the types 1-7; any other value is fatal ("Unknown
    // type."), since the parser never records one.
    static const char* ConstantTypeName(QR_ShaderConstantType type);
};
