#pragma once
// The Direct3D 11 input layout: built as QR_InputLayout_DX10, with the dummy shader compiled
// for the profile the renderer passes ("vs_5_0").

#include "qr/QR_InputLayout_DX10.h"

class QR_InputLayout_DX11 final : public QR_InputLayout_DX10
{
};
