#include "QR_ShaderGenerator.h"

namespace
{
// Indexed by type - 1.
const char* const kConstantTypeNames[] = {"float", "float2", "float3", "float4", "float2x2", "float3x3", "float4x4"};
static_assert(sizeof(kConstantTypeNames) / sizeof(kConstantTypeNames[0]) == QR_SHADER_CONSTANT_FLOAT4X4);
} // namespace

const char* QR_ShaderGenerator::ConstantTypeName(QR_ShaderConstantType type)
{
    if (type < QR_SHADER_CONSTANT_FLOAT || type > QR_SHADER_CONSTANT_FLOAT4X4)
        QC_FATAL("Unknown type.");
    return kConstantTypeNames[type - 1];
}
