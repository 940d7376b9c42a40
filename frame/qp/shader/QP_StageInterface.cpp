// Stage interface of the compile chain. Sections: the source scan, messages, stage variables,
// storage buffers, legalisation of opaque locals, the pixel position.

#include "QP_StageInterface.h"

#include "QP_HlslScanner.h"

#include <spirv-tools/libspirv.hpp>
#include <spirv-tools/optimizer.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

std::string UpperCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool IsSystemValue(const std::string& upperName)
{
    return upperName.rfind("SV_", 0) == 0;
}

// Locations one stage variable takes: one per array element and per matrix column.
std::uint32_t LocationCount(const spirv_cross::CompilerGLSL& compiler, std::uint32_t typeId)
{
    const spirv_cross::SPIRType& type = compiler.get_type(typeId);
    std::uint32_t count = type.columns > 1 ? type.columns : 1;
    for (std::size_t i = 0; i < type.array.size(); ++i)
        count *= type.array_size_literal[i] && type.array[i] > 0 ? type.array[i] : 1;
    return count;
}

// FNV-1a of the upper-case name and the index: the home location of a user semantic depends on
// nothing else.
std::uint32_t SemanticHash(const std::string& name, std::uint32_t index)
{
    std::uint32_t hash = 2166136261u;
    auto mix = [&hash](std::uint8_t byte) {
        hash ^= byte;
        hash *= 16777619u;
    };
    for (char c : name)
        mix(static_cast<std::uint8_t>(c));
    for (int shift = 0; shift < 32; shift += 8)
        mix(static_cast<std::uint8_t>(index >> shift));
    return hash;
}

} // namespace

bool QP_StageInterface::Semantic::operator<(const Semantic& other) const
{
    return name != other.name ? name < other.name : index < other.index;
}

bool QP_StageInterface::Semantic::operator==(const Semantic& other) const
{
    return name == other.name && index == other.index;
}

// --- the source scan ---------------------------------------------------------------------------
// A light pass over the expanded text: comments, strings and preprocessor lines are skipped, and
// function bodies and initialisers too. What is left are declarations: a ':' there is followed
// by a semantic, a register(...) or a packoffset(...). Strings are read as the guards read them;
// a #line directive with an empty file name names the file "" in the messages.
void QP_StageInterface::ReadSource(const char* text, std::size_t length, const char* name, const char* entry)
{
    sourceName = name && name[0] ? name : "0";
    entryPoint = entry ? entry : "";
    userVaryings.clear();
    semanticPlaces.clear();
    globalPlaces.clear();
    localPlaces.clear();
    entryDefinitions.clear();

    QP_HlslScanner scanner(text, length, name,
                           QP_HlslScanner::ESCAPED_BREAKS_IN_STRINGS | QP_HlslScanner::EMPTY_FILE_NAMES);
    QP_HlslScanner::Token token;
    Place place = {sourceName, 1};
    std::size_t placeFile = 0; // the scanner's index of place.file
    int bodyDepth = 0;         // braces of function bodies and initialisers open
    int declarationDepth = 0;  // braces of struct, cbuffer and tbuffer bodies open
    int parens = 0;            // outside bodies
    bool declarationKeyword = false, initialiser = false, colon = false;
    bool entryCandidate = false;
    Place candidate = place;
    while (scanner.Next(token)) {
        if (token.kind == QP_HlslScanner::STRING)
            continue;
        if (token.file != placeFile) {
            placeFile = token.file;
            place.file = scanner.FileName(placeFile);
        }
        place.line = token.line;
        const std::size_t i = token.begin;
        const bool outside = bodyDepth == 0 && !initialiser;
        if (token.kind == QP_HlslScanner::NAME) {
            const std::size_t end = token.end;
            const std::string word(text + i, end - i);
            if (!outside) {
                localPlaces.emplace(word, place);
                continue;
            }
            if (colon && word != "register" && word != "packoffset")
                AddSemantic(word, place);
            colon = false;
            globalPlaces.emplace(word, place);
            if (word == "struct" || word == "cbuffer" || word == "tbuffer")
                declarationKeyword = true;
            if (word == entryPoint && declarationDepth == 0 && parens == 0) {
                std::size_t next = end;
                while (next < length && std::isspace(static_cast<unsigned char>(text[next])))
                    ++next;
                entryCandidate = next < length && text[next] == '(';
                candidate = place;
            }
            continue;
        }
        // A number is no ':' and no bracket: it only ends a colon's wait for its semantic.
        const char c = token.kind == QP_HlslScanner::PUNCTUATION ? text[i] : '0';
        if (c == ':' && i + 1 < length && text[i + 1] == ':') {
            scanner.Next(token); // the second ':'
            colon = false;
            continue;
        }
        colon = c == ':' && outside;
        if (bodyDepth > 0 && c != '{' && c != '}')
            continue;
        if (c == '=' && parens == 0 && declarationDepth == 0 && !(i + 1 < length && text[i + 1] == '=')) {
            initialiser = true;
        } else if (c == ';' && parens == 0) {
            initialiser = declarationKeyword = entryCandidate = false;
        } else if (c == '(' && !initialiser) {
            ++parens;
        } else if (c == ')' && !initialiser && parens > 0) {
            --parens;
        } else if (c == '{') {
            if (bodyDepth == 0 && declarationKeyword && !initialiser) {
                ++declarationDepth;
            } else {
                if (bodyDepth == 0 && entryCandidate && declarationDepth == 0)
                    entryDefinitions.push_back(candidate);
                ++bodyDepth;
            }
            declarationKeyword = entryCandidate = false;
        } else if (c == '}') {
            if (bodyDepth > 0)
                --bodyDepth;
            else if (declarationDepth > 0)
                --declarationDepth;
        }
    }
    std::sort(userVaryings.begin(), userVaryings.end());
    userVaryings.erase(std::unique(userVaryings.begin(), userVaryings.end()), userVaryings.end());
}

