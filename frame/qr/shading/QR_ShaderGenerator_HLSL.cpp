#include "QR_ShaderGenerator_HLSL.h"

namespace
{
// Nineteen lines. The first fourteen give the semantic keywords their types; QR_Sample ends in a
// semicolon, so it must stand as the whole right-hand side of a statement.
const char kPrelude[] =
    "#define QR_Position float4\n"
    "#define QR_Normal float4\n"
    "#define QR_Colour float4\n"
    "#define QR_TexCoord0 float2\n"
    "#define QR_TexCoord0_Float float\n"
    "#define QR_TexCoord1_Float float\n"
    "#define QR_TexCoord2_Float float\n"
    "#define QR_TexCoord3_Float float\n"
    "#define QR_TexCoord0_Float4 float4\n"
    "#define QR_TexCoord1_Float4 float4\n"
    "#define QR_TexCoord2_Float4 float4\n"
    "#define QR_TexCoord3_Float4 float4\n"
    "#define QR_Target float4\n"
    "#define QR_InstanceId uint\n"
    "#define QR_Mul(aA, aB) mul(aA, aB)\n"
    "#define QR_Sample(aSampler, aTexCoords) aSampler##_texture.Sample(aSampler##_state, aTexCoords);\n"
    "#define QR_Dot(aA, aB) dot(aA, aB)\n"
    "#define QR_PI 3.1415926535897932384626433832795\n"
    "#define QR_PI2 6.28318530717958647692528676655901\n";

using SemanticLookup = const char* (*)(QR_ShaderSemantic);

void AppendNumber(QC_StringBase& text, std::uint32_t value)
{
    char digits[16];
    QC_IntToString(static_cast<int>(value), digits);
    text.Append(digits);
}

const char* StringOrReport(const char* semanticString, int line)
{
    if (semanticString)
        return semanticString;
    QC_Report(QC_GetLog(), QC_LOG_ERROR, "Unknown semantic.", __FILE__, line);
    return "";
}

void AppendStructure(QC_StringBase& text, const char* structName, const QR_ShaderList<QR_ShaderParameter>& parameters,
                     SemanticLookup semanticString)
{
    text.Append("struct ");
    text.Append(structName);
    text.Append("\n{\n");
    for (std::uint32_t i = 0; i < parameters.Count(); ++i) {
        const QR_ShaderParameter& parameter = parameters[i];
        text.Append("  ");
        text.Append(QR_ShaderGenerator_HLSL::SemanticTypeName(parameter.semantic));
        text.Append(' ');
        text.Append(parameter.name);
        text.Append(" : ");
        text.Append(semanticString(parameter.semantic));
        text.Append(";\n");
    }
    text.Append("};\n");
}

void AppendArguments(QC_StringBase& text, const char* prefix, const QR_ShaderList<QR_ShaderParameter>& parameters,
                     bool& first)
{
    for (std::uint32_t i = 0; i < parameters.Count(); ++i) {
        if (!first)
            text.Append(',');
        first = false;
        text.Append(prefix);
        text.Append(parameters[i].name);
    }
}

void Generate(const QR_ShaderDescription& description, const QR_ShaderStage& stage, SemanticLookup inputString,
              SemanticLookup outputString, const char* entryLine, QC_StringBase& text)
{
    text.Append(kPrelude, sizeof(kPrelude) - 1);

    for (std::uint32_t i = 0; i < description.constantBlocks.Count(); ++i) {
        const QR_ShaderConstantBlock& block = description.constantBlocks[i];
        text.Append("struct QR_ConstantBlockStruct");
        AppendNumber(text, i);
        text.Append("\n{\n");
        for (std::uint32_t c = 0; c < block.constants.Count(); ++c) {
            const QR_ShaderConstant& constant = block.constants[c];
            text.Append(QR_ShaderGenerator::ConstantTypeName(constant.type));
            text.Append(' ');
            text.Append(constant.name);
            text.Append(";\n");
        }
        text.Append("};\n");
        text.Append("cbuffer QR_ConstantBlock");
        AppendNumber(text, i);
        text.Append(":register(b");
        AppendNumber(text, i);
        text.Append(")\n{\n  QR_ConstantBlockStruct");
        AppendNumber(text, i);
        text.Append(' ');
        text.Append(block.name);
        text.Append(";\n};\n");
    }

    for (std::uint32_t i = 0; i < description.samplers.Count(); ++i) {
        const QR_ShaderSampler& sampler = description.samplers[i];
        text.Append(QR_ShaderGenerator_HLSL::SamplerTypeName(sampler.type));
        text.Append(' ');
        text.Append(sampler.name);
        text.Append("_texture:register(t");
        AppendNumber(text, i);
        text.Append(");\nSamplerState ");
        text.Append(sampler.name);
        text.Append("_state:register(s");
        AppendNumber(text, i);
        text.Append(");\n");
    }

    AppendStructure(text, "QR_Input", stage.inputs, inputString);
    AppendStructure(text, "QR_Output", stage.outputs, outputString);
    text.Append('\n');
    text.Append(stage.code);
    text.Append("\n\n");

    text.Append(entryLine);
    text.Append("{\nQR_Output output;\nmain(");
    bool first = true;
    AppendArguments(text, "input.", stage.inputs, first);
    AppendArguments(text, "output.", stage.outputs, first);
    text.Append(");\nreturn output;\n}\n");
}
} // namespace

