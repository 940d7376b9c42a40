// The graphics device on the headless GL context, checked by the pixels it leaves in the back
// buffer: clears, depth, winding, texture orientation, constants, stage linking, instancing,
// blending, fill modes, scissors, mapping and partial uploads.

#include "support/GpuTestSupport.h"

namespace {

constexpr const char* solidColourPixelShader = R"(
cbuffer Colour : register(b0) { float4 colour; };
float4 QR_Main(float4 position : SV_POSITION) : SV_TARGET { return colour; }
)";

constexpr const char* texturedPixelShader = R"(
Texture2D image : register(t0);
SamplerState imageSampler : register(s0);
struct PSIn { float4 position : SV_POSITION; float2 uv : TEXCOORD0; };
float4 QR_Main(PSIn input) : SV_TARGET { return image.Sample(imageSampler, input.uv); }
)";

} // namespace

class QP_DeviceTest : public QP_GpuTest
{
protected:
    void UseSolidColour(float r, float g, float b, float a)
    {
        const float colour[4] = {r, g, b, a};
        colourBuffer = MakeConstantBuffer(colour, sizeof(colour));
        QP_Buffer* buffers[] = {colourBuffer.Get()};
        context->PSSetConstantBuffers(0, 1, buffers);
    }

    // Draws the texture over the whole back buffer with a point sampler.
    void ShowTexture(QP_Texture2D* texture)
    {
        QC_Ptr<QP_ShaderResourceView> view;
        ASSERT_EQ(device->CreateShaderResourceView(texture, nullptr, &view), QP_OK);
        QC_Ptr<QP_SamplerState> sampler = PointSampler();
        BindBackBuffer(nullptr);
        UseVertexShader(gpuPassThroughVertexShader);
        UsePixelShader(texturedPixelShader);
        QP_ShaderResourceView* views[] = {view.Get()};
        QP_SamplerState* samplers[] = {sampler.Get()};
        context->PSSetShaderResources(0, 1, views);
        context->PSSetSamplers(0, 1, samplers);
        DrawQuad(-1, -1, 1, 1);
        QP_ShaderResourceView* none[] = {nullptr};
        context->PSSetShaderResources(0, 1, none);
    }

    QC_Ptr<QP_Texture2D> MakeTexture(std::uint32_t width, std::uint32_t height, const std::uint8_t* rgba,
                                     QP_Format format = QP_FORMAT_R8G8B8A8_UNORM, std::uint32_t bindFlags = QP_BIND_SHADER_RESOURCE)
    {
        QP_Texture2DDesc desc;
        desc.width = width;
        desc.height = height;
        desc.format = format;
        desc.bindFlags = bindFlags;
        QP_SubresourceData data;
        data.sysMem = rgba;
        data.sysMemPitch = width * 4;
        QC_Ptr<QP_Texture2D> texture;
        EXPECT_EQ(device->CreateTexture2D(&desc, rgba ? &data : nullptr, &texture), QP_OK);
        return texture;
    }

    QC_Ptr<QP_Buffer> colourBuffer;
};

TEST_F(QP_DeviceTest, ClearsBackBufferAndRenderTargetWithDirect3DColours)
{
    // 255, 128, 0, 255 as the renderer converts it: bytes divided by 255.
    ClearBackBuffer(1.0f, 128.0f / 255.0f, 0.0f, 1.0f);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(0, 0), {255, 128, 0, 255}, 0));
    EXPECT_TRUE(Near(Pixel(63, 63), {255, 128, 0, 255}, 0));

    // A float render target cleared, then shown through a sampler.
    QC_Ptr<QP_Texture2D> target =
        MakeTexture(16, 16, nullptr, QP_FORMAT_R32G32B32A32_FLOAT, QP_BIND_SHADER_RESOURCE | QP_BIND_RENDER_TARGET);
    QC_Ptr<QP_RenderTargetView> targetView;
    ASSERT_EQ(device->CreateRenderTargetView(target.Get(), nullptr, &targetView), QP_OK);
    const float colour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    context->ClearRenderTargetView(targetView.Get(), colour);
    ShowTexture(target.Get());
    ReadBack();
    EXPECT_TRUE(Near(Pixel(32, 32), {64, 128, 191, 255}));
}

