#include "QP_ShaderCode.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

struct SemanticLocation
{
    const char* name;
    std::uint32_t firstIndex;
    std::uint32_t lastIndex;
    std::uint32_t firstLocation;
};

// Vertex attributes: the four the renderer's input layouts use come first and keep the numbers
// 0-3 whatever else a shader declares.
const SemanticLocation vertexInputLocations[] = {
    {"POSITION", 0, 0, 0},  {"NORMAL", 0, 0, 1},       {"COLOR", 0, 0, 2},       {"TEXCOORD", 0, 0, 3},
    {"TEXCOORD", 1, 7, 4},  {"COLOR", 1, 1, 11},       {"TANGENT", 0, 0, 12},    {"BINORMAL", 0, 0, 13},
    {"BLENDINDICES", 0, 0, 14}, {"BLENDWEIGHT", 0, 0, 15},
};
static_assert(sizeof(vertexInputLocations) / sizeof(vertexInputLocations[0]) == 10);

const SemanticLocation varyingLocations[] = {
    {"TEXCOORD", 0, 7, 0}, {"COLOR", 0, 1, 8},    {"NORMAL", 0, 0, 10},
    {"POSITION", 0, 0, 11}, {"TANGENT", 0, 0, 12}, {"BINORMAL", 0, 0, 13},
};
static_assert(sizeof(varyingLocations) / sizeof(varyingLocations[0]) == 6);

bool SameName(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        if (std::toupper(static_cast<unsigned char>(*a)) != std::toupper(static_cast<unsigned char>(*b)))
            return false;
    }
    return *a == *b;
}

template <std::size_t N>
bool Lookup(const SemanticLocation (&table)[N], const char* name, std::uint32_t index, std::uint32_t* location)
{
    if (!name)
        return false;
    for (const SemanticLocation& entry : table) {
        if (index >= entry.firstIndex && index <= entry.lastIndex && SameName(entry.name, name)) {
            *location = entry.firstLocation + (index - entry.firstIndex);
            return true;
        }
    }
    return false;
}

} // namespace

bool QP_VertexInputLocation(const char* semanticName, std::uint32_t semanticIndex, std::uint32_t* location)
{
    return Lookup(vertexInputLocations, semanticName, semanticIndex, location);
}

bool QP_VaryingLocation(const char* semanticName, std::uint32_t semanticIndex, std::uint32_t* location)
{
    return Lookup(varyingLocations, semanticName, semanticIndex, location);
}

bool QP_InputElementLocation(const QP_ShaderInterface& vertexStage, const char* semanticName,
                             std::uint32_t semanticIndex, std::uint32_t* location)
{
    if (!semanticName)
        return false;
    const char* name = SameName(semanticName, "SV_POSITION") ? "POSITION" : semanticName;
    const std::uint32_t count = std::min(vertexStage.inputCount, QP_MAX_INPUT_ELEMENTS);
    for (std::uint32_t i = 0; i < count; ++i) {
        const QP_ShaderInput& input = vertexStage.inputs[i];
        if (input.semanticIndex == semanticIndex && SameName(input.semanticName, name)) {
            *location = input.location;
            return true;
        }
    }
    if (!QP_VertexInputLocation(name, semanticIndex, location))
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (vertexStage.inputs[i].location == *location)
            return false;
    }
    return true;
}

bool QP_SplitSemantic(const char* semantic, char* name, std::size_t nameSize, std::uint32_t* index)
{
    std::size_t length = std::strlen(semantic);
    std::size_t digitsStart = length;
    while (digitsStart > 0 && std::isdigit(static_cast<unsigned char>(semantic[digitsStart - 1])))
        --digitsStart;
    // More than 8 digits cannot be a register index; keep them in the name so nothing overflows.
    if (length - digitsStart > 8)
        digitsStart = length;
    if (digitsStart + 1 > nameSize)
        return false;
    std::memcpy(name, semantic, digitsStart);
    name[digitsStart] = '\0';
    std::uint32_t value = 0;
    for (std::size_t i = digitsStart; i < length; ++i)
        value = value * 10 + static_cast<std::uint32_t>(semantic[i] - '0');
    *index = value;
    return true;
}

void QP_WriteShaderCode(const QP_ShaderInterface& shaderInterface, const char* text, std::size_t textLength,
                        std::vector<std::uint8_t>& out)
{
    QP_ShaderInterface header = shaderInterface;
    header.magic = QP_SHADER_CODE_MAGIC;
    header.version = QP_SHADER_CODE_VERSION;
    header.textLength = static_cast<std::uint32_t>(textLength);
    out.resize(sizeof(header) + textLength + 1);
    std::memcpy(out.data(), &header, sizeof(header));
    std::memcpy(out.data() + sizeof(header), text, textLength);
    out[sizeof(header) + textLength] = '\0';
}

bool QP_ParseShaderCode(const void* code, std::size_t size, QP_ShaderInterface* shaderInterface, const char** text)
{
    if (!code || size < sizeof(QP_ShaderInterface) + 1)
        return false;
    std::memcpy(shaderInterface, code, sizeof(QP_ShaderInterface));
    const QP_ShaderInterface& header = *shaderInterface;
    if (header.magic != QP_SHADER_CODE_MAGIC || header.version != QP_SHADER_CODE_VERSION)
        return false;
    if (header.stage > QP_SHADER_STAGE_PIXEL || header.constantBlockCount > QP_CONSTANT_BUFFER_SLOT_COUNT ||
        header.samplerCount > QP_MAX_SAMPLER_COMBINATIONS || header.inputCount > QP_MAX_INPUT_ELEMENTS ||
        header.storageBufferCount > QP_MAX_STORAGE_BUFFERS)
        return false;
    if (header.textLength != size - sizeof(QP_ShaderInterface) - 1)
        return false;
    const char* glsl = static_cast<const char*>(code) + sizeof(QP_ShaderInterface);
    if (glsl[header.textLength] != '\0' || std::memchr(glsl, '\0', header.textLength) != nullptr)
        return false;
    for (std::uint32_t i = 0; i < header.constantBlockCount; ++i) {
        const QP_ShaderConstantBlock& block = header.constantBlocks[i];
        if (block.slot >= QP_CONSTANT_BUFFER_SLOT_COUNT || block.vectorCount > QP_MAX_CONSTANT_BUFFER_BYTES / 16 ||
            std::memchr(block.uniformName, '\0', QP_SHADER_NAME_SIZE) == nullptr)
            return false;
    }
    for (std::uint32_t i = 0; i < header.samplerCount; ++i) {
        const QP_ShaderSamplerCombination& combination = header.samplers[i];
        if (combination.textureSlot >= QP_SHADER_RESOURCE_SLOT_COUNT ||
            (combination.samplerSlot >= QP_SAMPLER_SLOT_COUNT && combination.samplerSlot != QP_NO_SAMPLER_SLOT) ||
            combination.unit >= QP_MAX_SAMPLER_COMBINATIONS)
            return false;
    }
    for (std::uint32_t i = 0; i < header.inputCount; ++i) {
        if (std::memchr(header.inputs[i].semanticName, '\0', QP_SHADER_NAME_SIZE) == nullptr ||
            header.inputs[i].location >= QP_MAX_INPUT_ELEMENTS)
            return false;
    }
    for (std::uint32_t i = 0; i < header.storageBufferCount; ++i) {
        if (header.storageBuffers[i].slot >= QP_SHADER_RESOURCE_SLOT_COUNT ||
            header.storageBuffers[i].binding >= 2 * QP_MAX_STORAGE_BUFFERS)
            return false;
    }
    *text = glsl;
    return true;
}
