#pragma once
// The Direct3D 11 vertex shader: compiled as QR_VertexShader_DX10 with the profile the
// renderer passes ("vs_5_0").

#include "qr/QR_VertexShader_DX10.h"

class QR_VertexShader_DX11 final : public QR_VertexShader_DX10
{
};
