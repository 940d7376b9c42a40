#pragma once
// The Direct3D 11 pixel shader: compiled as QR_PixelShader_DX10 with the profile the renderer
// passes ("ps_5_0").

#include "qr/QR_PixelShader_DX10.h"

class QR_PixelShader_DX11 final : public QR_PixelShader_DX10
{
};
