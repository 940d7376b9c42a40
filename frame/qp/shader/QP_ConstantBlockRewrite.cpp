// The constant block rewrite, on the SPIR-V words themselves.
// Sections: reading the module, float twins of block types, rewriting function bodies,
// writing the module back.
// New types, constants and decorations are appended where their section ends; a block variable
// whose type changed moves behind the new types, since a definition must come before its use.

#include "QP_ConstantBlockRewrite.h"

#include <spirv_cross/spirv.hpp>

#include <algorithm>

namespace {

constexpr std::uint32_t spirvMagic = 0x07230203u;
constexpr std::uint32_t headerWords = 5;
constexpr std::uint32_t storageUniform = spv::StorageClassUniform;
// A struct or array loaded at once becomes one load per scalar, vector or matrix inside it; past
// this many the shader is refused rather than grown without bound.
constexpr std::uint32_t maxLeafLoads = 16384;

bool IsTypeDeclaration(std::uint32_t opcode)
{
    return opcode >= spv::OpTypeVoid && opcode <= spv::OpTypeForwardPointer;
}

bool IsAnnotation(std::uint32_t opcode)
{
    return opcode == spv::OpDecorate || opcode == spv::OpMemberDecorate || opcode == spv::OpDecorationGroup ||
           opcode == spv::OpGroupDecorate || opcode == spv::OpGroupMemberDecorate || opcode == spv::OpDecorateId ||
           opcode == spv::OpDecorateString || opcode == spv::OpMemberDecorateString;
}

// Instructions that may take a pointer without loading through it: a block pointer reaching one of
// them cannot follow the block's new types.
bool PassesPointerOn(std::uint32_t opcode)
{
    return opcode == spv::OpStore || opcode == spv::OpFunctionCall || opcode == spv::OpCopyMemory ||
           opcode == spv::OpCopyMemorySized || opcode == spv::OpPtrAccessChain ||
           opcode == spv::OpInBoundsPtrAccessChain || opcode == spv::OpCopyObject || opcode == spv::OpArrayLength ||
           opcode == spv::OpPhi || opcode == spv::OpSelect || opcode == spv::OpPtrEqual ||
           opcode == spv::OpPtrNotEqual || opcode == spv::OpPtrDiff || opcode == spv::OpImageTexelPointer ||
           (opcode >= spv::OpAtomicLoad && opcode <= spv::OpAtomicXor);
}

std::string LiteralString(const std::vector<std::uint32_t>& words, std::size_t first)
{
    std::string text;
    for (std::size_t i = first; i < words.size(); ++i) {
        for (int byte = 0; byte < 4; ++byte) {
            const char c = static_cast<char>((words[i] >> (8 * byte)) & 0xFFu);
            if (c == '\0')
                return text;
            text += c;
        }
    }
    return text;
}

} // namespace

// --- reading the module ------------------------------------------------------------------------
bool QP_ConstantBlockRewrite::Parse(const std::vector<std::uint32_t>& spirv, std::string& errors)
{
    if (spirv.size() < headerWords || spirv[0] != spirvMagic) {
        errors += "Constant buffer rewrite: not a SPIR-V module.\n";
        return false;
    }
    header.assign(spirv.begin(), spirv.begin() + headerWords);
    bound = header[3];
    functionStart = 0;
    bool inFunctions = false;
    for (std::size_t at = headerWords; at < spirv.size();) {
        const std::uint32_t count = spirv[at] >> 16;
        if (count == 0 || count > spirv.size() - at) {
            errors += "Constant buffer rewrite: malformed instruction at word " + std::to_string(at) + ".\n";
            return false;
        }
        Instruction instruction;
        instruction.words.assign(spirv.begin() + static_cast<std::ptrdiff_t>(at),
                                 spirv.begin() + static_cast<std::ptrdiff_t>(at + count));
        if (!inFunctions && instruction.Opcode() == spv::OpFunction) {
            inFunctions = true;
            functionStart = instructions.size();
        }
        instructions.push_back(std::move(instruction));
        at += count;
    }
    if (!inFunctions)
        functionStart = instructions.size();
    return true;
}

