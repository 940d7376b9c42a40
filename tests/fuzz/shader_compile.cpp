// Fuzzes the shader compile chain (HLSL -> SPIR-V -> validated -> GLSL) without a GL context.
// The first byte picks the stage, the rest is the HLSL text.
//   build-fuzz-gpu/fuzz_shader_compile -max_len=4096 CORPUS tests/fuzz/seeds/shader_compile
// Compile errors are expected results; only crashes, sanitizer reports and broken code count.

#include "qp/QP_ShaderCompiler.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const char* profile = (data[0] & 1) ? "ps_4_0" : "vs_4_0";
    const char* text = reinterpret_cast<const char*>(data + 1);
    QC_Ptr<QP_Blob> code, errors;
    const QP_Result result = QP_Compile(text, size - 1, nullptr, "QR_Main", profile, &code, &errors);
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
