// How the immediate context pushes state to GL: a clear leaves the bound states as they were for
// the next draw, a draw pushes only the state groups that changed since the last one, and state
// descriptions are translated and refused when they are created, not when they are drawn with.

#include "support/GpuTestSupport.h"

#include "QC_Log.h"

namespace {

constexpr const char* solidColourPixelShader = R"(
cbuffer Colour : register(b0) { float4 colour; };
float4 QR_Main(float4 position : SV_POSITION) : SV_TARGET { return colour; }
)";

// Errors go to one list, the details a refusing call adds for its caller to another.
class LogCapture : public QC_LogBackend
{
public:
    LogCapture(std::vector<std::string>* errors, std::vector<std::string>* details) : errors(errors), details(details)
    {
    }
    void Write(int level, std::uint32_t, const char* message, const char*, int) override
    {
        if (level >= QC_LOG_ERROR)
            errors->push_back(message);
        else if (level == QC_LOG_INFO)
            details->push_back(message);
    }

private:
    std::vector<std::string>* errors;
    std::vector<std::string>* details;
};

using Group = QP_DeviceContext::StateGroup;

} // namespace

class QP_DeviceStateTest : public QP_GpuTest
{
protected:
    void SetUp() override
    {
        QC_CreateLog(QC_LogConfig{})->AddBackend(new LogCapture(&errors, &details));
        QP_GpuTest::SetUp();
    }

    void TearDown() override { QC_DestroyLog(); }

    void UseSolidColour(float r, float g, float b, float a)
    {
        const float colour[4] = {r, g, b, a};
        colourBuffer = MakeConstantBuffer(colour, sizeof(colour));
        QP_Buffer* buffers[] = {colourBuffer.Get()};
        context->PSSetConstantBuffers(0, 1, buffers);
    }

    QC_Ptr<QP_DepthStencilView> MakeDepthView()
    {
        QP_Texture2DDesc desc;
        desc.width = size;
        desc.height = size;
        desc.format = QP_FORMAT_D24_UNORM_S8_UINT;
        desc.bindFlags = QP_BIND_DEPTH_STENCIL;
        QC_Ptr<QP_Texture2D> texture;
        EXPECT_EQ(device->CreateTexture2D(&desc, nullptr, &texture), QP_OK);
        QC_Ptr<QP_DepthStencilView> view;
        EXPECT_EQ(device->CreateDepthStencilView(texture.Get(), nullptr, &view), QP_OK);
        return view;
    }

    std::vector<std::uint64_t> Pushes() const
    {
        std::vector<std::uint64_t> counts;
        for (std::uint32_t group = 0; group < QP_DeviceContext::StateGroupCount; ++group)
            counts.push_back(context->StatePushCount(static_cast<Group>(group)));
        return counts;
    }

    // The groups whose push count grew since before, by index.
    std::vector<std::uint32_t> PushedSince(const std::vector<std::uint64_t>& before) const
    {
        std::vector<std::uint32_t> pushed;
        const std::vector<std::uint64_t> after = Pushes();
        for (std::uint32_t group = 0; group < after.size(); ++group)
            if (after[group] != before[group])
                pushed.push_back(group);
        return pushed;
    }

    QC_Ptr<QP_Buffer> colourBuffer;
    std::vector<std::string> errors;
    std::vector<std::string> details;
};

