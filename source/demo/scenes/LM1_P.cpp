#include "LM1_P.h"

#include "LM1_Draw2D.h"
#include "LM1_SceneKit.h"
#include "QD_Assets.h"
#include "QD_Sync.h"
#include "QR_Renderer.h"

#include <cmath>

// Sections: constant layouts; construction; Render and the shared frame; p1 to p5.

namespace
{
// --- constant layouts: what each scene's shader reads at constant slot 0 -------------------------

struct P1Constants
{
    QC_Float4 drive; // channels 100, 101, 102, 103
};
static_assert(sizeof(P1Constants) == 16);

struct P2Constants
{
    QC_Float4 scene;  // channel 200, channel 201, target width, picture width
    QC_Float4 sky;    // channel 202, channel 203, channel 205, 0
    QC_Float4 light;  // channel 204, 0, 0, 0
};
static_assert(sizeof(P2Constants) == 48);

struct P3Constants
{
    QC_Float4 drive; // channels 300, 301, 0, 0
    QC_Float4 look;  // channels 302, 303, 304, 0
};
static_assert(sizeof(P3Constants) == 32);

// The 144 bytes of p4 and p5: a matrix, two float4 of channel values and zeros to the end.
struct P3DConstants
{
    QC_Matrix transform;
    QC_Float4 first;
    QC_Float4 second;
    QC_Float4 zeros[3];
};
static_assert(sizeof(P3DConstants) == 144);

constexpr QR_Colour kOpaqueBlack = {0, 0, 0, 255};
constexpr QR_Colour kDarkBlue = {0, 0, 0x88, 255}; // 0xFF880000 packed
constexpr QR_Colour kPurple = {0x40, 0, 0x80, 255}; // 0xFF800040 packed

QC_Float4 Channels(const QD_Sequencer& sequencer, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d)
{
    return {sequencer.GetValue(a), sequencer.GetValue(b), sequencer.GetValue(c), sequencer.GetValue(d)};
}

QC_Ptr<QM_Mesh> CreateBox(std::int32_t segments)
{
    QC_Ptr<QM_Mesh> mesh(new QM_Mesh);
    mesh->GenerateBox(segments, segments, segments);
    return mesh;
}

QC_Ptr<QM_Model> CreateModel(QM_Mesh* mesh)
{
    QC_Ptr<QM_Model> model(new QM_Model);
    model->SetMesh(mesh);
    model->Build();
    return model;
}

QC_Ptr<QR_ConstantBuffer> CreateConstants(std::uint32_t size)
{
    return QR_GetRenderer()->CreateConstantBuffer(QR_Usage::Dynamic, size, nullptr);
}
} // namespace

// --- construction --------------------------------------------------------------------------------

LM1_P::LM1_P(std::int32_t, std::int32_t)
{
    coarseBox = CreateBox(1);
    fineBox = CreateBox(20);
    quad = QC_Ptr<QM_Quad>(new QM_Quad);
    quad->Init();
    depthStencil = LM1_CreateDepthStencilState(true);
    rasteriser = LM1_CreateRasteriserState(QR_CullMode::Back, QR_FillMode::Solid, true);
    opaqueBlend = LM1_CreateBlendState(false);
    alphaBlend = LM1_CreateBlendState(true);

    QD_Assets* assets = QD_GetAssets();
    p1Shader = assets->LoadShader("p1.qcs");
    p1Constants = CreateConstants(sizeof(P1Constants));

    p2Shader = assets->LoadShader("p2.qcs");
    p2Picture = assets->LoadTexture("mexico.png");
    p2Constants = CreateConstants(sizeof(P2Constants));

    p3Shader = assets->LoadShader("p3.qcs");
    p3Constants = CreateConstants(sizeof(P3Constants));
    p3Grid = assets->LoadTexture("grilla.png");
    p3Glitch = assets->LoadTexture("glitch.png");

    p4Shader = assets->LoadShader("p4.qcs");
    p4Constants = CreateConstants(sizeof(P3DConstants));
    p4Model = CreateModel(fineBox.Get());

    p5BackgroundShader = assets->LoadShader("p5lb.qcs");
    p5Shader = assets->LoadShader("p5.qcs");
    p5Constants = CreateConstants(sizeof(P3DConstants));
    p5Texture = assets->LoadTexture("percube.png");
    p5Model = CreateModel(coarseBox.Get());
}

LM1_P::~LM1_P() = default;

