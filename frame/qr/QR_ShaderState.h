#pragma once
// What a draw binds besides geometry: a vertex shader (with its input layout), a pixel shader,
// up to 16 textures and 16 sampler states at the registers of the source's samplers block, and
// one constant buffer shared by both stages at slot 0.
//
//   QC_Ptr<QR_ShaderState> state = renderer->CreateShaderState(vertexShader, pixelShader);
//   state->SetTexture(sceneTexture, 0);  state->SetSamplerState(pointSampler, 0);
//   state->SetConstantBuffer(constants);
//
// Empty entries are skipped when the state is bound, so they keep whatever an earlier draw
// bound at that slot. Nothing checks that the two shaders fit together.

#include "QC_Ptr.h"
#include "QR_ConstantBuffer.h"
#include "QR_PixelShader.h"
#include "QR_SamplerState.h"
#include "QR_Texture2D.h"
#include "QR_VertexShader.h"

#include <cstdint>

constexpr std::uint32_t QR_SHADER_STATE_SLOTS = 16;

class QR_ShaderState : public QC_RefCounted
{
public:
    ~QR_ShaderState() override = default;

    // Each replaces the held reference (empty allowed). An index outside 0-15 is refused with
    // a level-2 report and changes nothing.
    virtual void SetConstantBuffer(QR_ConstantBuffer* buffer) = 0;
    virtual void SetSamplerState(QR_SamplerState* samplerState, std::uint32_t index) = 0;
    virtual void SetTexture(QR_Texture2D* texture, std::uint32_t index) = 0;

    QR_VertexShader* VertexShader() const { return vertexShader.Get(); }
    QR_PixelShader* PixelShader() const { return pixelShader.Get(); }
    QR_ConstantBuffer* ConstantBuffer() const { return constantBuffer.Get(); }
    std::uint32_t SamplerStateCount() const { return samplerStateCount; }
    QR_SamplerState* SamplerState(std::uint32_t index) const { return samplerStates[index].Get(); }
    std::uint32_t TextureCount() const { return textureCount; }
    QR_Texture2D* Texture(std::uint32_t index) const { return textures[index].Get(); }

protected:
    QC_Ptr<QR_VertexShader> vertexShader;
    QC_Ptr<QR_PixelShader> pixelShader;
    QC_Ptr<QR_SamplerState> samplerStates[QR_SHADER_STATE_SLOTS];
    std::uint32_t samplerStateCount = 0;
    QC_Ptr<QR_Texture2D> textures[QR_SHADER_STATE_SLOTS];
    std::uint32_t textureCount = 0;
    QC_Ptr<QR_ConstantBuffer> constantBuffer;
};
