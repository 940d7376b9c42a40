// What the render context keeps of what is bound, on both backends: states, shaders and buffers
// stay on the device after the caller lets them go, indexed draws follow the topology of the
// geometry bound last, and the operations in which Direct3D 11 differs (depth clears without a
// swap chain, viewports, timestamp queries).

#include "support/QR_RendererTestSupport.h"

namespace {
const QR_Backend backends[] = {QR_Backend::DX10, QR_Backend::DX11};

// Source factor = blend factor, destination = 1 - source colour, on entry 0; the rest opaque.
QR_BlendDesc FactorBlend()
{
    QR_BlendDesc desc = {};
    for (QR_RenderTargetBlendDesc& entry : desc.renderTargets)
        entry = {0, QR_Blend::One, QR_Blend::Zero, QR_BlendOp::Add, QR_Blend::One, QR_Blend::Zero, QR_BlendOp::Add, 0};
    desc.renderTargets[0] = {1, QR_Blend::BlendFactor, QR_Blend::InvSrcColour, QR_BlendOp::Add,
                             QR_Blend::One, QR_Blend::Zero, QR_BlendOp::Add, 0};
    return desc;
}

const float white[4] = {1, 1, 1, 1};
const float red[4] = {1, 0, 0, 1};
} // namespace

class QR_RenderContextBindingTest : public QR_RendererTest
{
protected:
    std::string Name(QR_Backend backend) const { return "backend " + std::to_string(static_cast<int>(backend)); }
};

TEST_F(QR_RenderContextBindingTest, WhatTheCallerLetsGoStaysBoundUntilReplaced)
{
    for (QR_Backend backend : backends) {
        TearDown();
        StartRenderer(backend);
        QC_Ptr<QR_BlendState> blend = renderer->CreateBlendState(FactorBlend());
        const float factor[4] = {0, 1, 0, 1};
        context->SetBlendState(blend.Get(), factor);
        shaderState = CanvasState(QrCanvasShaders::flat);
        geometry = Rectangle(-1, -1, 1, 1, white);
        context->SetShaderAndGeometry(geometry.Get(), shaderState.Get());
        // Every reference the caller holds is dropped: the device keeps what is bound.
        blend = nullptr;
        shaderState = nullptr;
        geometry = nullptr;
        rasteriser = nullptr;
        depth = nullptr;
        context->Clear({0, 0, 0, 255});
        renderer->ResetTriangleCount();
        context->DrawIndexed(6, 0);
        EXPECT_EQ(renderer->GetTriangleCount(), 2) << Name(backend);
        ReadBack();
        EXPECT_TRUE(PixelNear(Pixel(32, 32), {0, 255, 0, 255})) << Name(backend);
        EXPECT_TRUE(TakeErrors().empty()) << Name(backend);
    }
}

TEST_F(QR_RenderContextBindingTest, IndexedDrawsFollowTheTopologyOfTheGeometryBoundLast)
{
    shaderState = CanvasState(QrCanvasShaders::flat);
    QC_Ptr<QR_GeometryState> strip = Rectangle(-1, -1, 1, 1, red, QR_Primitive::TriangleStrip);
    QC_Ptr<QR_GeometryState> list = Rectangle(-1, -1, 1, 1, red);
    // A strip replaced by a list: indexed draws work.
    context->SetShaderAndGeometry(strip.Get(), shaderState.Get());
    context->SetShaderAndGeometry(list.Get(), shaderState.Get());
    context->Clear({0, 0, 0, 255});
    context->DrawIndexed(6, 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(32, 32), {255, 0, 0, 255}));

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // No geometry at all: nothing to read indices from.
    context->SetShaderAndGeometry(nullptr, shaderState.Get());
    EXPECT_EXIT(context->DrawIndexed(6, 0), testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "QR_RenderContext_DX10\\.cpp\\([0-9]+\\).*\\[FATAL\\] Unknown topology\\.");
    // A list replaced by a strip: refused again.
    context->SetShaderAndGeometry(list.Get(), shaderState.Get());
    context->SetShaderAndGeometry(strip.Get(), shaderState.Get());
    EXPECT_EXIT(context->DrawIndexedInstanced(4, 0, 1), testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "Unknown topology\\.");
}

TEST_F(QR_RenderContextBindingTest, EachBackendReportsADepthClearWithoutASwapChainInItsOwnWords)
{
    const char* const expected[] = {"ClearDepth: no depth view is bound.", "ClearDepth: no swap chain is bound."};
    for (int i = 0; i < 2; ++i) {
        TearDown();
        StartRenderer(backends[i]);
        // A headless swap chain cannot resize: it unbinds itself and is left without views.
        swapChain->Resize();
        TakeErrors();
        context->ClearDepth(1.0f, 0);
        EXPECT_EQ(TakeErrors(), std::vector<std::string>{expected[i]}) << Name(backends[i]);
        // Direct3D 10 clears a render target's own depth buffer; Direct3D 11 targets have none
        // and still need the swap chain's.
        QC_Ptr<QR_RenderTarget> target = renderer->CreateRenderTarget(8, 8);
        context->SetRenderTarget(target.Get());
        context->ClearDepth(1.0f, 0);
        const std::vector<std::string> errors = TakeErrors();
        if (backends[i] == QR_Backend::DX10)
            EXPECT_TRUE(errors.empty()) << Name(backends[i]);
        else
            EXPECT_EQ(errors, std::vector<std::string>{expected[i]}) << Name(backends[i]);
    }
}

TEST_F(QR_RenderContextBindingTest, ViewportsAndQueriesWorkOnBothBackends)
{
    for (QR_Backend backend : backends) {
        TearDown();
        StartRenderer(backend);
        shaderState = CanvasState(QrCanvasShaders::flat);
        geometry = Rectangle(-1, -1, 1, 1, red);
        context->SetShaderAndGeometry(geometry.Get(), shaderState.Get());
        // The bottom-right quarter, in top-left coordinates.
        context->SetViewport(32, 32, 32, 32);
        context->Clear({0, 0, 0, 255});
        context->BeginQuery();
        context->DrawIndexed(6, 0);
        context->EndQuery();
        context->Flush();
        ReadBack();
        EXPECT_TRUE(PixelNear(Pixel(32, 32), {255, 0, 0, 255})) << Name(backend);
        EXPECT_TRUE(PixelNear(Pixel(63, 63), {255, 0, 0, 255})) << Name(backend);
        EXPECT_TRUE(PixelNear(Pixel(31, 31), {0, 0, 0, 255})) << Name(backend);
        EXPECT_TRUE(TakeErrors().empty()) << Name(backend);
    }
}