TEST_F(QP_DeviceTest, ClearIgnoresScissorAndWriteMask)
{
    QP_RasterizerDesc scissored;
    scissored.cullMode = QP_CULL_NONE;
    scissored.scissorEnable = true;
    QC_Ptr<QP_RasterizerState> state;
    ASSERT_EQ(device->CreateRasterizerState(&scissored, &state), QP_OK);
    QP_BlendDesc1 noWrites;
    noWrites.renderTarget[0].renderTargetWriteMask = 0;
    QC_Ptr<QP_BlendState> blend;
    ASSERT_EQ(device->CreateBlendState1(&noWrites, &blend), QP_OK);
    const QP_Rect rect = {0, 0, 4, 4};
    context->RSSetScissorRects(1, &rect);
    context->RSSetState(state.Get());
    context->OMSetBlendState(blend.Get(), nullptr, 0xFFFFFFFF);
    UseVertexShader(gpuPassThroughVertexShader);
    UseSolidColour(1, 1, 1, 1);
    UsePixelShader(solidColourPixelShader);
    DrawQuad(-1, -1, 1, 1);
    ClearBackBuffer(0, 1, 0, 1);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(60, 60), {0, 255, 0, 255}, 0));
}

TEST_F(QP_DeviceTest, DepthClearAndLessTestKeepTheNearerQuad)
{
    QP_Texture2DDesc depthDesc;
    depthDesc.width = size;
    depthDesc.height = size;
    depthDesc.format = QP_FORMAT_D24_UNORM_S8_UINT;
    depthDesc.bindFlags = QP_BIND_DEPTH_STENCIL;
    QC_Ptr<QP_Texture2D> depth;
    ASSERT_EQ(device->CreateTexture2D(&depthDesc, nullptr, &depth), QP_OK);
    QC_Ptr<QP_DepthStencilView> depthView;
    ASSERT_EQ(device->CreateDepthStencilView(depth.Get(), nullptr, &depthView), QP_OK);
    QP_DepthStencilDesc less;
    less.depthFunc = QP_COMPARISON_LESS;
    QC_Ptr<QP_DepthStencilState> depthState;
    ASSERT_EQ(device->CreateDepthStencilState(&less, &depthState), QP_OK);

    BindBackBuffer(depthView.Get());
    context->OMSetDepthStencilState(depthState.Get(), 0);
    ClearBackBuffer(0, 0, 0, 1);
    context->ClearDepthStencilView(depthView.Get(), QP_CLEAR_DEPTH | QP_CLEAR_STENCIL, 1.0f, 0);
    UseVertexShader(gpuPassThroughVertexShader);
    UsePixelShader(solidColourPixelShader);
    UseSolidColour(1, 0, 0, 1);
    DrawQuad(-1, -1, 0.5f, 1, 0.5f); // red, nearer, left part
    UseSolidColour(0, 1, 0, 1);
    DrawQuad(-0.5f, -1, 1, 1, 0.7f); // green, farther, overlaps on the middle
    ReadBack();
    EXPECT_TRUE(Near(Pixel(4, 32), {255, 0, 0, 255}, 0));
    EXPECT_TRUE(Near(Pixel(32, 32), {255, 0, 0, 255}, 0)) << "the farther quad must fail the Less test";
    EXPECT_TRUE(Near(Pixel(60, 32), {0, 255, 0, 255}, 0));

    // A depth clear to 0.6 lets only the nearer depth pass.
    context->ClearDepthStencilView(depthView.Get(), QP_CLEAR_DEPTH, 0.6f, 0);
    UseSolidColour(0, 0, 1, 1);
    DrawQuad(-1, -1, 1, 1, 0.7f);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(32, 32), {255, 0, 0, 255}, 0));
    DrawQuad(-1, -1, 1, 1, 0.55f);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(32, 32), {0, 0, 255, 255}, 0));
}

TEST_F(QP_DeviceTest, ClockwiseTriangleOnScreenIsFrontFacing)
{
    // Top left, top right, bottom left: clockwise on a screen whose y grows downwards.
    std::vector<GpuVertex> triangle = {{-1, 1, 0.5f, 1, 0, 0}, {1, 1, 0.5f, 1, 0, 0}, {-1, -1, 0.5f, 1, 0, 0}};
    QC_Ptr<QP_Buffer> buffer = MakeVertexBuffer(triangle);
    UseVertexShader(gpuPassThroughVertexShader);
    UseSolidColour(1, 1, 1, 1);
    UsePixelShader(solidColourPixelShader);

    QP_RasterizerDesc desc;
    desc.cullMode = QP_CULL_BACK;
    QC_Ptr<QP_RasterizerState> cullBack, cullFront, cullBackCounterClockwise;
    ASSERT_EQ(device->CreateRasterizerState(&desc, &cullBack), QP_OK);
    desc.cullMode = QP_CULL_FRONT;
    ASSERT_EQ(device->CreateRasterizerState(&desc, &cullFront), QP_OK);
    desc.cullMode = QP_CULL_BACK;
    desc.frontCounterClockwise = true;
    ASSERT_EQ(device->CreateRasterizerState(&desc, &cullBackCounterClockwise), QP_OK);

    ClearBackBuffer(0, 0, 0, 1);
    context->RSSetState(cullBack.Get());
    DrawVertices(buffer.Get(), 3);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(4, 4), {255, 255, 255, 255}, 0)) << "culling back faces must keep it";

    ClearBackBuffer(0, 0, 0, 1);
    context->RSSetState(cullFront.Get());
    DrawVertices(buffer.Get(), 3);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(4, 4), {0, 0, 0, 255}, 0)) << "culling front faces must drop it";

    ClearBackBuffer(0, 0, 0, 1);
    context->RSSetState(cullBackCounterClockwise.Get());
    DrawVertices(buffer.Get(), 3);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(4, 4), {0, 0, 0, 255}, 0)) << "with counter-clockwise fronts it is a back face";
}

