#include "LM1_SceneKit.h"

#include "QM_Mesh.h"
#include "QR_Renderer.h"

#include <algorithm>
#include <cfloat>
#include <cstring>

QC_Ptr<QR_BlendState> LM1_CreateBlendState(bool alphaBlend)
{
    QR_BlendDesc desc{};
    for (QR_RenderTargetBlendDesc& target : desc.renderTargets) {
        target.blendEnable = alphaBlend ? 1 : 0;
        target.srcBlend = alphaBlend ? QR_Blend::SrcAlpha : QR_Blend::One;
        target.destBlend = alphaBlend ? QR_Blend::InvSrcAlpha : QR_Blend::Zero;
        target.blendOp = QR_BlendOp::Add;
        target.srcBlendAlpha = QR_Blend::One;
        target.destBlendAlpha = QR_Blend::Zero;
        target.blendOpAlpha = QR_BlendOp::Add;
        target.writeMask = 0; // the only value: all four channels
    }
    return QR_GetRenderer()->CreateBlendState(desc);
}

QC_Ptr<QR_DepthStencilState> LM1_CreateDepthStencilState(bool depthEnable)
{
    QR_DepthStencilDesc desc{};
    desc.depthEnable = depthEnable ? 1 : 0;
    desc.depthWrite = 1;
    desc.depthFunc = QR_ComparisonFunc::Less;
    desc.stencilEnable = 0;
    desc.stencilReadMask = 0xFF;
    desc.stencilWriteMask = 0xFF;
    desc.frontStencilFunc = QR_ComparisonFunc::Always;
    desc.backStencilFunc = QR_ComparisonFunc::Always;
    return QR_GetRenderer()->CreateDepthStencilState(desc);
}

QC_Ptr<QR_RasteriserState> LM1_CreateRasteriserState(QR_CullMode cull, QR_FillMode fill, bool depthClip)
{
    QR_RasteriserDesc desc{};
    desc.cullMode = cull;
    desc.fillMode = fill;
    desc.depthBiasClamp = 1.0f;
    desc.depthClip = depthClip ? 1 : 0;
    return QR_GetRenderer()->CreateRasteriserState(desc);
}

QC_Ptr<QR_SamplerState> LM1_CreateSamplerState(QR_Filter filter, QR_TextureAddress addressU,
                                               QR_TextureAddress addressV, QR_TextureAddress addressW,
                                               QR_ComparisonFunc comparison)
{
    QR_SamplerDesc desc{};
    desc.filter = filter;
    desc.addressU = addressU;
    desc.addressV = addressV;
    desc.addressW = addressW;
    desc.maxAnisotropy = 16;
    desc.comparisonFunc = comparison;
    desc.minLod = 0.0f;
    desc.maxLod = FLT_MAX;
    return QR_GetRenderer()->CreateSamplerState(desc);
}

namespace
{
QC_Ptr<QM_Model> BuildModel(QM_Mesh* mesh)
{
    QC_Ptr<QM_Model> model(new QM_Model);
    model->SetMesh(mesh);
    model->Build();
    return model;
}
} // namespace

QC_Ptr<QM_Model> LM1_CreateBoxModel(std::int32_t segments1, std::int32_t segments2, std::int32_t segments3)
{
    QC_Ptr<QM_Mesh> mesh(new QM_Mesh);
    mesh->GenerateBox(segments1, segments2, segments3);
    return BuildModel(mesh.Get());
}

QC_Ptr<QM_Model> LM1_CreatePlaneModel(std::int32_t columns, std::int32_t rows)
{
    QC_Ptr<QM_Mesh> mesh(new QM_Mesh);
    mesh->GeneratePlane(columns, rows);
    return BuildModel(mesh.Get());
}

QC_Ptr<QM_Model> LM1_CreateIcosahedronModel()
{
    QC_Ptr<QM_Mesh> mesh(new QM_Mesh);
    mesh->GenerateIcosahedron();
    return BuildModel(mesh.Get());
}

std::int32_t LM1_ChannelInt(float value)
{
    constexpr float kLimit = 2147483520.0f; // the largest float below 2^31
    if (value != value)
        return 0;
    return static_cast<std::int32_t>(std::clamp(value, -kLimit, kLimit));
}

QR_Colour LM1_ChannelColour(const QD_Sequencer& sequencer, std::int32_t firstChannel, bool withAlpha)
{
    // Held to 0..255 before the conversion: a channel overshooting 1 (a spline past its keys)
    // must not wrap to a dark byte, and a float beyond the integer range has no defined
    // conversion. NaN reads as 0.
    const auto byte = [&](std::int32_t channel) {
        const float scaled = sequencer.GetValue(channel) * 255.0f;
        if (!(scaled > 0.0f))
            return std::uint8_t{0};
        return static_cast<std::uint8_t>(static_cast<std::int32_t>(std::min(scaled, 255.0f)));
    };
    return QR_Colour{byte(firstChannel), byte(firstChannel + 1), byte(firstChannel + 2),
                     withAlpha ? byte(firstChannel + 3) : std::uint8_t{255}};
}

void LM1_ClearScene(QR_RenderTarget* target)
{
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    context->SetRenderTarget(target);
    context->BeginQuery();
    context->Clear(QR_Colour{0, 0, 0, 255});
    context->ClearDepth(1.0f, 0);
    context->EndQuery();
}

void LM1_WriteConstants(QR_ConstantBuffer* buffer, const void* data, std::uint32_t size)
{
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    void* mapped = context->MapConstantBuffer(buffer, QR_Access::Write);
    if (!mapped)
        return;
    std::memcpy(mapped, data, size);
    context->UnmapConstantBuffer(buffer);
}
