#pragma once
// What the shader parser makes of one source text, and what the HLSL generator and the input
// layout read: a plain value of fixed size. Every list holds at most 16 entries inline and every
// name at most 127 characters, so a description lives on the stack of the shader creation.
//
//   QR_ShaderParser parser;
//   parser.Parse(source);
//   const QR_ShaderDescription& description = parser.Description();
//   for (std::uint32_t i = 0; i < description.vertexStage.inputs.Count(); ++i)
//       Use(description.vertexStage.inputs[i].semantic);
//
// Register numbering follows from the order of the lists: sampler i is bound to texture register
// t<i> and sampler register s<i>, constant block i to buffer register b<i>.
//
// Every record carries the line of the source it was read from (from 1; 0 for a record the
// source did not give), so the generated text can name the author's line for what it makes of it.
//
// Sections: semantics and types, the fixed-capacity list, the records, semantic lookups.

#include "QC_String.h"

#include <cstdint>

// ---- semantics and types ----------------------------------------------------------------

// Member types of constant blocks; 0 is "not a type".
enum QR_ShaderConstantType : std::int32_t
{
    QR_SHADER_CONSTANT_UNKNOWN = 0,
    QR_SHADER_CONSTANT_FLOAT = 1,
    QR_SHADER_CONSTANT_FLOAT2 = 2,
    QR_SHADER_CONSTANT_FLOAT3 = 3,
    QR_SHADER_CONSTANT_FLOAT4 = 4,
    QR_SHADER_CONSTANT_FLOAT2X2 = 5,
    QR_SHADER_CONSTANT_FLOAT3X3 = 6,
    QR_SHADER_CONSTANT_FLOAT4X4 = 7,
};

enum QR_ShaderSamplerType : std::int32_t
{
    QR_SHADER_SAMPLER_UNKNOWN = 0,
    // A two-dimensional texture together with its sampler state (keyword "QR_Sampler2D").
    QR_SHADER_SAMPLER_2D = 1,
};

// One numbering with gaps: 3-6, 8-10 and 12-18 have no keyword in the language. 12-14 still have
// semantic strings in some generator positions (texture coordinates 1-3 of the old numbering).
enum QR_ShaderSemantic : std::int32_t
{
    QR_SEMANTIC_UNKNOWN = 0,
    QR_SEMANTIC_POSITION = 1,
    QR_SEMANTIC_NORMAL = 2,
    QR_SEMANTIC_COLOUR = 7,
    QR_SEMANTIC_TEXCOORD0 = 11,
    QR_SEMANTIC_TEXCOORD1 = 12,
    QR_SEMANTIC_TEXCOORD2 = 13,
    QR_SEMANTIC_TEXCOORD3 = 14,
    QR_SEMANTIC_TARGET = 19,
    QR_SEMANTIC_INSTANCE_ID = 20,
    QR_SEMANTIC_TEXCOORD0_FLOAT = 21,
    QR_SEMANTIC_TEXCOORD1_FLOAT = 22,
    QR_SEMANTIC_TEXCOORD2_FLOAT = 23,
    QR_SEMANTIC_TEXCOORD3_FLOAT = 24,
    QR_SEMANTIC_TEXCOORD0_FLOAT4 = 25,
    QR_SEMANTIC_TEXCOORD1_FLOAT4 = 26,
    QR_SEMANTIC_TEXCOORD2_FLOAT4 = 27,
    QR_SEMANTIC_TEXCOORD3_FLOAT4 = 28,
};

// Capacity of every list in the description.
constexpr std::uint32_t QR_SHADER_LIST_CAPACITY = 16;
// Names are QC_StaticString<128>: at most 127 characters, a longer one is fatal.
constexpr std::uint32_t QR_SHADER_NAME_CAPACITY = 128;
using QR_ShaderName = QC_StaticString<QR_SHADER_NAME_CAPACITY>;

// ---- the fixed-capacity list --------------------------------------------------------------

