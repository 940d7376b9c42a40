#pragma once
// Register assignment for one compiled entry point, as the HLSL compiler of the platform does it:
// only the resources the entry point uses count; one with an explicit register (register(b2))
// keeps it; the others take the lowest free register of their class, in declaration order.
// Classes: b for constant buffers, t for textures and structured buffers (one namespace, so pass
// both kinds in one Assign call), s for samplers. The block of globals outside any cbuffer
// ("$Global") comes before the other constant buffers without a register, so it gets b0 when
// b0 is free. An array of textures takes one register per element, consecutive.
//
// Use, in the compile chain:
//   1. after the front end has parsed: registers.ReadDeclarations(*shader.getIntermediate());
//   2. in the GLSL writer, with the active resources (get_shader_resources(active)):
//        registers.Assign(compiler, {&resources.sampled_images, &resources.separate_images,
//                                    &resources.storage_buffers}, 't', QP_SHADER_RESOURCE_SLOT_COUNT, errors);
//      Assign writes each register into the resource's Binding decoration, so later steps read
//      get_decoration(id, spv::DecorationBinding) as the register number.
// Internal to frame/qp: it uses the front end's parse tree and the cross compiler's types.

#include <spirv_cross/spirv_cross.hpp>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace glslang {
class TIntermediate;
}

class QP_ShaderRegisters
{
public:
    // Records every global resource the text declares: its name, its place in the text and its
    // explicit register, if any. Call after a successful parse.
    void ReadDeclarations(const glslang::TIntermediate& intermediate);

    // Gives every resource in lists a register of registerClass ('b', 't' or 's') below
    // slotCount and writes it as the resource's Binding decoration. Fails, with a message naming
    // the resources, when two explicit registers clash, a register is out of range or no
    // register is left.
    bool Assign(spirv_cross::Compiler& compiler,
                std::initializer_list<const spirv_cross::SmallVector<spirv_cross::Resource>*> lists, char registerClass,
                std::uint32_t slotCount, std::string& errors) const;

    // The name a declaration is known by: the variable's name, or the block's type name for a
    // cbuffer (whose variable has no name).
    static std::string ResourceName(const spirv_cross::Compiler& compiler, const spirv_cross::Resource& resource);

private:
    struct Declaration
    {
        std::string name;
        std::int32_t explicitRegister; // -1: none
        std::string where;             // "file:line: " for messages, or empty
    };
    std::vector<Declaration> declarations; // in the order of the text
};
