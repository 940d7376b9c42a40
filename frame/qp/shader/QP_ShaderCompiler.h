#pragma once
// The shader compiler: HLSL text of one stage in, code for the graphics device or an error text
// out, like the platform compiler it stands in for. It needs no graphics context, so tools and
// fuzzers run it anywhere.
//
//   QC_Ptr<QP_Blob> code, errors;
//   if (QP_Failed(QP_Compile(text, length, nullptr, "QR_Main", "ps_4_0", &code, &errors)))
//       QC_ERROR("Shader stage compilation failed, D3D message is \"%s\"", QP_BlobText(errors));
//   device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), &shader);
//
// Chain: the HLSL front end writes SPIR-V (HLSL cbuffer offsets and semantics kept), the SPIR-V
// is validated, and GLSL 4.50 is written from it with constant buffers flattened to vec4 arrays
// (HLSL packing byte for byte), each texture/sampler pair combined on a texture unit of its own,
// read-only StructuredBuffer and ByteAddressBuffer as readonly storage blocks, stage inputs and
// outputs at locations by semantic (QP_StageInterface: a fixed table, and for semantics of the
// shader's own a location derived from the name) and instance ids counted from 0.
// Before the front end parses the preprocessed text, forms the platform compiler accepts and the
// front end lacks are rewritten (QP_EffectSyntax, QP_HlslForms, QP_InitialiserLists).
// Error texts are the front end's messages with their line numbers ("ERROR: 0:12: ..."); a
// successful compile hands back its warnings the same way ("WARNING: 0:7: implicit truncation
// of vector type").
// Thread-safe: the front end's process initialisation runs once, on first use.

#include "QC_Ptr.h"
#include "QP_Result.h"
#include "QP_Include.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A counted byte buffer: compiled code or a NUL-terminated message text.
class QP_Blob : public QC_RefCounted
{
public:
    explicit QP_Blob(std::vector<std::uint8_t>&& bytes) : bytes(std::move(bytes)) {}
    const void* GetBufferPointer() const { return bytes.data(); }
    std::size_t GetBufferSize() const { return bytes.size(); }

private:
    std::vector<std::uint8_t> bytes;
};

// A message blob's text ("" for none).
const char* QP_BlobText(const QP_Blob* blob);

// CPU nanoseconds of the calling thread spent in each step of the QP_Compile call that was
// given this record.
struct QP_CompileTimings
{
    std::int64_t preprocessNs = 0; // preprocessor, includes and the guards on the expanded text
    std::int64_t frontEndNs = 0;  // expanded HLSL to SPIR-V
    std::int64_t validateNs = 0;  // SPIR-V validation
    std::int64_t crossNs = 0;     // SPIR-V to GLSL
};

// Profiles: vs_4_0, vs_4_1, vs_5_0 and ps_4_0, ps_4_1, ps_5_0. sourceName may be empty; it
// then reads as "0" in messages. Each compile is looked up in the shader cache first
// (QP_ShaderCache.h: on disk, shared by every run) and a successful one is kept there; a hit
// gives the same code and warnings as the translation did. Returns QP_OK with *code set, or QP_E_FAIL with *errors set to
// the message text (either out pointer may be null).
QP_Result QP_Compile(const char* source, std::size_t sourceLength, const char* sourceName, const char* entryPoint,
                     const char* profile, QC_Ptr<QP_Blob>* code, QC_Ptr<QP_Blob>* errors,
                     QP_CompileTimings* timings = nullptr);
// The same with an include handler (QP_Include.h; QP_FileInclude.h reads files) answering the
// text's #include directives; without one (null) each #include is an error at its line. Messages
// about an included file name it as the include's name joined to the including file's folder.
// A leading byte-order mark is skipped in the text and in every included file.
QP_Result QP_Compile(const char* source, std::size_t sourceLength, const char* sourceName, QP_Include* include,
                     const char* entryPoint, const char* profile, QC_Ptr<QP_Blob>* code, QC_Ptr<QP_Blob>* errors,
                     QP_CompileTimings* timings = nullptr);

// Crash isolation. The HLSL front end still crashes on some malformed texts (kept in
// tests/fuzz/crashers/). With isolation on, QP_Compile runs the chain in a helper process, the
// program vc-shader-helper beside the executable (VC_SHADER_HELPER names another), kept for the
// next compiles; so such a crash costs only that compile: QP_Compile then returns QP_E_FAIL with
// "The shader compiler crashed (signal N); nothing was compiled.", and the next compile starts a
// new helper. A compile that runs past the time limit is ended the same way. Without the helper
// program each compile runs in a fork of this process instead. Off by default: tests, tools and
// the demo compile in-process; a workbench where any text may be saved turns it on.
void QP_SetShaderCompilerIsolation(bool isolated);
bool QP_IsShaderCompilerIsolated();
// The helper program's loop: requests from standard input, responses to standard output, until
// the input ends. Returns the helper's exit code (0 at the end of input, 1 when the output
// failed, 2 for a request that is not one).
int QP_RunShaderCompilerHelper();
// QP_Compile in this process, whatever the isolation, and never through the shader cache (what
// the helper runs).
QP_Result QP_CompileHere(const char* source, std::size_t sourceLength, const char* sourceName, const char* entryPoint,
                         const char* profile, QC_Ptr<QP_Blob>* code, QC_Ptr<QP_Blob>* errors,
                         QP_CompileTimings* timings = nullptr);
QP_Result QP_CompileHere(const char* source, std::size_t sourceLength, const char* sourceName, QP_Include* include,
                         const char* entryPoint, const char* profile, QC_Ptr<QP_Blob>* code, QC_Ptr<QP_Blob>* errors,
                         QP_CompileTimings* timings = nullptr);

// The GLSL text inside compiled code (for tools and tests), or null when the bytes are not code.
const char* QP_ShaderCodeText(const QP_Blob* code);

// The shader cache's side of QP_Compile. QP_CompileHereCached: QP_CompileHere looked up in and
// kept in the cache folder. QP_ShaderCacheKeyOf: the cache key of a compile (a text that
// cannot include a file as it stands, any other through the preprocessor, includes answered by
// include), false when the text is refused before the front end. QP_ShaderCompilerVersion: the
// front end's, validator's and GLSL writer's versions and our own translation number, which the
// key quotes.
QP_Result QP_CompileHereCached(const char* source, std::size_t sourceLength, const char* sourceName,
                               QP_Include* include, const char* entryPoint, const char* profile,
                               QC_Ptr<QP_Blob>* code, QC_Ptr<QP_Blob>* errors, QP_CompileTimings* timings = nullptr);
bool QP_ShaderCacheKeyOf(const char* source, std::size_t sourceLength, const char* sourceName, QP_Include* include,
                         const char* entryPoint, const char* profile, std::string& key);
const std::string& QP_ShaderCompilerVersion();