void QP_ConstantBlockRewrite::Index()
{
    std::vector<std::uint32_t> blockStructs;
    for (std::size_t i = 0; i < functionStart; ++i) {
        const std::vector<std::uint32_t>& words = instructions[i].words;
        const std::uint32_t opcode = instructions[i].Opcode();
        if (opcode == spv::OpName && words.size() >= 3) {
            names[words[1]] = LiteralString(words, 2);
        } else if (opcode == spv::OpDecorate && words.size() >= 3) {
            decorationsOf[words[1]].push_back(i);
            if (words[2] == spv::DecorationBlock)
                blockStructs.push_back(words[1]);
        } else if (opcode == spv::OpMemberDecorate && words.size() >= 4) {
            memberDecorationsOf[words[1]].push_back(i);
        } else if (opcode == spv::OpMemberName && words.size() >= 4) {
            memberNamesOf[words[1]].push_back(i);
        } else if (IsTypeDeclaration(opcode) && words.size() >= 2) {
            definitions[words[1]] = i;
        } else if (opcode == spv::OpConstant && words.size() >= 4) {
            definitions[words[2]] = i;
        }
    }
    // Uniform variables of Block structs are constant buffers (storage buffers are BufferBlock).
    for (std::size_t i = 0; i < functionStart; ++i) {
        const std::vector<std::uint32_t>& words = instructions[i].words;
        if (instructions[i].Opcode() != spv::OpVariable || words.size() < 4 || words[3] != storageUniform)
            continue;
        const auto pointer = definitions.find(words[1]);
        if (pointer == definitions.end() || instructions[pointer->second].Opcode() != spv::OpTypePointer)
            continue;
        const std::uint32_t pointee = instructions[pointer->second].words[3];
        if (std::find(blockStructs.begin(), blockStructs.end(), pointee) != blockStructs.end())
            blockOfVariable[words[2]] = pointee;
    }
}

std::string QP_ConstantBlockRewrite::BlockName(std::uint32_t variable) const
{
    const auto block = blockOfVariable.find(variable);
    if (block != blockOfVariable.end()) {
        const auto name = names.find(block->second);
        if (name != names.end() && !name->second.empty())
            return name->second;
    }
    const auto name = names.find(variable);
    return name != names.end() ? name->second : std::to_string(variable);
}

bool QP_ConstantBlockRewrite::Fail(std::uint32_t variable, const std::string& what, std::string& errors)
{
    errors += "Constant buffer '" + BlockName(variable) + "': " + what + "\n";
    return false;
}

// --- float twins of block types ----------------------------------------------------------------
std::uint32_t QP_ConstantBlockRewrite::FindOrAddType(std::vector<std::uint32_t> words)
{
    const std::uint32_t opcode = words[0];
    words[0] = static_cast<std::uint32_t>(words.size() << 16) | opcode;
    auto same = [&](const Instruction& instruction) {
        return instruction.words.size() == words.size() && instruction.words[0] == words[0] &&
               std::equal(words.begin() + 2, words.end(), instruction.words.begin() + 2);
    };
    for (std::size_t i = 0; i < functionStart; ++i) {
        if (same(instructions[i]))
            return instructions[i].words[1];
    }
    for (const Instruction& instruction : addedGlobals) {
        if (same(instruction))
            return instruction.words[1];
    }
    words[1] = bound++;
    addedGlobals.push_back({words});
    return words[1];
}

std::uint32_t QP_ConstantBlockRewrite::FloatType()
{
    return FindOrAddType({spv::OpTypeFloat, 0, 32});
}

std::uint32_t QP_ConstantBlockRewrite::UniformPointer(std::uint32_t pointee)
{
    // Asked for once per member load: remembered, so a long array costs no search per element.
    std::uint32_t& pointer = uniformPointers[pointee];
    if (!pointer)
        pointer = FindOrAddType({spv::OpTypePointer, 0, storageUniform, pointee});
    return pointer;
}

std::uint32_t QP_ConstantBlockRewrite::IntConstant(std::uint32_t value)
{
    const auto known = intConstants.find(value);
    if (known != intConstants.end())
        return known->second;
    const std::uint32_t intType = FindOrAddType({spv::OpTypeInt, 0, 32, 1});
    // Constants share the type's search: result type first, then the id (words 1 and 2).
    auto same = [&](const Instruction& instruction) {
        return instruction.Opcode() == spv::OpConstant && instruction.words.size() == 4 &&
               instruction.words[1] == intType && instruction.words[3] == value;
    };
    for (std::size_t i = 0; i < functionStart; ++i) {
        if (same(instructions[i]))
            return intConstants[value] = instructions[i].words[2];
    }
    const std::uint32_t id = bound++;
    intConstants[value] = id;
    addedGlobals.push_back({{(4u << 16) | spv::OpConstant, intType, id, value}});
    return id;
}

