#include "LM1_OScenesB.h"

#include "LM1_Draw2D.h"
#include "LM1_SceneKit.h"
#include "QC_Log.h"
#include "QC_String.h"
#include "QD_Assets.h"
#include "QR_Renderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// Sections: constant layouts and helpers; set-up; o13/o19 title; o14 noise screen; layered
// curtains (o15, o20); o16 grid; o17 credits; o18 patterns; o21 instanced layers; o22 lattice;
// o23 tumbling box; o24 waves.

namespace
{
// o15 and o20: the perspective, then (0, 0, depth of the layer, the layer channel).
struct LayerConstants
{
    QC_Matrix projection;
    QC_Float4 layer;
};
static_assert(sizeof(LayerConstants) == 80);

// o21: as a layer, followed by the layer's colour pick.
struct ColouredLayerConstants
{
    QC_Matrix projection;
    QC_Float4 layer;
    QC_Float4 colour;
};
static_assert(sizeof(ColouredLayerConstants) == 96);

// o16 (bound, never drawn), o22, o23, o24: camera, object placement and four scene values.
struct ObjectConstants
{
    QC_Matrix projection;
    QC_Matrix model;
    QC_Float4 parameters;
};
static_assert(sizeof(ObjectConstants) == 144);

// o18: ten channels in order, padded to three float4 rows.
struct PatternConstants
{
    float channels[12];
};
static_assert(sizeof(PatternConstants) == 48);

constexpr QR_Colour kOpaqueBlack = {0, 0, 0, 255};
constexpr QC_Float4 kNoTextEffect = {0.0f, 0.0f, 0.0f, 0.0f};
// A soft halo round the credits' and the revealed words' glyphs (font.qcs's glow).
constexpr QC_Float4 kTextGlow = {0.0f, 0.0f, 0.0f, 0.8f};

float Channel(const QD_Sequencer& sequencer, std::int32_t number) { return sequencer.GetValue(number); }

// A channel value truncated toward zero and held within 0..limit, so a wild script value
// can never make a frame loop for ever.
std::int32_t ChannelCount(const QD_Sequencer& sequencer, std::int32_t number, std::int32_t limit)
{
    const float value = sequencer.GetValue(number);
    if (!(value >= 1.0f))
        return 0;
    if (value >= static_cast<float>(limit))
        return limit;
    return static_cast<std::int32_t>(value);
}

QC_Float4 ChannelFloat4(const QD_Sequencer& sequencer, std::int32_t first)
{
    return {Channel(sequencer, first), Channel(sequencer, first + 1), Channel(sequencer, first + 2),
            Channel(sequencer, first + 3)};
}

template <typename Constants>
Constants* MapConstants(QR_RenderContext& context, QR_ConstantBuffer* buffer)
{
    return static_cast<Constants*>(context.MapConstantBuffer(buffer, QR_Access::Write));
}

QC_Ptr<QR_ConstantBuffer> CreateConstants(std::uint32_t size)
{
    return QR_GetRenderer()->CreateConstantBuffer(QR_Usage::Dynamic, size, nullptr);
}

float SmoothStep(float t) { return t * t * (3.0f - 2.0f * t); }
} // namespace

const QC_Float4 LM1_OScenesB::O21_COLOURS[13] = {
    {1.0f, 1.0f, 0.0f, 1.0f}, {0.5f, 0.5f, 0.0f, 1.0f}, {0.0f, 1.0f, 0.5f, 1.0f},  {0.0f, 0.5f, 0.25f, 1.0f},
    {1.0f, 0.0f, 0.5f, 1.0f}, {0.5f, 0.0f, 0.25f, 1.0f}, {0.0f, 1.0f, 0.3f, 1.0f},  {0.0f, 0.5f, 0.15f, 1.0f},
    {1.0f, 1.0f, 1.0f, 1.0f}, {0.5f, 0.5f, 0.5f, 1.0f}, {0.0f, 0.0f, 0.0f, 1.0f},  {0.0f, 0.0f, 1.0f, 1.0f},
    {0.0f, 0.0f, 0.5f, 1.0f}};

// --- set-up ------------------------------------------------------------------------------------

