#pragma once
// The compiled form of one shader stage, as the compiler writes it into a code blob and the
// device reads it back: the GLSL 4.50 text plus what the device must know to bind the stage
// (constant buffers, texture/sampler combinations, read-only storage buffers, stage inputs by
// semantic).
//
// Layout of the bytes: a QP_ShaderInterface record, then the GLSL text and its NUL. The device
// receives these bytes from its caller like any bytecode, so ParseShaderCode checks every count
// and the text's end before anything is used. Internal to frame/qp.

#include "QP_GraphicsTypes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

enum QP_ShaderStage : std::uint32_t
{
    QP_SHADER_STAGE_VERTEX = 0,
    QP_SHADER_STAGE_PIXEL = 1,
};

constexpr std::uint32_t QP_SHADER_CODE_MAGIC = 0x48535051u; // "QPSH"
constexpr std::uint32_t QP_SHADER_CODE_VERSION = 2;
constexpr std::uint32_t QP_SHADER_NAME_SIZE = 32;
constexpr std::uint32_t QP_MAX_SAMPLER_COMBINATIONS = 16;
constexpr std::uint32_t QP_NO_SAMPLER_SLOT = 0xFFFFFFFFu;
// Storage buffers per stage. GL promises 8 storage buffer bindings in all: the pixel stage takes
// bindings 0-3, the vertex stage 4-7.
constexpr std::uint32_t QP_MAX_STORAGE_BUFFERS = 4;

struct QP_ShaderConstantBlock
{
    std::uint32_t slot;        // register b<slot>
    std::uint32_t vectorCount; // size of the flattened vec4 array
    char uniformName[QP_SHADER_NAME_SIZE];
};

struct QP_ShaderSamplerCombination
{
    std::uint32_t unit;        // texture unit and GLSL binding
    std::uint32_t textureSlot; // register t<slot>
    std::uint32_t samplerSlot; // register s<slot>, or QP_NO_SAMPLER_SLOT for texel fetches
};

struct QP_ShaderStorageBuffer
{
    std::uint32_t slot;    // register t<slot>
    std::uint32_t binding; // GL shader storage buffer binding
};

struct QP_ShaderInput
{
    std::uint32_t location;
    std::uint32_t semanticIndex;
    char semanticName[QP_SHADER_NAME_SIZE];
};

struct QP_ShaderInterface
{
    std::uint32_t magic;
    std::uint32_t version;
    std::uint32_t stage;
    std::uint32_t constantBlockCount;
    QP_ShaderConstantBlock constantBlocks[QP_CONSTANT_BUFFER_SLOT_COUNT];
    std::uint32_t samplerCount;
    QP_ShaderSamplerCombination samplers[QP_MAX_SAMPLER_COMBINATIONS];
    std::uint32_t inputCount; // vertex stage: the attributes an input layout must provide
    QP_ShaderInput inputs[QP_MAX_INPUT_ELEMENTS];
    std::uint32_t storageBufferCount;
    QP_ShaderStorageBuffer storageBuffers[QP_MAX_STORAGE_BUFFERS];
    std::uint32_t textLength; // bytes of GLSL, without the NUL that follows
};

// Fixed attribute locations of vertex inputs, by semantic: POSITION 0, NORMAL 1, COLOR 2,
// TEXCOORD0 3, then further texture coordinates and colours. Input layouts and compiled vertex
// stages both use it, so an element meets its shader input by semantic alone. Returns false for
// a semantic that has no location.
bool QP_VertexInputLocation(const char* semanticName, std::uint32_t semanticIndex, std::uint32_t* location);

// Fixed locations of values passed between stages, by semantic: TEXCOORD0-7 at 0-7, COLOR0-1
// at 8-9, NORMAL 10, and a few more; pixel outputs SV_TARGETn/COLORn at n.
bool QP_VaryingLocation(const char* semanticName, std::uint32_t semanticIndex, std::uint32_t* location);

// Where an input layout element with this semantic feeds a compiled vertex stage: the location
// the stage recorded for it (SV_POSITION reads as POSITION; names in any case), else the fixed
// location of a semantic that has one, so the layout serves other stages with the same inputs.
// False when the element feeds nothing: a semantic without a fixed location that this stage does
// not read, or a fixed location one of the stage's own semantics took.
bool QP_InputElementLocation(const QP_ShaderInterface& vertexStage, const char* semanticName,
                             std::uint32_t semanticIndex, std::uint32_t* location);

// Splits "TEXCOORD3" into "TEXCOORD" and 3 (no digits: index 0). Returns false when the name
// does not fit nameSize.
bool QP_SplitSemantic(const char* semantic, char* name, std::size_t nameSize, std::uint32_t* index);

void QP_WriteShaderCode(const QP_ShaderInterface& shaderInterface, const char* text, std::size_t textLength,
                        std::vector<std::uint8_t>& out);

// Checks and reads code bytes. On success shaderInterface is filled and *text points at the
// NUL-terminated GLSL inside code.
bool QP_ParseShaderCode(const void* code, std::size_t size, QP_ShaderInterface* shaderInterface, const char** text);
