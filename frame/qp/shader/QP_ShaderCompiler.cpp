// The compile chain: HLSL -> SPIR-V (front end) -> validated -> GLSL 4.50 (cross compiler).
// Sections: process start, front end, validation, GLSL writer, the public operation. The text
// front (preprocessor, includes, guards) is QP_ShaderPreprocessor.
// Every library error (messages, exceptions) becomes the error blob's text; nothing escapes.

#include "QP_ShaderCompiler.h"

#include "QC_Log.h"
#include "QP_ConstantBlockRewrite.h"
#include "QP_EffectSyntax.h"
#include "QP_HlslForms.h"
#include "QP_HlslScanner.h"
#include "QP_InitialiserLists.h"
#include "QP_ShaderCache.h"
#include "QP_ShaderCode.h"
#include "QP_ShaderPreprocessor.h"
#include "QP_ShaderRegisters.h"
#include "QP_StageInterface.h"
#include "QP_TruncationWarnings.h"

// The library is built with its HLSL front end; its header shows that part only on request.
#define ENABLE_HLSL 1
#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>
#include <spirv-tools/libspirv.hpp>
#include <spirv_cross/spirv_cross_c.h>
#include <spirv_cross/spirv_glsl.hpp>

#include <algorithm>
#include <ctime>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>

