#pragma once
// The Direct3D 11 shader state: the same implementation as QR_ShaderState_DX10.

#include "qr/QR_ShaderState_DX10.h"

class QR_ShaderState_DX11 final : public QR_ShaderState_DX10
{
public:
    using QR_ShaderState_DX10::QR_ShaderState_DX10;
};
