#include "LM1_O.h"

#include "LM1_OScenesA.h"
#include "LM1_OScenesB.h"
#include "LM1_SceneKit.h"
#include "QR_Renderer.h"

QC_Matrix LM1_OShared::StandardPerspective() const
{
    QC_Matrix m;
    m.Perspective(45.0f, aspect, 0.1f, 100.0f);
    return m;
}

QC_Matrix LM1_OShared::WidePerspective() const
{
    QC_Matrix m;
    m.Perspective(90.0f, aspect, 0.1f, 100.0f);
    return m;
}

void LM1_OShared::BeginFrame(QR_RenderContext& context, QR_BlendState* blend, QR_Colour clearColour,
                             QR_RasteriserState* ownRasteriser) const
{
    context.SetRenderTarget(target.Get());
    context.SetRasteriserState(ownRasteriser ? ownRasteriser : rasteriser.Get());
    context.SetDepthStencilState(depthStencil.Get());
    context.SetBlendState(blend);
    context.BeginQuery();
    context.Clear(clearColour);
    context.ClearDepth(1.0f, 0);
}

LM1_O::LM1_O(std::int32_t width, std::int32_t height)
{
    shared.width = width;
    shared.height = height;
    shared.quad = QC_Ptr<QM_Quad>(new QM_Quad);
    shared.quad->Init();
    shared.depthStencil = LM1_CreateDepthStencilState(false);
    shared.rasteriser = LM1_CreateRasteriserState(QR_CullMode::Back, QR_FillMode::Solid, false);
    shared.sampler = LM1_CreateSamplerState(QR_Filter::Point, QR_TextureAddress::Clamp, QR_TextureAddress::Clamp,
                                            QR_TextureAddress::Clamp);
    shared.opaqueBlend = LM1_CreateBlendState(false);
    shared.alphaBlend = LM1_CreateBlendState(true);
    shared.cube = LM1_CreateBoxModel(1, 1, 1);
    // Every scene's set-up step, o1 to o24 in order.
    scenesA = std::make_unique<LM1_OScenesA>(shared);
    scenesB = std::make_unique<LM1_OScenesB>(shared);
}

LM1_O::~LM1_O() = default;

void LM1_O::SceneChanged()
{
    scenesA->SceneChanged();
    scenesB->SceneChanged();
}

void LM1_O::Render(std::int32_t scene, const QD_Sequencer& sequencer, QR_RenderTarget* target)
{
    shared.target = QC_Ptr<QR_RenderTarget>(target);
    ++shared.renderCalls;
    const QR_Texture2D* texture = target ? target->Texture() : nullptr;
    if (texture && texture->Height() > 0)
        shared.aspect = static_cast<float>(texture->Width()) / static_cast<float>(texture->Height());
    if (scene >= 101 && scene <= 112)
        scenesA->Render(scene, sequencer);
    else if (scene >= 113 && scene <= 124)
        scenesB->Render(scene, sequencer);
    else
        LM1_ClearScene(target);
}