namespace {

// The compile runs on the calling thread alone: its CPU time is the cost, whatever else the
// machine is doing.
std::int64_t NowNs()
{
    timespec now = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

QC_Ptr<QP_Blob> MakeTextBlob(const std::string& text)
{
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.push_back('\0');
    return QC_Ptr<QP_Blob>(new QP_Blob(std::move(bytes)));
}

// Lines of calls with narrowed arguments converted in one compile: each costs a parse.
constexpr int kNarrowedCallLines = 16;

// --- process start -----------------------------------------------------------------------------
std::once_flag g_frontEndStarted;

void StartFrontEnd()
{
    // The front end keeps process-wide tables; they live until the process ends.
    std::call_once(g_frontEndStarted, [] { glslang::InitializeProcess(); });
}

// --- front end ---------------------------------------------------------------------------------
bool StageOfProfile(const char* profile, QP_ShaderStage* stage, EShLanguage* language)
{
    static const char* const vertexProfiles[] = {"vs_4_0", "vs_4_1", "vs_5_0"};
    static const char* const pixelProfiles[] = {"ps_4_0", "ps_4_1", "ps_5_0"};
    for (const char* name : vertexProfiles) {
        if (std::strcmp(profile, name) == 0) {
            *stage = QP_SHADER_STAGE_VERTEX;
            *language = EShLangVertex;
            return true;
        }
    }
    for (const char* name : pixelProfiles) {
        if (std::strcmp(profile, name) == 0) {
            *stage = QP_SHADER_STAGE_PIXEL;
            *language = EShLangFragment;
            return true;
        }
    }
    return false;
}

bool CompileToSpirv(const char* source, std::size_t length, const char* sourceName, const char* entryPoint,
                    EShLanguage language, std::vector<std::uint32_t>& spirv, QP_ShaderRegisters& registers,
                    std::string& errors)
{
    glslang::TShader shader(language);
    const char* strings[] = {source};
    const int lengths[] = {static_cast<int>(length)};
    const char* names[] = {sourceName && sourceName[0] ? sourceName : "0"};
    shader.setStringsWithLengthsAndNames(strings, lengths, names, 1);
    shader.setEntryPoint(entryPoint);
    shader.setSourceEntryPoint(entryPoint);
    shader.setEnvInput(glslang::EShSourceHlsl, language, glslang::EShClientVulkan, 100);
    shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    // Keeps every semantic as a decoration: stage inputs and outputs are placed by it later.
    shader.setEnvTargetHlslFunctionality1();
    // Register numbers (t3, s1, b0) become the binding numbers read back below.
    shader.setHlslIoMapping(true);
    shader.setAutoMapLocations(true);
    const EShMessages messages = static_cast<EShMessages>(EShMsgSpvRules | EShMsgVulkanRules | EShMsgReadHlsl |
                                                          EShMsgHlslOffsets);
    if (!shader.parse(GetDefaultResources(), 100, false, messages)) {
        errors = shader.getInfoLog();
        return false;
    }
    registers.ReadDeclarations(*shader.getIntermediate());
    QP_WarnImplicitTruncations(*shader.getIntermediate(), std::string(source, length), sourceName, errors);
    glslang::TProgram program;
    program.addShader(&shader);
    if (!program.link(messages) || !program.mapIO()) {
        errors = program.getInfoLog();
        return false;
    }
    glslang::SpvOptions options;
    options.disableOptimizer = true;
    options.validate = false;
    spv::SpvBuildLogger logger;
    glslang::GlslangToSpv(*program.getIntermediate(language), spirv, &logger, &options);
    if (spirv.empty()) {
        errors = "SPIR-V generation failed: " + logger.getAllMessages();
        return false;
    }
    return true;
}

// --- validation --------------------------------------------------------------------------------
bool ValidateSpirv(const std::vector<std::uint32_t>& spirv, std::string& errors)
{
    // Making the validator's context builds its grammar tables: one per thread, kept. Its
    // message consumer is replaced on every call, so it never outlives the errors it writes to.
    thread_local spvtools::SpirvTools tools(SPV_ENV_VULKAN_1_0);
    tools.SetMessageConsumer([&errors](spv_message_level_t, const char*, const spv_position_t& position,
                                       const char* message) {
        char prefix[64];
        std::snprintf(prefix, sizeof(prefix), "SPIR-V validation (word %zu): ", position.index);
        errors += prefix;
        errors += message;
        errors += '\n';
    });
    spvtools::ValidatorOptions options;
    // Constant buffers follow HLSL packing (vectors may start inside a 16-byte row); the
    // flattened GLSL reads them by those offsets, so the block layout rules do not apply.
    options.SetSkipBlockLayout(true);
    return tools.Validate(spirv.data(), spirv.size(), options);
}

// --- GLSL writer -------------------------------------------------------------------------------
bool CrossCompile(std::vector<std::uint32_t>&& spirv, QP_ShaderStage stage, const QP_ShaderRegisters& registers,
                  const QP_StageInterface& stageInterface, QP_ShaderInterface& shaderInterface, std::string& glsl,
                  std::string& errors)
{
    // Flattening needs one basic type per constant block and loads of no structs or arrays.
    QP_ConstantBlockRewrite rewrite;
    if (!rewrite.Run(spirv, errors))
        return false;
    if (rewrite.Changed() && !ValidateSpirv(spirv, errors)) {
        errors += "Rewriting the constant buffer reads gave invalid SPIR-V.\n";
        return false;
    }
    spirv_cross::CompilerGLSL compiler(std::move(spirv));
    spirv_cross::CompilerGLSL::Options options;
    options.version = 450;
    options.es = false;
    options.vulkan_semantics = false;
    // Each stage is its own GL program joined in a pipeline: gl_PerVertex must be declared.
    options.separate_shader_objects = true;
    options.enable_420pack_extension = false;
    // SV_InstanceID counts from 0 within each draw, as gl_InstanceID does.
    options.vertex.support_nonzero_base_instance = false;
    compiler.set_common_options(options);

    // The stage code's own function "main" would clash with the GLSL entry point.
    for (std::uint32_t id = 1; id < compiler.get_current_id_bound(); ++id) {
        const std::string& name = compiler.get_name(id);
        if (name == "main" || name.rfind("main(", 0) == 0)
            compiler.set_name(id, "QP_StageMain");
    }

    // Only what the entry point uses is bound and declared, and only that takes registers.
    std::unordered_set<spirv_cross::VariableID> active = compiler.get_active_interface_variables();
    const spirv_cross::ShaderResources resources = compiler.get_shader_resources(active);
    compiler.set_enabled_interface_variables(std::move(active));
    if (!registers.Assign(compiler, {&resources.uniform_buffers}, 'b', QP_CONSTANT_BUFFER_SLOT_COUNT, errors) ||
        !registers.Assign(compiler, {&resources.separate_images, &resources.sampled_images, &resources.storage_buffers},
                          't', QP_SHADER_RESOURCE_SLOT_COUNT, errors) ||
        !registers.Assign(compiler, {&resources.separate_samplers}, 's', QP_SAMPLER_SLOT_COUNT, errors))
        return false;

    // Constant buffers: plain vec4 arrays, read by HLSL offsets.
    for (const spirv_cross::Resource& block : resources.uniform_buffers) {
        if (shaderInterface.constantBlockCount >= QP_CONSTANT_BUFFER_SLOT_COUNT) {
            errors += "Too many constant buffers.\n";
            return false;
        }
        const std::uint32_t slot = compiler.get_decoration(block.id, spv::DecorationBinding);
        const std::size_t size = compiler.get_declared_struct_size(compiler.get_type(block.base_type_id));
        if (slot >= QP_CONSTANT_BUFFER_SLOT_COUNT || size > QP_MAX_CONSTANT_BUFFER_BYTES) {
            errors += "Constant buffer '" + block.name + "' is outside the constant buffer slots or too large.\n";
            return false;
        }
        for (std::uint32_t i = 0; i < shaderInterface.constantBlockCount; ++i) {
            if (shaderInterface.constantBlocks[i].slot == slot) {
                errors += "Two constant buffers share register b" + std::to_string(slot) + ".\n";
                return false;
            }
        }
        QP_ShaderConstantBlock& entry = shaderInterface.constantBlocks[shaderInterface.constantBlockCount++];
        entry.slot = slot;
        entry.vectorCount = static_cast<std::uint32_t>((size + 15) / 16);
        std::snprintf(entry.uniformName, sizeof(entry.uniformName), "QP_Constants%u", slot);
        // The flattened array takes the name of the block's type.
        compiler.set_name(block.base_type_id, entry.uniformName);
        compiler.unset_decoration(block.id, spv::DecorationBinding);
        compiler.unset_decoration(block.id, spv::DecorationDescriptorSet);
        compiler.flatten_buffer_block(block.id);
    }
    if (!stageInterface.PlaceStorageBuffers(compiler, resources, stage, shaderInterface, errors))
        return false;

    // Texture/sampler pairs: one texture unit each. The pixel stage uses units from 0, the
    // vertex stage from QP_MAX_SAMPLER_COMBINATIONS, so both can be bound at once.
    const spirv_cross::VariableID dummySampler = compiler.build_dummy_sampler_for_combined_images();
    compiler.build_combined_image_samplers();
    const std::uint32_t firstUnit = stage == QP_SHADER_STAGE_PIXEL ? 0 : QP_MAX_SAMPLER_COMBINATIONS;
    for (const spirv_cross::CombinedImageSampler& combination : compiler.get_combined_image_samplers()) {
        // An array of textures (Texture2D textures[4] : register(t0)) takes consecutive registers
        // and consecutive units, one combination each.
        const spirv_cross::SPIRType& imageType = compiler.get_type_from_variable(combination.image_id);
        const std::uint32_t elements = imageType.array.empty() || !imageType.array_size_literal[0] || imageType.array[0] == 0
                                           ? 1
                                           : imageType.array[0];
        const std::string textureName = compiler.get_name(combination.image_id);
        if (imageType.array.size() > 1 || elements > QP_MAX_SAMPLER_COMBINATIONS - shaderInterface.samplerCount) {
            errors += stageInterface.Message(textureName, "too many texture and sampler combinations (" +
                                                              std::to_string(QP_MAX_SAMPLER_COMBINATIONS) + " at most)");
            return false;
        }
        const std::uint32_t textureSlot = compiler.get_decoration(combination.image_id, spv::DecorationBinding);
        const std::uint32_t samplerSlot = combination.sampler_id == dummySampler
                                              ? QP_NO_SAMPLER_SLOT
                                              : compiler.get_decoration(combination.sampler_id, spv::DecorationBinding);
        if (textureSlot + elements > QP_SHADER_RESOURCE_SLOT_COUNT ||
            (samplerSlot != QP_NO_SAMPLER_SLOT && samplerSlot >= QP_SAMPLER_SLOT_COUNT)) {
            errors += stageInterface.Message(textureName, "a texture or sampler register is outside the 16 slots");
            return false;
        }
        const std::uint32_t unit = shaderInterface.samplerCount;
        for (std::uint32_t element = 0; element < elements; ++element) {
            QP_ShaderSamplerCombination& entry = shaderInterface.samplers[shaderInterface.samplerCount++];
            entry.unit = unit + element;
            entry.textureSlot = textureSlot + element;
            entry.samplerSlot = samplerSlot;
        }
        char name[QP_SHADER_NAME_SIZE];
        std::snprintf(name, sizeof(name), "QP_Sampler%u", unit);
        compiler.set_name(combination.combined_id, name);
        compiler.set_decoration(combination.combined_id, spv::DecorationBinding, firstUnit + unit);
    }

    if (!stageInterface.PlaceStageVariables(compiler, resources, stage, shaderInterface, errors))
        return false;

    glsl = compiler.compile();
    return true;
}

// --- the steps of a compile -------------------------------------------------------------------
// Bump when a rewrite of ours (the text forms, the SPIR-V passes, the GLSL writer's settings)
// changes what a text translates to: the shader cache's entries of older numbers are then
// translated again.
constexpr int kTranslationNumber = 1;

// What the chain refuses before it starts. QP_OK when the text may go on, else the refusal with
// *errors set.
QP_Result ScreenArguments(const char* source, std::size_t sourceLength, const char* sourceName, const char* entryPoint,
                          const char* profile, QP_ShaderStage* stage, EShLanguage* language, QC_Ptr<QP_Blob>* errors)
{
    if (!source || !entryPoint || !profile || !StageOfProfile(profile, stage, language) ||
        sourceLength > 0x7FFFFFFF) {
        if (errors)
            *errors = MakeTextBlob(std::string("Invalid source, entry point or profile '") + (profile ? profile : "") +
                                   "'.\n");
        return QP_E_INVALIDARG;
    }
    // The front end reads up to a NUL or the length, whichever comes first; a NUL inside the
    // text would silently cut it, so it is an error here.
    if (const void* nul = std::memchr(source, '\0', sourceLength)) {
        // Named as every other message names its place: after the text's #line directives (a
        // generated text carries its author's lines in them).
        QP_HlslScanner scanner(source, static_cast<std::size_t>(static_cast<const char*>(nul) - source), sourceName,
                               QP_HlslScanner::CONTINUED_DIRECTIVES);
        QP_HlslScanner::Token token;
        while (scanner.Next(token)) {
        }
        if (errors)
            *errors = MakeTextBlob("ERROR: " + scanner.FileName(scanner.File()) + ":" + std::to_string(scanner.Line()) +
                                   ": The source text contains a NUL character.\n");
        return QP_E_FAIL;
    }
    return QP_OK;
}

// A text through the preprocessor (includes answered): what the rest of the chain starts from,
// and so what the shader cache's key is made of.
struct PreparedText
{
    std::string expanded;
    std::string messages; // the preprocessor's
};

// False when the preprocessor refused the text; its messages then say why.
bool Prepare(const char* source, std::size_t sourceLength, const char* sourceName, QP_Include* include,
             const char* entryPoint, QP_ShaderStage stage, PreparedText& prepared)
{
    try {
        return QP_PreprocessShader(source, sourceLength, sourceName, stage, include, prepared.expanded,
                                   prepared.messages);
    } catch (const std::exception& exception) {
        prepared.messages += QP_StageInterface().Message(entryPoint, std::string("shader translation failed: ") +
                                                                         exception.what());
    } catch (...) {
        prepared.messages += QP_StageInterface().Message(entryPoint, "shader translation failed");
    }
    return false;
}

// The chain after the preprocessor, from the prepared text (preprocessed false: it was refused).
// Sets *code on success and *messageBlob to the errors or warnings.
QP_Result Translate(PreparedText&& prepared, bool preprocessed, const char* sourceName, const char* entryPoint,
                    QP_ShaderStage stage, EShLanguage language, std::int64_t start, QC_Ptr<QP_Blob>* code,
                    QC_Ptr<QP_Blob>* messageBlob, QP_CompileTimings* timings)
{
    std::string expanded = std::move(prepared.expanded);
    std::string messages = std::move(prepared.messages);
    QP_ShaderRegisters registers;
    QP_StageInterface stageInterface;
    QP_ShaderInterface shaderInterface;
    std::memset(&shaderInterface, 0, sizeof(shaderInterface));
    shaderInterface.stage = stage;
    std::string glsl;
    bool compiled = preprocessed;
    try {
        std::vector<std::uint32_t> spirv;
        // Effect-file syntax (state blocks, techniques, legacy type names, gl_ names) becomes
        // what the front end parses; the guards then see the text the front end will.
        if (compiled) {
            QP_RewriteEffectSyntax(expanded);
            // Forms of the platform compiler the front end lacks, as it reads them.
            QP_RewriteHlslForms(expanded, entryPoint);
            QP_NestInitialiserLists(expanded);
        }
        // The guards run on the expanded text, so a macro or an included file cannot hide a
        // text the front end crashes on; the front end then parses that same text.
        compiled = compiled && QP_CheckShaderText(expanded.data(), expanded.size(), sourceName, messages, entryPoint);
        std::int64_t preprocessed = NowNs();
        if (timings)
            timings->preprocessNs = preprocessed - start;
        if (compiled)
            stageInterface.ReadSource(expanded.data(), expanded.size(), sourceName, entryPoint);
        if (compiled) {
            compiled = CompileToSpirv(expanded.data(), expanded.size(), sourceName, entryPoint, language, spirv,
                                      registers, messages);
            // A call narrowing its arguments is refused one line at a time; each retry converts one.
            std::string narrowed;
            for (int retry = 0; !compiled && retry < kNarrowedCallLines &&
                                QP_NarrowCallArguments(expanded, messages, sourceName, narrowed);
                 ++retry) {
                messages.clear();
                compiled = CompileToSpirv(expanded.data(), expanded.size(), sourceName, entryPoint, language, spirv,
                                          registers, messages);
            }
            messages = narrowed + messages;
        }
        std::int64_t frontEnd = NowNs();
        if (timings)
            timings->frontEndNs = frontEnd - preprocessed;
        if (compiled && stage == QP_SHADER_STAGE_PIXEL)
            QP_StageInterface::WidenPixelPosition(spirv);
        if (compiled)
            compiled = stageInterface.LegaliseOpaqueLocals(spirv, messages) && ValidateSpirv(spirv, messages);
        std::int64_t validated = NowNs();
        if (timings)
            timings->validateNs = validated - frontEnd;
        if (compiled)
            compiled = CrossCompile(std::move(spirv), stage, registers, stageInterface, shaderInterface, glsl, messages);
        if (timings)
            timings->crossNs = NowNs() - validated;
    } catch (const std::exception& exception) {
        // The libraries know no line: the entry point's definition is the nearest one known.
        messages += stageInterface.Message(entryPoint, std::string("shader translation failed: ") + exception.what());
        compiled = false;
    } catch (...) {
        messages += stageInterface.Message(entryPoint, "shader translation failed");
        compiled = false;
    }
    if (!compiled) {
        if (messages.empty())
            stageInterface.ExplainSilentFailure(messages);
        if (messages.empty())
            messages = "Shader compilation failed.\n";
        *messageBlob = MakeTextBlob(messages);
        return QP_E_FAIL;
    }
    std::vector<std::uint8_t> bytes;
    QP_WriteShaderCode(shaderInterface, glsl.data(), glsl.size(), bytes);
    *code = QC_Ptr<QP_Blob>(new QP_Blob(std::move(bytes)));
    // Warnings of a successful compile are handed back like the platform compiler does.
    if (!messages.empty())
        *messageBlob = MakeTextBlob(messages);
    return QP_OK;
}

// Of the preprocessor's inputs only an included file lies outside the text: what it makes of a
// text that includes nothing (its macros, conditions and #line directives included) follows
// from the text and the key's other fields alone. Such a text keys the cache as it stands, and
// a hit needs no preprocessing - on a hit, the front end's setup and preprocessor were most of
// the cost. Without the word "include" and a backslash (a line splice could build the word)
// no include directive can be written. The marker stands where the preprocessor's messages
// stand in other keys; no message can equal it.
constexpr const char* kSourceTextMarker = "\x01source text, not preprocessed";

bool KeyedBySourceText(const char* source, std::size_t sourceLength)
{
    const std::string_view text(source, sourceLength);
    return text.find("include") == std::string_view::npos && text.find('\\') == std::string_view::npos;
}

std::string SourceTextKey(const char* source, std::size_t sourceLength, const char* sourceName,
                          const char* entryPoint, const char* profile)
{
    return QP_ShaderCacheKey(std::string(source, sourceLength), kSourceTextMarker, sourceName, entryPoint, profile);
}

// Looks key up; on a hit sets the caller's blobs and the timings (all preprocessing, if any).
bool FindInCache(const std::string& cacheFolder, const std::string& key, std::int64_t start, QC_Ptr<QP_Blob>* code,
                 QC_Ptr<QP_Blob>* errors, QP_CompileTimings* timings)
{
    QC_Ptr<QP_Blob> translated, messages;
    if (!QP_FindCachedShader(cacheFolder, key, &translated, &messages))
        return false;
    if (timings) {
        *timings = QP_CompileTimings{};
        timings->preprocessNs = NowNs() - start;
    }
    if (code)
        *code = translated;
    if (errors)
        *errors = messages;
    return true;
}

// A compile, looked up in the shader cache folder first (none when empty) and kept there when it
// succeeds. A hit hands back what the translation gave when it was stored: the same code and
// warnings bytes.
QP_Result CompileThroughCache(const char* source, std::size_t sourceLength, const char* sourceName,
                              QP_Include* include, const char* entryPoint, const char* profile, QC_Ptr<QP_Blob>* code,
                              QC_Ptr<QP_Blob>* errors, QP_CompileTimings* timings, const std::string& cacheFolder)
{
    if (code)
        code->Reset();
    if (errors)
        errors->Reset();
    QP_ShaderStage stage = QP_SHADER_STAGE_VERTEX;
    EShLanguage language = EShLangVertex;
    const QP_Result screened = ScreenArguments(source, sourceLength, sourceName, entryPoint, profile, &stage,
                                               &language, errors);
    if (screened != QP_OK)
        return screened;
    const std::int64_t start = NowNs();
    std::string key;
    if (!cacheFolder.empty() && KeyedBySourceText(source, sourceLength)) {
        key = SourceTextKey(source, sourceLength, sourceName, entryPoint, profile);
        if (FindInCache(cacheFolder, key, start, code, errors, timings))
            return QP_OK;
    }
    StartFrontEnd();
    PreparedText prepared;
    const bool preprocessed = Prepare(source, sourceLength, sourceName, include, entryPoint, stage, prepared);
    if (preprocessed && !cacheFolder.empty() && key.empty()) {
        key = QP_ShaderCacheKey(prepared.expanded, prepared.messages, sourceName, entryPoint, profile);
        if (FindInCache(cacheFolder, key, start, code, errors, timings))
            return QP_OK;
    }
    QC_Ptr<QP_Blob> translated, messages;
    const QP_Result result = Translate(std::move(prepared), preprocessed, sourceName, entryPoint, stage, language,
                                       start, &translated, &messages, timings);
    if (result == QP_OK && !key.empty())
        QP_StoreCachedShader(cacheFolder, key, translated.Get(), messages.Get());
    if (code)
        *code = translated;
    if (errors)
        *errors = messages;
    return result;
}

} // namespace

// --- the public operation ----------------------------------------------------------------------
const char* QP_BlobText(const QP_Blob* blob)
{
    if (!blob || blob->GetBufferSize() == 0)
        return "";
    const char* text = static_cast<const char*>(blob->GetBufferPointer());
    return text[blob->GetBufferSize() - 1] == '\0' ? text : "";
}

const char* QP_ShaderCodeText(const QP_Blob* code)
{
    QP_ShaderInterface shaderInterface;
    const char* text = nullptr;
    if (!code || !QP_ParseShaderCode(code->GetBufferPointer(), code->GetBufferSize(), &shaderInterface, &text))
        return nullptr;
    return text;
}

QP_Result QP_CompileHere(const char* source, std::size_t sourceLength, const char* sourceName, const char* entryPoint,
                         const char* profile, QC_Ptr<QP_Blob>* code, QC_Ptr<QP_Blob>* errors, QP_CompileTimings* timings)
{
    return QP_CompileHere(source, sourceLength, sourceName, nullptr, entryPoint, profile, code, errors, timings);
}

QP_Result QP_CompileHere(const char* source, std::size_t sourceLength, const char* sourceName, QP_Include* include,
                         const char* entryPoint, const char* profile, QC_Ptr<QP_Blob>* code, QC_Ptr<QP_Blob>* errors,
                         QP_CompileTimings* timings)
{
    return CompileThroughCache(source, sourceLength, sourceName, include, entryPoint, profile, code, errors, timings,
                               std::string());
}

QP_Result QP_CompileHereCached(const char* source, std::size_t sourceLength, const char* sourceName,
                               QP_Include* include, const char* entryPoint, const char* profile,
                               QC_Ptr<QP_Blob>* code, QC_Ptr<QP_Blob>* errors, QP_CompileTimings* timings)
{
    return CompileThroughCache(source, sourceLength, sourceName, include, entryPoint, profile, code, errors, timings,
                               QP_ShaderCacheFolder());
}

bool QP_ShaderCacheKeyOf(const char* source, std::size_t sourceLength, const char* sourceName, QP_Include* include,
                         const char* entryPoint, const char* profile, std::string& key)
{
    QP_ShaderStage stage = QP_SHADER_STAGE_VERTEX;
    EShLanguage language = EShLangVertex;
    if (ScreenArguments(source, sourceLength, sourceName, entryPoint, profile, &stage, &language, nullptr) != QP_OK)
        return false;
    if (KeyedBySourceText(source, sourceLength)) {
        key = SourceTextKey(source, sourceLength, sourceName, entryPoint, profile);
        return true;
    }
    StartFrontEnd();
    PreparedText prepared;
    if (!Prepare(source, sourceLength, sourceName, include, entryPoint, stage, prepared))
        return false;
    key = QP_ShaderCacheKey(prepared.expanded, prepared.messages, sourceName, entryPoint, profile);
    return true;
}

const std::string& QP_ShaderCompilerVersion()
{
    static const std::string version = [] {
        const glslang::Version frontEnd = glslang::GetVersion();
        char text[256];
        std::snprintf(text, sizeof(text), "front end %d.%d.%d%s; validator %s; GLSL writer %d.%d.%d; translation %d",
                      frontEnd.major, frontEnd.minor, frontEnd.patch, frontEnd.flavor ? frontEnd.flavor : "",
                      spvSoftwareVersionString(), SPVC_C_API_VERSION_MAJOR, SPVC_C_API_VERSION_MINOR,
                      SPVC_C_API_VERSION_PATCH, kTranslationNumber);
        return std::string(text);
    }();
    return version;
}
