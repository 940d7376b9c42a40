// The render context on the headless device: clears, draws and their triangle counts, output
// binding and its fallbacks, buffer mapping and texture updates, checked by the pixels left in
// the swap chain.

#include "support/QR_RendererTestSupport.h"

namespace {
const float red[4] = {1, 0, 0, 1};
const float green[4] = {0, 1, 0, 1};
} // namespace

class QR_RenderContextTest : public QR_RendererTest
{
protected:
    void UseFlatRectangle(float left, float bottom, float right, float top, const float colour[4],
                          QR_Primitive primitive = QR_Primitive::TriangleList)
    {
        shaderState = CanvasState(QrCanvasShaders::flat);
        geometry = Rectangle(left, bottom, right, top, colour, primitive);
        context->SetShaderAndGeometry(geometry.Get(), shaderState.Get());
    }
};

TEST_F(QR_RenderContextTest, ClearConvertsBytesByDividingBy255)
{
    context->Clear({255, 128, 0, 255});
    ReadBack();
    // 128 / 255 = 0.50196 stored back as 128.
    EXPECT_TRUE(PixelNear(Pixel(0, 0), {255, 128, 0, 255}, 0));
    EXPECT_TRUE(PixelNear(Pixel(63, 63), {255, 128, 0, 255}, 0));
}

TEST_F(QR_RenderContextTest, IndexedDrawsCountWholeTrianglesOfEachInstance)
{
    UseFlatRectangle(-1, -1, 1, 1, red);
    renderer->ResetTriangleCount();
    context->DrawIndexed(6, 0);
    EXPECT_EQ(renderer->GetTriangleCount(), 2);
    // A seventh index makes no eighth triangle... nor a third.
    context->DrawIndexed(7, 0);
    EXPECT_EQ(renderer->GetTriangleCount(), 4);
    context->DrawIndexedInstanced(6, 0, 10);
    EXPECT_EQ(renderer->GetTriangleCount(), 24);
    // Non-indexed draws count nothing.
    context->Draw(4, 0);
    EXPECT_EQ(renderer->GetTriangleCount(), 24);
    renderer->ResetTriangleCount();
    EXPECT_EQ(renderer->GetTriangleCount(), 0);

    context->Clear({0, 0, 0, 255});
    context->DrawIndexed(6, 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(32, 32), {255, 0, 0, 255}));
}

TEST_F(QR_RenderContextTest, IndexedDrawOfATriangleStripIsFatalWhileDrawWorks)
{
    UseFlatRectangle(-1, -1, 1, 1, green, QR_Primitive::TriangleStrip);
    context->Clear({0, 0, 0, 255});
    renderer->ResetTriangleCount();
    context->Draw(4, 0);
    EXPECT_EQ(renderer->GetTriangleCount(), 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(10, 50), {0, 255, 0, 255}));

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(context->DrawIndexed(4, 0), testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "QR_RenderContext_DX10\\.cpp\\([0-9]+\\).*\\[FATAL\\] Unknown topology\\.");
    EXPECT_EXIT(context->DrawIndexedInstanced(4, 0, 2), testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "Unknown topology\\.");
}

TEST_F(QR_RenderContextTest, SetRenderTargetWithNoneFallsBackToTheSwapChain)
{
    QC_Ptr<QR_RenderTarget> target = renderer->CreateRenderTarget(size, size);
    UseFlatRectangle(-1, -1, 1, 1, green);
    context->Clear({0, 0, 255, 255});

    // Offscreen: clears and draws leave the swap chain alone.
    context->SetRenderTarget(target.Get());
    context->Clear({255, 255, 255, 255});
    context->ClearDepth(1.0f, 0);
    context->DrawIndexed(6, 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(32, 32), {0, 0, 255, 255}));

    // Back to the window: the kept target is released and the swap chain's views are bound.
    QR_RenderTarget* raw = target.Get();
    const std::int32_t referencesWhileBound = raw->RefCount();
    context->SetRenderTarget(nullptr);
    EXPECT_EQ(raw->RefCount(), referencesWhileBound - 1);
    context->Clear({255, 0, 0, 255});
    UseFlatRectangle(-0.5f, -0.5f, 0.5f, 0.5f, green);
    context->DrawIndexed(6, 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(2, 2), {255, 0, 0, 255}));
    EXPECT_TRUE(PixelNear(Pixel(32, 32), {0, 255, 0, 255}));

    // The target's colour texture is an ordinary texture holding what was drawn into it.
    ASSERT_NE(target->Texture(), nullptr);
    EXPECT_EQ(target->Texture()->Width(), size);
}

