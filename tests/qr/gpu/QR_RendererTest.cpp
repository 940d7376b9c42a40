// The renderer's factory functions, backend table, display modes, current render context and
// the resources and states it makes, on both backends where they share behaviour.

#include "support/QR_RendererTestSupport.h"

#include "QP_GraphicsTypes.h"
#include "QR_DisplayMode_DX10.h"

TEST(QR_RendererFactoryTest, UnsupportedAndUnknownBackendsAreFatal)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QR_RendererSettings settings;
    settings.headless = true;
    settings.backend = QR_Backend::OpenGL;
    EXPECT_EXIT(QR_CreateRenderer(settings), testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "QR_Renderer\\.cpp\\([0-9]+\\).*\\[FATAL\\] OpenGL backend not supported\\.");
    settings.backend = static_cast<QR_Backend>(0);
    EXPECT_EXIT(QR_CreateRenderer(settings), testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "Unknown backend 0\\.");
    settings.backend = static_cast<QR_Backend>(4);
    EXPECT_EXIT(QR_CreateRenderer(settings), testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "Unknown backend 4\\.");
}

TEST(QR_RendererFactoryTest, CreateGetAndDestroyTheGlobalRenderer)
{
    QR_RendererSettings settings;
    settings.headless = true;
    EXPECT_EQ(QR_GetRenderer(), nullptr);
    QrCreateRenderer(settings);
    ASSERT_NE(QR_GetRenderer(), nullptr);
    EXPECT_EQ(QR_GetRenderer()->Backend(), 1);
    EXPECT_EQ(QR_GetRenderer()->GetTriangleCount(), 0);
    QR_GetRenderer()->AddTriangles(5);
    EXPECT_EQ(QR_GetRenderer()->GetTriangleCount(), 5);

    // A context someone still holds outlives the renderer without touching it.
    QC_Ptr<QR_RenderContext> kept = QR_GetRenderer()->GetRenderContext();
    QR_DestroyRenderer();
    EXPECT_EQ(QR_GetRenderer(), nullptr);
    kept = nullptr;
    QR_DestroyRenderer(); // nothing left to destroy

    settings.backend = QR_Backend::DX11;
    QrCreateRenderer(settings);
    ASSERT_NE(QR_GetRenderer(), nullptr);
    EXPECT_EQ(QR_GetRenderer()->Backend(), 2);
    QR_DestroyRenderer();
}

TEST(QR_DisplayModeTest, RefreshRateIsRoundedFromTheRationalRate)
{
    QP_ModeDesc mode;
    mode.width = 1920;
    mode.height = 1080;
    mode.refreshRate = {59940, 1000};
    mode.scanlineOrdering = QP_MODE_SCANLINE_ORDER_UPPER_FIELD_FIRST;
    mode.scaling = QP_MODE_SCALING_STRETCHED;
    QR_DisplayMode_DX10 ntsc(mode);
    EXPECT_EQ(ntsc.refreshRate, 60u);
    EXPECT_EQ(ntsc.refreshNumerator, 59940u);
    EXPECT_EQ(ntsc.refreshDenominator, 1000u);
    EXPECT_EQ(ntsc.width, 1920u);
    EXPECT_EQ(ntsc.height, 1080u);
    EXPECT_EQ(ntsc.scanlineOrdering, 2);
    EXPECT_EQ(ntsc.scaling, 2);

    mode.refreshRate = {75, 1};
    EXPECT_EQ(QR_DisplayMode_DX10(mode).refreshRate, 75u);
    mode.refreshRate = {60000, 1001};
    EXPECT_EQ(QR_DisplayMode_DX10(mode).refreshRate, 60u);
    // 59.5 rounds up, 59.4 down; a zero denominator gives 0 rather than a division fault.
    mode.refreshRate = {119, 2};
    EXPECT_EQ(QR_DisplayMode_DX10(mode).refreshRate, 60u);
    mode.refreshRate = {594, 10};
    EXPECT_EQ(QR_DisplayMode_DX10(mode).refreshRate, 59u);
    mode.refreshRate = {60, 0};
    EXPECT_EQ(QR_DisplayMode_DX10(mode).refreshRate, 0u);
}

TEST_F(QR_RendererTest, DisplayModesFillTheCallersListWithTheSameObjectsEachTime)
{
    QR_DisplayModeList modes;
    renderer->GetDisplayModes(modes);
    // The headless platform lists 1280x720, 1920x1080 and 2560x1440 at 60 Hz.
    ASSERT_EQ(modes.size(), 3u);
    EXPECT_EQ(modes[0]->width, 1280u);
    EXPECT_EQ(modes[0]->height, 720u);
    EXPECT_EQ(modes[0]->refreshRate, 60u);
    EXPECT_EQ(modes[2]->width, 2560u);

    // Asking again releases what the list held and stores the same objects again.
    QR_DisplayMode* first = modes[0].Get();
    const std::int32_t references = first->RefCount();
    QR_DisplayModeList again;
    renderer->GetDisplayModes(again);
    EXPECT_EQ(again[0].Get(), first);
    EXPECT_EQ(first->RefCount(), references + 1);
    renderer->GetDisplayModes(again);
    EXPECT_EQ(again.size(), 3u);
    EXPECT_EQ(first->RefCount(), references + 1);

    // A swap chain for a fullscreen mode takes the mode's size (headless: without a window).
    QC_Ptr<QR_SwapChain> modeSwapChain = renderer->CreateSwapChain(nullptr, modes[1].Get(), false, true);
    EXPECT_EQ(modeSwapChain->Width(), 1920u);
    EXPECT_EQ(modeSwapChain->Height(), 1080u);
    // Windowed, the size is the window's client area: without a window there is none, and the
    // platform refuses the swap chain.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(renderer->CreateSwapChain(nullptr, modes[0].Get(), true, true),
                testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "QR_SwapChain_DX10\\.cpp\\([0-9]+\\).*Unable to create swap chain\\.");
}