void QP_StageInterface::AddSemantic(const std::string& text, const Place& place)
{
    char name[QP_SHADER_NAME_SIZE];
    std::uint32_t index = 0;
    if (!QP_SplitSemantic(text.c_str(), name, sizeof(name), &index))
        return;
    semanticPlaces.emplace(UpperCase(text), place);
    Semantic semantic = {UpperCase(name), index};
    std::uint32_t location = 0;
    if (!IsSystemValue(semantic.name) && !QP_VaryingLocation(semantic.name.c_str(), index, &location))
        userVaryings.push_back(semantic);
}

// --- messages ----------------------------------------------------------------------------------
const QP_StageInterface::Place* QP_StageInterface::FindPlace(const std::string& name) const
{
    auto global = globalPlaces.find(name);
    if (global != globalPlaces.end())
        return &global->second;
    auto semantic = semanticPlaces.find(UpperCase(name));
    if (semantic != semanticPlaces.end())
        return &semantic->second;
    auto local = localPlaces.find(name);
    if (local != localPlaces.end())
        return &local->second;
    return entryDefinitions.empty() ? nullptr : &entryDefinitions.front();
}

std::string QP_StageInterface::Message(const std::string& name, const std::string& what) const
{
    const Place* place = FindPlace(name);
    char prefix[64];
    std::snprintf(prefix, sizeof(prefix), ":%d: '", place ? place->line : 1);
    return "ERROR: " + (place ? place->file : sourceName) + prefix + name + "' : " + what + "\n";
}

bool QP_StageInterface::ExplainSilentFailure(std::string& errors) const
{
    if (entryDefinitions.size() < 2)
        return false;
    const Place& first = entryDefinitions.front();
    const Place& second = entryDefinitions[1];
    char message[128];
    std::snprintf(message, sizeof(message), ":%d: '", second.line);
    errors += "ERROR: " + second.file + message + entryPoint + "' : the entry point is defined more than once (also at " +
              first.file + ":" + std::to_string(first.line) + "); give the other definitions other names\n";
    return true;
}

