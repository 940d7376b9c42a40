#include "LM1_T.h"

#include "LM1_SceneKit.h"
#include "QD_Assets.h"
#include "QR_Renderer.h"

LM1_T::LM1_T(std::int32_t, std::int32_t)
{
    quad = QC_Ptr<QM_Quad>(new QM_Quad);
    quad->Init();
    depthStencil = LM1_CreateDepthStencilState(true);
    rasteriser = LM1_CreateRasteriserState(QR_CullMode::Back, QR_FillMode::Solid, true);
    opaqueBlend = LM1_CreateBlendState(false);
    t1Shader = QD_GetAssets()->LoadShader("t1.qcs");
    t1Constants = QR_GetRenderer()->CreateConstantBuffer(QR_Usage::Dynamic, 16, nullptr);
}

LM1_T::~LM1_T() = default;

void LM1_T::Render(std::int32_t scene, const QD_Sequencer& sequencer, QR_RenderTarget* renderTarget)
{
    target = QC_Ptr<QR_RenderTarget>(renderTarget);
    const QR_Texture2D* texture = renderTarget ? renderTarget->Texture() : nullptr;
    if (texture && texture->Height() > 0)
        aspect = static_cast<float>(texture->Width()) / static_cast<float>(texture->Height());
    if (scene == 301)
        RenderT1(sequencer);
    else
        LM1_ClearScene(renderTarget);
}

void LM1_T::RenderT1(const QD_Sequencer& sequencer)
{
    QC_Ptr<QR_ShaderState> shader = t1Shader->GetCurrent();
    if (!shader)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    shader->SetConstantBuffer(t1Constants.Get());
    quad->SetShaderState(shader.Get());
    context->SetRenderTarget(target.Get());
    context->SetRasteriserState(rasteriser.Get());
    context->SetDepthStencilState(depthStencil.Get());
    context->SetBlendState(opaqueBlend.Get());
    context->Clear(LM1_ChannelColour(sequencer, 100));
    context->ClearDepth(1.0f, 0);
}