TEST_F(QP_DeviceTest, ImagesAndRenderTargetsKeepRowZeroAtTheTop)
{
    // Uploaded in memory order: the first row is red and must sample at v = 0 (the top).
    const std::uint8_t image[] = {
        255, 0, 0, 255, 255, 0, 0, 255, //
        0, 255, 0, 255, 0, 255, 0, 255,
    };
    QC_Ptr<QP_Texture2D> texture = MakeTexture(2, 2, image);
    ShowTexture(texture.Get());
    ReadBack();
    EXPECT_TRUE(Near(Pixel(10, 0), {255, 0, 0, 255}, 0)) << "read-back row 0 is the top of the picture";
    EXPECT_TRUE(Near(Pixel(10, 20), {255, 0, 0, 255}, 0));
    EXPECT_TRUE(Near(Pixel(10, 63), {0, 255, 0, 255}, 0));

    // A render target drawn red in its top half (clip y from 0 to 1), then sampled.
    QC_Ptr<QP_Texture2D> target =
        MakeTexture(32, 32, nullptr, QP_FORMAT_R32G32B32A32_FLOAT, QP_BIND_SHADER_RESOURCE | QP_BIND_RENDER_TARGET);
    QC_Ptr<QP_RenderTargetView> targetView;
    ASSERT_EQ(device->CreateRenderTargetView(target.Get(), nullptr, &targetView), QP_OK);
    QP_RenderTargetView* views[] = {targetView.Get()};
    context->OMSetRenderTargets(1, views, nullptr);
    SetViewport(32, 32);
    const float black[4] = {0, 0, 0, 1};
    context->ClearRenderTargetView(targetView.Get(), black);
    UseVertexShader(gpuPassThroughVertexShader);
    UsePixelShader(solidColourPixelShader);
    UseSolidColour(1, 0, 0, 1);
    DrawQuad(-1, 0, 1, 1);
    ShowTexture(target.Get());
    ReadBack();
    EXPECT_TRUE(Near(Pixel(32, 2), {255, 0, 0, 255}, 0));
    EXPECT_TRUE(Near(Pixel(32, 30), {255, 0, 0, 255}, 0));
    EXPECT_TRUE(Near(Pixel(32, 34), {0, 0, 0, 255}, 0));
    EXPECT_TRUE(Near(Pixel(32, 62), {0, 0, 0, 255}, 0));
}

TEST_F(QP_DeviceTest, ConstantBlockReachesTheShaderAtHlslOffsets)
{
    // HLSL packing: scale at 0, tint at 4 (fits the rest of the first row), shift at 16,
    // transform from 32 (a matrix starts a new row), each register one column.
    const char* pixelShader = R"(
cbuffer Block : register(b0)
{
    float scale;
    float3 tint;
    float2 shift;
    float4x4 transform;
};
float4 QR_Main(float4 position : SV_POSITION) : SV_TARGET
{
    int column = int(position.x) / 8;
    if (column == 0) return float4(scale, tint);
    if (column == 1) return float4(shift, 0, 1);
    if (column == 2) return mul(float4(1, 0, 0, 0), transform);
    if (column == 3) return mul(float4(0, 0, 0, 1), transform);
    if (column == 4) return transform[1];
    return float4(transform._m23, transform._m32, 0, 1);
}
)";
    float block[24] = {};
    block[0] = 10 / 255.0f;
    block[1] = 20 / 255.0f;
    block[2] = 30 / 255.0f;
    block[3] = 40 / 255.0f;
    block[4] = 50 / 255.0f;
    block[5] = 60 / 255.0f;
    for (int i = 0; i < 16; ++i)
        block[8 + i] = static_cast<float>(100 + i) / 255.0f; // register c holds column c
    UseVertexShader(gpuPassThroughVertexShader);
    UsePixelShader(pixelShader);
    QC_Ptr<QP_Buffer> buffer = MakeConstantBuffer(block, sizeof(block));
    QP_Buffer* buffers[] = {buffer.Get()};
    context->PSSetConstantBuffers(0, 1, buffers);
    ClearBackBuffer(0, 0, 0, 0);
    DrawQuad(-1, -1, 1, 1);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(4, 4), {10, 20, 30, 40}, 1)) << "float then float3";
    EXPECT_TRUE(Near(Pixel(12, 4), {50, 60, 0, 255}, 1)) << "float2 at offset 16";
    EXPECT_TRUE(Near(Pixel(20, 4), {100, 104, 108, 112}, 1)) << "row 0 of the matrix";
    EXPECT_TRUE(Near(Pixel(28, 4), {103, 107, 111, 115}, 1)) << "row 3 of the matrix";
    EXPECT_TRUE(Near(Pixel(36, 4), {101, 105, 109, 113}, 1)) << "transform[1] is row 1";
    // _m23 is row 2, column 3: register 3, component 2.
    EXPECT_TRUE(Near(Pixel(44, 4), {114, 111, 0, 255}, 1)) << "_m23 and _m32";
}