// --- Render and the shared frame -----------------------------------------------------------------

void LM1_P::Render(std::int32_t scene, const QD_Sequencer& sequencer, QR_RenderTarget* renderTarget)
{
    target = QC_Ptr<QR_RenderTarget>(renderTarget);
    const QR_Texture2D* texture = renderTarget ? renderTarget->Texture() : nullptr;
    if (texture && texture->Height() > 0)
        aspect = static_cast<float>(texture->Width()) / static_cast<float>(texture->Height());
    switch (scene) {
    case 201:
        RenderP1(sequencer);
        break;
    case 202:
        RenderP2(sequencer);
        break;
    case 203:
        RenderP3(sequencer);
        break;
    case 204:
        RenderP4(sequencer);
        break;
    case 205:
        RenderP5(sequencer);
        break;
    default:
        LM1_ClearScene(renderTarget);
        break;
    }
}

void LM1_P::BeginFrame(QR_RenderContext& context, QR_BlendState* blend, QR_Colour clearColour) const
{
    context.SetRenderTarget(target.Get());
    context.SetRasteriserState(rasteriser.Get());
    context.SetDepthStencilState(depthStencil.Get());
    context.SetBlendState(blend);
    context.Clear(clearColour);
    context.ClearDepth(1.0f, 0);
    context.BeginQuery();
}

QC_Matrix LM1_P::Perspective() const
{
    QC_Matrix m;
    m.Perspective(45.0f, aspect, 0.01f, 100.0f);
    return m;
}

bool LM1_P::P5CarriesOn(float beat) const
{
    // A cross-fade lasts one beat; frames come far more often than once a beat.
    constexpr float kCrossFadeBeats = 1.0f;
    return target && target == paintedTarget && beat >= paintedBeat && beat - paintedBeat <= kCrossFadeBeats;
}

// --- p1: a full-screen field driven by four channels ---------------------------------------------

void LM1_P::RenderP1(const QD_Sequencer& sequencer)
{
    QC_Ptr<QR_ShaderState> shader = p1Shader->GetCurrent();
    if (!shader)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    shader->SetConstantBuffer(p1Constants.Get());
    quad->SetShaderState(shader.Get());
    BeginFrame(*context, opaqueBlend.Get(), kOpaqueBlack);
    const P1Constants constants = {Channels(sequencer, 100, 101, 102, 103)};
    LM1_WriteConstants(p1Constants.Get(), &constants, sizeof(constants));
    quad->Draw();
    context->EndQuery();
}

// --- p2: a full-screen sky under "mexico.png", which fills the height ----------------------------

void LM1_P::RenderP2(const QD_Sequencer& sequencer)
{
    QC_Ptr<QR_ShaderState> shader = p2Shader->GetCurrent();
    QC_Ptr<QR_Texture2D> picture = p2Picture->GetCurrent();
    const QR_Texture2D* targetTexture = target ? target->Texture() : nullptr;
    if (!shader || !picture || !targetTexture || picture->Height() == 0)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    shader->SetConstantBuffer(p2Constants.Get());
    quad->SetShaderState(shader.Get());
    BeginFrame(*context, alphaBlend.Get(), kOpaqueBlack);

    const float screenWidth = static_cast<float>(targetTexture->Width());
    const float screenHeight = static_cast<float>(targetTexture->Height());
    // The picture fills the target's height and keeps its proportions.
    const float pictureWidth =
        screenHeight / static_cast<float>(picture->Height()) * static_cast<float>(picture->Width());
    const float shift = sequencer.GetValue(205);
    P2Constants constants = {};
    constants.scene = {sequencer.GetValue(200), sequencer.GetValue(201), screenWidth, pictureWidth};
    constants.sky = {sequencer.GetValue(202), sequencer.GetValue(203), shift, 0.0f};
    constants.light = {sequencer.GetValue(204), 0.0f, 0.0f, 0.0f};
    LM1_WriteConstants(p2Constants.Get(), &constants, sizeof(constants));
    quad->Draw();

    const float halfScreen = static_cast<float>(targetTexture->Width() / 2);
    LM1_DrawImage(picture.Get(), halfScreen - pictureWidth / 2.0f + shift, 0.0f, pictureWidth, screenHeight,
                  screenWidth, screenHeight);
    context->EndQuery();
}

// --- p3: a grid torn by a glitch mask ------------------------------------------------------------

