#include "QR_ShaderGenerator_HLSL.h"

#include "QR_ShaderMessages.h"

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

// The column of the semantic table that holds the semantic strings of one structure.
using SemanticColumn = const char* QR_ShaderSemanticInfo::*;

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

// The line map: the generated text is written line by line, each line that may draw a message
// with the source line it was made from, and a #line directive is written wherever the numbering
// would not give that line by itself. So the compiler (and every pass of the chain, which follow
// the directives) names the author's file and line for every line it reports. Lines written
// without a source line (braces, the prelude's later lines) run on from the last one mapped.
class LineMap
{
public:
    LineMap(QC_StringBase& text, const QC_StringBase& sourceName) : text(text), counted(text.Length())
    {
        // A directive names the file where the name can be written between quotes; otherwise it
        // keeps the name the compiler was given.
        for (const char* c = sourceName.CStr(); *c; ++c) {
            if (*c == '"' || *c == '\n' || *c == '\r')
                return;
        }
        name = sourceName.CStr();
    }

    // The next line written is made from source line (0: line 1).
    void From(std::uint32_t line)
    {
        if (line == 0)
            line = 1;
        const char* written = text.CStr();
        for (std::uint32_t i = counted; i < text.Length(); ++i)
            next += written[i] == '\n' ? 1 : 0;
        counted = text.Length();
        if (mapped && next == line)
            return;
        // A directive stands on a line of its own.
        if (text.Length() > 0 && written[text.Length() - 1] != '\n')
            text.Append('\n');
        text.Append("#line ");
        AppendNumber(text, line);
        if (name && name[0]) {
            text.Append(" \"");
            text.Append(name);
            text.Append('"');
        }
        text.Append('\n');
        counted = text.Length();
        next = line;
        mapped = true;
    }

private:
    QC_StringBase& text;
    const char* name = nullptr;
    std::uint32_t counted; // the length of text whose line breaks next counts
    std::uint32_t next = 0; // the source line of the next line written
    bool mapped = false;
};

// The HLSL semantic string of each member, from the column of the semantic table for the
// structure's position. A semantic without one there is reported at its parameter's line and
// written empty (the compilation then fails).
void AppendStructure(QC_StringBase& text, LineMap& lines, const char* structName,
                     const QR_ShaderList<QR_ShaderParameter>& parameters, SemanticColumn column,
                     const QC_StringBase& sourceName)
{
    text.Append("struct ");
    text.Append(structName);
    text.Append("\n{\n");
    for (std::uint32_t i = 0; i < parameters.Count(); ++i) {
        const QR_ShaderParameter& parameter = parameters[i];
        const QR_ShaderSemanticInfo* info = QR_FindShaderSemantic(parameter.semantic);
        const char* semanticString = info ? info->*column : nullptr;
        if (!semanticString) {
            QC_ERROR("%sUnknown semantic.", QR_ShaderMessages::Place(sourceName.CStr(), parameter.line).CStr());
            semanticString = "";
        }
        lines.From(parameter.line);
        text.Append("  ");
        text.Append(QR_ShaderGenerator_HLSL::SemanticTypeName(parameter.semantic));
        text.Append(' ');
        text.Append(parameter.name);
        text.Append(" : ");
        text.Append(semanticString);
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

// Every line that can draw a message is mapped: a constant and the cbuffer member to their
// block's lines, each sampler's two declarations to its line, each structure member to its
// parameter's, the code to its block's "{", and the entry point's signature and its call of main
// to main's line. The prelude is mapped to the stage block's keyword: it holds only macros, whose
// faults are reported where they are used.
void Generate(const QR_ShaderDescription& description, const QR_ShaderStage& stage, SemanticColumn inputColumn,
              SemanticColumn outputColumn, const char* entrySignature, QC_StringBase& text)
{
    LineMap lines(text, description.sourceName);
    lines.From(stage.blockLine);
    text.Append(kPrelude, sizeof(kPrelude) - 1);

    for (std::uint32_t i = 0; i < description.constantBlocks.Count(); ++i) {
        const QR_ShaderConstantBlock& block = description.constantBlocks[i];
        lines.From(block.line);
        text.Append("struct QR_ConstantBlockStruct");
        AppendNumber(text, i);
        text.Append("\n{\n");
        for (std::uint32_t c = 0; c < block.constants.Count(); ++c) {
            const QR_ShaderConstant& constant = block.constants[c];
            lines.From(constant.line);
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
        text.Append(")\n{\n");
        lines.From(block.line);
        text.Append("  QR_ConstantBlockStruct");
        AppendNumber(text, i);
        text.Append(' ');
        text.Append(block.name);
        text.Append(";\n};\n");
    }

    for (std::uint32_t i = 0; i < description.samplers.Count(); ++i) {
        const QR_ShaderSampler& sampler = description.samplers[i];
        lines.From(sampler.line);
        text.Append(QR_ShaderGenerator_HLSL::SamplerTypeName(sampler.type));
        text.Append(' ');
        text.Append(sampler.name);
        text.Append("_texture:register(t");
        AppendNumber(text, i);
        text.Append(");\n");
        lines.From(sampler.line);
        text.Append("SamplerState ");
        text.Append(sampler.name);
        text.Append("_state:register(s");
        AppendNumber(text, i);
        text.Append(");\n");
    }

    AppendStructure(text, lines, "QR_Input", stage.inputs, inputColumn, description.sourceName);
    AppendStructure(text, lines, "QR_Output", stage.outputs, outputColumn, description.sourceName);
    text.Append('\n');
    lines.From(stage.codeLine ? stage.codeLine : stage.blockLine);
    text.Append(stage.code);
    text.Append("\n\n");

    lines.From(stage.PlaceLine());
    text.Append(entrySignature);
    text.Append("{\nQR_Output output;\n");
    lines.From(stage.PlaceLine());
    text.Append("main(");
    bool first = true;
    AppendArguments(text, "input.", stage.inputs, first);
    AppendArguments(text, "output.", stage.outputs, first);
    text.Append(");\nreturn output;\n}\n");
}
} // namespace

void QR_ShaderGenerator_HLSL::GenerateVertexShader(const QR_ShaderDescription& description, QC_StringBase& text)
{
    Generate(description, description.vertexStage, &QR_ShaderSemanticInfo::vertexInput,
             &QR_ShaderSemanticInfo::vertexOutput, "QR_Output QR_Main(QR_Input input)\n", text);
}

void QR_ShaderGenerator_HLSL::GeneratePixelShader(const QR_ShaderDescription& description, QC_StringBase& text)
{
    // The pixel entry point keeps its opening brace on the signature's line.
    Generate(description, description.pixelStage, &QR_ShaderSemanticInfo::pixelInput,
             &QR_ShaderSemanticInfo::pixelOutput, "QR_Output QR_Main(QR_Input input)", text);
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