TEST_F(QP_DeviceTest, StagesMeetBySemanticNotByOrder)
{
    const char* vertexShader = R"(
struct VSIn { float4 position : POSITION; float2 uv : TEXCOORD0; };
struct VSOut
{
    float4 colour : COLOR;
    float2 first : TEXCOORD0;
    float4 position : SV_POSITION;
    float second : TEXCOORD1;
};
VSOut QR_Main(VSIn input)
{
    VSOut output;
    output.colour = float4(0.2, 0.4, 0.6, 1.0);
    output.first = float2(0.1, 0.3);
    output.position = input.position;
    output.second = 0.8;
    return output;
}
)";
    const char* pixelShader = R"(
struct PSIn
{
    float4 position : SV_POSITION;
    float second : TEXCOORD1;
    float4 colour : COLOR;
    float2 first : TEXCOORD0;
};
float4 QR_Main(PSIn input) : SV_TARGET
{
    return float4(input.second, input.colour.g, input.first.y, 1.0);
}
)";
    UseVertexShader(vertexShader);
    UsePixelShader(pixelShader);
    DrawQuad(-1, -1, 1, 1);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(32, 32), {204, 102, 77, 255}));
}

TEST_F(QP_DeviceTest, InstancesCountFromZero)
{
    const char* vertexShader = R"(
struct VSIn { float4 position : POSITION; float2 uv : TEXCOORD0; uint instance : SV_InstanceId; };
struct VSOut { float4 position : SV_POSITION; float4 colour : COLOR; };
VSOut QR_Main(VSIn input)
{
    VSOut output;
    // Each instance takes a quarter of the width, from the left.
    output.position = float4((input.position.x + 1.0) * 0.25 - 1.0 + 0.5 * input.instance, input.position.yzw);
    output.colour = float4(input.instance / 4.0, 0, 1, 1);
    return output;
}
)";
    const char* pixelShader = R"(
float4 QR_Main(float4 position : SV_POSITION, float4 colour : COLOR) : SV_TARGET { return colour; }
)";
    UseVertexShader(vertexShader);
    UsePixelShader(pixelShader);
    std::vector<GpuVertex> vertices;
    AppendQuad(vertices, -1, -1, 1, 1);
    QC_Ptr<QP_Buffer> buffer = MakeVertexBuffer(vertices);
    QP_Buffer* buffers[] = {buffer.Get()};
    const std::uint32_t stride = sizeof(GpuVertex), offset = 0;
    context->IASetVertexBuffers(0, 1, buffers, &stride, &offset);
    ClearBackBuffer(0, 0, 0, 0);
    context->DrawInstanced(6, 4, 0, 0);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(8, 32), {0, 0, 255, 255}));
    EXPECT_TRUE(Near(Pixel(24, 32), {64, 0, 255, 255}));
    EXPECT_TRUE(Near(Pixel(40, 32), {128, 0, 255, 255}));
    EXPECT_TRUE(Near(Pixel(56, 32), {191, 0, 255, 255}));

    // Indexed and instanced: the same picture from four indexed vertices.
    const std::uint32_t indices[] = {0, 1, 2, 1, 4, 2};
    QP_BufferDesc indexDesc;
    indexDesc.byteWidth = sizeof(indices);
    indexDesc.bindFlags = QP_BIND_INDEX_BUFFER;
    QP_SubresourceData indexData;
    indexData.sysMem = indices;
    QC_Ptr<QP_Buffer> indexBuffer;
    ASSERT_EQ(device->CreateBuffer(&indexDesc, &indexData, &indexBuffer), QP_OK);
    context->IASetIndexBuffer(indexBuffer.Get(), QP_FORMAT_R32_UINT, 0);
    ClearBackBuffer(0, 0, 0, 0);
    context->DrawIndexedInstanced(6, 4, 0, 0, 0);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(8, 32), {0, 0, 255, 255}));
    EXPECT_TRUE(Near(Pixel(56, 32), {191, 0, 255, 255}));
}

