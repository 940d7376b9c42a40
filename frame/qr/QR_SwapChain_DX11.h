#pragma once
// The Direct3D 11 swap chain: as QR_SwapChain_DX10, but its views always take the size of the
// window's client area (the platform's back buffer size), never the size it is given.
// The renderer makes it for a window or headless only; a display mode is not supported.

#include "qr/QR_SwapChain_DX10.h"

class QR_SwapChain_DX11 final : public QR_SwapChain_DX10
{
public:
    using QR_SwapChain_DX10::QR_SwapChain_DX10;

protected:
    void BuildViews(std::uint32_t width, std::uint32_t height) override;
};