LM1_OScenesB::LM1_OScenesB(LM1_OShared& part) : shared(part)
{
    QD_Assets* assets = QD_GetAssets();
    QC_ASSERT(assets && QR_GetRenderer(), "Scene part O needs the asset manager and the renderer.");

    o13Shader = assets->LoadShader("o13.qcs");
    o13Picture = assets->LoadTexture("o13.png");

    o14Text = assets->LoadText("o14_1.txt");

    o15Constants = CreateConstants(sizeof(LayerConstants));
    o15Shader = assets->LoadShader("o15.qcs");
    o15Texture = assets->LoadTexture("o15.png");

    o16Constants = CreateConstants(sizeof(ObjectConstants));
    o16Shader = assets->LoadShader("o16.qcs");
    o16Picture = assets->LoadTexture("o16.png");

    o17Text = assets->LoadText("o17.txt");

    o18Constants = CreateConstants(sizeof(PatternConstants));
    o18PatternShader = assets->LoadShader("o18_1.qcs");
    o18PictureShader = assets->LoadShader("o18_2.qcs");
    o18Picture = assets->LoadTexture("o18.png");

    o20Constants = CreateConstants(sizeof(LayerConstants));
    o20Shader = assets->LoadShader("o20.qcs");
    o20Texture = assets->LoadTexture("o20.png");
    o20Model = LM1_CreateBoxModel(1, 1, 1);

    o21Constants = CreateConstants(sizeof(ColouredLayerConstants));
    o21Shader = assets->LoadShader("o21.qcs");
    o21Model = LM1_CreateBoxModel(1, 1, 1);

    o22Constants = CreateConstants(sizeof(ObjectConstants));
    o22Shader = assets->LoadShader("o22.qcs");
    o22Texture = assets->LoadTexture("o22.png");
    o22Model = LM1_CreateBoxModel(10, 10, 10);
    o22Rasteriser = LM1_CreateRasteriserState(QR_CullMode::None, QR_FillMode::Wireframe, false);

    o23Constants = CreateConstants(sizeof(ObjectConstants));
    o23Shader = assets->LoadShader("o23.qcs");

    o24Constants = CreateConstants(sizeof(ObjectConstants));
    o24Shader = assets->LoadShader("o24.qcs");
    o24Picture = assets->LoadTexture("o24.png");
    o24Surface = assets->LoadTexture("o24_2.png");
    o24Plane = LM1_CreatePlaneModel(100, 100);
}

LM1_OScenesB::~LM1_OScenesB() = default;

void LM1_OScenesB::Render(std::int32_t scene, const QD_Sequencer& sequencer)
{
    switch (scene) {
    case 113: RenderO13(sequencer); break;
    case 114: RenderO14(sequencer); break;
    case 115: RenderLayers(sequencer, 1500, *o15Shader, *o15Texture, o15Constants.Get(), shared.cube.Get()); break;
    case 116: RenderO16(sequencer); break;
    case 117: RenderO17(sequencer); break;
    case 118: RenderO18(sequencer); break;
    case 119: RenderO19(sequencer); break;
    case 120: RenderLayers(sequencer, 2000, *o20Shader, *o20Texture, o20Constants.Get(), o20Model.Get()); break;
    case 121: RenderO21(sequencer); break;
    case 122: RenderO22(sequencer); break;
    case 123: RenderO23(sequencer); break;
    case 124: RenderO24(sequencer); break;
    default: LM1_ClearScene(shared.target.Get()); break;
    }
}

std::int32_t LM1_OScenesB::TargetWidth() const
{
    const QR_Texture2D* texture = shared.target ? shared.target->Texture() : nullptr;
    return texture ? static_cast<std::int32_t>(texture->Width()) : shared.width;
}

std::int32_t LM1_OScenesB::TargetHeight() const
{
    const QR_Texture2D* texture = shared.target ? shared.target->Texture() : nullptr;
    return texture ? static_cast<std::int32_t>(texture->Height()) : shared.height;
}

// --- o13 and o19: the title picture ------------------------------------------------------------

