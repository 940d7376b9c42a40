#include "QR_ShaderDescription.h"

namespace
{
// One row per semantic value the system knows, keyword or not. The four string columns are the
// HLSL semantics written after a member of the vertex input, vertex output, pixel input and
// pixel output structures; the stages meet by these strings, never by name or order.
const QR_ShaderSemanticInfo kSemantics[] = {
    {QR_SEMANTIC_POSITION, "QR_Position", "float4", "POSITION", "SV_POSITION", "SV_POSITION", nullptr},
    {QR_SEMANTIC_NORMAL, "QR_Normal", "float4", "NORMAL", "NORMAL", "NORMAL", nullptr},
    {QR_SEMANTIC_COLOUR, "QR_Colour", "float4", "COLOR", "COLOR", "COLOR", "COLOR"},
    {QR_SEMANTIC_TEXCOORD0, "QR_TexCoord0", "float2", "TEXCOORD0", "TEXCOORD0", "TEXCOORD0", "TEXCOORD0"},
    {QR_SEMANTIC_TEXCOORD1, nullptr, nullptr, nullptr, "TEXCOORD1", "TEXCOORD1", nullptr},
    {QR_SEMANTIC_TEXCOORD2, nullptr, nullptr, nullptr, "TEXCOORD2", "TEXCOORD2", nullptr},
    {QR_SEMANTIC_TEXCOORD3, nullptr, nullptr, nullptr, "TEXCOORD3", "TEXCOORD3", nullptr},
    {QR_SEMANTIC_TARGET, "QR_Target", "float4", nullptr, "SV_TARGET", nullptr, "SV_TARGET"},
    {QR_SEMANTIC_INSTANCE_ID, "QR_InstanceId", "uint", "SV_InstanceId", nullptr, nullptr, nullptr},
    {QR_SEMANTIC_TEXCOORD0_FLOAT, "QR_TexCoord0_Float", "float", nullptr, "TEXCOORD0", "TEXCOORD0", nullptr},
    {QR_SEMANTIC_TEXCOORD1_FLOAT, "QR_TexCoord1_Float", "float", nullptr, "TEXCOORD1", "TEXCOORD1", nullptr},
    {QR_SEMANTIC_TEXCOORD2_FLOAT, "QR_TexCoord2_Float", "float", nullptr, "TEXCOORD2", "TEXCOORD2", nullptr},
    {QR_SEMANTIC_TEXCOORD3_FLOAT, "QR_TexCoord3_Float", "float", nullptr, "TEXCOORD3", "TEXCOORD3", nullptr},
    {QR_SEMANTIC_TEXCOORD0_FLOAT4, "QR_TexCoord0_Float4", "float4", nullptr, "TEXCOORD0", "TEXCOORD0", nullptr},
    {QR_SEMANTIC_TEXCOORD1_FLOAT4, "QR_TexCoord1_Float4", "float4", nullptr, "TEXCOORD1", "TEXCOORD1", nullptr},
    {QR_SEMANTIC_TEXCOORD2_FLOAT4, "QR_TexCoord2_Float4", "float4", nullptr, "TEXCOORD2", "TEXCOORD2", nullptr},
    {QR_SEMANTIC_TEXCOORD3_FLOAT4, "QR_TexCoord3_Float4", "float4", nullptr, "TEXCOORD3", "TEXCOORD3", nullptr},
};
static_assert(sizeof(kSemantics) / sizeof(kSemantics[0]) == 17, "14 keywords and 3 values without one");

struct NamedValue
{
    const char* word;
    std::int32_t value;
};

// Indexed by value - 1.
const NamedValue kConstantTypes[] = {
    {"float", QR_SHADER_CONSTANT_FLOAT},       {"float2", QR_SHADER_CONSTANT_FLOAT2},
    {"float3", QR_SHADER_CONSTANT_FLOAT3},     {"float4", QR_SHADER_CONSTANT_FLOAT4},
    {"float2x2", QR_SHADER_CONSTANT_FLOAT2X2}, {"float3x3", QR_SHADER_CONSTANT_FLOAT3X3},
    {"float4x4", QR_SHADER_CONSTANT_FLOAT4X4},
};
static_assert(sizeof(kConstantTypes) / sizeof(kConstantTypes[0]) == QR_SHADER_CONSTANT_FLOAT4X4);

template <std::size_t N>
std::int32_t LookUp(const NamedValue (&table)[N], const char* word)
{
    for (const NamedValue& entry : table) {
        if (QC_StrCmp(entry.word, word) == 0)
            return entry.value;
    }
    return 0;
}
} // namespace

const QR_ShaderSemanticInfo* QR_FindShaderSemantic(QR_ShaderSemantic semantic)
{
    for (const QR_ShaderSemanticInfo& info : kSemantics) {
        if (info.semantic == semantic)
            return &info;
    }
    return nullptr;
}

QR_ShaderSemantic QR_LookupShaderSemantic(const char* word)
{
    for (const QR_ShaderSemanticInfo& info : kSemantics) {
        if (info.keyword && QC_StrCmp(info.keyword, word) == 0)
            return info.semantic;
    }
    return QR_SEMANTIC_UNKNOWN;
}

QR_ShaderConstantType QR_LookupShaderConstantType(const char* word)
{
    return static_cast<QR_ShaderConstantType>(LookUp(kConstantTypes, word));
}

QR_ShaderSamplerType QR_LookupShaderSamplerType(const char* word)
{
    static const NamedValue kSamplerTypes[] = {{"QR_Sampler2D", QR_SHADER_SAMPLER_2D}};
    return static_cast<QR_ShaderSamplerType>(LookUp(kSamplerTypes, word));
}
