// Fuzzes the shader compile chain (HLSL -> preprocessed -> SPIR-V -> validated -> GLSL) without
// a GL context. The first byte picks the stage (bit 0: pixel) and whether #include is answered
// (bit 1: every include gets the text itself again, so nesting, the depth limit and include
// guards are reached); the rest is the HLSL text.
//   build-fuzz-gpu/fuzz_shader_compile -max_len=4096 CORPUS tests/fuzz/seeds/shader_compile
// Compile errors are expected results; only crashes, sanitizer reports and broken code count.

#include "QP_ShaderCompiler.h"

#include <cstdlib>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace
{
// Answers each include with the fuzzed text; a budget keeps a text with several includes per
// level from taking 2^16 opens at the depth limit.
class SelfInclude : public QP_Include
{
public:
    SelfInclude(const char* text, std::size_t size) : text(text), size(size) {}
    QP_Result Open(QP_IncludeType, const char*, const void*, const void** data, std::uint32_t* bytes) override
    {
        if (opens == 64)
            return QP_E_FAIL;
        ++opens;
        *data = text;
        *bytes = static_cast<std::uint32_t>(size);
        return QP_OK;
    }
    void Close(const void*) override {}

private:
    const char* text;
    std::size_t size;
    int opens = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The chain is under test, not the shader cache, and no fuzz input belongs in the user's one.
    static const int cacheOff = setenv("VC_SHADER_CACHE", "off", 1);
    (void)cacheOff;
    if (size < 1)
        return 0;
    const char* profile = (data[0] & 1) ? "ps_4_0" : "vs_4_0";
    const char* text = reinterpret_cast<const char*>(data + 1);
    SelfInclude include(text, size - 1);
    QC_Ptr<QP_Blob> code, errors;
    const QP_Result result =
        QP_Compile(text, size - 1, nullptr, (data[0] & 2) ? &include : nullptr, "QR_Main", profile, &code, &errors);
    if (QP_Succeeded(result)) {
        // Compiled code always carries a complete, parseable GLSL text.
        const char* glsl = QP_ShaderCodeText(code.Get());
        if (!glsl || std::strncmp(glsl, "#version 450", 12) != 0)
            __builtin_trap();
    } else if (!errors || QP_BlobText(errors.Get())[0] == '\0') {
        // A failure always says why.
        __builtin_trap();
    }
    return 0;
}