void LM1_OScenesB::RenderTitle(QR_Colour clearColour)
{
    const QC_Ptr<QR_ShaderState> shader = o13Shader->GetCurrent();
    const QC_Ptr<QR_Texture2D> picture = o13Picture->GetCurrent();
    if (!shader || !picture)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    // The title's own shader is kept bound to the quad with the picture, ready for a pass of
    // its own; the picture itself goes through the 2D kit.
    shader->SetTexture(picture.Get(), 0);
    shader->SetSamplerState(shared.sampler.Get(), 0);
    shared.quad->SetShaderState(shader.Get());
    shared.BeginFrame(*context, shared.alphaBlend.Get(), clearColour);
    LM1_DrawImageCentred(picture.Get(), TargetWidth(), TargetHeight());
    context->EndQuery();
}

void LM1_OScenesB::RenderO13(const QD_Sequencer&) { RenderTitle(kOpaqueBlack); }

void LM1_OScenesB::RenderO19(const QD_Sequencer& sequencer) { RenderTitle(LM1_ChannelColour(sequencer, 1900)); }

// --- o14: the noise screen ---------------------------------------------------------------------

bool LM1_OScenesB::UpdateO14Screen(float step, const QC_Ptr<QD_Text>& text)
{
    const std::int32_t wholeStep = LM1_ChannelInt(step);
    const bool entered = o14Entry.Enters(shared.target.Get(), shared.renderCalls);
    if (!text || (o14Builds > 0 && !entered && wholeStep == o14LastStep && o14ScreenSource.Get() == text.Get()))
        return false;
    o14LastStep = wholeStep;
    // Held, not only compared: a reloaded text can never come back at the old one's address.
    o14ScreenSource = text;
    ++o14Builds;
    // Noise where the text is blank, blanks where it has a character: the words show as holes
    // in the noise. Line feeds stay so the screen's lines meet the text's.
    const QC_String& source = text->GetText();
    const std::uint32_t length = std::min<std::uint32_t>(source.Length(), O14_SCREEN_CAPACITY);
    const char* characters = source.CStr();
    for (std::uint32_t i = 0; i < length; ++i) {
        const char c = characters[i];
        if (c == '\n')
            o14Screen[i] = '\n';
        else if (c == ' ')
            o14Screen[i] = static_cast<char>(QC_Rand() % 40 + 32);
        else
            o14Screen[i] = ' ';
    }
    o14Screen[length] = '\0';
    return true;
}

void LM1_OScenesB::RenderO14(const QD_Sequencer& sequencer)
{
    const QC_Ptr<QD_Text> text = o14Text->GetCurrent();
    if (!text)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    shared.BeginFrame(*context, shared.alphaBlend.Get(), LM1_ChannelColour(sequencer, 1404, true));
    UpdateO14Screen(Channel(sequencer, 1408), text);
    LM1_DrawText(text->GetText().CStr(), ChannelFloat4(sequencer, 1400), kTextGlow, Channel(sequencer, 1414),
                 Channel(sequencer, 1415));
    LM1_DrawText(o14Screen, ChannelFloat4(sequencer, 1410), kNoTextEffect, 0.0f, 0.0f);
    context->EndQuery();
}

// --- o15 and o20: layered curtains -------------------------------------------------------------

void LM1_OScenesB::RenderLayers(const QD_Sequencer& sequencer, std::int32_t firstChannel, QD_ShaderAsset& shaderAsset,
                                QD_TextureAsset& textureAsset, QR_ConstantBuffer* constants, QM_Model* model)
{
    const QC_Ptr<QR_ShaderState> shader = shaderAsset.GetCurrent();
    const QC_Ptr<QR_Texture2D> texture = textureAsset.GetCurrent();
    if (!shader || !texture || !constants)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    shader->SetConstantBuffer(constants);
    shader->SetTexture(texture.Get(), 0);
    shader->SetSamplerState(shared.sampler.Get(), 0);
    model->SetShaderState(shader.Get());
    shared.BeginFrame(*context, shared.alphaBlend.Get(), LM1_ChannelColour(sequencer, firstChannel + 4));
    const std::int32_t layers = ChannelCount(sequencer, firstChannel, MAX_LAYERS);
    const float nearest = Channel(sequencer, firstChannel + 1);
    const float spacing = Channel(sequencer, firstChannel + 2);
    const float sway = Channel(sequencer, firstChannel + 3);
    for (std::int32_t i = 0; i < layers; ++i) {
        LayerConstants* block = MapConstants<LayerConstants>(*context, constants);
        if (!block)
            break;
        block->projection = shared.StandardPerspective();
        block->layer = {0.0f, 0.0f, nearest + spacing * static_cast<float>(i), sway};
        context->UnmapConstantBuffer(constants);
        model->Draw();
    }
    context->EndQuery();
}

