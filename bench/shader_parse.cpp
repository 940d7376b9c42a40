// Throughput of the shading language front end: parse a ~20 KB source and generate both stages'
// HLSL. BM_CopySource (copying the same bytes into a fresh string, which the parser does first)
// is the yardstick the front end is compared with.

#include "QC_Log.h"
#include "QC_String.h"
#include "QR_ShaderGenerator_HLSL.h"
#include "QR_ShaderParser.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace
{
// Constants and samplers blocks, then vertex and pixel blocks full of helper functions with
// nested braces and comments, each stage ending in a main with several parameters.
std::string MakeSource(std::size_t targetBytes)
{
    std::string source = "constants\n{\n  scene\n  {\n    float4x4 viewProjection;\n    float4 tint;\n"
                         "    float time;\n  }\n  extra\n  {\n    float3x3 basis;\n    float2 offset;\n  }\n}\n"
                         "samplers\n{\n  QR_Sampler2D albedo;\n  QR_Sampler2D noise;\n}\n";
    const std::size_t half = targetBytes / 2;
    for (const char* stage : {"vertex", "pixel"}) {
        source += std::string(stage) + "\n{\n  static const float kScale = 0.5;\n";
        for (int i = 0; source.size() < half * (stage[0] == 'v' ? 1 : 2) - 400; ++i) {
            const std::string n = std::to_string(i);
            source += "  // helper " + n + ": mixes two values { not a brace }\n"
                      "  float4 Helper" + n + "(float4 a, float4 b, float t)\n  {\n"
                      "    /* blend */ float4 r = lerp(a, b, t * kScale);\n"
                      "    if (r.x > 0.5) { r.y = r.x; } else { r.z = QR_Dot(a, b); }\n"
                      "    return r;\n  }\n";
        }
        if (stage[0] == 'v')
            source += "  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour,\n"
                      "            out QR_Position outPosition, out QR_TexCoord0 outTexCoord, out QR_Colour outColour)\n"
                      "  {\n    outPosition = QR_Mul(scene.viewProjection, inPosition);\n"
                      "    outTexCoord = inTexCoord;\n    outColour = Helper0(inColour, scene.tint, scene.time);\n  }\n}\n";
        else
            source += "  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour,\n"
                      "            out QR_Target outColour)\n  {\n    float4 c = QR_Sample(albedo, inTexCoord)\n"
                      "    outColour = Helper0(c, inColour, scene.time);\n  }\n}\n";
    }
    return source;
}

const std::string& Source()
{
    static const std::string source = MakeSource(20 * 1024);
    return source;
}

void BM_ParseAndGenerate(benchmark::State& state)
{
    const QC_String source(Source().c_str(), static_cast<std::uint32_t>(Source().size()));
    for (auto _ : state) {
        auto parser = std::make_unique<QR_ShaderParser>();
        parser->Parse(source);
        QC_String vertexText;
        QR_ShaderGenerator_HLSL::GenerateVertexShader(parser->Description(), vertexText);
        QC_String pixelText;
        QR_ShaderGenerator_HLSL::GeneratePixelShader(parser->Description(), pixelText);
        benchmark::DoNotOptimize(vertexText.CStr());
        benchmark::DoNotOptimize(pixelText.CStr());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * source.Length());
    state.counters["source_bytes"] = source.Length();
}
BENCHMARK(BM_ParseAndGenerate);

void BM_ParseOnly(benchmark::State& state)
{
    const QC_String source(Source().c_str(), static_cast<std::uint32_t>(Source().size()));
    for (auto _ : state) {
        auto parser = std::make_unique<QR_ShaderParser>();
        parser->Parse(source);
        benchmark::DoNotOptimize(parser->Description().vertexStage.code.CStr());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * source.Length());
}
BENCHMARK(BM_ParseOnly);

void BM_CopySource(benchmark::State& state)
{
    const QC_String source(Source().c_str(), static_cast<std::uint32_t>(Source().size()));
    for (auto _ : state) {
        QC_String copy;
        copy = source;
        benchmark::DoNotOptimize(copy.CStr());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * source.Length());
}
BENCHMARK(BM_CopySource);
} // namespace