TEST_F(QP_DeviceTest, BlendsWithSourceAlphaAndWithBlendFactor)
{
    UseVertexShader(gpuPassThroughVertexShader);
    UsePixelShader(solidColourPixelShader);

    QP_BlendDesc alphaDesc;
    alphaDesc.blendEnable[0] = true;
    alphaDesc.srcBlend = QP_BLEND_SRC_ALPHA;
    alphaDesc.destBlend = QP_BLEND_INV_SRC_ALPHA;
    alphaDesc.srcBlendAlpha = QP_BLEND_ONE;
    alphaDesc.destBlendAlpha = QP_BLEND_ZERO;
    QC_Ptr<QP_BlendState> alphaBlend;
    ASSERT_EQ(device->CreateBlendState(&alphaDesc, &alphaBlend), QP_OK);
    ClearBackBuffer(0, 0, 1, 1);
    context->OMSetBlendState(alphaBlend.Get(), nullptr, 0xFFFFFFFF);
    UseSolidColour(1, 0, 0, 0.25f);
    DrawQuad(-1, -1, 1, 1);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(32, 32), {64, 0, 191, 64}));

    QP_BlendDesc factorDesc = alphaDesc;
    factorDesc.srcBlend = QP_BLEND_BLEND_FACTOR;
    factorDesc.destBlend = QP_BLEND_INV_SRC_COLOR;
    QC_Ptr<QP_BlendState> factorBlend;
    ASSERT_EQ(device->CreateBlendState(&factorDesc, &factorBlend), QP_OK);
    ClearBackBuffer(0, 1, 0, 1);
    const float factor[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    context->OMSetBlendState(factorBlend.Get(), factor, 0xFFFFFFFF);
    UseSolidColour(1, 0.5f, 0, 1);
    DrawQuad(-1, -1, 1, 1);
    ReadBack();
    // src * factor + dest * (1 - src): (0.5, 0.25 + 0.5, 0).
    EXPECT_TRUE(Near(Pixel(32, 32), {128, 191, 0, 255}));

    // Without a factor the platform uses ones.
    context->OMSetBlendState(factorBlend.Get(), nullptr, 0xFFFFFFFF);
    ClearBackBuffer(0, 0, 0, 1);
    DrawQuad(-1, -1, 1, 1);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(32, 32), {255, 128, 0, 255}));
}

TEST_F(QP_DeviceTest, WireframeDrawsOnlyTheEdges)
{
    QP_RasterizerDesc desc;
    desc.cullMode = QP_CULL_NONE;
    desc.fillMode = QP_FILL_WIREFRAME;
    QC_Ptr<QP_RasterizerState> wireframe;
    ASSERT_EQ(device->CreateRasterizerState(&desc, &wireframe), QP_OK);
    UseVertexShader(gpuPassThroughVertexShader);
    UsePixelShader(solidColourPixelShader);
    UseSolidColour(1, 1, 1, 1);
    ClearBackBuffer(0, 0, 0, 1);
    context->RSSetState(wireframe.Get());
    DrawQuad(-0.5f, -0.5f, 0.5f, 0.5f);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(24, 26), {0, 0, 0, 255}, 0)) << "inside stays empty";
    int edgePixels = 0;
    for (std::uint32_t x = 16; x < 48; ++x)
        edgePixels += Pixel(x, 16).r == 255 || Pixel(x, 15).r == 255 || Pixel(x, 17).r == 255;
    EXPECT_GE(edgePixels, 28) << "the top edge is drawn";

    context->RSSetState(noCullState.Get());
    DrawQuad(-0.5f, -0.5f, 0.5f, 0.5f);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(24, 26), {255, 255, 255, 255}, 0));
}

TEST_F(QP_DeviceTest, ScissorRectangleUsesTopLeftCoordinates)
{
    QP_RasterizerDesc desc;
    desc.cullMode = QP_CULL_NONE;
    desc.scissorEnable = true;
    QC_Ptr<QP_RasterizerState> scissored;
    ASSERT_EQ(device->CreateRasterizerState(&desc, &scissored), QP_OK);
    UseVertexShader(gpuPassThroughVertexShader);
    UsePixelShader(solidColourPixelShader);
    UseSolidColour(1, 0, 0, 1);
    ClearBackBuffer(0, 0, 0, 1);
    context->RSSetState(scissored.Get());
    const QP_Rect rect = {8, 4, 24, 12}; // left, top, right, bottom
    context->RSSetScissorRects(1, &rect);
    DrawQuad(-1, -1, 1, 1);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(8, 4), {255, 0, 0, 255}, 0));
    EXPECT_TRUE(Near(Pixel(23, 11), {255, 0, 0, 255}, 0));
    EXPECT_TRUE(Near(Pixel(7, 4), {0, 0, 0, 255}, 0));
    EXPECT_TRUE(Near(Pixel(8, 3), {0, 0, 0, 255}, 0));
    EXPECT_TRUE(Near(Pixel(24, 8), {0, 0, 0, 255}, 0));
    EXPECT_TRUE(Near(Pixel(10, 12), {0, 0, 0, 255}, 0));
    EXPECT_TRUE(Near(Pixel(10, 55), {0, 0, 0, 255}, 0)) << "not mirrored to the bottom";
}