// --- o16: the picture in a grid ----------------------------------------------------------------

void LM1_OScenesB::RenderO16(const QD_Sequencer& sequencer)
{
    const QC_Ptr<QR_ShaderState> shader = o16Shader->GetCurrent();
    const QC_Ptr<QR_Texture2D> picture = o16Picture->GetCurrent();
    if (!shader || !picture || picture->Height() == 0)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    shader->SetConstantBuffer(o16Constants.Get());
    shader->SetTexture(picture.Get(), 0);
    shared.cube->SetShaderState(shader.Get());
    shared.BeginFrame(*context, shared.alphaBlend.Get(), kOpaqueBlack);
    const std::int32_t width = TargetWidth();
    const std::int32_t height = TargetHeight();
    const float copyHeight = static_cast<float>(height / 2);
    const float copyWidth = copyHeight * static_cast<float>(picture->Width()) / static_cast<float>(picture->Height());
    const float rowLeft = static_cast<float>(width) / 2.0f - 2.0f * copyWidth;
    const std::int32_t copies = ChannelCount(sequencer, 1600, O16_MAX_COPIES);
    for (std::int32_t i = 0; i < copies; ++i) {
        const float x = rowLeft + static_cast<float>(i % 4) * copyWidth;
        const float y = static_cast<float>(i / 4) * copyHeight;
        LM1_DrawImage(picture.Get(), x, y, copyWidth, copyHeight, static_cast<float>(width),
                      static_cast<float>(height));
    }
    context->EndQuery();
}

// --- o17: title and credits --------------------------------------------------------------------

void LM1_OScenesB::RenderO17(const QD_Sequencer& sequencer)
{
    const QC_Ptr<QD_Text> text = o17Text->GetCurrent();
    if (!text)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    shared.BeginFrame(*context, shared.alphaBlend.Get(), LM1_ChannelColour(sequencer, 1704, true));
    LM1_DrawText(text->GetText().CStr(), ChannelFloat4(sequencer, 1700), kTextGlow, Channel(sequencer, 1708),
                 Channel(sequencer, 1709));
    context->EndQuery();
}

// --- o18: two layers of one pattern ------------------------------------------------------------

void LM1_OScenesB::RenderO18(const QD_Sequencer& sequencer)
{
    const QC_Ptr<QR_ShaderState> pattern = o18PatternShader->GetCurrent();
    const QC_Ptr<QR_ShaderState> picture = o18PictureShader->GetCurrent();
    const QC_Ptr<QR_Texture2D> texture = o18Picture->GetCurrent();
    if (!pattern || !picture || !texture)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    pattern->SetConstantBuffer(o18Constants.Get());
    picture->SetConstantBuffer(o18Constants.Get());
    picture->SetTexture(texture.Get(), 0);
    picture->SetSamplerState(shared.sampler.Get(), 0);
    shared.quad->SetShaderState(pattern.Get());
    shared.BeginFrame(*context, shared.alphaBlend.Get(), kOpaqueBlack);
    // The back layer from channels 1810-1819, then the front one from 1800-1809.
    for (const std::int32_t first : {1810, 1800}) {
        PatternConstants* block = MapConstants<PatternConstants>(*context, o18Constants.Get());
        if (!block)
            break;
        for (std::int32_t i = 0; i < 10; ++i)
            block->channels[i] = Channel(sequencer, first + i);
        block->channels[10] = 0.0f;
        block->channels[11] = 0.0f;
        context->UnmapConstantBuffer(o18Constants.Get());
        shared.quad->Draw();
    }
    context->EndQuery();
}

// --- o21: instanced layers in the table's colours ----------------------------------------------

