#pragma once
// An offscreen target: its colour texture (R32G32B32A32_FLOAT, sampled as an ordinary
// texture), a render target view of it, and (Direct3D 10 only) a depth-stencil view whose view
// keeps the depth texture alive. Direct3D 11 targets have no depth view and record no size.
// The platform objects are counted handles: they are released when the wrapper dies, so a
// replaced (reloaded) resource leaves nothing behind on the device.

#include "QC_Ptr.h"
#include "QP_DeviceChild.h"
#include "QR_RenderTarget.h"
#include "QR_Texture2D.h"
#include <cstdint>

class QR_RenderTarget_DX10 : public QR_RenderTarget
{
public:
    QR_Texture2D* Texture() const override { return texture.Get(); }

    std::uint32_t width = 0;
    std::uint32_t height = 0;
    QC_Ptr<QR_Texture2D> texture;
    QC_Ptr<QP_RenderTargetView> renderTargetView;
    QC_Ptr<QP_DepthStencilView> depthStencilView;
};
