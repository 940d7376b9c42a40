#pragma once
// The Direct3D 11 twin of QR_RasteriserState_DX10: the same platform objects; what differs between the
// backends is in how the renderer fills them (QR_Renderer_DX11) and in QR_Constants_DX11.

#include "qr/QR_RasteriserState_DX10.h"

class QR_RasteriserState_DX11 final : public QR_RasteriserState_DX10
{
};
