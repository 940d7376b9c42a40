#include "QR_SwapChain_DX10.h"

#include "QC_Log.h"
#include "QR_DepthStencil_DX10.h"
#include "QR_RenderContext_DX10.h"

#include <cstring>

QR_SwapChain_DX10::QR_SwapChain_DX10(QP_Factory* platformFactory, QP_Device* platformDevice)
    : factory(platformFactory), device(platformDevice)
{
}

QR_SwapChain_DX10::~QR_SwapChain_DX10()
{
    // A bound context holds a reference, so none can be bound here; leaving fullscreen is the
    // platform swap chain's own destructor's work.
}

void QR_SwapChain_DX10::CreateForMode(QP_NativeWindow* outputWindow, const QR_DisplayMode& mode, bool windowed,
                                      bool vsync)
{
    window = outputWindow;
    syncInterval = vsync ? 1 : 0;
    QP_SwapChainDesc desc;
    // Zero takes the window's client size.
    desc.bufferDesc.width = windowed ? 0 : mode.width;
    desc.bufferDesc.height = windowed ? 0 : mode.height;
    desc.bufferDesc.refreshRate = vsync ? QP_Rational{mode.refreshNumerator, mode.refreshDenominator} : QP_Rational{0, 1};
    desc.bufferDesc.format = QP_FORMAT_R8G8B8A8_UNORM;
    desc.bufferDesc.scanlineOrdering = static_cast<QP_ModeScanlineOrder>(mode.scanlineOrdering);
    desc.bufferDesc.scaling = static_cast<QP_ModeScaling>(mode.scaling);
    desc.sampleDesc = {1, 0};
    desc.bufferUsage = QP_USAGE_RENDER_TARGET_OUTPUT;
    desc.bufferCount = 1;
    desc.outputWindow = window;
    desc.windowed = windowed;
    desc.swapEffect = QP_SWAP_EFFECT_DISCARD;
    desc.flags = 0;
    Create(desc);
}

void QR_SwapChain_DX10::CreateForWindow(QP_NativeWindow* outputWindow)
{
    window = outputWindow;
    syncInterval = 1;
    QP_SwapChainDesc desc;
    desc.bufferDesc.width = 0;
    desc.bufferDesc.height = 0;
    desc.bufferDesc.refreshRate = {0, 1};
    desc.bufferDesc.format = QP_FORMAT_R8G8B8A8_UNORM;
    desc.bufferDesc.scanlineOrdering = QP_MODE_SCANLINE_ORDER_UNSPECIFIED;
    desc.bufferDesc.scaling = QP_MODE_SCALING_UNSPECIFIED;
    desc.outputWindow = window;
    desc.windowed = true;
    Create(desc);
}

void QR_SwapChain_DX10::CreateHeadless(std::uint32_t bufferWidth, std::uint32_t bufferHeight)
{
    window = nullptr;
    syncInterval = 0;
    QP_SwapChainDesc desc;
    desc.bufferDesc.width = bufferWidth;
    desc.bufferDesc.height = bufferHeight;
    desc.bufferDesc.refreshRate = {0, 1};
    desc.bufferDesc.format = QP_FORMAT_R8G8B8A8_UNORM;
    desc.outputWindow = nullptr;
    desc.windowed = true;
    Create(desc);
}

void QR_SwapChain_DX10::Create(const QP_SwapChainDesc& desc)
{
    if (QP_Failed(factory->CreateSwapChain(device.Get(), &desc, &swapChain)))
        QC_FATAL("Unable to create swap chain.");
    BuildViews();
}

void QR_SwapChain_DX10::PlatformSize(std::uint32_t* bufferWidth, std::uint32_t* bufferHeight) const
{
    QP_SwapChainDesc desc;
    swapChain->GetDesc(&desc);
    *bufferWidth = desc.bufferDesc.width;
    *bufferHeight = desc.bufferDesc.height;
}

void QR_SwapChain_DX10::BuildViews()
{
    PlatformSize(&width, &height);
    QC_Ptr<QP_Texture2D> backBuffer;
    if (QP_Failed(swapChain->GetBuffer(0, &backBuffer)))
        QC_FATAL("Failed to get back buffer for swap chain.");
    if (QP_Failed(device->CreateRenderTargetView(backBuffer.Get(), nullptr, &renderTargetView)))
        QC_FATAL("Failed to create render target from swap chain back buffer.");
    backBuffer = nullptr;

    depthStencilView = QR_CreateDepthStencil_DX10(device.Get(), width, height);
}

void QR_SwapChain_DX10::Present() { swapChain->Present(syncInterval, 0); }

void QR_SwapChain_DX10::Resize()
{
    QR_RenderContext_DX10* context = boundContext;
    if (context)
        context->ReleaseSwapChain(this);
    renderTargetView = nullptr;
    depthStencilView = nullptr;
    queuedReadBacks = 0;
    if (QP_Failed(swapChain->ResizeBuffers(0, 0, 0, QP_FORMAT_UNKNOWN, 0))) {
        QC_ERROR("Failed to resize swap chain buffers.");
        return;
    }
    BuildViews();
    if (context)
        context->SetSwapChain(this);
}

bool QR_SwapChain_DX10::ReadBackBuffer(QC_Image& image)
{
    if (image.Width() != width || image.Height() != height) {
        QC_ERROR("ReadBackBuffer: the image is %ux%u, the back buffer %ux%u.", image.Width(), image.Height(), width,
                 height);
        return false;
    }
    if (QP_Failed(swapChain->ReadBackBuffer(image.Pixels(), width * 4))) {
        QC_ERROR("ReadBackBuffer: the platform could not read the back buffer.");
        return false;
    }
    return true;
}

bool QR_SwapChain_DX10::QueueReadBack()
{
    if (queuedReadBacks == kReadBackQueueDepth) {
        QC_ERROR("QueueReadBack: %u read-backs are queued already; collect one first.", queuedReadBacks);
        return false;
    }
    const std::uint32_t slot = (oldestReadBackSlot + queuedReadBacks) % kReadBackQueueDepth;
    if (QP_Failed(swapChain->CopyToStaging(slot))) {
        QC_ERROR("QueueReadBack: the platform could not start the copy of the back buffer.");
        return false;
    }
    ++queuedReadBacks;
    return true;
}

bool QR_SwapChain_DX10::CollectReadBack(QC_Image& image)
{
    if (queuedReadBacks == 0) {
        QC_ERROR("CollectReadBack: no read-back is queued.");
        return false;
    }
    if (image.Width() != width || image.Height() != height) {
        QC_ERROR("CollectReadBack: the image is %ux%u, the back buffer %ux%u.", image.Width(), image.Height(), width,
                 height);
        return false;
    }
    const std::uint32_t slot = oldestReadBackSlot;
    oldestReadBackSlot = (oldestReadBackSlot + 1) % kReadBackQueueDepth;
    --queuedReadBacks;
    QP_MappedSubresource mapped;
    if (QP_Failed(swapChain->MapStaging(slot, &mapped))) {
        QC_ERROR("CollectReadBack: the platform could not read the back buffer.");
        return false;
    }
    std::memcpy(image.Pixels(), mapped.data, static_cast<std::size_t>(image.ByteSize()));
    swapChain->UnmapStaging(slot);
    return true;
}