// --- stage variables ---------------------------------------------------------------------------
bool QP_StageInterface::PlaceStageVariables(spirv_cross::CompilerGLSL& compiler,
                                            const spirv_cross::ShaderResources& resources, QP_ShaderStage stage,
                                            QP_ShaderInterface& shaderInterface, std::string& errors) const
{
    if (stage == QP_SHADER_STAGE_VERTEX)
        return PlaceVertexInputs(compiler, resources, shaderInterface, errors) &&
               PlaceVaryings(compiler, resources.stage_outputs, errors);
    if (!PlaceVaryings(compiler, resources.stage_inputs, errors))
        return false;
    for (const spirv_cross::Resource& variable : resources.stage_outputs) {
        const std::string& semantic = compiler.get_decoration_string(variable.id, spv::DecorationHlslSemanticGOOGLE);
        char name[QP_SHADER_NAME_SIZE];
        std::uint32_t index = 0;
        // Render target n: SV_TARGETn, or COLORn in the older spelling.
        const bool known = QP_SplitSemantic(semantic.c_str(), name, sizeof(name), &index) &&
                           (UpperCase(name) == "SV_TARGET" || UpperCase(name) == "COLOR") &&
                           index < QP_SIMULTANEOUS_RENDER_TARGET_COUNT;
        if (!known) {
            errors += Message(semantic.empty() ? variable.name : semantic, "this semantic is not a pixel stage output");
            return false;
        }
        compiler.set_decoration(variable.id, spv::DecorationLocation, index);
    }
    return true;
}

bool QP_StageInterface::PlaceVertexInputs(spirv_cross::CompilerGLSL& compiler,
                                          const spirv_cross::ShaderResources& resources,
                                          QP_ShaderInterface& shaderInterface, std::string& errors) const
{
    struct Input
    {
        spirv_cross::ID id;
        Semantic semantic;
        std::string text;
        std::uint32_t rows; // locations it takes: a matrix or an array takes one per row or element
    };
    std::vector<Input> user;
    bool used[QP_MAX_INPUT_ELEMENTS] = {};
    // A matrix input is fed as the platform feeds it: row r from the layout element of the
    // semantic's index + r, at the location after row r - 1's (the front end keeps an HLSL row
    // as one column of the SPIR-V matrix, so each location holds one row).
    auto record = [&](const Input& input, std::uint32_t location) {
        if (shaderInterface.inputCount + input.rows > QP_MAX_INPUT_ELEMENTS) {
            errors += Message(input.text, "too many vertex inputs (16 at most)");
            return false;
        }
        compiler.set_decoration(input.id, spv::DecorationLocation, location);
        for (std::uint32_t row = 0; row < input.rows; ++row) {
            QP_ShaderInput& entry = shaderInterface.inputs[shaderInterface.inputCount++];
            entry.location = location + row;
            entry.semanticIndex = input.semantic.index + row;
            std::snprintf(entry.semanticName, sizeof(entry.semanticName), "%s", input.semantic.name.c_str());
        }
        return true;
    };
    for (const spirv_cross::Resource& variable : resources.stage_inputs) {
        const std::string& text = compiler.get_decoration_string(variable.id, spv::DecorationHlslSemanticGOOGLE);
        char name[QP_SHADER_NAME_SIZE];
        Input input = {variable.id, {"", 0}, text, LocationCount(compiler, variable.type_id)};
        if (text.empty() || !QP_SplitSemantic(text.c_str(), name, sizeof(name), &input.semantic.index)) {
            errors += Message(text.empty() ? variable.name : text, "a vertex input needs a semantic of at most 31 letters");
            return false;
        }
        if (input.rows == 0 || input.rows > QP_MAX_INPUT_ELEMENTS) {
            errors += Message(text, "this input takes more vertex attribute locations than there are (16)");
            return false;
        }
        input.semantic.name = UpperCase(name);
        // SV_Position read by the vertex stage is an ordinary attribute.
        if (input.semantic.name == "SV_POSITION")
            input.semantic.name = "POSITION";
        std::uint32_t location = 0;
        if (QP_VertexInputLocation(input.semantic.name.c_str(), input.semantic.index, &location)) {
            if (location + input.rows > QP_MAX_INPUT_ELEMENTS) {
                errors += Message(text, "this input reaches past the last vertex attribute location (16 in all)");
                return false;
            }
            // A matrix under a fixed semantic takes the locations after its own, which may be
            // another fixed semantic's.
            if (std::any_of(used + location, used + location + input.rows, [](bool taken) { return taken; })) {
                errors += Message(text, "this input overlaps another vertex input's attribute locations");
                return false;
            }
            for (std::uint32_t i = location; i < location + input.rows; ++i)
                used[i] = true;
            if (!record(input, location))
                return false;
        } else if (IsSystemValue(input.semantic.name)) {
            errors += Message(text, "this system value is not a vertex input");
            return false;
        } else {
            user.push_back(input);
        }
    }
    // Semantics of the shader's own take the lowest locations the fixed ones leave free, in name
    // order, so the same inputs always land in the same places.
    std::sort(user.begin(), user.end(), [](const Input& a, const Input& b) { return a.semantic < b.semantic; });
    for (const Input& input : user) {
        std::uint32_t location = 0;
        while (location + input.rows <= QP_MAX_INPUT_ELEMENTS &&
               std::any_of(used + location, used + location + input.rows, [](bool taken) { return taken; }))
            ++location;
        if (location + input.rows > QP_MAX_INPUT_ELEMENTS) {
            errors += Message(input.text, "no vertex attribute location is left for this input (16 in all)");
            return false;
        }
        std::fill(used + location, used + location + input.rows, true);
        if (!record(input, location))
            return false;
    }
    return true;
}

