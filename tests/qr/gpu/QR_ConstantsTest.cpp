// Values outside the renderer's enumerations end the program with a message naming the
// enumeration and the value, reported at the backend's constants unit; the Direct3D 11
// backend refuses blend operation Max and filter Linear, which Direct3D 10 accepts.

#include "support/QR_RendererTestSupport.h"

namespace {
QR_BlendDesc OpaqueBlend()
{
    QR_BlendDesc desc = {};
    for (QR_RenderTargetBlendDesc& entry : desc.renderTargets)
        entry = {0, QR_Blend::One, QR_Blend::Zero, QR_BlendOp::Add, QR_Blend::One, QR_Blend::Zero, QR_BlendOp::Add, 0};
    return desc;
}

QR_SamplerDesc PointSampler()
{
    QR_SamplerDesc desc = {};
    desc.filter = QR_Filter::Point;
    desc.addressU = desc.addressV = desc.addressW = QR_TextureAddress::Wrap;
    desc.comparisonFunc = QR_ComparisonFunc::Never;
    desc.maxAnisotropy = 16;
    desc.maxLod = 3.402823466e38f;
    return desc;
}

QR_RasteriserDesc SolidRasteriser()
{
    QR_RasteriserDesc desc = {};
    desc.cullMode = QR_CullMode::Back;
    desc.fillMode = QR_FillMode::Solid;
    return desc;
}

QR_DepthStencilDesc CanvasDepth()
{
    QR_DepthStencilDesc desc = {};
    desc.depthWrite = 1;
    desc.depthFunc = QR_ComparisonFunc::Less;
    desc.stencilReadMask = desc.stencilWriteMask = 0xFF;
    desc.frontStencilFailOp = QR_StencilOp::Keep;
    desc.frontStencilDepthFailOp = QR_StencilOp::Incr;
    desc.frontStencilPassOp = QR_StencilOp::Keep;
    desc.frontStencilFunc = QR_ComparisonFunc::Always;
    desc.backStencilFailOp = QR_StencilOp::Keep;
    desc.backStencilDepthFailOp = QR_StencilOp::Decr;
    desc.backStencilPassOp = QR_StencilOp::Keep;
    desc.backStencilFunc = QR_ComparisonFunc::Always;
    return desc;
}

const int fatal = QC_FATAL_EXIT_CODE;
} // namespace

