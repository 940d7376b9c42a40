#pragma once
// A SPIR-V rewrite of constant buffer reads, run before the GLSL writer flattens each uniform
// block into a vec4 array read by HLSL byte offsets. Flattening needs two things the front end
// does not give:
//   - one basic type per block: int and uint members (HLSL bool is stored as uint) are retyped
//     to float of the same width in copies of the block's types (offsets and strides kept), and
//     every load of such a value is followed by a bitcast back. The device uploads the buffer's
//     bytes unchanged; GLSL reads them with floatBitsToInt/floatBitsToUint.
//   - loads of scalars, vectors and matrices only: a struct or array loaded at once (an array of
//     structs passed whole to a function) becomes per-member loads and a composite construct.
//     Access chains into a block are merged into one chain from the block variable, and chains
//     to a struct or array are not written at all: the flattened block cannot name either.
// Blocks decorated BufferBlock (storage buffers) are left alone. A shape it cannot rewrite
// (64-bit or 16-bit members, a block pointer handed to a function, ...) fails with a message
// naming the cbuffer.
//
// Use: QP_ConstantBlockRewrite rewrite; if (!rewrite.Run(spirv, errors)) fail;
//      rewrite.Changed() says whether the module was touched (validate it again then).
// Internal to frame/qp.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class QP_ConstantBlockRewrite
{
public:
    bool Run(std::vector<std::uint32_t>& spirv, std::string& errors);
    bool Changed() const { return changed; }

private:
    struct Instruction
    {
        std::vector<std::uint32_t> words;
        std::uint32_t Opcode() const { return words[0] & 0xFFFFu; }
    };

    bool Parse(const std::vector<std::uint32_t>& spirv, std::string& errors);
    void Index();
    std::uint32_t TwinType(std::uint32_t type);
    std::uint32_t FloatType();
    std::uint32_t FindOrAddType(std::vector<std::uint32_t> words);
    std::uint32_t UniformPointer(std::uint32_t pointee);
    std::uint32_t IntConstant(std::uint32_t value);
    bool ArrayLength(std::uint32_t lengthId, std::uint32_t* length) const;
    struct Chain
    {
        std::uint32_t variable;              // the block
        std::vector<std::uint32_t> indices; // ids of the access chain's indices from the block
    };

    std::uint32_t Expand(const Chain& chain, std::uint32_t type, std::uint32_t result,
                         const std::vector<std::uint32_t>& memoryOperands, std::vector<Instruction>& out);
    bool RewriteFunctions(std::string& errors);
    void Assemble(std::vector<std::uint32_t>& spirv) const;
    std::string BlockName(std::uint32_t variable) const;
    bool Fail(std::uint32_t variable, const std::string& what, std::string& errors);

    std::vector<std::uint32_t> header;
    std::vector<Instruction> instructions;
    std::size_t functionStart = 0; // index of the first OpFunction
    std::uint32_t bound = 0;

    std::unordered_map<std::uint32_t, std::size_t> definitions; // type/constant id -> instruction
    std::unordered_map<std::uint32_t, std::string> names;
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> decorationsOf;       // OpDecorate by target
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> memberDecorationsOf; // OpMemberDecorate by struct
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> memberNamesOf;       // OpMemberName by struct
    std::unordered_map<std::uint32_t, std::uint32_t> blockOfVariable; // block variable -> its struct
    std::unordered_map<std::uint32_t, std::uint32_t> twins;           // type -> float twin
    std::unordered_map<std::uint32_t, std::uint32_t> uniformPointers; // pointee -> Uniform pointer type
    std::unordered_map<std::uint32_t, std::uint32_t> intConstants;    // value -> 32-bit int constant

    // Made here, placed where their section ends.
    std::vector<Instruction> addedNames;
    std::vector<Instruction> addedDecorations;
    std::vector<Instruction> addedGlobals;
    std::vector<std::uint32_t> movedVariables; // retyped block variables, placed after addedGlobals

    std::string unsupported;      // why TwinType failed
    std::uint32_t leafLoads = 0;  // loads made by Expand, checked against a cap
    bool changed = false;
};