bool QP_StageInterface::PlaceVaryings(spirv_cross::CompilerGLSL& compiler,
                                      const spirv_cross::SmallVector<spirv_cross::Resource>& variables,
                                      std::string& errors) const
{
    // Every user semantic of the source, with this stage's own in case the scan missed one.
    std::vector<Semantic> all = userVaryings;
    std::vector<Semantic> semantics;
    for (const spirv_cross::Resource& variable : variables) {
        const std::string& text = compiler.get_decoration_string(variable.id, spv::DecorationHlslSemanticGOOGLE);
        char name[QP_SHADER_NAME_SIZE];
        Semantic semantic = {"", 0};
        if (text.empty() || !QP_SplitSemantic(text.c_str(), name, sizeof(name), &semantic.index)) {
            errors += Message(text.empty() ? variable.name : text,
                              "a value passed between stages needs a semantic of at most 31 letters");
            return false;
        }
        semantic.name = UpperCase(name);
        semantics.push_back(semantic);
        std::uint32_t location = 0;
        if (!IsSystemValue(semantic.name) && !QP_VaryingLocation(semantic.name.c_str(), semantic.index, &location))
            all.push_back(semantic);
    }
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());

    // Home location from the name alone; a taken one passes to the next free, in name order.
    constexpr std::uint32_t userCount = QP_MAX_VARYING_LOCATIONS - QP_FIRST_USER_VARYING_LOCATION;
    std::vector<std::uint32_t> userLocations(all.size(), QP_MAX_VARYING_LOCATIONS);
    bool userTaken[userCount] = {};
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::uint32_t home = SemanticHash(all[i].name, all[i].index) % userCount;
        for (std::uint32_t step = 0; step < userCount; ++step) {
            const std::uint32_t slot = (home + step) % userCount;
            if (!userTaken[slot]) {
                userTaken[slot] = true;
                userLocations[i] = QP_FIRST_USER_VARYING_LOCATION + slot;
                break;
            }
        }
    }

    bool taken[QP_MAX_VARYING_LOCATIONS] = {};
    for (std::size_t v = 0; v < semantics.size(); ++v) {
        const spirv_cross::Resource& variable = variables[v];
        const std::string& text = compiler.get_decoration_string(variable.id, spv::DecorationHlslSemanticGOOGLE);
        const Semantic& semantic = semantics[v];
        const std::uint32_t count = LocationCount(compiler, variable.type_id);
        std::uint32_t location = 0;
        if (!QP_VaryingLocation(semantic.name.c_str(), semantic.index, &location)) {
            if (IsSystemValue(semantic.name)) {
                errors += Message(text, "this system value cannot be passed between these stages");
                return false;
            }
            if (count != 1) {
                errors += Message(text, "a value with its own semantic passed between stages must be a scalar or a "
                                        "vector; give each row its own semantic");
                return false;
            }
            const std::size_t at = std::lower_bound(all.begin(), all.end(), semantic) - all.begin();
            location = userLocations[at];
            if (location >= QP_MAX_VARYING_LOCATIONS) {
                errors += Message(text, "no location is left between the stages for this semantic (the source "
                                        "declares more than " + std::to_string(userCount) +
                                        " semantics without a fixed location)");
                return false;
            }
        }
        for (std::uint32_t i = location; i < location + count; ++i) {
            if (i >= QP_MAX_VARYING_LOCATIONS || taken[i]) {
                errors += Message(text, i >= QP_MAX_VARYING_LOCATIONS
                                            ? "this value reaches past the last location between the stages"
                                            : "this value overlaps another one passed between the stages");
                return false;
            }
            taken[i] = true;
        }
        compiler.set_decoration(variable.id, spv::DecorationLocation, location);
    }
    return true;
}

