#include "QR_ShaderState_DX10.h"

#include "QC_Log.h"

QR_ShaderState_DX10::QR_ShaderState_DX10(QR_VertexShader* vertex, QR_PixelShader* pixel)
{
    vertexShader = vertex;
    pixelShader = pixel;
    samplerStateCount = QR_SHADER_STATE_SLOTS;
    textureCount = QR_SHADER_STATE_SLOTS;
}

void QR_ShaderState_DX10::SetConstantBuffer(QR_ConstantBuffer* buffer) { constantBuffer = buffer; }

void QR_ShaderState_DX10::SetSamplerState(QR_SamplerState* samplerState, std::uint32_t index)
{
    if (index >= samplerStateCount) {
        QC_ERROR("Sampler state index %u is outside 0-%u.", index, samplerStateCount - 1);
        return;
    }
    samplerStates[index] = samplerState;
}

void QR_ShaderState_DX10::SetTexture(QR_Texture2D* texture, std::uint32_t index)
{
    if (index >= textureCount) {
        QC_ERROR("Texture index %u is outside 0-%u.", index, textureCount - 1);
        return;
    }
    textures[index] = texture;
}