// An inline array of 16 entries with its count. Appending is the only way to add an entry and
// refuses a 17th, so nothing is ever written past the array; the caller reports the refusal.
template <typename T>
class QR_ShaderList
{
public:
    std::uint32_t Count() const { return count; }
    bool IsFull() const { return count >= QR_SHADER_LIST_CAPACITY; }

    // The next entry (default-constructed, never used before), or nullptr when the list is full.
    T* Append()
    {
        if (IsFull())
            return nullptr;
        return &entries[count++];
    }

    const T& operator[](std::uint32_t index) const
    {
        QC_ASSERT(index < count, "Out of bounds");
        return entries[index];
    }
    T& operator[](std::uint32_t index)
    {
        QC_ASSERT(index < count, "Out of bounds");
        return entries[index];
    }

private:
    T entries[QR_SHADER_LIST_CAPACITY];
    std::uint32_t count = 0;
};

// ---- the records ------------------------------------------------------------------------

struct QR_ShaderConstant
{
    QR_ShaderConstantType type = QR_SHADER_CONSTANT_UNKNOWN;
    QR_ShaderName name;
    std::uint32_t line = 0; // of its type
};

// Becomes a structure "QR_ConstantBlockStruct<i>" and a cbuffer "QR_ConstantBlock<i>" whose single
// member carries the block's name, so stage code reads constant c of block B as B.c.
struct QR_ShaderConstantBlock
{
    QR_ShaderName name;
    QR_ShaderList<QR_ShaderConstant> constants;
    std::uint32_t line = 0; // of its name
};

struct QR_ShaderSampler
{
    QR_ShaderSamplerType type = QR_SHADER_SAMPLER_UNKNOWN;
    // Base name of the HLSL variables <name>_texture and <name>_state.
    QR_ShaderName name;
    std::uint32_t line = 0; // of its type
};

struct QR_ShaderParameter
{
    QR_ShaderSemantic semantic = QR_SEMANTIC_UNKNOWN;
    QR_ShaderName name;
    std::uint32_t line = 0; // of its qualifier
};

struct QR_ShaderStage
{
    // The "in" and "out" parameters of the stage's main, each in declaration order.
    QR_ShaderList<QR_ShaderParameter> inputs;
    QR_ShaderList<QR_ShaderParameter> outputs;
    // The text between the braces of the stage block, verbatim; empty without such a block.
    QC_String code;
    std::uint32_t blockLine = 0; // of the block's keyword (the last block's)
    std::uint32_t codeLine = 0;  // of the block's "{", where the code's first line is
    std::uint32_t entryLine = 0; // of the word main of the last main read

    // The line that messages about the stage as a whole name: its main's, else its block's, else 1.
    std::uint32_t PlaceLine() const { return entryLine ? entryLine : blockLine ? blockLine : 1; }
};

struct QR_ShaderDescription
{
    // The file the source was read from, as its reader named it; empty for a source of no file.
    QC_String sourceName;
    // In order of appearance, over all constants blocks and all samplers blocks of the source.
    QR_ShaderList<QR_ShaderConstantBlock> constantBlocks;
    QR_ShaderList<QR_ShaderSampler> samplers;
    QR_ShaderStage vertexStage;
    QR_ShaderStage pixelStage;
};

// ---- semantic lookups ---------------------------------------------------------------------

// Everything the system knows about one semantic value. A null string means the generator has
// no HLSL semantic for that position (or, for keyword, that the language has no word for it).
struct QR_ShaderSemanticInfo
{
    QR_ShaderSemantic semantic;
    const char* keyword;
    const char* typeWord; // the HLSL type the generated prelude gives the keyword
    const char* vertexInput;
    const char* vertexOutput;
    const char* pixelInput;
    const char* pixelOutput;
};

// The table row of a value, or nullptr for a value outside the table.
const QR_ShaderSemanticInfo* QR_FindShaderSemantic(QR_ShaderSemantic semantic);
// Keyword lookups of the language (exact, case-sensitive); any other word gives 0.
QR_ShaderSemantic QR_LookupShaderSemantic(const char* word);
QR_ShaderConstantType QR_LookupShaderConstantType(const char* word);
QR_ShaderSamplerType QR_LookupShaderSamplerType(const char* word);
