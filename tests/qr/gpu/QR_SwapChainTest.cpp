// Swap chains of the renderer: sizes and sync intervals for a display mode, for a window and
// without one, Resize with and without a bound context, and a failed resize that leaves the
// swap chain unbound and reported, and read-backs queued without waiting. Window tests run under
// a private X server.

#include "support/QR_RendererTestSupport.h"

#include "QP_OutputWindow.h"
#include "QR_RenderContext_DX10.h"
#include "QR_SwapChain_DX10.h"
#include "support/XvfbServer.h"

#include <iterator>

class QR_SwapChainTest : public QR_RendererTest
{
};

TEST_F(QR_SwapChainTest, ModeSwapChainsAskForTheRefreshRateOnlyWithVsync)
{
    QR_DisplayModeList modes;
    renderer->GetDisplayModes(modes);
    ASSERT_FALSE(modes.empty());
    QC_Ptr<QR_SwapChain> withVsync = renderer->CreateSwapChain(nullptr, modes[0].Get(), false, true);
    QC_Ptr<QR_SwapChain> withoutVsync = renderer->CreateSwapChain(nullptr, modes[0].Get(), false, false);
    EXPECT_EQ(static_cast<QR_SwapChain_DX10*>(withVsync.Get())->SyncInterval(), 1u);
    EXPECT_EQ(static_cast<QR_SwapChain_DX10*>(withoutVsync.Get())->SyncInterval(), 0u);
    EXPECT_EQ(withoutVsync->Width(), modes[0]->width);
    EXPECT_EQ(withoutVsync->Height(), modes[0]->height);
    // The headless one of the fixture presents nothing and never waits.
    EXPECT_EQ(static_cast<QR_SwapChain_DX10*>(swapChain.Get())->SyncInterval(), 0u);
    swapChain->Present();
}

TEST_F(QR_SwapChainTest, AFailedResizeIsReportedAndLeavesTheSwapChainUnbound)
{
    // Without a window there is no client area to take the new size from: the platform refuses.
    QR_SwapChain_DX10* backend = static_cast<QR_SwapChain_DX10*>(swapChain.Get());
    EXPECT_NE(backend->BoundContext(), nullptr);
    swapChain->Resize();
    std::vector<std::string> errors = TakeErrors();
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back(), "Failed to resize swap chain buffers.");
    EXPECT_EQ(backend->BoundContext(), nullptr);
    EXPECT_EQ(backend->RenderTargetView(), nullptr);
    EXPECT_EQ(backend->DepthStencilView(), nullptr);
    // Clearing now reports instead of touching a view that is gone.
    context->Clear({1, 2, 3, 4});
    context->ClearDepth(1.0f, 0);
    EXPECT_EQ(TakeErrors().size(), 2u);
    // With no swap chain to fall back to, SetRenderTarget(nullptr) binds no output and says so.
    QC_Ptr<QR_RenderTarget> target = renderer->CreateRenderTarget(8, 8);
    context->SetRenderTarget(target.Get());
    context->SetRenderTarget(nullptr);
    EXPECT_EQ(TakeErrors(), std::vector<std::string>{"SetRenderTarget: no swap chain is bound to fall back to."});
    // Binding the swap chain again works once it has views; here it has none yet.
    context->SetSwapChain(swapChain.Get());
    EXPECT_EQ(backend->BoundContext(), static_cast<QR_RenderContext_DX10*>(context.Get()));
}

