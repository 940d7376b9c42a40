#pragma once
// A headless device with a 64x64 swap chain for the GPU tests, plus helpers to compile HLSL,
// build geometry and read pixels of the back buffer back (row 0 = top of the picture).

#include "QP_Device.h"
#include "QP_DeviceContext.h"
#include "QP_Factory.h"
#include "QP_ShaderCompiler.h"
#include "QP_SwapChain.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <dlfcn.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// Keeps the GL driver's modules mapped until the process ends. The driver leaves a few
// allocations behind when a context goes; LeakSanitizer names their module only while it is
// still loaded, which is what lets tests/support/lsan-driver.supp match them.
inline void PinGraphicsDriver()
{
    FILE* maps = std::fopen("/proc/self/maps", "r");
    if (!maps)
        return;
    char line[1024];
    while (std::fgets(line, sizeof(line), maps)) {
        const char* path = std::strchr(line, '/');
        if (!path || (!std::strstr(path, "_dri.so") && !std::strstr(path, "libgallium")))
            continue;
        std::string file(path);
        while (!file.empty() && (file.back() == '\n' || file.back() == ' '))
            file.pop_back();
        dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
    std::fclose(maps);
}

struct GpuColour
{
    int r, g, b, a;
};

inline std::ostream& operator<<(std::ostream& out, const GpuColour& colour)
{
    return out << "(" << colour.r << ", " << colour.g << ", " << colour.b << ", " << colour.a << ")";
}

// Channels within 2 of each other: rasterisers round blends and conversions differently.
inline ::testing::AssertionResult Near(const GpuColour& actual, const GpuColour& expected, int tolerance = 2)
{
    if (std::abs(actual.r - expected.r) <= tolerance && std::abs(actual.g - expected.g) <= tolerance &&
        std::abs(actual.b - expected.b) <= tolerance && std::abs(actual.a - expected.a) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel " << actual << ", expected " << expected;
}

// A vertex of the tests' common layout: position (POSITION) and texture coordinate (TEXCOORD0).
struct GpuVertex
{
    float x, y, z, w;
    float u, v;
};

constexpr const char* gpuPassThroughVertexShader = R"(
struct VSIn { float4 position : POSITION; float2 uv : TEXCOORD0; };
struct VSOut { float4 position : SV_POSITION; float2 uv : TEXCOORD0; };
VSOut QR_Main(VSIn input)
{
    VSOut output;
    output.position = input.position;
    output.uv = input.uv;
    return output;
}
)";

class QP_GpuTest : public ::testing::Test
{
protected:
    static constexpr std::uint32_t size = 64;

    void SetUp() override
    {
        QP_FactoryOptions options;
        options.headless = true;
        ASSERT_EQ(QP_CreateFactory(options, &factory), QP_OK);
        QC_Ptr<QP_Adapter> adapter;
        ASSERT_EQ(factory->EnumAdapters(0, &adapter), QP_OK);
        ASSERT_EQ(QP_CreateDevice(adapter.Get(), QP_DRIVER_TYPE_UNKNOWN, 0, &device, &context), QP_OK);
        PinGraphicsDriver();
        QP_SwapChainDesc desc;
        desc.bufferDesc.width = size;
        desc.bufferDesc.height = size;
        desc.bufferDesc.format = QP_FORMAT_R8G8B8A8_UNORM;
        ASSERT_EQ(factory->CreateSwapChain(device.Get(), &desc, &swapChain), QP_OK);
        QC_Ptr<QP_Texture2D> backBuffer;
        ASSERT_EQ(swapChain->GetBuffer(0, &backBuffer), QP_OK);
        ASSERT_EQ(device->CreateRenderTargetView(backBuffer.Get(), nullptr, &backBufferView), QP_OK);
        BindBackBuffer(nullptr);
        QP_RasterizerDesc noCull;
        noCull.cullMode = QP_CULL_NONE;
        ASSERT_EQ(device->CreateRasterizerState(&noCull, &noCullState), QP_OK);
        context->RSSetState(noCullState.Get());
        context->IASetPrimitiveTopology(QP_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    }

    void BindBackBuffer(QP_DepthStencilView* depth)
    {
        QP_RenderTargetView* views[] = {backBufferView.Get()};
        context->OMSetRenderTargets(1, views, depth);
        SetViewport(size, size);
    }

    void SetViewport(std::uint32_t width, std::uint32_t height)
    {
        QP_Viewport viewport;
        viewport.width = static_cast<float>(width);
        viewport.height = static_cast<float>(height);
        context->RSSetViewports(1, &viewport);
    }

    void ClearBackBuffer(float r, float g, float b, float a)
    {
        const float colour[4] = {r, g, b, a};
        context->ClearRenderTargetView(backBufferView.Get(), colour);
    }

    QC_Ptr<QP_Blob> Compile(const char* source, const char* profile)
    {
        QC_Ptr<QP_Blob> code, errors;
        const QP_Result result = QP_Compile(source, std::strlen(source), nullptr, "QR_Main", profile, &code, &errors);
        EXPECT_EQ(result, QP_OK) << QP_BlobText(errors.Get());
        return code;
    }

    // Compiles and binds a vertex stage with an input layout for GpuVertex.
    void UseVertexShader(const char* source)
    {
        QC_Ptr<QP_Blob> code = Compile(source, "vs_4_0");
        ASSERT_TRUE(code);
        QC_Ptr<QP_VertexShader> shader;
        ASSERT_EQ(device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), &shader), QP_OK);
        const QP_InputElementDesc elements[] = {
            {"POSITION", 0, QP_FORMAT_R32G32B32A32_FLOAT, 0, 0, QP_INPUT_PER_VERTEX_DATA, 0},
            {"TEXCOORD", 0, QP_FORMAT_R32G32_FLOAT, 0, QP_APPEND_ALIGNED_ELEMENT, QP_INPUT_PER_VERTEX_DATA, 0},
        };
        QC_Ptr<QP_InputLayout> layout;
        ASSERT_EQ(device->CreateInputLayout(elements, 2, code->GetBufferPointer(), code->GetBufferSize(), &layout),
                  QP_OK);
        context->VSSetShader(shader.Get());
        context->IASetInputLayout(layout.Get());
    }

    void UsePixelShader(const char* source)
    {
        QC_Ptr<QP_Blob> code = Compile(source, "ps_4_0");
        ASSERT_TRUE(code);
        QC_Ptr<QP_PixelShader> shader;
        ASSERT_EQ(device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), &shader), QP_OK);
        context->PSSetShader(shader.Get());
    }

    QC_Ptr<QP_Buffer> MakeVertexBuffer(const std::vector<GpuVertex>& vertices, QP_Usage usage = QP_USAGE_DEFAULT)
    {
        QP_BufferDesc desc;
        desc.byteWidth = static_cast<std::uint32_t>(vertices.size() * sizeof(GpuVertex));
        desc.usage = usage;
        desc.bindFlags = QP_BIND_VERTEX_BUFFER;
        desc.cpuAccessFlags = usage == QP_USAGE_DYNAMIC ? std::uint32_t{QP_CPU_ACCESS_WRITE} : 0u;
        QP_SubresourceData data;
        data.sysMem = vertices.data();
        QC_Ptr<QP_Buffer> buffer;
        EXPECT_EQ(device->CreateBuffer(&desc, &data, &buffer), QP_OK);
        return buffer;
    }

    // Six vertices of a rectangle in clip coordinates (y up), clockwise on screen, with texture
    // coordinates (0, 0) at its top left and (1, 1) at its bottom right.
    static void AppendQuad(std::vector<GpuVertex>& out, float left, float bottom, float right, float top, float z = 0.5f)
    {
        const GpuVertex topLeft = {left, top, z, 1, 0, 0};
        const GpuVertex topRight = {right, top, z, 1, 1, 0};
        const GpuVertex bottomLeft = {left, bottom, z, 1, 0, 1};
        const GpuVertex bottomRight = {right, bottom, z, 1, 1, 1};
        out.insert(out.end(), {topLeft, topRight, bottomLeft, topRight, bottomRight, bottomLeft});
    }

    void DrawVertices(QP_Buffer* buffer, std::uint32_t count)
    {
        const std::uint32_t stride = sizeof(GpuVertex), offset = 0;
        context->IASetVertexBuffers(0, 1, &buffer, &stride, &offset);
        context->Draw(count, 0);
    }

    void DrawQuad(float left, float bottom, float right, float top, float z = 0.5f)
    {
        std::vector<GpuVertex> vertices;
        AppendQuad(vertices, left, bottom, right, top, z);
        QC_Ptr<QP_Buffer> buffer = MakeVertexBuffer(vertices);
        DrawVertices(buffer.Get(), 6);
    }

    QC_Ptr<QP_Buffer> MakeConstantBuffer(const void* data, std::uint32_t bytes, QP_Usage usage = QP_USAGE_DEFAULT)
    {
        QP_BufferDesc desc;
        desc.byteWidth = bytes;
        desc.usage = usage;
        desc.bindFlags = QP_BIND_CONSTANT_BUFFER;
        desc.cpuAccessFlags = usage == QP_USAGE_DYNAMIC ? std::uint32_t{QP_CPU_ACCESS_WRITE} : 0u;
        QP_SubresourceData initial;
        initial.sysMem = data;
        QC_Ptr<QP_Buffer> buffer;
        EXPECT_EQ(device->CreateBuffer(&desc, data ? &initial : nullptr, &buffer), QP_OK);
        return buffer;
    }

    QC_Ptr<QP_SamplerState> PointSampler()
    {
        QP_SamplerDesc desc;
        desc.filter = QP_FILTER_MIN_MAG_MIP_POINT;
        QC_Ptr<QP_SamplerState> sampler;
        EXPECT_EQ(device->CreateSamplerState(&desc, &sampler), QP_OK);
        return sampler;
    }

    void ReadBack()
    {
        pixels.assign(size * size * 4, 0);
        ASSERT_EQ(swapChain->ReadBackBuffer(pixels.data(), size * 4), QP_OK);
    }

    GpuColour Pixel(std::uint32_t x, std::uint32_t y) const
    {
        const std::uint8_t* p = pixels.data() + (static_cast<std::size_t>(y) * size + x) * 4;
        return {p[0], p[1], p[2], p[3]};
    }

    QC_Ptr<QP_Factory> factory;
    QC_Ptr<QP_Device> device;
    QC_Ptr<QP_DeviceContext> context;
    QC_Ptr<QP_SwapChain> swapChain;
    QC_Ptr<QP_RenderTargetView> backBufferView;
    QC_Ptr<QP_RasterizerState> noCullState;
    std::vector<std::uint8_t> pixels;
};
