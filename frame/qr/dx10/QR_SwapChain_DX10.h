#pragma once
// The swap chain on the platform: one back buffer with a render target view, a depth-stencil
// buffer of the same size, and presentation with sync interval 1 (vsync) or 0. Made for a
// display mode, for a window only, or without a window at a given size (headless). Both
// backends use it; its views always take the size the platform's back buffer has (the window's
// client area for a windowed swap chain), never a size asked for.

#include "QC_Ptr.h"
#include "QP_Device.h"
#include "QP_DeviceChild.h"
#include "QP_Factory.h"
#include "QP_SwapChain.h"
#include "QR_DisplayMode.h"
#include "QR_SwapChain.h"

static_assert(QR_SwapChain::kReadBackQueueDepth <= QP_SwapChain::kStagingSlots,
              "every queued read-back needs a staging slot of its own");

class QR_RenderContext_DX10;

class QR_SwapChain_DX10 : public QR_SwapChain
{
public:
    QR_SwapChain_DX10(QP_Factory* factory, QP_Device* device);
    ~QR_SwapChain_DX10() override;

    // For a display mode: windowed takes the window's client size, fullscreen the mode's; the
    // mode's refresh rate is asked for only with vsync. Fatal when the platform refuses.
    void CreateForMode(QP_NativeWindow* window, const QR_DisplayMode& mode, bool windowed, bool vsync);
    // For a window only: windowed, client size, refresh 0/1, vsync on.
    void CreateForWindow(QP_NativeWindow* window);
    // Without a window, at the given size, vsync off.
    void CreateHeadless(std::uint32_t width, std::uint32_t height);

    void Present() override;
    void Resize() override;
    bool ReadBackBuffer(QC_Image& image) override;
    bool QueueReadBack() override;
    bool CollectReadBack(QC_Image& image) override;

    // Maintained by the render context only: the context that has this swap chain bound.
    void SetBoundContext(QR_RenderContext_DX10* context) { boundContext = context; }
    QR_RenderContext_DX10* BoundContext() const { return boundContext; }

    QP_RenderTargetView* RenderTargetView() const { return renderTargetView.Get(); }
    QP_DepthStencilView* DepthStencilView() const { return depthStencilView.Get(); }
    std::uint32_t SyncInterval() const { return syncInterval; }

protected:
    void Create(const QP_SwapChainDesc& desc);
    // Records the platform's back buffer size and builds the render target view of back
    // buffer 0 and a depth buffer and view of that size.
    void BuildViews();
    // The size the platform's back buffer has now (the window's client size for a window).
    void PlatformSize(std::uint32_t* width, std::uint32_t* height) const;

    QC_Ptr<QP_SwapChain> swapChain;
    QC_Ptr<QP_RenderTargetView> renderTargetView;
    QC_Ptr<QP_DepthStencilView> depthStencilView;
    QP_NativeWindow* window = nullptr;
    QC_Ptr<QP_Factory> factory;
    QC_Ptr<QP_Device> device;
    QR_RenderContext_DX10* boundContext = nullptr;
    std::uint32_t syncInterval = 0;
    // The platform's staging slot of the oldest queued read-back; the others follow it round
    // the ring.
    std::uint32_t oldestReadBackSlot = 0;
};