TEST_F(QP_DeviceTest, MapWithDiscardRewritesDynamicBuffersBetweenDraws)
{
    UseVertexShader(gpuPassThroughVertexShader);
    UsePixelShader(solidColourPixelShader);
    std::vector<GpuVertex> vertices;
    AppendQuad(vertices, -1, -1, 0, 1);
    QC_Ptr<QP_Buffer> vertexBuffer = MakeVertexBuffer(vertices, QP_USAGE_DYNAMIC);
    QC_Ptr<QP_Buffer> constants = MakeConstantBuffer(nullptr, 16, QP_USAGE_DYNAMIC);
    QP_Buffer* constantBuffers[] = {constants.Get()};
    context->PSSetConstantBuffers(0, 1, constantBuffers);
    ClearBackBuffer(0, 0, 0, 1);

    const float colours[2][4] = {{1, 0, 0, 1}, {0, 1, 0, 1}};
    for (int draw = 0; draw < 2; ++draw) {
        QP_MappedSubresource mapped;
        ASSERT_EQ(context->Map(constants.Get(), 0, QP_MAP_WRITE_DISCARD, 0, &mapped), QP_OK);
        std::memcpy(mapped.data, colours[draw], sizeof(colours[draw]));
        context->Unmap(constants.Get(), 0);
        ASSERT_EQ(context->Map(vertexBuffer.Get(), 0, QP_MAP_WRITE_DISCARD, 0, &mapped), QP_OK);
        std::vector<GpuVertex> quad;
        AppendQuad(quad, draw == 0 ? -1.0f : 0.0f, -1, draw == 0 ? 0.0f : 1.0f, 1);
        std::memcpy(mapped.data, quad.data(), quad.size() * sizeof(GpuVertex));
        context->Unmap(vertexBuffer.Get(), 0);
        DrawVertices(vertexBuffer.Get(), 6);
    }
    ReadBack();
    EXPECT_TRUE(Near(Pixel(10, 32), {255, 0, 0, 255}, 0)) << "the first draw keeps its own data";
    EXPECT_TRUE(Near(Pixel(54, 32), {0, 255, 0, 255}, 0));

    // A draw past the end of the buffer is refused instead of reading unowned memory.
    ClearBackBuffer(0, 0, 0, 1);
    DrawVertices(vertexBuffer.Get(), 7);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(54, 32), {0, 0, 0, 255}, 0));

    // Direct3D's rules: default buffers and read maps are refused.
    QP_MappedSubresource mapped;
    QC_Ptr<QP_Buffer> fixed = MakeVertexBuffer(vertices);
    EXPECT_EQ(context->Map(fixed.Get(), 0, QP_MAP_WRITE_DISCARD, 0, &mapped), QP_E_INVALIDARG);
    EXPECT_EQ(context->Map(vertexBuffer.Get(), 0, QP_MAP_READ, 0, &mapped), QP_E_INVALIDARG);
    EXPECT_EQ(mapped.data, nullptr);
}

TEST_F(QP_DeviceTest, UpdateSubresourceWritesASubRectangleWithARowPitch)
{
    std::vector<std::uint8_t> black(4 * 4 * 4, 0);
    for (std::size_t i = 3; i < black.size(); i += 4)
        black[i] = 255;
    QC_Ptr<QP_Texture2D> texture = MakeTexture(4, 4, black.data());

    // A 2x2 rectangle at (1, 1) taken from an image 5 pixels wide (pitch 20 bytes).
    std::vector<std::uint8_t> source(5 * 2 * 4, 0);
    const std::uint8_t colours[4][4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 0, 255}};
    std::memcpy(&source[0], colours[0], 4);
    std::memcpy(&source[4], colours[1], 4);
    std::memcpy(&source[20], colours[2], 4);
    std::memcpy(&source[24], colours[3], 4);
    QP_Box box;
    box.left = 1;
    box.top = 1;
    box.right = 3;
    box.bottom = 3;
    context->UpdateSubresource(texture.Get(), 0, &box, source.data(), 20, 0);

    // A pitch that is no whole number of pixels (9 bytes) into the last row's right texel.
    const std::uint8_t odd[9] = {255, 255, 255, 255, 0, 0, 0, 0, 0};
    QP_Box corner;
    corner.left = 3;
    corner.top = 3;
    corner.right = 4;
    corner.bottom = 4;
    context->UpdateSubresource(texture.Get(), 0, &corner, odd, 9, 0);

    ShowTexture(texture.Get());
    ReadBack();
    // Texel (x, y) covers back buffer pixels 16x..16x+15.
    EXPECT_TRUE(Near(Pixel(24, 24), {255, 0, 0, 255}, 0));
    EXPECT_TRUE(Near(Pixel(40, 24), {0, 255, 0, 255}, 0));
    EXPECT_TRUE(Near(Pixel(24, 40), {0, 0, 255, 255}, 0));
    EXPECT_TRUE(Near(Pixel(40, 40), {255, 255, 0, 255}, 0));
    EXPECT_TRUE(Near(Pixel(8, 8), {0, 0, 0, 255}, 0));
    EXPECT_TRUE(Near(Pixel(56, 24), {0, 0, 0, 255}, 0));
    EXPECT_TRUE(Near(Pixel(56, 56), {255, 255, 255, 255}, 0));

    // A box outside the texture is refused and changes nothing.
    QP_Box outside;
    outside.left = 3;
    outside.top = 0;
    outside.right = 5;
    outside.bottom = 1;
    context->UpdateSubresource(texture.Get(), 0, &outside, source.data(), 20, 0);
    ShowTexture(texture.Get());
    ReadBack();
    EXPECT_TRUE(Near(Pixel(56, 8), {0, 0, 0, 255}, 0));
}