void LM1_OScenesB::RenderO21(const QD_Sequencer& sequencer)
{
    const QC_Ptr<QR_ShaderState> shader = o21Shader->GetCurrent();
    if (!shader)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    shader->SetConstantBuffer(o21Constants.Get());
    o21Model->SetShaderState(shader.Get());
    shared.BeginFrame(*context, shared.opaqueBlend.Get(), LM1_ChannelColour(sequencer, 2110));
    // Seeded every frame: layer i gets the same colour in every frame.
    QC_SRand(100);
    const std::int32_t layers = ChannelCount(sequencer, 2100, MAX_LAYERS);
    const std::int32_t instances = ChannelCount(sequencer, 2105, MAX_INSTANCES);
    for (std::int32_t i = 0; i < layers; ++i) {
        const QC_Float4& colour = O21_COLOURS[QC_Rand() % 13];
        ColouredLayerConstants* block = MapConstants<ColouredLayerConstants>(*context, o21Constants.Get());
        if (!block)
            break;
        block->projection = shared.StandardPerspective();
        block->layer = {Channel(sequencer, 2101), static_cast<float>(i),
                        Channel(sequencer, 2104) * static_cast<float>(i) + Channel(sequencer, 2103),
                        Channel(sequencer, 2102)};
        block->colour = colour;
        context->UnmapConstantBuffer(o21Constants.Get());
        if (instances > 0)
            o21Model->DrawInstanced(static_cast<std::uint32_t>(instances));
    }
    context->EndQuery();
}

// --- o22: the wireframe lattice ----------------------------------------------------------------

void LM1_OScenesB::RenderO22(const QD_Sequencer& sequencer)
{
    const QC_Ptr<QR_ShaderState> shader = o22Shader->GetCurrent();
    const QC_Ptr<QR_Texture2D> texture = o22Texture->GetCurrent();
    if (!shader || !texture)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    shader->SetConstantBuffer(o22Constants.Get());
    shader->SetTexture(texture.Get(), 0);
    shader->SetSamplerState(shared.sampler.Get(), 0);
    o22Model->SetShaderState(shader.Get());
    shared.BeginFrame(*context, shared.alphaBlend.Get(), kOpaqueBlack, o22Rasteriser.Get());
    const float phase = Channel(sequencer, 2200);
    const float hue = Channel(sequencer, 2208);
    const float brightness = Channel(sequencer, 2209);

    // Both boxes share the model and the constants; a failed map skips that box only.
    const auto drawBox = [&](const QC_Matrix& model, const QC_Float4& parameters) {
        ObjectConstants* block = MapConstants<ObjectConstants>(*context, o22Constants.Get());
        if (!block)
            return;
        block->projection = shared.WidePerspective();
        block->model = model;
        block->parameters = parameters;
        context->UnmapConstantBuffer(o22Constants.Get());
        o22Model->Draw();
    };

    // First the room around the camera: a long lattice box rolling about the view axis whose
    // rings stream past; one tenth of its length is one ring, so the flow wraps unseen.
    const float roomScale = Channel(sequencer, 2203);
    const float ringLength = 2.0f * 3.0f * roomScale / 10.0f;
    const float travel = Channel(sequencer, 2201);
    QC_Matrix model;
    model.Identity();
    model.Scale(roomScale, roomScale, 3.0f * roomScale);
    model.RotateZ(Channel(sequencer, 2202));
    model.Translate(0.0f, 0.0f, 2.0f * roomScale - (travel - std::floor(travel)) * ringLength);
    drawBox(model, {phase, 0.0f, hue, brightness});

    // Then the box hanging in the room, turning.
    const float innerScale = Channel(sequencer, 2206);
    model.Identity();
    model.Scale(innerScale, innerScale, innerScale);
    model.RotateX(Channel(sequencer, 2204));
    model.RotateY(Channel(sequencer, 2205));
    model.Translate(Channel(sequencer, 2210), Channel(sequencer, 2211), Channel(sequencer, 2207));
    drawBox(model, {phase, 1.0f, hue + 0.5f, brightness});
    context->EndQuery();
}

// --- o23: the tumbling box ---------------------------------------------------------------------

