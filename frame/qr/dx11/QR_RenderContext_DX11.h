#pragma once
// The Direct3D 11 render context. Differences from QR_RenderContext_DX10, all here:
//   BeginQuery / EndQuery   Begin / End on the timestamp query (Direct3D 10: nothing)
//   ClearDepth              always the swap chain's depth view (its render targets have none)
//   SetRenderTarget         a target's colour view with the swap chain's depth view

#include "QR_RenderContext_DX10.h"

class QR_RenderContext_DX11 final : public QR_RenderContext_DX10
{
public:
    using QR_RenderContext_DX10::QR_RenderContext_DX10;

    void BeginQuery() override;
    void ClearDepth(float depth, std::uint8_t stencil) override;
    void EndQuery() override;
    void SetRenderTarget(QR_RenderTarget* target) override;
};
