#pragma once
// The shader state of both backends: what a draw binds besides geometry (see QR_ShaderState.h).

#include "QR_ShaderState.h"

class QR_ShaderState_DX10 : public QR_ShaderState
{
public:
    // Takes a reference to each shader; the sampler and texture lists are 16 empty entries.
    QR_ShaderState_DX10(QR_VertexShader* vertexShader, QR_PixelShader* pixelShader);

    void SetConstantBuffer(QR_ConstantBuffer* buffer) override;
    void SetSamplerState(QR_SamplerState* samplerState, std::uint32_t index) override;
    void SetTexture(QR_Texture2D* texture, std::uint32_t index) override;
};