TEST_F(QP_DeviceStateTest, ClearsBetweenDrawsLeaveBlendDepthRasteriserAndScissorStateInPlace)
{
    QC_Ptr<QP_DepthStencilView> depthView = MakeDepthView();
    QP_BlendDesc1 redOnly;
    redOnly.renderTarget[0].renderTargetWriteMask = QP_COLOR_WRITE_ENABLE_RED;
    QC_Ptr<QP_BlendState> blend;
    ASSERT_EQ(device->CreateBlendState1(&redOnly, &blend), QP_OK);
    QP_DepthStencilDesc testNoWrite; // Less, without depth writes, with a stencil that writes nothing
    testNoWrite.depthWriteMask = QP_DEPTH_WRITE_MASK_ZERO;
    testNoWrite.stencilEnable = true;
    testNoWrite.stencilWriteMask = 0;
    QC_Ptr<QP_DepthStencilState> depthState;
    ASSERT_EQ(device->CreateDepthStencilState(&testNoWrite, &depthState), QP_OK);
    QP_RasterizerDesc scissored;
    scissored.cullMode = QP_CULL_NONE;
    scissored.scissorEnable = true;
    QC_Ptr<QP_RasterizerState> raster;
    ASSERT_EQ(device->CreateRasterizerState(&scissored, &raster), QP_OK);

    BindBackBuffer(depthView.Get());
    context->OMSetBlendState(blend.Get(), nullptr, 0xFFFFFFFF);
    context->OMSetDepthStencilState(depthState.Get(), 0);
    context->RSSetState(raster.Get());
    const QP_Rect leftHalf = {0, 0, 32, 64};
    context->RSSetScissorRects(1, &leftHalf);
    UseVertexShader(gpuPassThroughVertexShader);
    UsePixelShader(solidColourPixelShader);
    UseSolidColour(1, 1, 1, 1);
    context->ClearDepthStencilView(depthView.Get(), QP_CLEAR_DEPTH | QP_CLEAR_STENCIL, 1.0f, 0);
    DrawQuad(-1, -1, 1, 1, 0.5f); // every state pushed once

    // The clears ignore the scissor and the masks...
    ClearBackBuffer(0, 0, 1, 1);
    context->ClearDepthStencilView(depthView.Get(), QP_CLEAR_DEPTH | QP_CLEAR_STENCIL, 0.6f, 0);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(60, 32), {0, 0, 255, 255}, 0)) << "the colour clear covers the whole target";
    // ...and the next draw still sees them: red only, left half only, depth tested at 0.6.
    UseSolidColour(0.5f, 1, 1, 1);
    DrawQuad(-1, -1, 1, 1, 0.5f);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(8, 32), {128, 0, 255, 255})) << "write mask after the clear";
    EXPECT_TRUE(Near(Pixel(60, 32), {0, 0, 255, 255}, 0)) << "scissor after the clear";
    // The depth clear wrote 0.6 although writes are off; the draw at 0.5 wrote nothing, so a
    // draw at 0.55 still passes, and one at 0.65 fails.
    UseSolidColour(1, 1, 1, 1);
    DrawQuad(-1, -1, 1, 1, 0.55f);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(8, 32), {255, 0, 255, 255})) << "depth writes stay off after the clear";
    UseSolidColour(0, 1, 1, 1);
    DrawQuad(-1, -1, 1, 1, 0.65f);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(8, 32), {255, 0, 255, 255})) << "the depth clear value holds";
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(QP_DeviceStateTest, ADrawPushesOnlyTheStateGroupsThatChanged)
{
    std::vector<GpuVertex> vertices;
    AppendQuad(vertices, -1, -1, 1, 1);
    QC_Ptr<QP_Buffer> quad = MakeVertexBuffer(vertices);
    UseVertexShader(gpuPassThroughVertexShader);
    UsePixelShader(solidColourPixelShader);
    UseSolidColour(1, 0, 0, 1);
    DrawVertices(quad.Get(), 6);
    EXPECT_EQ(context->DrawCallCount(), 1u);

    // Binding what is already bound, clearing and a constant change push nothing.
    std::vector<std::uint64_t> before = Pushes();
    DrawVertices(quad.Get(), 6);
    context->RSSetState(noCullState.Get());
    context->OMSetBlendState(nullptr, nullptr, 0xFFFFFFFF);
    ClearBackBuffer(0, 0, 0, 1);
    UseSolidColour(0, 1, 0, 1);
    DrawVertices(quad.Get(), 6);
    EXPECT_EQ(PushedSince(before), std::vector<std::uint32_t>{});

    // One state changed: one group pushed.
    QP_BlendDesc1 additive;
    additive.renderTarget[0].blendEnable = true;
    additive.renderTarget[0].destBlend = QP_BLEND_ONE;
    QC_Ptr<QP_BlendState> blend;
    ASSERT_EQ(device->CreateBlendState1(&additive, &blend), QP_OK);
    before = Pushes();
    context->OMSetBlendState(blend.Get(), nullptr, 0xFFFFFFFF);
    DrawVertices(quad.Get(), 6);
    EXPECT_EQ(PushedSince(before), std::vector<std::uint32_t>{Group::BlendGroup});
    ReadBack();
    EXPECT_TRUE(Near(Pixel(32, 32), {0, 255, 0, 255}, 0)) << "green added to green";

    // The same blend state with another factor is a change of the blend group.
    before = Pushes();
    const float factor[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    context->OMSetBlendState(blend.Get(), factor, 0xFFFFFFFF);
    DrawVertices(quad.Get(), 6);
    EXPECT_EQ(PushedSince(before), std::vector<std::uint32_t>{Group::BlendGroup});

    before = Pushes();
    const QP_Rect rect = {0, 0, 8, 8};
    context->RSSetScissorRects(1, &rect);
    QP_DepthStencilDesc always;
    always.depthFunc = QP_COMPARISON_ALWAYS;
    QC_Ptr<QP_DepthStencilState> depthState;
    ASSERT_EQ(device->CreateDepthStencilState(&always, &depthState), QP_OK);
    context->OMSetDepthStencilState(depthState.Get(), 0);
    DrawVertices(quad.Get(), 6);
    EXPECT_EQ(PushedSince(before), (std::vector<std::uint32_t>{Group::DepthStencilGroup, Group::ScissorGroup}));

    // A new pixel shader pushes its program and its resources, nothing of the vertex stage.
    before = Pushes();
    UsePixelShader(solidColourPixelShader);
    DrawVertices(quad.Get(), 6);
    EXPECT_EQ(PushedSince(before), (std::vector<std::uint32_t>{Group::PixelProgramGroup, Group::PixelResourceGroup}));

    // Another vertex buffer: input only.
    QC_Ptr<QP_Buffer> otherQuad = MakeVertexBuffer(vertices);
    before = Pushes();
    DrawVertices(otherQuad.Get(), 6);
    EXPECT_EQ(PushedSince(before), std::vector<std::uint32_t>{Group::InputGroup});

    // Render targets are attached when set, and only when they change.
    before = Pushes();
    BindBackBuffer(nullptr);
    EXPECT_EQ(PushedSince(before), std::vector<std::uint32_t>{}) << "the same view again";
    context->OMSetRenderTargets(0, nullptr, nullptr);
    EXPECT_EQ(PushedSince(before), std::vector<std::uint32_t>{Group::FramebufferGroup});
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(QP_DeviceStateTest, RenderTargetViewsOfOneTextureAtTwoMipLevelsEachDrawToTheirOwnLevel)
{
    QP_Texture2DDesc desc;
    desc.width = 16;
    desc.height = 16;
    desc.mipLevels = 2;
    desc.format = QP_FORMAT_R8G8B8A8_UNORM;
    desc.bindFlags = QP_BIND_RENDER_TARGET | QP_BIND_SHADER_RESOURCE;
    QC_Ptr<QP_Texture2D> texture;
    ASSERT_EQ(device->CreateTexture2D(&desc, nullptr, &texture), QP_OK);
    QC_Ptr<QP_RenderTargetView> levelViews[2];
    for (std::uint32_t level = 0; level < 2; ++level) {
        QP_RenderTargetViewDesc viewDesc;
        viewDesc.mipSlice = level;
        ASSERT_EQ(device->CreateRenderTargetView(texture.Get(), &viewDesc, &levelViews[level]), QP_OK);
    }
    UseVertexShader(gpuPassThroughVertexShader);
    UsePixelShader(solidColourPixelShader);
    for (std::uint32_t level = 0; level < 2; ++level) {
        QP_RenderTargetView* views[] = {levelViews[level].Get()};
        context->OMSetRenderTargets(1, views, nullptr);
        SetViewport(16 >> level, 16 >> level);
        UseSolidColour(level == 0 ? 1.0f : 0.0f, level == 1 ? 1.0f : 0.0f, 0, 1);
        DrawQuad(-1, -1, 1, 1);
    }

    // Each level shown through a sampler held to it by its level-of-detail range.
    QC_Ptr<QP_ShaderResourceView> view;
    ASSERT_EQ(device->CreateShaderResourceView(texture.Get(), nullptr, &view), QP_OK);
    UsePixelShader(R"(
Texture2D image : register(t0);
SamplerState imageSampler : register(s0);
struct PSIn { float4 position : SV_POSITION; float2 uv : TEXCOORD0; };
float4 QR_Main(PSIn input) : SV_TARGET { return image.Sample(imageSampler, input.uv); }
)");
    QP_ShaderResourceView* views[] = {view.Get()};
    context->PSSetShaderResources(0, 1, views);
    BindBackBuffer(nullptr);
    const GpuColour expected[2] = {{255, 0, 0, 255}, {0, 255, 0, 255}};
    for (std::uint32_t level = 0; level < 2; ++level) {
        QP_SamplerDesc samplerDesc;
        samplerDesc.filter = QP_FILTER_MIN_MAG_MIP_POINT;
        samplerDesc.minLod = static_cast<float>(level);
        samplerDesc.maxLod = static_cast<float>(level);
        QC_Ptr<QP_SamplerState> sampler;
        ASSERT_EQ(device->CreateSamplerState(&samplerDesc, &sampler), QP_OK);
        QP_SamplerState* samplers[] = {sampler.Get()};
        context->PSSetSamplers(0, 1, samplers);
        DrawQuad(-1, -1, 1, 1);
        ReadBack();
        EXPECT_TRUE(Near(Pixel(32, 32), expected[level], 0)) << "mip level " << level;
    }
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(QP_DeviceStateTest, DescriptionsAreTranslatedAndRefusedWhenSetOrCreated)
{
    // A refused description fails at creation with a detail line naming the value; the error
    // itself is the caller's to report, so a failure is reported once.
    QP_DepthStencilDesc depth;
    depth.depthFunc = static_cast<QP_ComparisonFunc>(9);
    EXPECT_EQ(device->CreateDepthStencilState(&depth, nullptr), QP_E_INVALIDARG);
    ASSERT_EQ(details.size(), 1u);
    EXPECT_EQ(details[0], "CreateDepthStencilState: depth function 9 or write mask 1 is unknown.");
    QP_RasterizerDesc raster;
    raster.fillMode = static_cast<QP_FillMode>(1);
    EXPECT_EQ(device->CreateRasterizerState(&raster, nullptr), QP_E_INVALIDARG);
    ASSERT_EQ(details.size(), 2u);
    EXPECT_EQ(details[1], "CreateRasterizerState: unknown fill mode 1.");
    EXPECT_TRUE(errors.empty()) << errors.front();

    // An unknown topology is accepted when set and refused by each draw, which draws nothing.
    UseVertexShader(gpuPassThroughVertexShader);
    UsePixelShader(solidColourPixelShader);
    UseSolidColour(1, 0, 0, 1);
    ClearBackBuffer(0, 0, 0, 1);
    context->IASetPrimitiveTopology(static_cast<QP_PrimitiveTopology>(99));
    DrawQuad(-1, -1, 1, 1);
    DrawQuad(-1, -1, 1, 1);
    EXPECT_EQ(errors, (std::vector<std::string>{"Draw with primitive topology 99.", "Draw with primitive topology 99."}));
    EXPECT_EQ(context->DrawCallCount(), 0u);
    context->IASetPrimitiveTopology(QP_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    DrawQuad(-1, -1, 1, 1);
    EXPECT_EQ(context->DrawCallCount(), 1u);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(32, 32), {255, 0, 0, 255}, 0));
    errors.clear();

    // An index format other than R16/R32_UINT is refused when set: the buffer is not bound, and
    // an indexed draw then reports the missing buffer.
    const std::uint16_t indices[] = {0, 1, 2, 3, 4, 5};
    QP_BufferDesc indexDesc;
    indexDesc.byteWidth = sizeof(indices);
    indexDesc.bindFlags = QP_BIND_INDEX_BUFFER;
    QP_SubresourceData indexData;
    indexData.sysMem = indices;
    QC_Ptr<QP_Buffer> indexBuffer;
    ASSERT_EQ(device->CreateBuffer(&indexDesc, &indexData, &indexBuffer), QP_OK);
    context->IASetIndexBuffer(indexBuffer.Get(), QP_FORMAT_R32_FLOAT, 0);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "IASetIndexBuffer: not an index buffer, or format 41 is not R16_UINT or R32_UINT.");
    context->DrawIndexed(6, 0, 0);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[1], "DrawIndexed without an index buffer.");

    // R16 indices read two bytes each: six of them fit the twelve-byte buffer, seven do not.
    std::vector<GpuVertex> vertices;
    AppendQuad(vertices, -1, -1, 1, 1);
    QC_Ptr<QP_Buffer> quad = MakeVertexBuffer(vertices);
    const std::uint32_t stride = sizeof(GpuVertex), offset = 0;
    QP_Buffer* vertexBuffers[] = {quad.Get()};
    context->IASetVertexBuffers(0, 1, vertexBuffers, &stride, &offset);
    context->IASetIndexBuffer(indexBuffer.Get(), QP_FORMAT_R16_UINT, 0);
    context->DrawIndexed(6, 0, 0);
    EXPECT_EQ(context->DrawCallCount(), 2u);
    context->DrawIndexed(7, 0, 0);
    EXPECT_EQ(context->DrawCallCount(), 2u);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[2], "DrawIndexed reads indices past the end of the index buffer (14 > 12 bytes).");
}
