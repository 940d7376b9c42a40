#pragma once
// The interface of one compiled stage with its neighbours: where its inputs and outputs live, the
// read-only storage buffers it reads, and the messages for what cannot be expressed in GLSL.
// Part of the shader compile chain, inside frame/qp.
//
//   QP_StageInterface stageInterface;
//   stageInterface.ReadSource(expanded.data(), expanded.size(), sourceName, entryPoint);
//   ... front end, QP_StageInterface::LegaliseOpaqueLocals(spirv, errors),
//   QP_StageInterface::WidenPixelPosition(spirv) for a pixel stage, validation ...
//   stageInterface.PlaceStorageBuffers(compiler, resources, stage, shaderInterface, errors);
//   stageInterface.PlaceStageVariables(compiler, resources, stage, shaderInterface, errors);
//
// Locations. Semantics with a row in the fixed tables of QP_ShaderCode keep it. A vertex input
// with any other semantic takes the lowest attribute location its shader leaves free; the
// shader's code records it, and input layouts look it up there. A matrix (or array) input takes
// one location per row, in a row, each fed by the layout element of the next semantic index
// (float4x4 m : INSTMATRIX reads INSTMATRIX0 to INSTMATRIX3). A value passed between stages
// with any other semantic (WORLDPOS, FOG, TEXCOORD8) gets a location derived from its name and
// index alone, in QP_FIRST_USER_VARYING_LOCATION and up. Two names with the same derived
// location are told apart by probing in name order over every such semantic the source text
// declares, so the two stages of one source agree whatever each of them reads or writes.
// Separate GL programs meet by location only: a pipeline whose pixel stage reads fewer values
// than the vertex stage writes pairs nothing by name.

#include "QP_ShaderCode.h"

#include <spirv_cross/spirv_glsl.hpp>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Varying locations the fixed table leaves free: 14 to 31 (desktop GL drivers take 32 vec4s).
constexpr std::uint32_t QP_FIRST_USER_VARYING_LOCATION = 14;
constexpr std::uint32_t QP_MAX_VARYING_LOCATIONS = 32;

class QP_StageInterface
{
public:
    // Reads the expanded source text (#line directives followed): the semantics it declares and
    // where names and entry point definitions are, for locations and messages.
    void ReadSource(const char* text, std::size_t length, const char* sourceName, const char* entryPoint);

    // For a chain that failed without saying why: the message for what the text shows (an entry
    // point defined more than once). False when nothing is known.
    bool ExplainSilentFailure(std::string& errors) const;

    // Gives every stage input and output its location (records vertex inputs in shaderInterface).
    bool PlaceStageVariables(spirv_cross::CompilerGLSL& compiler, const spirv_cross::ShaderResources& resources,
                             QP_ShaderStage stage, QP_ShaderInterface& shaderInterface, std::string& errors) const;

    // Read-only StructuredBuffer and ByteAddressBuffer: each gets a GL storage buffer binding by
    // stage and is recorded with its t register. Read-write resources are refused, and so are
    // element types whose GL layout differs from the HLSL one (float3 arrays, 3-row matrices).
    bool PlaceStorageBuffers(spirv_cross::CompilerGLSL& compiler, const spirv_cross::ShaderResources& resources,
                             QP_ShaderStage stage, QP_ShaderInterface& shaderInterface, std::string& errors) const;

    // HLSL lets a texture or sampler be copied into a local (Texture2D t = textures[i]); GLSL
    // does not. When the SPIR-V holds such locals, the legalisation passes forward them to their
    // uses. Fails with a message when that fails or leaves one behind.
    bool LegaliseOpaqueLocals(std::vector<std::uint32_t>& spirv, std::string& errors) const;

    // A pixel stage may read SV_Position as a float, float2 or float3 (its first components);
    // GL's gl_FragCoord is a vec4 only. The built-in is widened to a vec4 and each read of it
    // keeps the components the shader declared.
    static void WidenPixelPosition(std::vector<std::uint32_t>& spirv);

    // "ERROR: file:line: 'what' : message\n", the line where name is first declared at global
    // scope (the entry point's definition when unknown).
    std::string Message(const std::string& name, const std::string& what) const;

private:
    struct Semantic
    {
        std::string name; // upper case, without the index
        std::uint32_t index;
        bool operator<(const Semantic& other) const;
        bool operator==(const Semantic& other) const;
    };
    struct Place
    {
        std::string file;
        int line;
    };

    void AddSemantic(const std::string& text, const Place& place);
    const Place* FindPlace(const std::string& name) const;
    bool PlaceVertexInputs(spirv_cross::CompilerGLSL& compiler, const spirv_cross::ShaderResources& resources,
                           QP_ShaderInterface& shaderInterface, std::string& errors) const;
    bool PlaceVaryings(spirv_cross::CompilerGLSL& compiler,
                       const spirv_cross::SmallVector<spirv_cross::Resource>& variables, std::string& errors) const;

    std::string sourceName;
    std::string entryPoint;
    std::vector<Semantic> userVaryings;              // sorted, unique: every semantic without a table row
    std::map<std::string, Place> semanticPlaces;     // first declaration of each semantic ("FOG", "TEXCOORD8")
    std::map<std::string, Place> globalPlaces;       // first place of each name outside function bodies
    std::map<std::string, Place> localPlaces;        // and inside them
    std::vector<Place> entryDefinitions;             // every definition of the entry point
};
