#include "QR_RenderContext_DX11.h"

#include "QC_Log.h"
#include "QR_RenderTarget_DX10.h"
#include "QR_SwapChain_DX10.h"

void QR_RenderContext_DX11::BeginQuery()
{
    if (query)
        device->Begin(query.Get());
}

void QR_RenderContext_DX11::EndQuery()
{
    if (query)
        device->End(query.Get());
}

void QR_RenderContext_DX11::ClearDepth(float depth, std::uint8_t stencil)
{
    QP_DepthStencilView* view = swapChain ? swapChain->DepthStencilView() : nullptr;
    if (!view) {
        QC_ERROR("ClearDepth: no swap chain is bound.");
        return;
    }
    device->ClearDepthStencilView(view, QP_CLEAR_DEPTH | QP_CLEAR_STENCIL, depth, stencil);
}

void QR_RenderContext_DX11::SetRenderTarget(QR_RenderTarget* target)
{
    if (!target) {
        QR_RenderContext_DX10::SetRenderTarget(nullptr);
        return;
    }
    // Direct3D 11 render targets have no depth buffer of their own.
    renderTarget = target;
    QP_RenderTargetView* view = static_cast<QR_RenderTarget_DX10*>(target)->renderTargetView.Get();
    device->OMSetRenderTargets(1, &view, swapChain ? swapChain->DepthStencilView() : nullptr);
}