TEST_F(QR_RenderContextTest, SetSwapChainWithTheBoundSwapChainIssuesNothing)
{
    QC_Ptr<QR_RenderTarget> target = renderer->CreateRenderTarget(size, size);
    UseFlatRectangle(-1, -1, 1, 1, green);
    context->Clear({0, 0, 255, 255});
    context->SetRenderTarget(target.Get());
    // Were the swap chain's views bound again here, the draw below would land in the window.
    context->SetSwapChain(swapChain.Get());
    context->DrawIndexed(6, 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(32, 32), {0, 0, 255, 255}));

    // Another swap chain is bound for real; the first is told it is no longer bound.
    QC_Ptr<QR_SwapChain> other = renderer->CreateSwapChain(size, size);
    context->SetSwapChain(other.Get());
    context->SetRenderTarget(nullptr);
    context->Clear({255, 0, 0, 255});
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(32, 32), {0, 0, 255, 255}));
    QC_Ptr<QC_Image> otherPicture(new QC_Image(size, size));
    ASSERT_TRUE(other->ReadBackBuffer(*otherPicture));
    EXPECT_EQ(otherPicture->Pixels()[0], 0xFF0000FFu);
    context->SetSwapChain(swapChain.Get());
}

TEST_F(QR_RenderContextTest, UpdateTextureReadsTheRectangleAtItsOffsetInTheImage)
{
    // Each pixel of a 256-wide image tells where it came from: red x, green y.
    QC_Ptr<QC_Image> source(new QC_Image(256, 64));
    std::uint8_t* bytes = reinterpret_cast<std::uint8_t*>(source->Pixels());
    for (std::uint32_t y = 0; y < 64; ++y)
        for (std::uint32_t x = 0; x < 256; ++x) {
            std::uint8_t* p = bytes + (y * 256 + x) * 4;
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y * 4);
            p[2] = 7;
            p[3] = 255;
        }
    QC_Ptr<QC_Image> grey(new QC_Image(size, size));
    grey->Fill(0xFF808080u);
    QC_Ptr<QR_Texture2D> texture = renderer->CreateTexture2D(size, size);
    context->UpdateTexture(texture.Get(), *grey, 0, 0, size, size);
    context->UpdateTexture(texture.Get(), *source, 16, 32, 16, 16);

    // Shown 1:1 through the LCD text shader, which outputs the texel's colour.
    shaderState = CanvasState(QrCanvasShaders::lcdText);
    QR_SamplerDesc point = {};
    point.filter = QR_Filter::Point;
    point.addressU = point.addressV = point.addressW = QR_TextureAddress::Clamp;
    point.comparisonFunc = QR_ComparisonFunc::Never;
    point.maxAnisotropy = 1;
    point.maxLod = 3.402823466e38f;
    QC_Ptr<QR_SamplerState> sampler = renderer->CreateSamplerState(point);
    shaderState->SetTexture(texture.Get(), 0);
    shaderState->SetSamplerState(sampler.Get(), 0);
    const float white[4] = {1, 1, 1, 1};
    geometry = Rectangle(-1, -1, 1, 1, white);
    context->SetShaderAndGeometry(geometry.Get(), shaderState.Get());
    context->DrawIndexed(6, 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(16, 32), {16, 128, 7, 255}, 0));
    EXPECT_TRUE(PixelNear(Pixel(31, 47), {31, 188, 7, 255}, 0));
    EXPECT_TRUE(PixelNear(Pixel(15, 32), {128, 128, 128, 255}, 0));
    EXPECT_TRUE(PixelNear(Pixel(32, 47), {128, 128, 128, 255}, 0));
    EXPECT_TRUE(PixelNear(Pixel(16, 48), {128, 128, 128, 255}, 0));
    EXPECT_TRUE(TakeErrors().empty());

    // A rectangle reaching past the image or the texture is refused, not read out of bounds.
    context->UpdateTexture(texture.Get(), *grey, 60, 0, 8, 8);
    context->UpdateTexture(texture.Get(), *source, 0, 60, 8, 8);
    context->UpdateTexture(texture.Get(), *source, 0xFFFFFFF0u, 0, 32, 1);
    EXPECT_EQ(TakeErrors().size(), 3u);
    context->DrawIndexed(6, 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(16, 32), {16, 128, 7, 255}, 0));
    EXPECT_TRUE(PixelNear(Pixel(62, 2), {128, 128, 128, 255}, 0));
}