bool QP_ConstantBlockRewrite::ArrayLength(std::uint32_t lengthId, std::uint32_t* length) const
{
    const auto definition = definitions.find(lengthId);
    if (definition == definitions.end())
        return false;
    const Instruction& constant = instructions[definition->second];
    if (constant.Opcode() != spv::OpConstant || constant.words.size() != 4)
        return false;
    *length = constant.words[3];
    return true;
}

std::uint32_t QP_ConstantBlockRewrite::TwinType(std::uint32_t type)
{
    const auto known = twins.find(type);
    if (known != twins.end())
        return known->second;
    const auto definition = definitions.find(type);
    if (definition == definitions.end()) {
        unsupported = "a member type is not a plain type";
        return 0;
    }
    const std::vector<std::uint32_t> words = instructions[definition->second].words;
    std::uint32_t twin = 0;
    switch (instructions[definition->second].Opcode()) {
    case spv::OpTypeFloat:
        if (words[2] == 32)
            twin = type;
        else
            unsupported = "members of " + std::to_string(words[2]) + "-bit floating point types are not supported";
        break;
    case spv::OpTypeInt:
        if (words[2] == 32)
            twin = FloatType();
        else
            unsupported = "members of " + std::to_string(words[2]) + "-bit integer types are not supported";
        break;
    case spv::OpTypeVector: {
        const std::uint32_t component = TwinType(words[2]);
        if (component)
            twin = component == words[2] ? type : FindOrAddType({spv::OpTypeVector, 0, component, words[3]});
        break;
    }
    case spv::OpTypeMatrix:
        if (TwinType(words[2]) == words[2])
            twin = type;
        else if (unsupported.empty())
            unsupported = "integer matrices are not supported";
        break;
    case spv::OpTypeArray: {
        const std::uint32_t element = TwinType(words[2]);
        if (element == words[2]) {
            twin = type;
        } else if (element) {
            twin = bound++;
            addedGlobals.push_back({{(4u << 16) | spv::OpTypeArray, twin, element, words[3]}});
        }
        break;
    }
    case spv::OpTypeStruct: {
        std::vector<std::uint32_t> members(words.begin() + 2, words.end());
        bool same = true;
        for (std::uint32_t& member : members) {
            const std::uint32_t memberTwin = TwinType(member);
            if (!memberTwin)
                return 0;
            same = same && memberTwin == member;
            member = memberTwin;
        }
        if (same) {
            twin = type;
        } else {
            twin = bound++;
            std::vector<std::uint32_t> structWords = {static_cast<std::uint32_t>((members.size() + 2) << 16) | spv::OpTypeStruct, twin};
            structWords.insert(structWords.end(), members.begin(), members.end());
            addedGlobals.push_back({structWords});
        }
        break;
    }
    default:
        unsupported = "a member of this kind (SPIR-V type " + std::to_string(instructions[definition->second].Opcode()) +
                      ") is not supported";
        break;
    }
    if (twin && twin != type) {
        // Offsets, strides, matrix order, Block and the names go with the copy.
        auto copy = [&](const std::unordered_map<std::uint32_t, std::vector<std::size_t>>& index, std::vector<Instruction>& to) {
            const auto found = index.find(type);
            if (found == index.end())
                return;
            for (std::size_t at : found->second) {
                Instruction instruction = instructions[at];
                instruction.words[1] = twin;
                to.push_back(std::move(instruction));
            }
        };
        copy(decorationsOf, addedDecorations);
        copy(memberDecorationsOf, addedDecorations);
        copy(memberNamesOf, addedNames);
        const auto name = names.find(type);
        if (name != names.end()) {
            for (std::size_t i = 0; i < functionStart; ++i) {
                if (instructions[i].Opcode() == spv::OpName && instructions[i].words[1] == type) {
                    Instruction instruction = instructions[i];
                    instruction.words[1] = twin;
                    addedNames.push_back(std::move(instruction));
                    break;
                }
            }
            names[twin] = name->second;
        }
    }
    if (twin)
        twins[type] = twin;
    return twin;
}

