// The graphics layer's costs on the headless device:
// - compiling one stage (the canvas text pixel shader as the generator writes it), split into the
//   HLSL front end, SPIR-V validation, GLSL writing and the GL driver's compile and link;
// - draws per second of a tiny quad with a constant-buffer update per draw, through the layer
//   and through the same loop written in raw GL in the same process and context.
// Compare BM_DrawThroughLayer with BM_DrawRawGL of the same run: their items_per_second ratio is
// the layer's overhead. BM_DrawWithClearThroughLayer clears the target before each draw (the
// clear is the GPU's work, so compare it with itself across builds, not with raw GL). Raw GL
// runs last because it changes GL bindings behind the layer's back.

#include "QP_Device.h"
#include "QP_DeviceContext.h"
#include "QP_Factory.h"
#include "QP_ShaderCompiler.h"
#include "QP_SwapChain.h"

#include <benchmark/benchmark.h>
// The raw-GL half of the comparison needs GL itself; the layer's own code never shows it above
// frame/qp.
#include <epoxy/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The canvas text shader's pixel stage as the generator writes it: a glyph atlas sampled and
// tinted by the vertex colour.
const char* const textPixelStage = R"(#define QR_Position float4
#define QR_TexCoord0 float2
#define QR_Colour float4
#define QR_Target float4
#define QR_Sample(aSampler, aTexCoords) aSampler##_texture.Sample(aSampler##_state, aTexCoords);
struct QR_ConstantBlockStruct0
{
float4x4 projection;
};
cbuffer QR_ConstantBlock0:register(b0)
{
  QR_ConstantBlockStruct0 custom;
};
Texture2D texture_texture:register(t0);
SamplerState texture_state:register(s0);
struct QR_Input
{
  QR_Position inPosition : SV_POSITION;
  QR_TexCoord0 inTexCoord : TEXCOORD0;
  QR_Colour inColour : COLOR;
};
struct QR_Output
{
  QR_Target outColour : SV_TARGET;
};

void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour, out QR_Target outColour)
{
  float4 glyph = QR_Sample(texture, inTexCoord)
  outColour = float4(inColour.rgb, inColour.a * glyph.a);
}

QR_Output QR_Main(QR_Input input){
QR_Output output;
main(input.inPosition,input.inTexCoord,input.inColour,output.outColour);
return output;
}
)";

const char* const quadVertexStage = R"(
struct VSIn { float4 position : POSITION; };
float4 QR_Main(VSIn input) : SV_POSITION { return input.position; }
)";

const char* const quadPixelStage = R"(
cbuffer Colour : register(b0) { float4 colour; };
float4 QR_Main(float4 position : SV_POSITION) : SV_TARGET { return colour; }
)";

const float quadVertices[] = {
    -0.1f, 0.1f, 0.5f, 1, 0.1f, 0.1f, 0.5f, 1, -0.1f, -0.1f, 0.5f, 1,
    0.1f, 0.1f, 0.5f, 1, 0.1f, -0.1f, 0.5f, 1, -0.1f, -0.1f, 0.5f, 1,
};

// One headless device for the whole program.
struct Gpu
{
    QC_Ptr<QP_Factory> factory;
    QC_Ptr<QP_Device> device;
    QC_Ptr<QP_DeviceContext> context;
    QC_Ptr<QP_SwapChain> swapChain;
    QC_Ptr<QP_RenderTargetView> view;

    Gpu()
    {
        QP_FactoryOptions options;
        options.headless = true;
        QC_Ptr<QP_Adapter> adapter;
        QP_SwapChainDesc desc;
        desc.bufferDesc.width = 64;
        desc.bufferDesc.height = 64;
        desc.bufferDesc.format = QP_FORMAT_R8G8B8A8_UNORM;
        QC_Ptr<QP_Texture2D> backBuffer;
        if (QP_Failed(QP_CreateFactory(options, &factory)) || QP_Failed(factory->EnumAdapters(0, &adapter)) ||
            QP_Failed(QP_CreateDevice(adapter.Get(), QP_DRIVER_TYPE_UNKNOWN, 0, &device, &context)) ||
            QP_Failed(factory->CreateSwapChain(device.Get(), &desc, &swapChain)) ||
            QP_Failed(swapChain->GetBuffer(0, &backBuffer)) ||
            QP_Failed(device->CreateRenderTargetView(backBuffer.Get(), nullptr, &view))) {
            std::fprintf(stderr, "No headless graphics device.\n");
            std::exit(1);
        }
    }
};

Gpu& TheGpu()
{
    static Gpu gpu;
    return gpu;
}