// --- storage buffers ---------------------------------------------------------------------------
namespace {

// HLSL packs a structured buffer's elements tightly (4-byte alignment, no padding); GL's std430
// aligns vec3 and 3-row matrices to 16 bytes. True when the SPIR-V offsets and strides of the
// struct are the tight ones; *size is then the HLSL size.
bool TightStruct(const spirv_cross::CompilerGLSL& compiler, const spirv_cross::SPIRType& structType, std::uint32_t* size);

bool TightMember(const spirv_cross::CompilerGLSL& compiler, const spirv_cross::SPIRType& structType, std::uint32_t member,
                 std::uint32_t* size)
{
    const spirv_cross::SPIRType& type = compiler.get_type(structType.member_types[member]);
    std::uint32_t elementSize = 0;
    if (type.basetype == spirv_cross::SPIRType::Struct) {
        if (!TightStruct(compiler, type, &elementSize))
            return false;
    } else {
        if (type.width != 32)
            return false;
        elementSize = 4 * type.vecsize * type.columns;
        if (type.columns > 1) {
            const bool rowMajor = compiler.has_member_decoration(structType.self, member, spv::DecorationRowMajor);
            const std::uint32_t vectorSize = rowMajor ? type.columns : type.vecsize;
            if (compiler.type_struct_member_matrix_stride(structType, member) != 4 * vectorSize)
                return false;
        }
    }
    if (type.array.empty()) {
        *size = elementSize;
        return true;
    }
    std::uint32_t count = 1;
    for (std::size_t i = 0; i < type.array.size(); ++i)
        count *= type.array_size_literal[i] ? std::max(type.array[i], 1u) : 1u;
    if (compiler.type_struct_member_array_stride(structType, member) != elementSize)
        return false;
    *size = elementSize * count;
    return true;
}

bool TightStruct(const spirv_cross::CompilerGLSL& compiler, const spirv_cross::SPIRType& structType, std::uint32_t* size)
{
    std::uint32_t offset = 0;
    for (std::uint32_t member = 0; member < structType.member_types.size(); ++member) {
        std::uint32_t memberSize = 0;
        if (compiler.type_struct_member_offset(structType, member) != offset ||
            !TightMember(compiler, structType, member, &memberSize))
            return false;
        offset += memberSize;
    }
    *size = offset;
    return true;
}

} // namespace