void LM1_P::RenderP3(const QD_Sequencer& sequencer)
{
    QC_Ptr<QR_ShaderState> shader = p3Shader->GetCurrent();
    QC_Ptr<QR_Texture2D> grid = p3Grid->GetCurrent();
    QC_Ptr<QR_Texture2D> glitch = p3Glitch->GetCurrent();
    if (!shader || !grid || !glitch)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    shader->SetConstantBuffer(p3Constants.Get());
    shader->SetTexture(grid.Get(), 0);
    shader->SetTexture(glitch.Get(), 1);
    quad->SetShaderState(shader.Get());
    BeginFrame(*context, opaqueBlend.Get(), kOpaqueBlack);
    P3Constants constants = {};
    constants.drive = {sequencer.GetValue(300), sequencer.GetValue(301), 0.0f, 0.0f};
    constants.look = {sequencer.GetValue(302), sequencer.GetValue(303), sequencer.GetValue(304), 0.0f};
    LM1_WriteConstants(p3Constants.Get(), &constants, sizeof(constants));
    quad->Draw();
    context->EndQuery();
}

// --- p4: the fine box under the perspective, on dark blue ----------------------------------------

void LM1_P::RenderP4(const QD_Sequencer& sequencer)
{
    QC_Ptr<QR_ShaderState> shader = p4Shader->GetCurrent();
    if (!shader)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    shader->SetConstantBuffer(p4Constants.Get());
    p4Model->SetShaderState(shader.Get());
    BeginFrame(*context, opaqueBlend.Get(), kDarkBlue);
    P3DConstants constants = {};
    constants.transform = Perspective();
    constants.first = Channels(sequencer, 400, 401, 402, 403);
    LM1_WriteConstants(p4Constants.Get(), &constants, sizeof(constants));
    p4Model->Draw();
    context->EndQuery();
}

// --- p5: the coarse box painted over its own earlier frames --------------------------------------

void LM1_P::RenderP5(const QD_Sequencer& sequencer)
{
    QC_Ptr<QR_ShaderState> shader = p5Shader->GetCurrent();
    QC_Ptr<QR_Texture2D> texture = p5Texture->GetCurrent();
    QC_Ptr<QR_ShaderState> background = p5BackgroundShader->GetCurrent();
    if (!shader || !texture || !background)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    shader->SetConstantBuffer(p5Constants.Get());
    background->SetConstantBuffer(p5Constants.Get());
    shader->SetTexture(texture.Get(), 0);
    context->SetRenderTarget(target.Get());
    context->SetRasteriserState(rasteriser.Get());
    context->SetDepthStencilState(depthStencil.Get());
    context->SetBlendState(opaqueBlend.Get());
    // Only the first frame after a scene change starts from a clean target; every other frame
    // paints over what the earlier ones left. Leaving p5, the outgoing painting is kept.
    const float beat = QD_GetSync() ? QD_GetSync()->GetBeat() : 0.0f;
    if (sceneChanged && !P5CarriesOn(beat)) {
        context->Clear(kPurple);
        context->ClearDepth(1.0f, 0);
        sceneChanged = false;
    }
    paintedTarget = target;
    paintedBeat = beat;

    P3DConstants constants = {};
    p5Model->SetShaderState(background.Get());
    context->BeginQuery();
    for (int pass = 0; pass < 2; ++pass) {
        constants.transform = Perspective();
        constants.first = Channels(sequencer, 532, 531, 541, 542);
        constants.second = {sequencer.GetValue(543), 0.0f, 0.0f, 0.0f};
        LM1_WriteConstants(p5Constants.Get(), &constants, sizeof(constants));
        p5Model->Draw();
    }
    context->EndQuery();

    p5Model->SetShaderState(shader.Get());
    context->BeginQuery();
    constants.transform = Perspective();
    constants.transform.RotateX(sequencer.GetValue(501));
    constants.transform.RotateY(sequencer.GetValue(502));
    constants.transform.RotateZ(sequencer.GetValue(503));
    constants.first = {sequencer.GetValue(513), std::sin(sequencer.GetValue(512)), sequencer.GetValue(511),
                       sequencer.GetValue(521)};
    constants.second = {sequencer.GetValue(522), sequencer.GetValue(523), 0.0f, 0.0f};
    LM1_WriteConstants(p5Constants.Get(), &constants, sizeof(constants));
    p5Model->Draw();
    context->EndQuery();
}
