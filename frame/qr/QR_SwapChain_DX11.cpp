#include "qr/QR_SwapChain_DX11.h"

void QR_SwapChain_DX11::BuildViews(std::uint32_t, std::uint32_t)
{
    std::uint32_t clientWidth = 0, clientHeight = 0;
    PlatformSize(&clientWidth, &clientHeight);
    QR_SwapChain_DX10::BuildViews(clientWidth, clientHeight);
}