bool QP_StageInterface::PlaceStorageBuffers(spirv_cross::CompilerGLSL& compiler,
                                            const spirv_cross::ShaderResources& resources, QP_ShaderStage stage,
                                            QP_ShaderInterface& shaderInterface, std::string& errors) const
{
    static const char* const readWrite =
        "read-write resources (RWStructuredBuffer, RWByteAddressBuffer, RWTexture, append and consume buffers) "
        "are not supported; StructuredBuffer, ByteAddressBuffer and textures are read-only";
    for (const spirv_cross::Resource& image : resources.storage_images) {
        errors += Message(compiler.get_name(image.id), readWrite);
        return false;
    }
    const std::uint32_t firstBinding = stage == QP_SHADER_STAGE_PIXEL ? 0 : QP_MAX_STORAGE_BUFFERS;
    for (const spirv_cross::Resource& buffer : resources.storage_buffers) {
        const std::string name = compiler.get_name(buffer.id).empty() ? buffer.name : compiler.get_name(buffer.id);
        if (!compiler.get_buffer_block_flags(buffer.id).get(spv::DecorationNonWritable)) {
            errors += Message(name, readWrite);
            return false;
        }
        if (shaderInterface.storageBufferCount >= QP_MAX_STORAGE_BUFFERS) {
            errors += Message(name, "too many buffers in one stage (" + std::to_string(QP_MAX_STORAGE_BUFFERS) +
                                        " at most)");
            return false;
        }
        const std::uint32_t slot = compiler.get_decoration(buffer.id, spv::DecorationBinding);
        if (slot >= QP_SHADER_RESOURCE_SLOT_COUNT) {
            errors += Message(name, "the register is outside t0-t15");
            return false;
        }
        for (std::uint32_t i = 0; i < shaderInterface.storageBufferCount; ++i) {
            if (shaderInterface.storageBuffers[i].slot == slot) {
                errors += Message(name, "two buffers share register t" + std::to_string(slot));
                return false;
            }
        }
        std::uint32_t size = 0;
        if (!TightStruct(compiler, compiler.get_type(buffer.base_type_id), &size)) {
            errors += Message(name, "the element type is laid out differently in GL (a float3, half or double "
                                    "member, or a matrix of 3 rows); use 4-component vectors or pad with floats");
            return false;
        }
        QP_ShaderStorageBuffer& entry = shaderInterface.storageBuffers[shaderInterface.storageBufferCount];
        entry.slot = slot;
        entry.binding = firstBinding + shaderInterface.storageBufferCount++;
        compiler.set_decoration(buffer.id, spv::DecorationBinding, entry.binding);
        compiler.unset_decoration(buffer.id, spv::DecorationDescriptorSet);
    }
    return true;
}

// --- legalisation of opaque locals -------------------------------------------------------------
namespace {

// The first variable in function or private storage whose type is or holds an image or a
// sampler, or the first value of such a type chosen at run time (a phi or a select, which GLSL
// cannot express either); its name in *name. False when there is none.
bool FindOpaqueLocal(const std::vector<std::uint32_t>& spirv, std::string* name)
{
    constexpr std::uint32_t opName = 5, opTypeImage = 25, opTypeSampler = 26, opTypeSampledImage = 27,
                            opTypeArray = 28, opTypeRuntimeArray = 29, opTypeStruct = 30, opTypePointer = 32,
                            opVariable = 59, opSelect = 169, opPhi = 245;
    constexpr std::uint32_t privateStorage = 6, functionStorage = 7;
    const std::size_t bound = spirv.size() >= 5 ? spirv[3] : 0;
    std::vector<bool> opaque(bound, false), opaquePointer(bound, false);
    std::uint32_t found = 0;
    for (std::size_t at = 5; at < spirv.size();) {
        const std::uint32_t words = spirv[at] >> 16, opcode = spirv[at] & 0xFFFF;
        if (words == 0 || at + words > spirv.size())
            break;
        const std::uint32_t* operands = spirv.data() + at + 1;
        auto isOpaque = [&](std::uint32_t id) { return id < bound && opaque[id]; };
        if ((opcode == opTypeImage || opcode == opTypeSampler || opcode == opTypeSampledImage) && words >= 2 &&
            operands[0] < bound) {
            opaque[operands[0]] = true;
        } else if ((opcode == opTypeArray || opcode == opTypeRuntimeArray) && words >= 3 && operands[0] < bound) {
            opaque[operands[0]] = isOpaque(operands[1]);
        } else if (opcode == opTypeStruct && words >= 2 && operands[0] < bound) {
            for (std::uint32_t i = 1; i + 1 < words; ++i)
                opaque[operands[0]] = opaque[operands[0]] || isOpaque(operands[i]);
        } else if (opcode == opTypePointer && words >= 4 && operands[0] < bound) {
            opaquePointer[operands[0]] =
                (operands[1] == privateStorage || operands[1] == functionStorage) && isOpaque(operands[2]);
        } else if (opcode == opVariable && words >= 4 && operands[0] < bound && opaquePointer[operands[0]] && !found) {
            found = operands[1];
        } else if ((opcode == opPhi || opcode == opSelect) && words >= 3 && isOpaque(operands[0]) && !found) {
            found = operands[1];
        }
        at += words;
    }
    if (!found)
        return false;
    if (name) {
        name->clear();
        for (std::size_t at = 5; at < spirv.size();) {
            const std::uint32_t words = spirv[at] >> 16, opcode = spirv[at] & 0xFFFF;
            if (words == 0 || at + words > spirv.size())
                break;
            if (opcode == opName && words >= 3 && spirv[at + 1] == found) {
                const char* text = reinterpret_cast<const char*>(spirv.data() + at + 2);
                *name = std::string(text, strnlen(text, (words - 2) * 4));
                break;
            }
            at += words;
        }
    }
    return true;
}

} // namespace