TEST_F(QR_RenderContextTest, MappingWritesBuffersAndRefusesWhatCannotBeMapped)
{
    // A dynamic vertex buffer written through a mapping, then drawn.
    QC_Ptr<QR_VertexBuffer> vertices = renderer->CreateVertexBuffer(QR_Usage::Dynamic, 40, 4, nullptr);
    QC_Ptr<QR_IndexBuffer> indices = renderer->CreateIndexBuffer(QR_Usage::Dynamic, 4, 6, nullptr);
    auto* vertexMemory = static_cast<QrCanvasVertex*>(context->MapVertexBuffer(vertices.Get(), QR_Access::Write));
    ASSERT_NE(vertexMemory, nullptr);
    const QrCanvasVertex corners[4] = {{-1, 1, 0.5f, 1, 0, 0, 0, 0, 1, 1},
                                       {1, 1, 0.5f, 1, 1, 0, 0, 0, 1, 1},
                                       {-1, -1, 0.5f, 1, 0, 1, 0, 0, 1, 1},
                                       {1, -1, 0.5f, 1, 1, 1, 0, 0, 1, 1}};
    std::memcpy(vertexMemory, corners, sizeof(corners));
    context->UnmapVertexBuffer(vertices.Get());
    auto* indexMemory = static_cast<std::uint32_t*>(context->MapIndexBuffer(indices.Get(), QR_Access::Write));
    ASSERT_NE(indexMemory, nullptr);
    const std::uint32_t order[6] = {0, 1, 2, 1, 3, 2};
    std::memcpy(indexMemory, order, sizeof(order));
    context->UnmapIndexBuffer(indices.Get());

    // Access Read on a constant buffer still maps it for discard-write.
    shaderState = CanvasState(QrCanvasShaders::flat);
    const float half[16] = {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    QC_Ptr<QR_ConstantBuffer> constants = renderer->CreateConstantBuffer(QR_Usage::Dynamic, 64, nullptr);
    void* constantMemory = context->MapConstantBuffer(constants.Get(), QR_Access::Read);
    ASSERT_NE(constantMemory, nullptr);
    std::memcpy(constantMemory, half, sizeof(half));
    context->UnmapConstantBuffer(constants.Get());
    shaderState->SetConstantBuffer(constants.Get());

    geometry = renderer->CreateGeometryState(QR_Primitive::TriangleList, vertices.Get(), indices.Get());
    context->SetShaderAndGeometry(geometry.Get(), shaderState.Get());
    context->Clear({0, 0, 0, 255});
    context->DrawIndexed(6, 0);
    ReadBack();
    // The projection halves the quad: blue in the middle, the clear colour at the edges.
    EXPECT_TRUE(PixelNear(Pixel(32, 32), {0, 0, 255, 255}));
    EXPECT_TRUE(PixelNear(Pixel(4, 4), {0, 0, 0, 255}));
    EXPECT_TRUE(TakeErrors().empty());

    // A default buffer has no CPU access: the map fails with a report and an empty pointer.
    QC_Ptr<QR_VertexBuffer> fixed = renderer->CreateVertexBuffer(QR_Usage::Default, 40, 4, corners);
    EXPECT_EQ(context->MapVertexBuffer(fixed.Get(), QR_Access::Write), nullptr);
    const std::vector<std::string> errors = TakeErrors();
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back(), "Failed to map buffer.");

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(context->MapVertexBuffer(vertices.Get(), static_cast<QR_Access>(4)),
                testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "QR_Constants_DX10\\.cpp.*Unknown access 4\\.");
    EXPECT_EXIT(context->MapIndexBuffer(indices.Get(), static_cast<QR_Access>(0)),
                testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "Unknown access 0\\.");
}