TEST_F(QR_RendererTest, Direct3D11HasNoDisplayModesAndNoSwapChainForAMode)
{
    TearDown();
    StartRenderer(QR_Backend::DX11);
    QR_DisplayModeList modes;
    renderer->GetDisplayModes(modes);
    EXPECT_TRUE(modes.empty());
    // The array is left as it was, not emptied.
    QP_ModeDesc platformMode;
    platformMode.width = 800;
    platformMode.height = 600;
    platformMode.refreshRate = {60, 1};
    modes.push_back(QC_Ptr<QR_DisplayMode>(new QR_DisplayMode_DX10(platformMode)));
    renderer->GetDisplayModes(modes);
    ASSERT_EQ(modes.size(), 1u);
    EXPECT_EQ(modes[0]->width, 800u);

    // The headless swap chain works and the Direct3D 11 context draws into it.
    context->Clear({0, 255, 0, 255});
    context->BeginQuery();
    context->EndQuery();
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(5, 5), {0, 255, 0, 255}, 0));

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(renderer->CreateSwapChain(nullptr, modes[0].Get(), false, true),
                testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "QR_Renderer_DX11\\.cpp\\([0-9]+\\).*\\[FATAL\\] Not implemented\\.");
}

TEST_F(QR_RendererTest, Direct3D11RenderTargetsUseTheSwapChainsDepthBuffer)
{
    TearDown();
    StartRenderer(QR_Backend::DX11);
    QC_Ptr<QR_RenderTarget> target = renderer->CreateRenderTarget(size, size);
    ASSERT_NE(target->Texture(), nullptr);
    context->SetRenderTarget(target.Get());
    // ClearDepth goes to the swap chain's depth view, which exists; nothing is reported.
    context->ClearDepth(1.0f, 0);
    context->Clear({255, 0, 0, 255});
    context->SetRenderTarget(nullptr);
    context->Clear({0, 0, 255, 255});
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(5, 5), {0, 0, 255, 255}, 0));
    EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(QR_RendererTest, RenderContextIsProcessWideAndReplaceable)
{
    QC_Ptr<QR_RenderContext> first = renderer->GetRenderContext();
    EXPECT_EQ(first.Get(), context.Get());
    const std::int32_t references = first->RefCount();
    QC_Ptr<QR_RenderContext> second = renderer->GetRenderContext();
    EXPECT_EQ(first->RefCount(), references + 1);
    second = nullptr;

    // Setting another context releases the held one; setting it back restores it.
    renderer->SetRenderContext(nullptr);
    EXPECT_EQ(first->RefCount(), references - 1);
    EXPECT_FALSE(renderer->GetRenderContext());
    renderer->SetRenderContext(first.Get());
    EXPECT_EQ(renderer->GetRenderContext().Get(), first.Get());
}

TEST_F(QR_RendererTest, ResourcesReleaseTheirPlatformObjectsWhenTheyDie)
{
    // What the hot reload of a texture, a buffer or a shader relies on: dropping the old object
    // frees everything it made on the device, so replacing it leaks nothing.
    QC_Ptr<QR_Texture2D> texture = renderer->CreateTexture2D(16, 16);
    EXPECT_EQ(texture->Width(), 16u);
    EXPECT_EQ(texture->Height(), 16u);
    QC_Ptr<QR_VertexBuffer> buffer = renderer->CreateVertexBuffer(QR_Usage::Dynamic, 40, 16, nullptr);
    QC_Ptr<QR_RenderTarget> target = renderer->CreateRenderTarget(32, 16);
    EXPECT_EQ(target->Texture()->Width(), 32u);
    EXPECT_EQ(target->Texture()->Height(), 16u);

    // A geometry state keeps its buffers alive; dropping it lets them go.
    QC_Ptr<QR_IndexBuffer> indices = renderer->CreateIndexBuffer(QR_Usage::Default, 4, 6, nullptr);
    const std::int32_t bufferReferences = buffer->RefCount();
    QC_Ptr<QR_GeometryState> state = renderer->CreateGeometryState(QR_Primitive::TriangleList, buffer.Get(), indices.Get());
    EXPECT_EQ(buffer->RefCount(), bufferReferences + 1);
    state = nullptr;
    EXPECT_EQ(buffer->RefCount(), bufferReferences);
    EXPECT_TRUE(TakeErrors().empty());
}