bool QP_StageInterface::LegaliseOpaqueLocals(std::vector<std::uint32_t>& spirv, std::string& errors) const
{
    if (!FindOpaqueLocal(spirv, nullptr))
        return true;
    std::string local;
    FindOpaqueLocal(spirv, &local); // named before the passes, which drop the names of what they remove
    // The passes assume a module that is valid apart from what legalisation removes; on anything
    // else (a local of another type than the value stored in it) they crash, so it is checked first.
    std::string invalid;
    spvtools::SpirvTools tools(SPV_ENV_VULKAN_1_0);
    tools.SetMessageConsumer([&invalid](spv_message_level_t, const char*, const spv_position_t&, const char* text) {
        invalid += text;
        invalid += ' ';
    });
    spvtools::ValidatorOptions validation;
    validation.SetBeforeHlslLegalization(true);
    validation.SetSkipBlockLayout(true);
    if (!tools.Validate(spirv.data(), spirv.size(), validation)) {
        errors += Message(local.empty() ? entryPoint : local,
                          "a texture or sampler copied into a local does not match its value: " + invalid);
        return false;
    }
    spvtools::Optimizer optimizer(SPV_ENV_VULKAN_1_0);
    std::string messages;
    optimizer.SetMessageConsumer([&messages](spv_message_level_t, const char*, const spv_position_t&, const char* text) {
        messages += text;
        messages += ' ';
    });
    optimizer.RegisterLegalizationPasses();
    spvtools::OptimizerOptions options;
    options.set_run_validator(false);
    std::vector<std::uint32_t> legal;
    if (!optimizer.Run(spirv.data(), spirv.size(), &legal, options)) {
        errors += Message(local.empty() ? entryPoint : local,
                          "a texture or sampler copied into a local could not be forwarded to its uses: " + messages);
        return false;
    }
    std::string left;
    if (FindOpaqueLocal(legal, &left)) {
        local = left.empty() ? local : left;
        errors += Message(local.empty() ? entryPoint : local,
                          "a texture or sampler chosen at run time cannot be expressed in GLSL; index the texture "
                          "array where it is sampled instead");
        return false;
    }
    spirv.swap(legal);
    return true;
}

// --- the pixel position ------------------------------------------------------------------------
namespace {

constexpr std::uint32_t kOpTypeFloat = 22, kOpTypeVector = 23, kOpTypePointer = 32, kOpVariable = 59, kOpLoad = 61,
                        kOpDecorate = 71, kOpVectorShuffle = 79, kOpCompositeExtract = 81;
constexpr std::uint32_t kDecorationBuiltIn = 11, kBuiltInFragCoord = 15, kStorageInput = 1;

struct Instruction
{
    std::size_t at; // its first word
    std::uint32_t opcode, words;
};

std::vector<Instruction> Instructions(const std::vector<std::uint32_t>& spirv)
{
    std::vector<Instruction> list;
    for (std::size_t at = 5; at < spirv.size();) {
        const std::uint32_t words = spirv[at] >> 16, opcode = spirv[at] & 0xFFFF;
        if (words == 0 || at + words > spirv.size())
            break;
        list.push_back({at, opcode, words});
        at += words;
    }
    return list;
}

} // namespace

