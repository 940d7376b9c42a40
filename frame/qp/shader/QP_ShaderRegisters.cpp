// Register assignment: declarations read from the front end's parse tree, registers written into
// the SPIR-V Binding decorations the GLSL writer reads.

#include "QP_ShaderRegisters.h"

#define ENABLE_HLSL 1
#include <glslang/MachineIndependent/localintermediate.h>

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace {

// The front end names the block of globals outside any cbuffer so.
const char* const globalBlockName = "$Global";

struct Request
{
    std::uint32_t id;
    std::string name;
    std::size_t order;
    std::int32_t explicitRegister;
    std::string where; // "file:line: " of the declaration, or empty
    std::uint32_t count; // registers taken: an array of textures takes one per element
    std::uint32_t slot;
};

std::string Quoted(const std::string& name)
{
    return "'" + name + "'";
}

// Where each global is first used in the parse tree, by symbol id.
class FirstUses : public glslang::TIntermTraverser
{
public:
    void visitSymbol(glslang::TIntermSymbol* symbol) override
    {
        if (symbol->getLoc().line > 0)
            uses.emplace(symbol->getId(), symbol->getLoc());
    }

    glslang::TSourceLoc Find(long long id) const
    {
        const auto found = uses.find(id);
        if (found != uses.end())
            return found->second;
        glslang::TSourceLoc none;
        none.init();
        return none;
    }

private:
    std::unordered_map<long long, glslang::TSourceLoc> uses;
};

} // namespace

void QP_ShaderRegisters::ReadDeclarations(const glslang::TIntermediate& intermediate)
{
    declarations.clear();
    const glslang::TIntermAggregate* root = intermediate.getTreeRoot() ? intermediate.getTreeRoot()->getAsAggregate()
                                                                       : nullptr;
    if (!root)
        return;
    FirstUses firstUses;
    const_cast<glslang::TIntermAggregate*>(root)->traverse(&firstUses); // traversal does not change the tree
    // The linker objects list every global the text declares, in the order of the text.
    for (const TIntermNode* node : root->getSequence()) {
        const glslang::TIntermAggregate* objects = node ? node->getAsAggregate() : nullptr;
        if (!objects || objects->getOp() != glslang::EOpLinkerObjects)
            continue;
        for (const TIntermNode* object : objects->getSequence()) {
            const glslang::TIntermSymbol* symbol = object ? object->getAsSymbolNode() : nullptr;
            if (!symbol)
                continue;
            const glslang::TType& type = symbol->getType();
            const glslang::TQualifier& qualifier = type.getQualifier();
            if (qualifier.storage != glslang::EvqUniform && qualifier.storage != glslang::EvqBuffer)
                continue;
            // A cbuffer's variable has no name of its own ("anon@n"); it is known by its type name.
            std::string name = symbol->getName().c_str();
            if ((name.empty() || name.rfind("anon@", 0) == 0) && type.getBasicType() == glslang::EbtBlock)
                name = type.getTypeName().c_str();
            Declaration declaration = {name, qualifier.hasBinding() ? static_cast<std::int32_t>(qualifier.layoutBinding) : -1, ""};
            // The list itself carries no lines: a cbuffer is placed by its first member, anything
            // else by its first use.
            glslang::TSourceLoc where = firstUses.Find(symbol->getId());
            if (type.getBasicType() == glslang::EbtBlock && type.getStruct() && !type.getStruct()->empty())
                where = (*type.getStruct())[0].loc;
            if (where.line > 0)
                declaration.where = where.getStringNameOrNum(false) + ":" + std::to_string(where.line) + ": ";
            declarations.push_back(declaration);
        }
    }
}

std::string QP_ShaderRegisters::ResourceName(const spirv_cross::Compiler& compiler, const spirv_cross::Resource& resource)
{
    const std::string& name = compiler.get_name(resource.id);
    return name.empty() ? compiler.get_name(resource.base_type_id) : name;
}

bool QP_ShaderRegisters::Assign(spirv_cross::Compiler& compiler,
                                std::initializer_list<const spirv_cross::SmallVector<spirv_cross::Resource>*> lists,
                                char registerClass, std::uint32_t slotCount, std::string& errors) const
{
    std::vector<Request> requests;
    for (const spirv_cross::SmallVector<spirv_cross::Resource>* list : lists) {
        for (const spirv_cross::Resource& resource : *list) {
            Request request = {resource.id, ResourceName(compiler, resource), 0, -1, "", 1, 0};
            const spirv_cross::SPIRType& type = compiler.get_type(resource.type_id);
            if (!type.array.empty() && type.array_size_literal[0] && type.array[0] > 0)
                request.count = type.array[0];
            // Not found (a name the front end made up): after every declared one, in SPIR-V order.
            request.order = declarations.size() + 1 + requests.size();
            if (request.name == globalBlockName)
                request.order = 0;
            for (std::size_t i = 0; i < declarations.size(); ++i) {
                if (declarations[i].name == request.name) {
                    request.order = request.order == 0 ? 0 : i + 1;
                    request.explicitRegister = declarations[i].explicitRegister;
                    request.where = declarations[i].where;
                    break;
                }
            }
            requests.push_back(request);
        }
    }
    std::stable_sort(requests.begin(), requests.end(),
                     [](const Request& a, const Request& b) { return a.order < b.order; });

    // Explicit registers first: they are kept, so the others fill the gaps around them.
    std::vector<const Request*> owners(slotCount, nullptr);
    for (Request& request : requests) {
        if (request.explicitRegister < 0)
            continue;
        const std::uint32_t slot = static_cast<std::uint32_t>(request.explicitRegister);
        if (slot >= slotCount || request.count > slotCount - slot) {
            errors += "ERROR: " + request.where + "Register " + std::string(1, registerClass) + std::to_string(slot) + " of " + Quoted(request.name) +
                      " is outside the " + std::to_string(slotCount) + " slots of its class.\n";
            return false;
        }
        for (std::uint32_t i = slot; i < slot + request.count; ++i) {
            if (owners[i]) {
                errors += "ERROR: " + request.where + Quoted(owners[i]->name) + " and " + Quoted(request.name) + " share register " +
                          std::string(1, registerClass) + std::to_string(i) + ".\n";
                return false;
            }
            owners[i] = &request;
        }
        request.slot = slot;
    }
    for (Request& request : requests) {
        if (request.explicitRegister >= 0)
            continue;
        // The lowest run of free registers long enough for the resource.
        std::uint32_t first = 0, run = 0;
        for (std::uint32_t i = 0; i < slotCount && run < request.count; ++i) {
            run = owners[i] ? 0 : run + 1;
            first = run == 1 ? i : first;
        }
        if (run < request.count) {
            errors += "ERROR: " + request.where + "No free " + std::string(1, registerClass) + " register is left for " + Quoted(request.name) +
                      " (" + std::to_string(slotCount) + " slots).\n";
            return false;
        }
        for (std::uint32_t i = first; i < first + request.count; ++i)
            owners[i] = &request;
        request.slot = first;
    }
    for (const Request& request : requests)
        compiler.set_decoration(request.id, spv::DecorationBinding, request.slot);
    return true;
}