QC_Ptr<QP_Blob> CompileOrDie(const char* text, const char* profile)
{
    QC_Ptr<QP_Blob> code, errors;
    if (QP_Failed(QP_Compile(text, std::strlen(text), nullptr, "QR_Main", profile, &code, &errors))) {
        std::fprintf(stderr, "%s\n", QP_BlobText(errors.Get()));
        std::exit(1);
    }
    return code;
}

void BM_CompileTextPixelStage(benchmark::State& state)
{
    double preprocess = 0, frontEnd = 0, validate = 0, cross = 0;
    for (auto _ : state) {
        QC_Ptr<QP_Blob> code, errors;
        QP_CompileTimings timings;
        QP_Compile(textPixelStage, std::strlen(textPixelStage), nullptr, "QR_Main", "ps_4_0", &code, &errors, &timings);
        benchmark::DoNotOptimize(code.Get());
        preprocess += static_cast<double>(timings.preprocessNs);
        frontEnd += static_cast<double>(timings.frontEndNs);
        validate += static_cast<double>(timings.validateNs);
        cross += static_cast<double>(timings.crossNs);
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["preprocess_us"] = preprocess / iterations / 1000.0;
    state.counters["front_end_us"] = frontEnd / iterations / 1000.0;
    state.counters["validate_us"] = validate / iterations / 1000.0;
    state.counters["cross_us"] = cross / iterations / 1000.0;
}
BENCHMARK(BM_CompileTextPixelStage)->Unit(benchmark::kMicrosecond);

// The driver's share: compiling and linking the GLSL into a separable program.
void BM_GLLinkTextPixelStage(benchmark::State& state)
{
    Gpu& gpu = TheGpu();
    QC_Ptr<QP_Blob> code = CompileOrDie(textPixelStage, "ps_4_0");
    for (auto _ : state) {
        QC_Ptr<QP_PixelShader> shader;
        if (QP_Failed(gpu.device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), &shader)))
            state.SkipWithError("link failed");
        benchmark::DoNotOptimize(shader.Get());
    }
}
BENCHMARK(BM_GLLinkTextPixelStage)->Unit(benchmark::kMicrosecond);