TEST_F(QP_DeviceTest, CreationRefusesNumbersOutsideTheTablesAndLayoutsMissingAnInput)
{
    QP_BlendDesc1 blend;
    blend.renderTarget[0].srcBlend = static_cast<QP_Blend>(12);
    EXPECT_EQ(device->CreateBlendState1(&blend, nullptr), QP_E_INVALIDARG);
    blend.renderTarget[0].srcBlend = QP_BLEND_ONE;
    blend.renderTarget[0].blendOp = static_cast<QP_BlendOp>(6);
    EXPECT_EQ(device->CreateBlendState1(&blend, nullptr), QP_E_INVALIDARG);
    blend.renderTarget[0].blendOp = QP_BLEND_OP_MAX;
    EXPECT_EQ(device->CreateBlendState1(&blend, nullptr), QP_OK);

    QP_RasterizerDesc raster;
    raster.cullMode = static_cast<QP_CullMode>(0);
    EXPECT_EQ(device->CreateRasterizerState(&raster, nullptr), QP_E_INVALIDARG);
    raster.cullMode = QP_CULL_BACK;
    raster.fillMode = static_cast<QP_FillMode>(0);
    EXPECT_EQ(device->CreateRasterizerState(&raster, nullptr), QP_E_INVALIDARG);

    QP_SamplerDesc sampler;
    sampler.filter = static_cast<QP_Filter>(0x02);
    EXPECT_EQ(device->CreateSamplerState(&sampler, nullptr), QP_E_INVALIDARG);
    sampler.filter = QP_FILTER_ANISOTROPIC;
    sampler.maxAnisotropy = 4;
    sampler.addressU = static_cast<QP_TextureAddressMode>(6);
    EXPECT_EQ(device->CreateSamplerState(&sampler, nullptr), QP_E_INVALIDARG);
    sampler.addressU = QP_TEXTURE_ADDRESS_MIRROR_ONCE;
    EXPECT_EQ(device->CreateSamplerState(&sampler, nullptr), QP_OK);

    QP_DepthStencilDesc depth;
    depth.depthFunc = static_cast<QP_ComparisonFunc>(9);
    EXPECT_EQ(device->CreateDepthStencilState(&depth, nullptr), QP_E_INVALIDARG);
    depth.depthFunc = QP_COMPARISON_LESS;
    depth.backFace.stencilPassOp = static_cast<QP_StencilOp>(0);
    EXPECT_EQ(device->CreateDepthStencilState(&depth, nullptr), QP_E_INVALIDARG);

    QP_BufferDesc buffer;
    buffer.byteWidth = 20; // constant buffers grow in 16-byte rows
    buffer.bindFlags = QP_BIND_CONSTANT_BUFFER;
    EXPECT_EQ(device->CreateBuffer(&buffer, nullptr, nullptr), QP_E_INVALIDARG);
    buffer.byteWidth = 32;
    buffer.usage = static_cast<QP_Usage>(7);
    EXPECT_EQ(device->CreateBuffer(&buffer, nullptr, nullptr), QP_E_INVALIDARG);

    // The vertex stage reads POSITION and TEXCOORD0; a layout with POSITION alone is refused,
    // as is one whose semantic has no attribute location.
    QC_Ptr<QP_Blob> code = Compile(gpuPassThroughVertexShader, "vs_4_0");
    ASSERT_TRUE(code);
    const QP_InputElementDesc positionOnly[] = {
        {"POSITION", 0, QP_FORMAT_R32G32B32A32_FLOAT, 0, 0, QP_INPUT_PER_VERTEX_DATA, 0},
    };
    EXPECT_EQ(device->CreateInputLayout(positionOnly, 1, code->GetBufferPointer(), code->GetBufferSize(), nullptr),
              QP_E_INVALIDARG);
    const QP_InputElementDesc unknown[] = {
        {"POSITION", 0, QP_FORMAT_R32G32B32A32_FLOAT, 0, 0, QP_INPUT_PER_VERTEX_DATA, 0},
        {"WIBBLE", 0, QP_FORMAT_R32G32_FLOAT, 0, QP_APPEND_ALIGNED_ELEMENT, QP_INPUT_PER_VERTEX_DATA, 0},
    };
    EXPECT_EQ(device->CreateInputLayout(unknown, 2, code->GetBufferPointer(), code->GetBufferSize(), nullptr),
              QP_E_INVALIDARG);

    // Code bytes are checked before GL sees them.
    std::vector<std::uint8_t> damaged(static_cast<const std::uint8_t*>(code->GetBufferPointer()),
                                      static_cast<const std::uint8_t*>(code->GetBufferPointer()) + code->GetBufferSize());
    damaged.back() = 'x'; // no closing NUL
    EXPECT_EQ(device->CreateVertexShader(damaged.data(), damaged.size(), nullptr), QP_E_INVALIDARG);
    EXPECT_EQ(device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr), QP_E_INVALIDARG)
        << "a vertex stage is not a pixel shader";
}