TEST_F(QR_RenderContextTest, BlendingWithAFactorMixesTheFactorByCoverage)
{
    // The canvas's LCD blend: source factor = blend factor, destination = 1 - source colour.
    QR_BlendDesc desc = {};
    for (QR_RenderTargetBlendDesc& entry : desc.renderTargets) {
        entry = {0, QR_Blend::One, QR_Blend::Zero, QR_BlendOp::Add, QR_Blend::One, QR_Blend::Zero, QR_BlendOp::Add, 0};
    }
    desc.renderTargets[0] = {1, QR_Blend::BlendFactor, QR_Blend::InvSrcColour, QR_BlendOp::Add,
                             QR_Blend::One, QR_Blend::Zero, QR_BlendOp::Add, 0};
    QC_Ptr<QR_BlendState> blend = renderer->CreateBlendState(desc);
    const float white[4] = {1, 1, 1, 1};
    UseFlatRectangle(-1, -1, 1, 1, white);
    context->Clear({0, 0, 0, 255});
    const float factor[4] = {0, 1, 0, 1};
    context->SetBlendState(blend.Get(), factor);
    context->DrawIndexed(6, 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(32, 32), {0, 255, 0, 255}));

    // Without a factor the platform blends with all ones.
    context->Clear({0, 0, 0, 255});
    context->SetBlendState(blend.Get());
    context->DrawIndexed(6, 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(32, 32), {255, 255, 255, 255}));
}

TEST_F(QR_RenderContextTest, ScissorAndViewportTakeTopLeftCoordinates)
{
    QR_RasteriserDesc desc = {};
    desc.cullMode = QR_CullMode::None;
    desc.fillMode = QR_FillMode::Solid;
    desc.scissor = 1;
    QC_Ptr<QR_RasteriserState> scissored = renderer->CreateRasteriserState(desc);
    context->SetRasteriserState(scissored.Get());
    context->SetScissorRect(8, 4, 16, 8);
    UseFlatRectangle(-1, -1, 1, 1, red);
    context->Clear({0, 0, 0, 255});
    context->DrawIndexed(6, 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(8, 4), {255, 0, 0, 255}));
    EXPECT_TRUE(PixelNear(Pixel(23, 11), {255, 0, 0, 255}));
    EXPECT_TRUE(PixelNear(Pixel(24, 11), {0, 0, 0, 255}));
    EXPECT_TRUE(PixelNear(Pixel(8, 12), {0, 0, 0, 255}));

    // A viewport over the top-left quarter.
    context->SetRasteriserState(rasteriser.Get());
    context->SetViewport(0, 0, 32, 32);
    context->Clear({0, 0, 0, 255});
    context->DrawIndexed(6, 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(31, 31), {255, 0, 0, 255}));
    EXPECT_TRUE(PixelNear(Pixel(32, 32), {0, 0, 0, 255}));
}
