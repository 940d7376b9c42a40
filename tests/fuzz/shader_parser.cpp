// Fuzzes the shading language front end: any bytes go through the parser and both generators,
// and what comes out must hold the description's invariants.
//
//   fuzz_shader_parser -close_fd_mask=2 CORPUS tests/fuzz/seeds/shader_parser
//
// (close_fd_mask=2 keeps the parser's error lines off the terminal; crash reports still show.)

#include "QC_String.h"
#include "QR_ShaderGenerator_HLSL.h"
#include "QR_ShaderParser.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace
{
void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

bool IsWordCharacter(std::uint8_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// A name of 128 characters or more does not fit the parser's fixed-capacity name strings, and
// writing past a fixed capacity is a fatal assertion ("Buffer overflow.") that ends the process.
// The fuzzer would count that as a crash, so inputs holding such a word anywhere are skipped.
bool HasOverlongWord(const std::uint8_t* data, std::size_t size)
{
    std::size_t run = 0;
    for (std::size_t i = 0; i < size; ++i) {
        run = IsWordCharacter(data[i]) ? run + 1 : 0;
        if (run >= QR_SHADER_NAME_CAPACITY)
            return true;
    }
    return false;
}

bool Contains(const QC_StringBase& text, const QC_StringBase& part)
{
    if (part.IsEmpty())
        return true;
    return memmem(text.CStr(), text.Length(), part.CStr(), part.Length()) != nullptr;
}

void RequireName(const QR_ShaderName& name)
{
    Require(name.Length() > 0 && name.Length() < QR_SHADER_NAME_CAPACITY);
}

// The line map's ends: every recorded line is a line of the source (and 0 only where the stage
// records none).
std::uint32_t g_sourceLines = 0;

void RequireLine(std::uint32_t line)
{
    Require(line >= 1 && line <= g_sourceLines);
}

void CheckStage(const QC_String& source, const QR_ShaderStage& stage)
{
    Require(stage.inputs.Count() <= QR_SHADER_LIST_CAPACITY);
    Require(stage.outputs.Count() <= QR_SHADER_LIST_CAPACITY);
    for (std::uint32_t i = 0; i < stage.inputs.Count(); ++i) {
        RequireName(stage.inputs[i].name);
        Require(QR_FindShaderSemantic(stage.inputs[i].semantic) != nullptr);
        RequireLine(stage.inputs[i].line);
    }
    for (std::uint32_t i = 0; i < stage.outputs.Count(); ++i) {
        RequireName(stage.outputs[i].name);
        RequireLine(stage.outputs[i].line);
    }
    for (const std::uint32_t line : {stage.blockLine, stage.codeLine, stage.entryLine})
        Require(line <= g_sourceLines);
    RequireLine(stage.PlaceLine());
    // The code is cut out of the source verbatim.
    Require(Contains(source, stage.code));
}

const char kFirstLine[] = "#line ";
const char kFirstPreludeLine[] = "#define QR_Position float4\n";
const char kEntryTail[] = "return output;\n}\n";

void CheckText(const QC_String& text, const QR_ShaderStage& stage)
{
    // Numbered from its first line: a #line directive, then the prelude.
    Require(std::memcmp(text.CStr(), kFirstLine, sizeof(kFirstLine) - 1) == 0);
    const char* prelude = std::strchr(text.CStr(), '\n');
    Require(prelude != nullptr);
    ++prelude;
    Require(static_cast<std::size_t>(text.CStr() + text.Length() - prelude) > sizeof(kFirstPreludeLine));
    Require(std::memcmp(prelude, kFirstPreludeLine, sizeof(kFirstPreludeLine) - 1) == 0);
    Require(std::memcmp(text.CStr() + text.Length() - (sizeof(kEntryTail) - 1), kEntryTail, sizeof(kEntryTail) - 1) ==
            0);
    Require(Contains(text, stage.code));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1u << 20) || HasOverlongWord(data, size))
        return 0;

    const QC_String source(reinterpret_cast<const char*>(data), static_cast<std::uint32_t>(size));
    // About 60 KB: on the heap, so a deep fuzzer stack never matters.
    auto parser = std::make_unique<QR_ShaderParser>();
    parser->Parse(source);
    const QR_ShaderDescription& description = parser->Description();
    g_sourceLines = 1;
    for (std::size_t i = 0; i < size; ++i)
        g_sourceLines += data[i] == '\n' ? 1 : 0;

    Require(description.constantBlocks.Count() <= QR_SHADER_LIST_CAPACITY);
    for (std::uint32_t i = 0; i < description.constantBlocks.Count(); ++i) {
        const QR_ShaderConstantBlock& block = description.constantBlocks[i];
        RequireName(block.name);
        RequireLine(block.line);
        Require(block.constants.Count() <= QR_SHADER_LIST_CAPACITY);
        for (std::uint32_t c = 0; c < block.constants.Count(); ++c) {
            RequireName(block.constants[c].name);
            RequireLine(block.constants[c].line);
            Require(block.constants[c].type >= QR_SHADER_CONSTANT_FLOAT &&
                    block.constants[c].type <= QR_SHADER_CONSTANT_FLOAT4X4);
        }
    }
    Require(description.samplers.Count() <= QR_SHADER_LIST_CAPACITY);
    for (std::uint32_t i = 0; i < description.samplers.Count(); ++i) {
        RequireName(description.samplers[i].name);
        RequireLine(description.samplers[i].line);
        Require(description.samplers[i].type == QR_SHADER_SAMPLER_2D);
    }
    CheckStage(source, description.vertexStage);
    CheckStage(source, description.pixelStage);

    QC_String vertexText;
    QR_ShaderGenerator_HLSL::GenerateVertexShader(description, vertexText);
    CheckText(vertexText, description.vertexStage);
    QC_String pixelText;
    QR_ShaderGenerator_HLSL::GeneratePixelShader(description, pixelText);
    CheckText(pixelText, description.pixelStage);
    return 0;
}