// clearBetween: a colour clear before each draw, as a frame of passes does between them; the
// clear must not make the next draw push state that did not change.
void DrawThroughLayer(benchmark::State& state, bool clearBetween)
{
    Gpu& gpu = TheGpu();
    QC_Ptr<QP_Blob> vsCode = CompileOrDie(quadVertexStage, "vs_4_0");
    QC_Ptr<QP_Blob> psCode = CompileOrDie(quadPixelStage, "ps_4_0");
    QC_Ptr<QP_VertexShader> vs;
    QC_Ptr<QP_PixelShader> ps;
    QC_Ptr<QP_InputLayout> layout;
    const QP_InputElementDesc element = {"POSITION", 0, QP_FORMAT_R32G32B32A32_FLOAT, 0, 0, QP_INPUT_PER_VERTEX_DATA, 0};
    gpu.device->CreateVertexShader(vsCode->GetBufferPointer(), vsCode->GetBufferSize(), &vs);
    gpu.device->CreatePixelShader(psCode->GetBufferPointer(), psCode->GetBufferSize(), &ps);
    gpu.device->CreateInputLayout(&element, 1, vsCode->GetBufferPointer(), vsCode->GetBufferSize(), &layout);
    QP_BufferDesc vbDesc;
    vbDesc.byteWidth = sizeof(quadVertices);
    vbDesc.bindFlags = QP_BIND_VERTEX_BUFFER;
    QP_SubresourceData vbData;
    vbData.sysMem = quadVertices;
    QC_Ptr<QP_Buffer> vertexBuffer, constants;
    gpu.device->CreateBuffer(&vbDesc, &vbData, &vertexBuffer);
    QP_BufferDesc cbDesc;
    cbDesc.byteWidth = 16;
    cbDesc.usage = QP_USAGE_DYNAMIC;
    cbDesc.bindFlags = QP_BIND_CONSTANT_BUFFER;
    cbDesc.cpuAccessFlags = QP_CPU_ACCESS_WRITE;
    gpu.device->CreateBuffer(&cbDesc, nullptr, &constants);
    if (!vs || !ps || !layout || !vertexBuffer || !constants) {
        state.SkipWithError("setup failed");
        return;
    }
    QP_DeviceContext& context = *gpu.context;
    QP_RenderTargetView* views[] = {gpu.view.Get()};
    context.OMSetRenderTargets(1, views, nullptr);
    QP_Viewport viewport;
    viewport.width = 64;
    viewport.height = 64;
    context.RSSetViewports(1, &viewport);
    context.VSSetShader(vs.Get());
    context.PSSetShader(ps.Get());
    context.IASetInputLayout(layout.Get());
    QP_Buffer* vertexBuffers[] = {vertexBuffer.Get()};
    const std::uint32_t stride = 16, offset = 0;
    context.IASetVertexBuffers(0, 1, vertexBuffers, &stride, &offset);
    context.IASetPrimitiveTopology(QP_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    QP_Buffer* constantBuffers[] = {constants.Get()};
    context.PSSetConstantBuffers(0, 1, constantBuffers);
    const float clearColour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float red = 0.0f;
    for (auto _ : state) {
        QP_MappedSubresource mapped;
        context.Map(constants.Get(), 0, QP_MAP_WRITE_DISCARD, 0, &mapped);
        red = red > 1.0f ? 0.0f : red + 0.001f;
        const float colour[4] = {red, 0.5f, 0.25f, 1.0f};
        std::memcpy(mapped.data, colour, sizeof(colour));
        context.Unmap(constants.Get(), 0);
        if (clearBetween)
            context.ClearRenderTargetView(gpu.view.Get(), clearColour);
        context.Draw(6, 0);
    }
    glFinish();
    state.SetItemsProcessed(state.iterations());
    context.ClearState();
}

void BM_DrawThroughLayer(benchmark::State& state) { DrawThroughLayer(state, false); }
BENCHMARK(BM_DrawThroughLayer);

void BM_DrawWithClearThroughLayer(benchmark::State& state) { DrawThroughLayer(state, true); }
BENCHMARK(BM_DrawWithClearThroughLayer);

void BM_DrawRawGL(benchmark::State& state)
{
    Gpu& gpu = TheGpu();
    // The same GLSL the layer draws with, so only the layer's own work differs.
    QC_Ptr<QP_Blob> psCode = CompileOrDie(quadPixelStage, "ps_4_0");
    QC_Ptr<QP_Blob> vsCode = CompileOrDie(quadVertexStage, "vs_4_0");
    const char* vsText = QP_ShaderCodeText(vsCode.Get());
    const char* psText = QP_ShaderCodeText(psCode.Get());
    GLuint vs = glCreateShaderProgramv(GL_VERTEX_SHADER, 1, &vsText);
    GLuint ps = glCreateShaderProgramv(GL_FRAGMENT_SHADER, 1, &psText);
    GLuint pipeline = 0, vertexArray = 0, buffer = 0, framebuffer = 0, texture = 0;
    glCreateProgramPipelines(1, &pipeline);
    glUseProgramStages(pipeline, GL_VERTEX_SHADER_BIT, vs);
    glUseProgramStages(pipeline, GL_FRAGMENT_SHADER_BIT, ps);
    glBindProgramPipeline(pipeline);
    glCreateBuffers(1, &buffer);
    glNamedBufferStorage(buffer, sizeof(quadVertices), quadVertices, 0);
    glCreateVertexArrays(1, &vertexArray);
    glEnableVertexArrayAttrib(vertexArray, 0);
    glVertexArrayAttribFormat(vertexArray, 0, 4, GL_FLOAT, GL_FALSE, 0);
    glVertexArrayAttribBinding(vertexArray, 0, 0);
    glVertexArrayVertexBuffer(vertexArray, 0, buffer, 0, 16);
    glBindVertexArray(vertexArray);
    glCreateTextures(GL_TEXTURE_2D, 1, &texture);
    glTextureStorage2D(texture, 1, GL_RGBA8, 64, 64);
    glCreateFramebuffers(1, &framebuffer);
    glNamedFramebufferTexture(framebuffer, GL_COLOR_ATTACHMENT0, texture, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, 64, 64);
    const GLint location = glGetUniformLocation(ps, "QP_Constants0");
    float red = 0.0f;
    float cpuCopy[4];
    for (auto _ : state) {
        // The layer's constant buffer is CPU memory handed to the program at draw: the same here.
        red = red > 1.0f ? 0.0f : red + 0.001f;
        const float colour[4] = {red, 0.5f, 0.25f, 1.0f};
        std::memcpy(cpuCopy, colour, sizeof(colour));
        glProgramUniform4fv(ps, location, 1, cpuCopy);
        glDrawArrays(GL_TRIANGLES, 0, 6);
    }
    glFinish();
    state.SetItemsProcessed(state.iterations());
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &texture);
    glDeleteVertexArrays(1, &vertexArray);
    glDeleteBuffers(1, &buffer);
    glDeleteProgramPipelines(1, &pipeline);
    glDeleteProgram(vs);
    glDeleteProgram(ps);
    (void)gpu;
}
BENCHMARK(BM_DrawRawGL);

} // namespace