void LM1_OScenesB::RenderO23(const QD_Sequencer& sequencer)
{
    const QC_Ptr<QR_ShaderState> shader = o23Shader->GetCurrent();
    if (!shader)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    shader->SetConstantBuffer(o23Constants.Get());
    shared.cube->SetShaderState(shader.Get());
    shared.BeginFrame(*context, shared.alphaBlend.Get(), kOpaqueBlack);

    // Channel 2300's integer part seeds the generator for the orientation the box holds at
    // that step; its fraction turns the box on to the next step's orientation.
    const float tumble = Channel(sequencer, 2300);
    const float step = std::floor(tumble);
    const float blend = SmoothStep(std::clamp(tumble - step, 0.0f, 1.0f));
    const std::uint32_t seed = static_cast<std::uint32_t>(LM1_ChannelInt(step));
    float angles[2][3];
    for (std::uint32_t k = 0; k < 2; ++k) {
        QC_SRand(seed + k);
        // The generator's first value after neighbouring seeds barely differs: skip it.
        QC_Rand();
        for (float& angle : angles[k])
            angle = static_cast<float>(QC_Rand()) / 32767.0f * 6.28319f;
    }
    const auto turned = [&](int axis) { return angles[0][axis] + (angles[1][axis] - angles[0][axis]) * blend; };

    ObjectConstants* block = MapConstants<ObjectConstants>(*context, o23Constants.Get());
    if (block) {
        const float scale = Channel(sequencer, 2302);
        block->projection = shared.StandardPerspective();
        block->model.Identity();
        block->model.Scale(scale, scale, scale);
        block->model.RotateX(turned(0));
        block->model.RotateY(turned(1));
        block->model.RotateZ(turned(2));
        block->model.Translate(0.0f, 0.0f, Channel(sequencer, 2301));
        block->parameters = {Channel(sequencer, 2303), Channel(sequencer, 2304), blend, step};
        context->UnmapConstantBuffer(o23Constants.Get());
        shared.cube->Draw();
    }
    context->EndQuery();
}

// --- o24: three pictures over a sea of silk ----------------------------------------------------

void LM1_OScenesB::RenderO24(const QD_Sequencer& sequencer)
{
    const QC_Ptr<QR_ShaderState> shader = o24Shader->GetCurrent();
    const QC_Ptr<QR_Texture2D> picture = o24Picture->GetCurrent();
    const QC_Ptr<QR_Texture2D> surface = o24Surface->GetCurrent();
    if (!shader || !picture || !surface)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    shader->SetConstantBuffer(o24Constants.Get());
    shader->SetTexture(surface.Get(), 0);
    shader->SetSamplerState(shared.sampler.Get(), 0);
    o24Plane->SetShaderState(shader.Get());
    shared.BeginFrame(*context, shared.alphaBlend.Get(), kOpaqueBlack);

    // Three squares across the top half: one centred, one on each side of it.
    const std::int32_t width = TargetWidth();
    const std::int32_t height = TargetHeight();
    const float side = static_cast<float>(height / 2);
    const float centreLeft = static_cast<float>(width) / 2.0f - side / 2.0f;
    for (int k = -1; k <= 1; ++k)
        LM1_DrawImage(picture.Get(), centreLeft + static_cast<float>(k) * side, 0.0f, side, side,
                      static_cast<float>(width), static_cast<float>(height));

    // The plane laid flat (a quarter turn about x), stretched 10 across and 20 deep, twice:
    // the sea, and a fainter swell a little above it.
    const float phase = Channel(sequencer, 2400);
    const float amplitude = Channel(sequencer, 2401);
    const float travel = Channel(sequencer, 2402);
    const float depth = Channel(sequencer, 2404);
    const float brightness = Channel(sequencer, 2405);
    for (int layer = 0; layer < 2; ++layer) {
        const float lift = layer == 0 ? 0.0f : Channel(sequencer, 2406);
        const float strength = layer == 0 ? 1.0f : Channel(sequencer, 2407);
        ObjectConstants* block = MapConstants<ObjectConstants>(*context, o24Constants.Get());
        if (!block)
            break;
        block->projection = shared.StandardPerspective();
        block->model.Identity();
        block->model.RotateX(1.5708f);
        block->model.Scale(10.0f, 1.0f, 20.0f);
        block->model.Translate(0.0f, -Channel(sequencer, 2403) + lift, depth);
        block->parameters = {phase + 0.37f * static_cast<float>(layer), amplitude * strength, travel,
                             brightness * strength};
        context->UnmapConstantBuffer(o24Constants.Get());
        o24Plane->Draw();
    }
    context->EndQuery();
}
