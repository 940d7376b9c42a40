// Cost of making shaders through the renderer: CreateVertexShader + CreatePixelShader of one
// source (the way the shader asset makes both stages from one text), and the same work split into
// its phases: parse (the source is parsed once per stage), generate (the HLSL of both stages),
// compile (the platform compiler on both stages and the input layout's dummy shader, and the
// device objects made from the code). Each is repeated 20 times; compare the medians.
// Runs on the headless device (llvmpipe where there is no GPU).

#include "QC_Log.h"
#include "QC_String.h"
#include "QP_Device.h"
#include "QP_ShaderCompiler.h"
#include "QR_InputLayout_DX10.h"
#include "QR_Renderer.h"
#include "QR_Renderer_DX10.h"
#include "QR_ShaderGenerator_HLSL.h"
#include "QR_ShaderParser.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {
// The canvas's text shader: both stages in one source.
const char* const source = R"(constants
{
  custom
  {
    float4x4 projection;
  }
}
samplers
{
  QR_Sampler2D texture;
}
vertex
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour,
            out QR_Position outPosition, out QR_TexCoord0 outTexCoord, out QR_Colour outColour)
  {
    outPosition = QR_Mul(custom.projection, inPosition);
    outTexCoord = inTexCoord;
    outColour = inColour;
  }
}
pixel
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour,
            out QR_Target outColour)
  {
    float4 c = QR_Sample(texture, inTexCoord)
    outColour = float4(inColour.x, inColour.y, inColour.z, c.w * inColour.w);
  }
}
)";

QR_Renderer_DX10* Renderer()
{
    if (!QR_GetRenderer()) {
        QC_CreateLog(QC_LogConfig{});
        QR_RendererSettings settings;
        settings.headless = true;
        QR_CreateRenderer(settings);
        std::atexit(QR_DestroyRenderer);
    }
    return static_cast<QR_Renderer_DX10*>(QR_GetRenderer());
}

void BM_CreateBothStages(benchmark::State& state)
{
    QR_Renderer* renderer = Renderer();
    const QC_StaticString<4096> text(source);
    for (auto _ : state) {
        QC_Ptr<QR_VertexShader> vertexShader = renderer->CreateVertexShader(text);
        QC_Ptr<QR_PixelShader> pixelShader = renderer->CreatePixelShader(text);
        if (!vertexShader || !pixelShader)
            state.SkipWithError("a stage failed to compile");
        benchmark::DoNotOptimize(vertexShader.Get());
        benchmark::DoNotOptimize(pixelShader.Get());
    }
}

void BM_PhaseParse(benchmark::State& state)
{
    const QC_StaticString<4096> text(source);
    for (auto _ : state) {
        for (int stage = 0; stage < 2; ++stage) {
            QR_ShaderParser parser;
            parser.Parse(text);
            benchmark::DoNotOptimize(parser.Description().vertexStage.inputs.Count());
        }
    }
}

void BM_PhaseGenerate(benchmark::State& state)
{
    QR_ShaderParser parser;
    parser.Parse(QC_StaticString<4096>(source));
    for (auto _ : state) {
        QC_String vertexText, pixelText;
        QR_ShaderGenerator_HLSL::GenerateVertexShader(parser.Description(), vertexText);
        QR_ShaderGenerator_HLSL::GeneratePixelShader(parser.Description(), pixelText);
        benchmark::DoNotOptimize(vertexText.Length() + pixelText.Length());
    }
}

void BM_PhaseCompile(benchmark::State& state)
{
    QP_Device* device = Renderer()->Device();
    QR_ShaderParser parser;
    parser.Parse(QC_StaticString<4096>(source));
    QC_String vertexText, pixelText, dummyText;
    QR_ShaderGenerator_HLSL::GenerateVertexShader(parser.Description(), vertexText);
    QR_ShaderGenerator_HLSL::GeneratePixelShader(parser.Description(), pixelText);
    QR_InputElements elements;
    QR_InputLayout_DX10::Describe(parser.Description().vertexStage.inputs, elements, dummyText);
    for (auto _ : state) {
        QC_Ptr<QP_Blob> dummyCode, vertexCode, pixelCode;
        QC_Ptr<QP_InputLayout> layout;
        QC_Ptr<QP_VertexShader> vertexShader;
        QC_Ptr<QP_PixelShader> pixelShader;
        QP_Compile(dummyText.CStr(), dummyText.Length(), nullptr, "main", "vs_4_0", &dummyCode, nullptr);
        QP_Compile(vertexText.CStr(), vertexText.Length(), nullptr, "QR_Main", "vs_4_0", &vertexCode, nullptr);
        QP_Compile(pixelText.CStr(), pixelText.Length(), nullptr, "QR_Main", "ps_4_0", &pixelCode, nullptr);
        if (!dummyCode || !vertexCode || !pixelCode) {
            state.SkipWithError("a stage failed to compile");
            break;
        }
        device->CreateInputLayout(elements.elements, elements.count, dummyCode->GetBufferPointer(),
                                  dummyCode->GetBufferSize(), &layout);
        device->CreateVertexShader(vertexCode->GetBufferPointer(), vertexCode->GetBufferSize(), &vertexShader);
        device->CreatePixelShader(pixelCode->GetBufferPointer(), pixelCode->GetBufferSize(), &pixelShader);
        benchmark::DoNotOptimize(pixelShader.Get());
    }
}
} // namespace

BENCHMARK(BM_CreateBothStages)->Unit(benchmark::kMillisecond)->Repetitions(20)->ReportAggregatesOnly(true);
BENCHMARK(BM_PhaseParse)->Unit(benchmark::kMicrosecond)->Repetitions(20)->ReportAggregatesOnly(true);
BENCHMARK(BM_PhaseGenerate)->Unit(benchmark::kMicrosecond)->Repetitions(20)->ReportAggregatesOnly(true);
BENCHMARK(BM_PhaseCompile)->Unit(benchmark::kMillisecond)->Repetitions(20)->ReportAggregatesOnly(true);
