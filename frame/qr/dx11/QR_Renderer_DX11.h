#pragma once
// The Direct3D 11 backend. It shares QR_Renderer_DX10's implementation and overrides only what
// Direct3D 11 does differently:
//   device             driver type unknown, feature level 11_0; only the device creation is
//                      checked ("Unable to create D3D11 device."), the immediate context is
//                      fetched afterwards
//   display modes      none: GetDisplayModes leaves the array untouched
//   mode swap chain    fatal "Not implemented." (window-only and headless swap chains work)
//   blend state        all 8 entries translated separately, independent blend passed
//   render target      colour texture and view only: no depth buffer, no recorded size
//   render context     QR_RenderContext_DX11 (queries, depth clears, target binding)
//   constants          QR_Constants_DX11: blend op Max and filter Linear rejected;
//                      profiles "vs_5_0" / "ps_5_0"
//   current context    a process-wide reference of its own

#include "QR_Renderer_DX10.h"

class QR_Renderer_DX11 final : public QR_Renderer_DX10
{
public:
    explicit QR_Renderer_DX11(const QR_RendererSettings& settings);

    QC_Ptr<QR_BlendState> CreateBlendState(const QR_BlendDesc& desc) override;
    QC_Ptr<QR_RenderTarget> CreateRenderTarget(std::uint32_t width, std::uint32_t height) override;
    QC_Ptr<QR_SwapChain> CreateSwapChain(QP_NativeWindow* window, QR_DisplayMode* mode, bool windowed,
                                         bool vsync) override;
    using QR_Renderer_DX10::CreateSwapChain;
    void GetDisplayModes(QR_DisplayModeList& modes) override;
};