void QR_ShaderGenerator_HLSL::GenerateVertexShader(const QR_ShaderDescription& description, QC_StringBase& text)
{
    Generate(description, description.vertexStage, &VertexInputSemantic, &VertexOutputSemantic,
             "QR_Output QR_Main(QR_Input input)\n", text);
}

void QR_ShaderGenerator_HLSL::GeneratePixelShader(const QR_ShaderDescription& description, QC_StringBase& text)
{
    // The pixel entry point keeps its opening brace on the signature's line.
    Generate(description, description.pixelStage, &PixelInputSemantic, &PixelOutputSemantic,
             "QR_Output QR_Main(QR_Input input)", text);
}

const char* QR_ShaderGenerator_HLSL::SemanticTypeName(QR_ShaderSemantic semantic)
{
    const QR_ShaderSemanticInfo* info = QR_FindShaderSemantic(semantic);
    if (!info || !info->keyword)
        QC_FATAL("Unknown semantic.");
    return info->keyword;
}

const char* QR_ShaderGenerator_HLSL::VertexInputSemantic(QR_ShaderSemantic semantic)
{
    const QR_ShaderSemanticInfo* info = QR_FindShaderSemantic(semantic);
    return StringOrReport(info ? info->vertexInput : nullptr, __LINE__);
}

const char* QR_ShaderGenerator_HLSL::VertexOutputSemantic(QR_ShaderSemantic semantic)
{
    const QR_ShaderSemanticInfo* info = QR_FindShaderSemantic(semantic);
    return StringOrReport(info ? info->vertexOutput : nullptr, __LINE__);
}

const char* QR_ShaderGenerator_HLSL::PixelInputSemantic(QR_ShaderSemantic semantic)
{
    const QR_ShaderSemanticInfo* info = QR_FindShaderSemantic(semantic);
    return StringOrReport(info ? info->pixelInput : nullptr, __LINE__);
}

const char* QR_ShaderGenerator_HLSL::PixelOutputSemantic(QR_ShaderSemantic semantic)
{
    const QR_ShaderSemanticInfo* info = QR_FindShaderSemantic(semantic);
    return StringOrReport(info ? info->pixelOutput : nullptr, __LINE__);
}

const char* QR_ShaderGenerator_HLSL::SamplerTypeName(QR_ShaderSamplerType type)
{
    if (type == QR_SHADER_SAMPLER_2D)
        return "Texture2D";
    QC_ERROR("Unknown sampler type.");
    return "";
}