TEST_F(QR_SwapChainTest, QueuedReadBacksComeBackOldestFirstEachAsItWasWhenQueued)
{
    // Six frames through the ring of three, each cleared to its own colour: every copy holds
    // its own frame, not the last one drawn, and they come back in the order they were queued.
    const QR_Colour colours[] = {{255, 0, 0, 255},   {0, 255, 0, 255},     {0, 0, 255, 255},
                                 {10, 20, 30, 255},  {200, 100, 50, 255},  {1, 2, 3, 4}};
    auto packed = [](const QR_Colour& c) {
        return std::uint32_t(c.r) | std::uint32_t(c.g) << 8 | std::uint32_t(c.b) << 16 | std::uint32_t(c.a) << 24;
    };
    QC_Ptr<QC_Image> picture(new QC_Image(size, size));
    std::size_t collected = 0;
    for (std::size_t frame = 0; frame < std::size(colours); ++frame) {
        context->Clear(colours[frame]);
        ASSERT_TRUE(swapChain->QueueReadBack()) << "frame " << frame;
        if (swapChain->QueuedReadBacks() < QR_SwapChain::kReadBackQueueDepth)
            continue;
        // A full ring refuses another copy until the oldest is collected.
        EXPECT_FALSE(swapChain->QueueReadBack());
        EXPECT_EQ(TakeErrors().size(), 1u);
        ASSERT_TRUE(swapChain->CollectReadBack(*picture));
        EXPECT_EQ(picture->Pixels()[0], packed(colours[collected])) << "collected " << collected;
        EXPECT_EQ(picture->Pixels()[size * size - 1], packed(colours[collected]));
        ++collected;
    }
    // A wrongly sized image is refused and the copy stays queued for a right one.
    QC_Ptr<QC_Image> small(new QC_Image(8, 8));
    EXPECT_FALSE(swapChain->CollectReadBack(*small));
    EXPECT_EQ(swapChain->QueuedReadBacks(), QR_SwapChain::kReadBackQueueDepth - 1);
    while (swapChain->QueuedReadBacks() > 0) {
        ASSERT_TRUE(swapChain->CollectReadBack(*picture));
        EXPECT_EQ(picture->Pixels()[size * 2 + 3], packed(colours[collected])) << "collected " << collected;
        ++collected;
    }
    EXPECT_EQ(collected, std::size(colours));
    // Nothing queued: nothing to wait for, and said so.
    EXPECT_FALSE(swapChain->CollectReadBack(*picture));
    EXPECT_EQ(TakeErrors().size(), 2u);
}

TEST(QR_WindowedSwapChainTest, WindowSwapChainsTakeTheClientSizeAndFollowResizes)
{
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();
    QC_CreateLog(QC_LogConfig{});
    QR_RendererSettings settings;
    QrCreateRenderer(settings);
    QR_Renderer* renderer = QR_GetRenderer();
    QR_DisplayModeList modes;
    renderer->GetDisplayModes(modes);
    ASSERT_FALSE(modes.empty());

    QP_NativeWindow* window = QP_CreateOutputWindow("renderer test", 64, 48, true);
    ASSERT_NE(window, nullptr);
    {
        // Windowed for a mode: the client size, not the mode's.
        QC_Ptr<QR_SwapChain> forMode = renderer->CreateSwapChain(window, modes.back().Get(), true, false);
        EXPECT_EQ(forMode->Width(), 64u);
        EXPECT_EQ(forMode->Height(), 48u);
        EXPECT_EQ(static_cast<QR_SwapChain_DX10*>(forMode.Get())->SyncInterval(), 0u);
        forMode = nullptr;

        QC_Ptr<QR_SwapChain> swapChain = renderer->CreateSwapChain(window);
        EXPECT_EQ(swapChain->Width(), 64u);
        EXPECT_EQ(swapChain->Height(), 48u);
        QR_SwapChain_DX10* backend = static_cast<QR_SwapChain_DX10*>(swapChain.Get());
        EXPECT_EQ(backend->SyncInterval(), 1u);

        // Not bound: the views are rebuilt and nothing is bound.
        swapChain->Resize();
        EXPECT_EQ(backend->BoundContext(), nullptr);
        EXPECT_NE(backend->RenderTargetView(), nullptr);

        // Bound: unbound while the views are rebuilt, bound again afterwards.
        QC_Ptr<QR_RenderContext> context = renderer->GetRenderContext();
        context->SetSwapChain(swapChain.Get());
        context->SetViewport(0, 0, 64, 48);
        swapChain->Resize();
        EXPECT_EQ(backend->BoundContext(), static_cast<QR_RenderContext_DX10*>(context.Get()));
        context->Clear({0, 255, 0, 255});
        // Presentation into a window is the platform's own test's business (its GLX swap leaves
        // allocations LeakSanitizer cannot attribute); here the back buffer is read back.
        QC_Ptr<QC_Image> picture(new QC_Image(64, 48));
        ASSERT_TRUE(swapChain->ReadBackBuffer(*picture));
        EXPECT_EQ(picture->Pixels()[0], 0xFF00FF00u);
        EXPECT_EQ(picture->Pixels()[64 * 48 - 1], 0xFF00FF00u);
        // A wrongly sized image is refused.
        QC_Ptr<QC_Image> small(new QC_Image(8, 8));
        EXPECT_FALSE(swapChain->ReadBackBuffer(*small));
    }
    QR_DestroyRenderer();
    QP_DestroyOutputWindow(window);
    QC_DestroyLog();
}