TEST_F(QP_DeviceTest, HeadlessOutputListsTheCommonModesAtSixtyHertz)
{
    QC_Ptr<QP_Adapter> adapter;
    ASSERT_EQ(factory->EnumAdapters(0, &adapter), QP_OK);
    EXPECT_EQ(factory->EnumAdapters(1, &adapter), QP_DXGI_ERROR_NOT_FOUND);
    QC_Ptr<QP_Output> output;
    ASSERT_EQ(adapter->EnumOutputs(0, &output), QP_OK);
    std::uint32_t count = 0;
    ASSERT_EQ(output->GetDisplayModeList(QP_FORMAT_R8G8B8A8_UNORM, QP_ENUM_MODES_INTERLACED, &count, nullptr), QP_OK);
    ASSERT_EQ(count, 3u);
    QP_ModeDesc modes[3];
    std::uint32_t two = 2;
    EXPECT_EQ(output->GetDisplayModeList(QP_FORMAT_R8G8B8A8_UNORM, 0, &two, modes), QP_DXGI_ERROR_MORE_DATA);
    EXPECT_EQ(two, 2u);
    ASSERT_EQ(output->GetDisplayModeList(QP_FORMAT_R8G8B8A8_UNORM, 0, &count, modes), QP_OK);
    EXPECT_EQ(modes[0].width, 1280u);
    EXPECT_EQ(modes[1].height, 1080u);
    EXPECT_EQ(modes[2].width, 2560u);
    for (const QP_ModeDesc& mode : modes)
        EXPECT_EQ(QP_RefreshRateHz(mode.refreshRate), 60u);
    EXPECT_EQ(QP_RefreshRateHz({60000, 1001}), 60u);
    EXPECT_EQ(QP_RefreshRateHz({59940, 1000}), 60u);
    EXPECT_EQ(QP_RefreshRateHz({75, 1}), 75u);
}

TEST_F(QP_DeviceTest, ResizedSwapChainRendersAtTheNewSize)
{
    QC_Ptr<QP_Texture2D> oldBuffer;
    ASSERT_EQ(swapChain->GetBuffer(0, &oldBuffer), QP_OK);
    backBufferView = nullptr;
    context->OMSetRenderTargets(0, nullptr, nullptr);
    ASSERT_EQ(swapChain->ResizeBuffers(0, 32, 16, QP_FORMAT_UNKNOWN, 0), QP_OK);
    QC_Ptr<QP_Texture2D> newBuffer;
    ASSERT_EQ(swapChain->GetBuffer(0, &newBuffer), QP_OK);
    EXPECT_EQ(newBuffer->GetDesc().width, 32u);
    EXPECT_EQ(newBuffer->GetDesc().height, 16u);
    EXPECT_NE(newBuffer.Get(), oldBuffer.Get());
    ASSERT_EQ(device->CreateRenderTargetView(newBuffer.Get(), nullptr, &backBufferView), QP_OK);
    ClearBackBuffer(0, 0, 1, 1);
    std::vector<std::uint8_t> small(32 * 16 * 4);
    ASSERT_EQ(swapChain->ReadBackBuffer(small.data(), 32 * 4), QP_OK);
    EXPECT_EQ(small[(15 * 32 + 31) * 4 + 2], 255);
    EXPECT_EQ(swapChain->ResizeBuffers(0, 0, 16, QP_FORMAT_UNKNOWN, 0), QP_E_INVALIDARG)
        << "a headless swap chain has no window to take a size from";
    EXPECT_EQ(swapChain->Present(0, 0), QP_OK);
}