void QP_StageInterface::WidenPixelPosition(std::vector<std::uint32_t>& spirv)
{
    if (spirv.size() < 5)
        return;
    const std::vector<Instruction> list = Instructions(spirv);
    std::vector<std::uint32_t> positions; // ids decorated FragCoord
    for (const Instruction& instruction : list) {
        if (instruction.opcode == kOpDecorate && instruction.words >= 4 && spirv[instruction.at + 2] == kDecorationBuiltIn &&
            spirv[instruction.at + 3] == kBuiltInFragCoord)
            positions.push_back(spirv[instruction.at + 1]);
    }
    if (positions.empty())
        return;
    // The narrow variable: its pointer type, the value type (a float or a vector of under 4).
    std::uint32_t variable = 0, narrowType = 0, componentType = 0, components = 0;
    std::size_t variableAt = 0;
    for (const Instruction& instruction : list) {
        if (instruction.opcode != kOpVariable || instruction.words < 4 || spirv[instruction.at + 3] != kStorageInput ||
            std::find(positions.begin(), positions.end(), spirv[instruction.at + 2]) == positions.end())
            continue;
        const std::uint32_t pointer = spirv[instruction.at + 1];
        for (const Instruction& type : list) {
            if (type.opcode == kOpTypePointer && type.words == 4 && spirv[type.at + 1] == pointer)
                narrowType = spirv[type.at + 3];
        }
        for (const Instruction& type : list) {
            if (type.opcode == kOpTypeVector && type.words == 4 && spirv[type.at + 1] == narrowType) {
                componentType = spirv[type.at + 2];
                components = spirv[type.at + 3];
            } else if (type.opcode == kOpTypeFloat && type.words == 3 && spirv[type.at + 1] == narrowType) {
                componentType = narrowType;
                components = 1;
            }
        }
        variable = spirv[instruction.at + 2];
        variableAt = instruction.at;
        break;
    }
    if (!variable || components == 0 || components >= 4)
        return;
    // The vec4 and its input pointer, made where the module lacks them, right before the variable.
    // An existing one may follow the variable: the variable then moves after it.
    std::uint32_t bound = spirv[3];
    std::uint32_t wide = 0, widePointer = 0;
    std::size_t placeAt = variableAt;
    for (const Instruction& type : list) {
        if (type.opcode == kOpTypeVector && type.words == 4 && spirv[type.at + 2] == componentType && spirv[type.at + 3] == 4) {
            wide = spirv[type.at + 1];
            placeAt = std::max(placeAt, type.at);
        }
    }
    std::vector<std::uint32_t> types;
    if (!wide) {
        wide = bound++;
        types.insert(types.end(), {(4u << 16) | kOpTypeVector, wide, componentType, 4});
    }
    for (const Instruction& type : list) {
        if (type.opcode == kOpTypePointer && type.words == 4 && spirv[type.at + 2] == kStorageInput &&
            spirv[type.at + 3] == wide) {
            widePointer = spirv[type.at + 1];
            placeAt = std::max(placeAt, type.at);
        }
    }
    if (!widePointer) {
        widePointer = bound++;
        types.insert(types.end(), {(4u << 16) | kOpTypePointer, widePointer, kStorageInput, wide});
    }
    std::vector<std::uint32_t> out(spirv.begin(), spirv.begin() + 5);
    out.reserve(spirv.size() + types.size() + 16);
    for (const Instruction& instruction : list) {
        const std::uint32_t* words = spirv.data() + instruction.at;
        if (instruction.opcode == kOpLoad && instruction.words >= 4 && words[3] == variable) {
            // %narrow = OpLoad %type %variable -> %whole = OpLoad %vec4 %variable, then the
            // declared components of it under the old result id.
            const std::uint32_t whole = bound++;
            out.insert(out.end(), {words[0], wide, whole});
            out.insert(out.end(), words + 3, words + instruction.words);
            if (components == 1) {
                out.insert(out.end(), {(5u << 16) | kOpCompositeExtract, narrowType, words[2], whole, 0});
            } else {
                out.insert(out.end(), {((5u + components) << 16) | kOpVectorShuffle, narrowType, words[2], whole, whole});
                for (std::uint32_t component = 0; component < components; ++component)
                    out.push_back(component);
            }
            continue;
        }
        if (instruction.at != variableAt)
            out.insert(out.end(), words, words + instruction.words);
        if (instruction.at == placeAt) {
            const std::uint32_t* declaration = spirv.data() + variableAt;
            out.insert(out.end(), types.begin(), types.end());
            out.insert(out.end(), {declaration[0], widePointer, variable, declaration[3]});
            out.insert(out.end(), declaration + 4, declaration + (declaration[0] >> 16));
        }
    }
    out[3] = bound;
    spirv.swap(out);
}