// --- rewriting function bodies -----------------------------------------------------------------
// Pointers into a block are kept as the block variable and the full list of indices: chains are
// merged, and a chain to a struct or array is never written (the flattened block cannot name
// one); the loads through it become loads of its members.
std::uint32_t QP_ConstantBlockRewrite::Expand(const Chain& chain, std::uint32_t type, std::uint32_t result,
                                              const std::vector<std::uint32_t>& memoryOperands, std::vector<Instruction>& out)
{
    const std::vector<std::uint32_t>& words = instructions[definitions[type]].words;
    const std::uint32_t opcode = words[0] & 0xFFFFu;
    if (opcode == spv::OpTypeStruct || opcode == spv::OpTypeArray) {
        std::uint32_t count = static_cast<std::uint32_t>(words.size() - 2);
        if (opcode == spv::OpTypeArray && !ArrayLength(words[3], &count))
            return 0;
        std::vector<std::uint32_t> construct = {0, type, result ? result : bound++};
        for (std::uint32_t i = 0; i < count; ++i) {
            Chain member = chain;
            member.indices.push_back(IntConstant(i));
            const std::uint32_t value =
                Expand(member, opcode == spv::OpTypeStruct ? words[2 + i] : words[2], 0, memoryOperands, out);
            if (!value)
                return 0;
            construct.push_back(value);
        }
        construct[0] = static_cast<std::uint32_t>(construct.size() << 16) | spv::OpCompositeConstruct;
        out.push_back({construct});
        return construct[2];
    }
    if (++leafLoads > maxLeafLoads)
        return 0;
    const std::uint32_t twin = TwinType(type);
    const std::uint32_t pointer = bound++;
    std::vector<std::uint32_t> access = {0, UniformPointer(twin), pointer, chain.variable};
    access.insert(access.end(), chain.indices.begin(), chain.indices.end());
    access[0] = static_cast<std::uint32_t>(access.size() << 16) | spv::OpAccessChain;
    out.push_back({access});
    const std::uint32_t loaded = twin == type && result ? result : bound++;
    std::vector<std::uint32_t> load = {static_cast<std::uint32_t>((4 + memoryOperands.size()) << 16) | spv::OpLoad, twin,
                                       loaded, pointer};
    load.insert(load.end(), memoryOperands.begin(), memoryOperands.end());
    out.push_back({load});
    if (twin == type)
        return loaded;
    const std::uint32_t value = result ? result : bound++;
    out.push_back({{(4u << 16) | spv::OpBitcast, type, value, loaded}});
    return value;
}