class QR_ConstantsTest : public QR_RendererTest
{
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(QR_ConstantsTest, BlendDescriptionsRejectWriteMasksFactorsAndOperationsOutsideTheirTables)
{
    StartRenderer(QR_Backend::DX10);
    // Every accepted value makes a state.
    QR_BlendDesc desc = OpaqueBlend();
    for (QR_Blend blend : {QR_Blend::Zero, QR_Blend::One, QR_Blend::SrcColour, QR_Blend::InvSrcColour,
                           QR_Blend::SrcAlpha, QR_Blend::InvSrcAlpha, QR_Blend::BlendFactor}) {
        desc.renderTargets[0].srcBlend = blend;
        EXPECT_TRUE(renderer->CreateBlendState(desc));
    }
    desc = OpaqueBlend();
    desc.renderTargets[0].blendOp = QR_BlendOp::Max;
    EXPECT_TRUE(renderer->CreateBlendState(desc)) << "Direct3D 10 accepts blend operation Max";
    // Only entry 0's factors count under Direct3D 10: a wrong factor elsewhere goes unread.
    desc = OpaqueBlend();
    desc.renderTargets[5].srcBlend = static_cast<QR_Blend>(6);
    EXPECT_TRUE(renderer->CreateBlendState(desc));

    desc = OpaqueBlend();
    desc.renderTargets[3].blendEnable = 0;
    desc.renderTargets[3].writeMask = 1;
    EXPECT_EXIT(renderer->CreateBlendState(desc), testing::ExitedWithCode(fatal),
                "frame/qr/dx10/QR_Constants_DX10\\.cpp\\([0-9]+\\).*\\[FATAL\\] Unkown write mask 1\\.");
    for (int value : {6, 7, 9, -1}) {
        desc = OpaqueBlend();
        desc.renderTargets[0].destBlend = static_cast<QR_Blend>(value);
        EXPECT_EXIT(renderer->CreateBlendState(desc), testing::ExitedWithCode(fatal),
                    "Unkown blend " + std::to_string(value) + "\\.");
    }
    for (int value : {2, 3, 5}) {
        desc = OpaqueBlend();
        desc.renderTargets[0].blendOpAlpha = static_cast<QR_BlendOp>(value);
        EXPECT_EXIT(renderer->CreateBlendState(desc), testing::ExitedWithCode(fatal),
                    "Unkown blend op " + std::to_string(value) + "\\.");
    }
}

TEST_F(QR_ConstantsTest, Direct3D11TranslatesEveryBlendEntryAndRefusesMax)
{
    StartRenderer(QR_Backend::DX11);
    QR_BlendDesc desc = OpaqueBlend();
    desc.independentBlend = 1;
    desc.renderTargets[2].blendEnable = 1;
    desc.renderTargets[2].srcBlend = QR_Blend::SrcAlpha;
    EXPECT_TRUE(renderer->CreateBlendState(desc));

    desc.renderTargets[0].blendOp = QR_BlendOp::Max;
    EXPECT_EXIT(renderer->CreateBlendState(desc), testing::ExitedWithCode(fatal),
                "frame/qr/dx11/QR_Constants_DX11\\.cpp\\([0-9]+\\).*\\[FATAL\\] Unkown blend op 4\\.");
    // All eight entries are read: a wrong factor in entry 5 is found.
    desc = OpaqueBlend();
    desc.renderTargets[5].srcBlend = static_cast<QR_Blend>(7);
    EXPECT_EXIT(renderer->CreateBlendState(desc), testing::ExitedWithCode(fatal), "Unkown blend 7\\.");
}

TEST_F(QR_ConstantsTest, SamplerFiltersDifferBetweenTheBackends)
{
    StartRenderer(QR_Backend::DX10);
    QR_SamplerDesc desc = PointSampler();
    for (QR_Filter filter : {QR_Filter::Point, QR_Filter::Anisotropic, QR_Filter::Linear}) {
        desc.filter = filter;
        EXPECT_TRUE(renderer->CreateSamplerState(desc));
    }
    desc.filter = static_cast<QR_Filter>(3);
    EXPECT_EXIT(renderer->CreateSamplerState(desc), testing::ExitedWithCode(fatal), "Unknown filter 3\\.");
    desc = PointSampler();
    desc.addressV = static_cast<QR_TextureAddress>(5);
    EXPECT_EXIT(renderer->CreateSamplerState(desc), testing::ExitedWithCode(fatal),
                "Unknown texture address mode 5\\.");
    desc = PointSampler();
    desc.comparisonFunc = static_cast<QR_ComparisonFunc>(8);
    EXPECT_EXIT(renderer->CreateSamplerState(desc), testing::ExitedWithCode(fatal), "Unknown comparison func 8\\.");
    TearDown();

    StartRenderer(QR_Backend::DX11);
    desc = PointSampler();
    desc.filter = QR_Filter::Anisotropic;
    EXPECT_TRUE(renderer->CreateSamplerState(desc));
    desc.filter = QR_Filter::Linear;
    EXPECT_EXIT(renderer->CreateSamplerState(desc), testing::ExitedWithCode(fatal),
                "frame/qr/dx11/QR_Constants_DX11\\.cpp\\([0-9]+\\).*\\[FATAL\\] Unknown filter 2\\.");
}

TEST_F(QR_ConstantsTest, RasteriserAndDepthStencilValuesOutsideTheirTablesAreFatal)
{
    StartRenderer(QR_Backend::DX10);
    QR_RasteriserDesc rasteriserDesc = SolidRasteriser();
    EXPECT_TRUE(renderer->CreateRasteriserState(rasteriserDesc));
    rasteriserDesc.fillMode = QR_FillMode::Wireframe;
    rasteriserDesc.cullMode = QR_CullMode::Front;
    EXPECT_TRUE(renderer->CreateRasteriserState(rasteriserDesc));
    rasteriserDesc = SolidRasteriser();
    rasteriserDesc.cullMode = static_cast<QR_CullMode>(0);
    EXPECT_EXIT(renderer->CreateRasteriserState(rasteriserDesc), testing::ExitedWithCode(fatal),
                "Unknown cull mode 0\\.");
    rasteriserDesc = SolidRasteriser();
    rasteriserDesc.fillMode = static_cast<QR_FillMode>(0);
    EXPECT_EXIT(renderer->CreateRasteriserState(rasteriserDesc), testing::ExitedWithCode(fatal),
                "Unknown fill mode 0\\.");

    EXPECT_TRUE(renderer->CreateDepthStencilState(CanvasDepth()));
    QR_DepthStencilDesc depthDesc = CanvasDepth();
    depthDesc.backStencilDepthFailOp = static_cast<QR_StencilOp>(8);
    EXPECT_EXIT(renderer->CreateDepthStencilState(depthDesc), testing::ExitedWithCode(fatal),
                "Unknown stecil op 8\\.");
    depthDesc = CanvasDepth();
    depthDesc.depthFunc = static_cast<QR_ComparisonFunc>(-3);
    EXPECT_EXIT(renderer->CreateDepthStencilState(depthDesc), testing::ExitedWithCode(fatal),
                "Unknown comparison func -3\\.");
}

TEST_F(QR_ConstantsTest, BufferUsagesAndPrimitivesOutsideTheirTablesAreFatal)
{
    StartRenderer(QR_Backend::DX10);
    const std::uint32_t indices[6] = {0, 1, 2, 1, 3, 2};
    // Default, 4 bytes per index, 6 indices: a 24-byte buffer made from the data.
    QC_Ptr<QR_IndexBuffer> indexBuffer = renderer->CreateIndexBuffer(QR_Usage::Default, 4, 6, indices);
    QC_Ptr<QR_VertexBuffer> vertexBuffer = renderer->CreateVertexBuffer(QR_Usage::Dynamic, 40, 4, nullptr);
    EXPECT_TRUE(renderer->CreateConstantBuffer(QR_Usage::Dynamic, 64, nullptr));
    EXPECT_TRUE(renderer->CreateGeometryState(QR_Primitive::TriangleStrip, vertexBuffer.Get(), indexBuffer.Get()));
    EXPECT_TRUE(TakeErrors().empty());

    for (int usage : {0, 3}) {
        const std::string message = "Unknown usage " + std::to_string(usage) + "\\.";
        EXPECT_EXIT(renderer->CreateIndexBuffer(static_cast<QR_Usage>(usage), 4, 6, indices),
                    testing::ExitedWithCode(fatal), message);
        EXPECT_EXIT(renderer->CreateVertexBuffer(static_cast<QR_Usage>(usage), 40, 4, nullptr),
                    testing::ExitedWithCode(fatal), message);
        EXPECT_EXIT(renderer->CreateConstantBuffer(static_cast<QR_Usage>(usage), 64, nullptr),
                    testing::ExitedWithCode(fatal), message);
    }
    for (int primitive : {0, 1, 2, 5}) {
        EXPECT_EXIT(renderer->CreateGeometryState(static_cast<QR_Primitive>(primitive), vertexBuffer.Get(),
                                                  indexBuffer.Get()),
                    testing::ExitedWithCode(fatal), "Unknown primitive " + std::to_string(primitive) + "\\.");
    }
}

TEST_F(QR_ConstantsTest, FailedIndexAndVertexBuffersAreReportedAndStillReturned)
{
    StartRenderer(QR_Backend::DX10);
    // 2^30 indices of 8 bytes do not fit the platform's 32-bit sizes: reported, not wrapped round.
    QC_Ptr<QR_IndexBuffer> indexBuffer = renderer->CreateIndexBuffer(QR_Usage::Default, 8, 1u << 30, nullptr);
    EXPECT_TRUE(indexBuffer);
    QC_Ptr<QR_VertexBuffer> vertexBuffer = renderer->CreateVertexBuffer(QR_Usage::Default, 1u << 20, 1u << 13, nullptr);
    EXPECT_TRUE(vertexBuffer);
    const std::vector<std::string> errors = TakeErrors();
    EXPECT_EQ(errors, (std::vector<std::string>{"Failed to create buffer.", "Failed to create buffer."}));
    // Mapping a buffer without a platform buffer reports instead of faulting.
    EXPECT_EQ(context->MapVertexBuffer(vertexBuffer.Get(), QR_Access::Write), nullptr);
    EXPECT_EQ(TakeErrors(), std::vector<std::string>{"Failed to map buffer."});
}