bool QP_ConstantBlockRewrite::RewriteFunctions(std::string& errors)
{
    std::unordered_map<std::uint32_t, Chain> chains; // pointer into a block -> variable and indices
    for (const auto& [variable, block] : blockOfVariable) {
        unsupported.clear();
        const std::uint32_t twin = TwinType(block);
        if (!twin)
            return Fail(variable, unsupported.empty() ? "its member types cannot be flattened" : unsupported, errors);
        chains[variable] = {variable, {}};
        if (twin == block)
            continue;
        for (std::size_t i = 0; i < functionStart; ++i) {
            std::vector<std::uint32_t>& words = instructions[i].words;
            if (instructions[i].Opcode() == spv::OpVariable && words[2] == variable) {
                words[1] = UniformPointer(twin);
                movedVariables.push_back(i);
            }
        }
        changed = true;
    }
    if (blockOfVariable.empty())
        return true;

    std::vector<Instruction> out;
    out.reserve(instructions.size() - functionStart);
    for (std::size_t i = functionStart; i < instructions.size(); ++i) {
        Instruction& instruction = instructions[i];
        std::vector<std::uint32_t>& words = instruction.words;
        const std::uint32_t opcode = instruction.Opcode();
        if ((opcode == spv::OpAccessChain || opcode == spv::OpInBoundsAccessChain) && words.size() >= 4 &&
            chains.count(words[3])) {
            Chain chain = chains[words[3]];
            chain.indices.insert(chain.indices.end(), words.begin() + 4, words.end());
            const std::uint32_t pointee = instructions[definitions[words[1]]].words[3];
            const std::uint32_t pointeeOpcode = instructions[definitions[pointee]].Opcode();
            const std::uint32_t twin = TwinType(pointee);
            if (!twin)
                return Fail(chain.variable, unsupported, errors);
            const bool merged = words[3] != chain.variable;
            chains[words[2]] = chain;
            if (pointeeOpcode == spv::OpTypeStruct || pointeeOpcode == spv::OpTypeArray) {
                changed = true;
                continue;
            }
            if (twin != pointee || merged) {
                std::vector<std::uint32_t> access = {0, UniformPointer(twin), words[2], chain.variable};
                access.insert(access.end(), chain.indices.begin(), chain.indices.end());
                access[0] = static_cast<std::uint32_t>(access.size() << 16) | spv::OpAccessChain;
                words = std::move(access);
                changed = true;
            }
        } else if (opcode == spv::OpLoad && words.size() >= 4 && chains.count(words[3])) {
            const Chain& chain = chains[words[3]];
            if (chain.indices.empty())
                return Fail(chain.variable, "the whole buffer is read as one value, which cannot be flattened", errors);
            const std::uint32_t type = words[1];
            const std::uint32_t typeOpcode = instructions[definitions[type]].Opcode();
            const std::vector<std::uint32_t> memoryOperands(words.begin() + 4, words.end());
            if (typeOpcode == spv::OpTypeStruct || typeOpcode == spv::OpTypeArray) {
                if (!Expand(chain, type, words[2], memoryOperands, out)) {
                    return Fail(chain.variable,
                                leafLoads > maxLeafLoads ? "too many values are read at once (a struct or array of over " +
                                                                std::to_string(maxLeafLoads) + " members)"
                                                          : "an array read at once has no constant length",
                                errors);
                }
                changed = true;
                continue;
            }
            const std::uint32_t twin = TwinType(type);
            if (twin != type) {
                const std::uint32_t loaded = bound++;
                std::vector<std::uint32_t> load = {words[0], twin, loaded, words[3]};
                load.insert(load.end(), memoryOperands.begin(), memoryOperands.end());
                out.push_back({load});
                out.push_back({{(4u << 16) | spv::OpBitcast, type, words[2], loaded}});
                changed = true;
                continue;
            }
        } else if (PassesPointerOn(opcode)) {
            for (std::size_t w = 1; w < words.size(); ++w) {
                const auto found = chains.find(words[w]);
                if (found != chains.end())
                    return Fail(found->second.variable,
                                "a reference into the buffer is passed on or copied (SPIR-V opcode " +
                                    std::to_string(opcode) + "), which cannot be flattened",
                                errors);
            }
        }
        out.push_back(std::move(instruction));
    }
    instructions.resize(functionStart);
    instructions.insert(instructions.end(), std::make_move_iterator(out.begin()), std::make_move_iterator(out.end()));
    return true;
}

// --- writing the module back -------------------------------------------------------------------
void QP_ConstantBlockRewrite::Assemble(std::vector<std::uint32_t>& spirv) const
{
    std::size_t lastName = functionStart, lastAnnotation = functionStart;
    for (std::size_t i = 0; i < functionStart; ++i) {
        const std::uint32_t opcode = instructions[i].Opcode();
        if (opcode == spv::OpName || opcode == spv::OpMemberName)
            lastName = i;
        if (IsAnnotation(opcode))
            lastAnnotation = i;
    }
    spirv = header;
    spirv[3] = bound;
    auto append = [&spirv](const Instruction& instruction) {
        spirv.insert(spirv.end(), instruction.words.begin(), instruction.words.end());
    };
    for (std::size_t i = 0; i < functionStart; ++i) {
        if (std::find(movedVariables.begin(), movedVariables.end(), i) == movedVariables.end())
            append(instructions[i]);
        if (i == lastName)
            std::for_each(addedNames.begin(), addedNames.end(), append);
        if (i == lastAnnotation)
            std::for_each(addedDecorations.begin(), addedDecorations.end(), append);
    }
    std::for_each(addedGlobals.begin(), addedGlobals.end(), append);
    for (std::size_t i : movedVariables)
        append(instructions[i]);
    for (std::size_t i = functionStart; i < instructions.size(); ++i)
        append(instructions[i]);
}

bool QP_ConstantBlockRewrite::Run(std::vector<std::uint32_t>& spirv, std::string& errors)
{
    changed = false;
    if (!Parse(spirv, errors))
        return false;
    Index();
    if (!RewriteFunctions(errors))
        return false;
    if (changed)
        Assemble(spirv);
    return true;
}
