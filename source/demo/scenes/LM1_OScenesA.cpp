// Scenes o1 to o12. Sections: shared helpers; set-up of every scene; the dispatch; one frame
// function per scene (o6 and o10 share the layered tunnel); o12's text screen.
//
// Each frame takes the current objects of its assets first and draws nothing at all while any
// of them is missing. Constant buffers are written in place through a discarding map, so a
// frame allocates nothing.

#include "LM1_OScenesA.h"

#include "LM1_Draw2D.h"
#include "LM1_SceneKit.h"
#include "QC_Log.h"
#include "QC_String.h"
#include "QD_Assets.h"
#include "QR_Renderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
// Fixed capacities of the layered and instanced scenes: a channel asking for more is held here,
// so no script value can stall a frame.
constexpr std::int32_t MAX_LAYERS = 256;
constexpr std::int32_t MAX_INSTANCES = 65536;

// o4's sixteen-colour palette; each frame picks six of them.
constexpr QC_Float4 O4_PALETTE[16] = {
    {0.1f, 0.1f, 0.1f, 1.0f},    {1.0f, 1.0f, 1.0f, 1.0f},    {0.53f, 0.22f, 0.19f, 1.0f},
    {0.4f, 0.71f, 0.74f, 1.0f},  {0.54f, 0.25f, 0.59f, 1.0f}, {0.33f, 0.63f, 0.28f, 1.0f},
    {0.25f, 0.19f, 0.55f, 1.0f}, {0.74f, 0.8f, 0.44f, 1.0f},  {0.54f, 0.32f, 0.16f, 1.0f},
    {0.33f, 0.26f, 0.0f, 1.0f},  {0.72f, 0.41f, 0.39f, 1.0f}, {0.31f, 0.31f, 0.31f, 1.0f},
    {0.47f, 0.47f, 0.47f, 1.0f}, {0.58f, 0.87f, 0.53f, 1.0f}, {0.47f, 0.41f, 0.76f, 1.0f},
    {0.62f, 0.62f, 0.62f, 1.0f},
};

// Depth offsets of o5's six panels, added to channel 500: three pairs a third of the loop apart.
constexpr float O5_DEPTH_OFFSETS[6] = {800.0f, 800.0f, 400.0f, 400.0f, 0.0f, 0.0f};

constexpr float FULL_TURN = 6.28319f;
constexpr float HALF_TURN = 3.14159f;

// A channel value truncated toward zero and held inside [low, high]. NaN and values beyond
// the integer range land on a bound instead of being converted (which would be undefined).
std::int32_t TruncateInto(float value, std::int32_t low, std::int32_t high)
{
    if (!(value >= static_cast<float>(low)))
        return low;
    if (value >= static_cast<float>(high))
        return high;
    return std::max(low, static_cast<std::int32_t>(value));
}

QC_Float4 Channels4(const QD_Sequencer& sequencer, std::int32_t first)
{
    return {sequencer.GetValue(first), sequencer.GetValue(first + 1), sequencer.GetValue(first + 2),
            sequencer.GetValue(first + 3)};
}

QR_RenderContext& Context() { return *QR_GetRenderer()->GetRenderContext(); }

// Maps a constant buffer for a discarding write; null (nothing to draw) when the map fails.
template <typename Layout>
Layout* MapConstants(QR_ConstantBuffer* buffer)
{
    return static_cast<Layout*>(Context().MapConstantBuffer(buffer, QR_Access::Write));
}

void UnmapConstants(QR_ConstantBuffer* buffer) { Context().UnmapConstantBuffer(buffer); }

QC_Ptr<QR_ConstantBuffer> CreateConstants(std::uint32_t size)
{
    return QR_GetRenderer()->CreateConstantBuffer(QR_Usage::Dynamic, size, nullptr);
}

QR_Colour Black() { return QR_Colour{0, 0, 0, 255}; }

float TargetWidth(const LM1_OShared& shared)
{
    const QR_Texture2D* texture = shared.target ? shared.target->Texture() : nullptr;
    return texture ? static_cast<float>(texture->Width()) : static_cast<float>(shared.width);
}

float TargetHeight(const LM1_OShared& shared)
{
    const QR_Texture2D* texture = shared.target ? shared.target->Texture() : nullptr;
    return texture ? static_cast<float>(texture->Height()) : static_cast<float>(shared.height);
}

// Constant layouts, in float4 rows as the shaders read them.
struct O1Constants
{
    QC_Matrix projection;
    QC_Float4 layer; // (ch 101, layer index, ch 104 x index + ch 103, ch 102)
    QC_Float4 look;  // ch 106-109
};
static_assert(sizeof(O1Constants) == 96);

struct O2Constants
{
    QC_Float4 screen; // (width, height, ch 200, 0)
    QC_Float4 warp[4]; // ch 201-216
};
static_assert(sizeof(O2Constants) == 80);

struct O4Constants
{
    QC_Float4 screen; // (width, height, ch 400, 0)
    QC_Float4 colours[6];
};
static_assert(sizeof(O4Constants) == 112);

struct O5Constants
{
    QC_Matrix projection;
    QC_Float4 position; // (x, y, depth, 0)
    QC_Float4 scale;    // (x, y, z, draw index)
    QC_Float4 motion;   // (ch 500, 0, 0, 0)
    QC_Float4 fog;      // the clear colour, ch 513-515, and 1
};
static_assert(sizeof(O5Constants) == 128);

struct LayerConstants
{
    QC_Matrix projection;
    QC_Float4 layer; // (0, 0, first + step x index, ch +3)
};
static_assert(sizeof(LayerConstants) == 80);

struct O7Constants
{
    QC_Matrix projection;
    QC_Float4 rotation; // angles x, y, z and the half size of the box
    QC_Float4 look;     // (ch 700, ch 708, ch 709, 1 for the small box)
    QC_Float4 fog;      // fog from 200 to 2000 hundredths of a unit of depth
    QC_Float4 spare;
};
static_assert(sizeof(O7Constants) == 128);

struct O8Constants
{
    QC_Matrix projection;
    QC_Float4 spin;    // (ch 801, ch 802, sine of ch 800, ch 800)
    QC_Float4 noise[2];
    QC_Float4 glitch;  // (ch 803, 0, 0, 0)
    QC_Float4 spare;
};
static_assert(sizeof(O8Constants) == 144);

struct O9Constants
{
    QC_Matrix projection;
    QC_Float4 channels[5]; // ch 900-919, the first three as angles
    QC_Float4 screen;      // (width, height, 0, 0)
    QC_Float4 spare[2];
};
static_assert(sizeof(O9Constants) == 192);

struct O11Constants
{
    QC_Matrix projection;
    QC_Float4 cube;    // (ch 1100, ch 1101 x pi, ch 1102 x pi, ch 1106)
    QC_Float4 overlay; // (ch 1103, ch 1104, ch 1105, 0)
    QC_Float4 screen;  // (width, height, 0, 0)
    QC_Float4 spare[2];
};
static_assert(sizeof(O11Constants) == 144);

struct O12Constants
{
    QC_Float4 motion; // (ch 1217, width, height, 0)
};
static_assert(sizeof(O12Constants) == 16);
} // namespace

// ---- set-up -------------------------------------------------------------------------------

LM1_OScenesA::LM1_OScenesA(LM1_OShared& part) : shared(part)
{
    QD_Assets* assets = QD_GetAssets();
    smoothSampler = LM1_CreateSamplerState(QR_Filter::Linear, QR_TextureAddress::Wrap, QR_TextureAddress::Wrap,
                                           QR_TextureAddress::Clamp);

    o1Model = LM1_CreateBoxModel(1, 1, 1);
    o1Constants = CreateConstants(96);
    o1Shader = assets->LoadShader("o1.qcs");

    o2Constants = CreateConstants(80);
    o2Shader = assets->LoadShader("o2.qcs");
    o2Texture = assets->LoadTexture("o2.png");

    o3Constants = CreateConstants(16);
    o3Shader = assets->LoadShader("o3.qcs");
    const char* const o3Names[4] = {"o3_1.png", "o3_2.png", "o3_3.png", "o3_4.png"};
    for (std::int32_t i = 0; i < 4; ++i)
        o3Pictures[i] = assets->LoadTexture(o3Names[i]);
    o3Dissolve = assets->LoadTexture("o3_5.png");

    o4Constants = CreateConstants(112);
    o4Shader = assets->LoadShader("o4.qcs");

    o5Constants = CreateConstants(128);
    o5Shader = assets->LoadShader("o5.qcs");
    o5Texture = assets->LoadTexture("o5.png");
    o5Model = LM1_CreateBoxModel(1, 1, 1);
    o5Sampler = LM1_CreateSamplerState(QR_Filter::Linear, QR_TextureAddress::Mirror, QR_TextureAddress::Mirror,
                                       QR_TextureAddress::Clamp, QR_ComparisonFunc::Always);

    o6Constants = CreateConstants(80);
    o6Shader = assets->LoadShader("o6.qcs");
    o6Texture = assets->LoadTexture("o6.png");
    o6Model = LM1_CreateBoxModel(1, 1, 1);

    o7Constants = CreateConstants(128);
    o7Shader = assets->LoadShader("o7.qcs");
    o7Texture = assets->LoadTexture("o7.png");
    o7Model = LM1_CreateBoxModel(1, 1, 1);

    o8Constants = CreateConstants(144);
    o8Shader = assets->LoadShader("o8.qcs");
    o8Texture = assets->LoadTexture("o8.png");
    o8Model = LM1_CreateBoxModel(1, 1, 1);
    o8Sampler = LM1_CreateSamplerState(QR_Filter::Point, QR_TextureAddress::Wrap, QR_TextureAddress::Wrap,
                                       QR_TextureAddress::Clamp);

    o9Constants = CreateConstants(192);
    o9GemShader = assets->LoadShader("o9_1.qcs");
    o9KaleidoscopeShader = assets->LoadShader("o9_2.qcs");
    o9Model = LM1_CreateIcosahedronModel();
    o9Target = QR_GetRenderer()->CreateRenderTarget(static_cast<std::uint32_t>(std::max(shared.width, 1)),
                                                    static_cast<std::uint32_t>(std::max(shared.height, 1)));

    o10Constants = CreateConstants(80);
    o10Shader = assets->LoadShader("o10.qcs");
    o10Texture = assets->LoadTexture("o10.png");

    o11Constants = CreateConstants(144);
    o11CubeShader = assets->LoadShader("o11_1.qcs");
    o11OverlayShader = assets->LoadShader("o11_2.qcs");
    o11CubeTexture = assets->LoadTexture("o11_1.png");
    o11OverlayTexture = assets->LoadTexture("o11_2.png");
    o11Rasteriser = LM1_CreateRasteriserState(QR_CullMode::None, QR_FillMode::Solid, false);

    o12Constants = CreateConstants(16);
    o12Shader = assets->LoadShader("o12.qcs");
    o12Texture = assets->LoadTexture("o12.png");
    o12Text = assets->LoadText("o12_1.txt");
    o12Mask = assets->LoadText("o12_2.txt");
}

LM1_OScenesA::~LM1_OScenesA() = default;

// ---- dispatch -----------------------------------------------------------------------------

void LM1_OScenesA::Render(std::int32_t scene, const QD_Sequencer& sequencer)
{
    switch (scene) {
    case 101: RenderO1(sequencer); break;
    case 102: RenderO2(sequencer); break;
    case 103: RenderO3(sequencer); break;
    case 104: RenderO4(sequencer); break;
    case 105: RenderO5(sequencer); break;
    case 106:
        RenderLayeredTunnel(sequencer, 600, *o6Shader, *o6Texture, o6Constants.Get(), o6Model.Get(),
                            smoothSampler.Get());
        break;
    case 107: RenderO7(sequencer); break;
    case 108: RenderO8(sequencer); break;
    case 109: RenderO9(sequencer); break;
    case 110:
        RenderLayeredTunnel(sequencer, 1000, *o10Shader, *o10Texture, o10Constants.Get(), shared.cube.Get(),
                            shared.sampler.Get());
        break;
    case 111: RenderO11(sequencer); break;
    case 112: RenderO12(sequencer); break;
    default: LM1_ClearScene(shared.target.Get()); break;
    }
}

// ---- o1: layers of instanced cubes ----------------------------------------------------------

void LM1_OScenesA::RenderO1(const QD_Sequencer& sequencer)
{
    QC_Ptr<QR_ShaderState> state = o1Shader->GetCurrent();
    if (!state)
        return;
    state->SetConstantBuffer(o1Constants.Get());
    o1Model->SetShaderState(state.Get());

    QR_RenderContext& context = Context();
    shared.BeginFrame(context, shared.opaqueBlend.Get(), LM1_ChannelColour(sequencer, 110));
    const std::int32_t layers = TruncateInto(sequencer.GetValue(100), 0, MAX_LAYERS);
    const std::int32_t instances = TruncateInto(sequencer.GetValue(105), 0, MAX_INSTANCES);
    for (std::int32_t i = 0; i < layers; ++i) {
        O1Constants* constants = MapConstants<O1Constants>(o1Constants.Get());
        if (!constants)
            break;
        constants->projection = shared.StandardPerspective();
        const float index = static_cast<float>(i);
        constants->layer = {sequencer.GetValue(101), index, sequencer.GetValue(104) * index + sequencer.GetValue(103),
                            sequencer.GetValue(102)};
        constants->look = Channels4(sequencer, 106);
        UnmapConstants(o1Constants.Get());
        o1Model->DrawInstanced(static_cast<std::uint32_t>(instances));
    }
    context.EndQuery();
}

// ---- o2: velvet under a domain warp -------------------------------------------------------

void LM1_OScenesA::RenderO2(const QD_Sequencer& sequencer)
{
    QC_Ptr<QR_ShaderState> state = o2Shader->GetCurrent();
    QC_Ptr<QR_Texture2D> texture = o2Texture->GetCurrent();
    if (!state || !texture)
        return;
    state->SetConstantBuffer(o2Constants.Get());
    state->SetTexture(texture.Get(), 0);
    state->SetSamplerState(smoothSampler.Get(), 0);
    shared.quad->SetShaderState(state.Get());

    O2Constants* constants = MapConstants<O2Constants>(o2Constants.Get());
    if (!constants)
        return;
    constants->screen = {TargetWidth(shared), TargetHeight(shared), sequencer.GetValue(200), 0.0f};
    for (std::int32_t row = 0; row < 4; ++row)
        constants->warp[row] = Channels4(sequencer, 201 + row * 4);
    UnmapConstants(o2Constants.Get());

    QR_RenderContext& context = Context();
    shared.BeginFrame(context, shared.opaqueBlend.Get(), Black());
    shared.quad->Draw();
    context.EndQuery();
}

// ---- o3: four pictures and a dissolve -----------------------------------------------------

void LM1_OScenesA::RenderO3(const QD_Sequencer& sequencer)
{
    QC_Ptr<QR_ShaderState> state = o3Shader->GetCurrent();
    QC_Ptr<QR_Texture2D> dissolve = o3Dissolve->GetCurrent();
    if (!state || !dissolve)
        return;
    // All four pictures must be there, whichever one this frame shows.
    QC_Ptr<QR_Texture2D> pictures[4];
    for (std::int32_t i = 0; i < 4; ++i) {
        pictures[i] = o3Pictures[i]->GetCurrent();
        if (!pictures[i])
            return;
    }
    // A channel value outside 0-3 names no picture: the first one is shown.
    const float pick = sequencer.GetValue(300);
    const std::int32_t picture = (pick >= 0.0f && pick < 4.0f) ? static_cast<std::int32_t>(pick) : 0;

    state->SetConstantBuffer(o3Constants.Get());
    state->SetTexture(pictures[picture].Get(), 0);
    state->SetTexture(dissolve.Get(), 1);
    state->SetSamplerState(shared.sampler.Get(), 0);
    state->SetSamplerState(shared.sampler.Get(), 1);
    shared.quad->SetShaderState(state.Get());

    QC_Float4* constants = MapConstants<QC_Float4>(o3Constants.Get());
    if (!constants)
        return;
    *constants = {sequencer.GetValue(301), sequencer.GetValue(302), 0.0f, 0.0f};
    UnmapConstants(o3Constants.Get());

    QR_RenderContext& context = Context();
    shared.BeginFrame(context, shared.opaqueBlend.Get(), Black());
    shared.quad->Draw();
    context.EndQuery();
}

// ---- o4: six picked colours ---------------------------------------------------------------

void LM1_OScenesA::PickO4Colours(float seedChannel, QC_Float4 colours[6])
{
    // The integer conversion of the channel, taken as the generator's unsigned seed.
    const std::int32_t seed = TruncateInto(seedChannel, INT32_MIN, INT32_MAX);
    QC_SRand(static_cast<std::uint32_t>(seed));
    for (std::int32_t i = 0; i < 6; ++i)
        colours[i] = O4_PALETTE[QC_Rand() % 16];
}

void LM1_OScenesA::RenderO4(const QD_Sequencer& sequencer)
{
    QC_Ptr<QR_ShaderState> state = o4Shader->GetCurrent();
    if (!state)
        return;
    state->SetConstantBuffer(o4Constants.Get());
    shared.quad->SetShaderState(state.Get());

    O4Constants* constants = MapConstants<O4Constants>(o4Constants.Get());
    if (!constants)
        return;
    constants->screen = {TargetWidth(shared), TargetHeight(shared), sequencer.GetValue(400), 0.0f};
    PickO4Colours(sequencer.GetValue(401), constants->colours);
    UnmapConstants(o4Constants.Get());

    QR_RenderContext& context = Context();
    shared.BeginFrame(context, shared.opaqueBlend.Get(), Black());
    shared.quad->Draw();
    context.EndQuery();
}

// ---- o5: six panels flying at the camera ---------------------------------------------------

void LM1_OScenesA::RenderO5(const QD_Sequencer& sequencer)
{
    QC_Ptr<QR_ShaderState> state = o5Shader->GetCurrent();
    QC_Ptr<QR_Texture2D> texture = o5Texture->GetCurrent();
    if (!state || !texture)
        return;
    state->SetConstantBuffer(o5Constants.Get());
    state->SetTexture(texture.Get(), 0);
    state->SetSamplerState(o5Sampler.Get(), 0);
    o5Model->SetShaderState(state.Get());

    QR_RenderContext& context = Context();
    shared.BeginFrame(context, shared.alphaBlend.Get(), LM1_ChannelColour(sequencer, 513));
    const float depth = sequencer.GetValue(500);
    for (std::int32_t i = 0; i < 6; ++i) {
        O5Constants* constants = MapConstants<O5Constants>(o5Constants.Get());
        if (!constants)
            break;
        constants->projection = shared.StandardPerspective();
        constants->position = {sequencer.GetValue(507 + i), sequencer.GetValue(501 + i), depth + O5_DEPTH_OFFSETS[i],
                               0.0f};
        // The fourth draw is the backdrop, stretched far beyond the others.
        constants->scale = i == 3 ? QC_Float4{200.0f, 200.0f, 100.0f, 3.0f}
                                  : QC_Float4{1.0f, 1.0f, 1.0f, static_cast<float>(i)};
        constants->motion = {depth, 0.0f, 0.0f, 0.0f};
        constants->fog = {sequencer.GetValue(513), sequencer.GetValue(514), sequencer.GetValue(515), 1.0f};
        UnmapConstants(o5Constants.Get());
        o5Model->Draw();
    }
    context.EndQuery();
}

// ---- o6 and o10: tunnels of translucent layers ----------------------------------------------

void LM1_OScenesA::RenderLayeredTunnel(const QD_Sequencer& sequencer, std::int32_t firstChannel,
                                       QD_ShaderAsset& shader, QD_TextureAsset& texture,
                                       QR_ConstantBuffer* constants, QM_Model* model, QR_SamplerState* sampler)
{
    QC_Ptr<QR_ShaderState> state = shader.GetCurrent();
    QC_Ptr<QR_Texture2D> picture = texture.GetCurrent();
    if (!state || !picture)
        return;
    state->SetConstantBuffer(constants);
    state->SetTexture(picture.Get(), 0);
    state->SetSamplerState(sampler, 0);
    model->SetShaderState(state.Get());

    QR_RenderContext& context = Context();
    shared.BeginFrame(context, shared.alphaBlend.Get(), LM1_ChannelColour(sequencer, firstChannel + 4));
    const std::int32_t layers = TruncateInto(sequencer.GetValue(firstChannel), 0, MAX_LAYERS);
    for (std::int32_t i = 0; i < layers; ++i) {
        LayerConstants* layer = MapConstants<LayerConstants>(constants);
        if (!layer)
            break;
        layer->projection = shared.StandardPerspective();
        layer->layer = {0.0f, 0.0f,
                        sequencer.GetValue(firstChannel + 1) +
                            sequencer.GetValue(firstChannel + 2) * static_cast<float>(i),
                        sequencer.GetValue(firstChannel + 3)};
        UnmapConstants(constants);
        model->Draw();
    }
    context.EndQuery();
}

// ---- o7: a small box inside a huge one -----------------------------------------------------

void LM1_OScenesA::RenderO7(const QD_Sequencer& sequencer)
{
    QC_Ptr<QR_ShaderState> state = o7Shader->GetCurrent();
    QC_Ptr<QR_Texture2D> texture = o7Texture->GetCurrent();
    if (!state || !texture)
        return;
    state->SetConstantBuffer(o7Constants.Get());
    state->SetTexture(texture.Get(), 0);
    state->SetSamplerState(smoothSampler.Get(), 0);
    o7Model->SetShaderState(state.Get());

    QR_RenderContext& context = Context();
    shared.BeginFrame(context, shared.alphaBlend.Get(), Black());
    // The huge box first (seen from inside), then the small one in front of it.
    for (std::int32_t box = 0; box < 2; ++box) {
        O7Constants* constants = MapConstants<O7Constants>(o7Constants.Get());
        if (!constants)
            break;
        constants->projection = shared.StandardPerspective();
        const std::int32_t angles = box == 0 ? 701 : 704;
        constants->rotation = {sequencer.GetValue(angles), sequencer.GetValue(angles + 1),
                               sequencer.GetValue(angles + 2), box == 0 ? 8.0f : sequencer.GetValue(707)};
        constants->look = {sequencer.GetValue(700), sequencer.GetValue(708), sequencer.GetValue(709),
                           static_cast<float>(box)};
        constants->fog = {200.0f, 2000.0f, 0.0f, 0.0f};
        constants->spare = {0.0f, 0.0f, 0.0f, 0.0f};
        UnmapConstants(o7Constants.Get());
        o7Model->Draw();
    }
    context.EndQuery();
}

// ---- o8: a glitching box -------------------------------------------------------------------

void LM1_OScenesA::RenderO8(const QD_Sequencer& sequencer)
{
    QC_Ptr<QR_ShaderState> state = o8Shader->GetCurrent();
    QC_Ptr<QR_Texture2D> texture = o8Texture->GetCurrent();
    if (!state || !texture)
        return;
    state->SetConstantBuffer(o8Constants.Get());
    state->SetTexture(texture.Get(), 0);
    state->SetSamplerState(o8Sampler.Get(), 0);
    o8Model->SetShaderState(state.Get());

    O8Constants* constants = MapConstants<O8Constants>(o8Constants.Get());
    if (!constants)
        return;
    constants->projection = shared.StandardPerspective();
    const float time = sequencer.GetValue(800);
    constants->spin = {sequencer.GetValue(801), sequencer.GetValue(802), std::sin(time), time};
    // Fresh noise every frame: the glitch never repeats a frame exactly.
    for (QC_Float4& noise : constants->noise)
        noise = {static_cast<float>(QC_Rand()) / 32767.0f, static_cast<float>(QC_Rand()) / 32767.0f,
                 static_cast<float>(QC_Rand()) / 32767.0f, static_cast<float>(QC_Rand()) / 32767.0f};
    constants->glitch = {sequencer.GetValue(803), 0.0f, 0.0f, 0.0f};
    constants->spare = {0.0f, 0.0f, 0.0f, 0.0f};
    UnmapConstants(o8Constants.Get());

    QR_RenderContext& context = Context();
    shared.BeginFrame(context, shared.opaqueBlend.Get(), Black());
    o8Model->Draw();
    context.EndQuery();
}

// ---- o9: a gem, then its kaleidoscope ------------------------------------------------------

void LM1_OScenesA::RenderO9(const QD_Sequencer& sequencer)
{
    QC_Ptr<QR_ShaderState> gem = o9GemShader->GetCurrent();
    QC_Ptr<QR_ShaderState> kaleidoscope = o9KaleidoscopeShader->GetCurrent();
    if (!gem || !kaleidoscope || !o9Target)
        return;
    gem->SetConstantBuffer(o9Constants.Get());
    kaleidoscope->SetConstantBuffer(o9Constants.Get());
    kaleidoscope->SetTexture(o9Target->Texture(), 0);
    kaleidoscope->SetSamplerState(smoothSampler.Get(), 0);
    o9Model->SetShaderState(gem.Get());
    shared.quad->SetShaderState(kaleidoscope.Get());

    O9Constants* constants = MapConstants<O9Constants>(o9Constants.Get());
    if (!constants)
        return;
    constants->projection = shared.StandardPerspective();
    for (std::int32_t row = 0; row < 5; ++row)
        constants->channels[row] = Channels4(sequencer, 900 + row * 4);
    constants->channels[0].x *= FULL_TURN;
    constants->channels[0].y *= FULL_TURN;
    constants->channels[0].z *= FULL_TURN;
    constants->screen = {TargetWidth(shared), TargetHeight(shared), 0.0f, 0.0f};
    constants->spare[0] = constants->spare[1] = {0.0f, 0.0f, 0.0f, 0.0f};
    UnmapConstants(o9Constants.Get());

    QR_RenderContext& context = Context();
    // First pass: the gem on black in the scene's own target.
    context.SetRenderTarget(o9Target.Get());
    context.SetRasteriserState(shared.rasteriser.Get());
    context.SetDepthStencilState(shared.depthStencil.Get());
    context.SetBlendState(shared.opaqueBlend.Get());
    context.BeginQuery();
    context.Clear(Black());
    context.ClearDepth(1.0f, 0);
    o9Model->Draw();
    // Second pass: the part's target, every pixel from the first pass's picture.
    context.SetRenderTarget(shared.target.Get());
    context.Clear(Black());
    context.ClearDepth(1.0f, 0);
    shared.quad->Draw();
    context.EndQuery();
    // The gem's texture stays bound to the shader; unbind it so the next first pass never
    // draws into a texture that is still bound for reading.
    kaleidoscope->SetTexture(nullptr, 0);
}

// ---- o11: a spinning cube under an overlay --------------------------------------------------

void LM1_OScenesA::RenderO11(const QD_Sequencer& sequencer)
{
    QC_Ptr<QR_ShaderState> cube = o11CubeShader->GetCurrent();
    QC_Ptr<QR_ShaderState> overlay = o11OverlayShader->GetCurrent();
    QC_Ptr<QR_Texture2D> cubeTexture = o11CubeTexture->GetCurrent();
    QC_Ptr<QR_Texture2D> overlayTexture = o11OverlayTexture->GetCurrent();
    if (!cube || !overlay || !cubeTexture || !overlayTexture)
        return;
    cube->SetConstantBuffer(o11Constants.Get());
    cube->SetTexture(cubeTexture.Get(), 0);
    cube->SetSamplerState(smoothSampler.Get(), 0);
    overlay->SetConstantBuffer(o11Constants.Get());
    overlay->SetTexture(overlayTexture.Get(), 0);
    overlay->SetSamplerState(smoothSampler.Get(), 0);
    shared.cube->SetShaderState(cube.Get());
    shared.quad->SetShaderState(overlay.Get());

    O11Constants* constants = MapConstants<O11Constants>(o11Constants.Get());
    if (!constants)
        return;
    constants->projection = shared.WidePerspective();
    constants->cube = {sequencer.GetValue(1100), sequencer.GetValue(1101) * HALF_TURN,
                       sequencer.GetValue(1102) * HALF_TURN, sequencer.GetValue(1106)};
    constants->overlay = {sequencer.GetValue(1103), sequencer.GetValue(1104), sequencer.GetValue(1105), 0.0f};
    constants->screen = {TargetWidth(shared), TargetHeight(shared), 0.0f, 0.0f};
    constants->spare[0] = constants->spare[1] = {0.0f, 0.0f, 0.0f, 0.0f};
    UnmapConstants(o11Constants.Get());

    QR_RenderContext& context = Context();
    shared.BeginFrame(context, shared.alphaBlend.Get(), Black(), o11Rasteriser.Get());
    shared.cube->Draw();
    shared.quad->Draw();
    context.EndQuery();
}

// ---- o12: the mutating text screen ----------------------------------------------------------

void LM1_OScenesA::ResetO12Screen(const QC_String& text)
{
    // Blank rows first, so a short text still leaves a whole screen of rows behind it.
    for (std::int32_t row = 0; row < O12_ROWS; ++row) {
        std::memset(o12Screen + row * O12_ROW_STRIDE, ' ', O12_COLUMNS);
        o12Screen[row * O12_ROW_STRIDE + O12_COLUMNS] = '\n';
    }
    const std::uint32_t length = std::min<std::uint32_t>(text.Length(), O12_SCREEN_SIZE);
    std::memcpy(o12Screen, text.CStr(), length);
    o12Screen[O12_SCREEN_SIZE] = '\0';
}

void LM1_OScenesA::CheckO12TextSize(const QC_String& text, const char* name)
{
    // Reported once per loaded text: a longer text is cut to the screen, a shorter one leaves
    // blank rows.
    if (text.Length() != static_cast<std::uint32_t>(O12_SCREEN_SIZE))
        QC_ERROR("%s holds %u characters; the screen takes %d (%d rows of %d and a line feed).", name,
                 text.Length(), O12_SCREEN_SIZE, O12_ROWS, O12_COLUMNS);
}

namespace
{
char RandomScreenCharacter() { return static_cast<char>(QC_Rand() % 40 + 32); }
} // namespace

void LM1_OScenesA::PutO12RandomBlock(float size, float column, float row)
{
    // Every coordinate is held inside the visible screen before an index is formed, so the
    // block can neither leave the screen nor overwrite a row's line feed.
    const float half = std::fabs(size) * 0.5f;
    const std::int32_t left = TruncateInto(column - half, 0, O12_COLUMNS - 1);
    const std::int32_t right = TruncateInto(column + half, 0, O12_COLUMNS - 1);
    const std::int32_t top = TruncateInto(row - half, 0, O12_ROWS - 1);
    const std::int32_t bottom = TruncateInto(row + half, 0, O12_ROWS - 1);
    for (std::int32_t y = top; y <= bottom; ++y)
        for (std::int32_t x = left; x <= right; ++x)
            o12Screen[x + y * O12_ROW_STRIDE] = RandomScreenCharacter();
}

void LM1_OScenesA::MutateO12Screen(const QD_Sequencer& sequencer)
{
    // Column shift: one column slides down a row, a new character enters at the top.
    const std::int32_t column = TruncateInto(sequencer.GetValue(1209), 0, O12_COLUMNS - 1);
    for (std::int32_t row = O12_ROWS - 2; row >= 0; --row)
        o12Screen[(row + 1) * O12_ROW_STRIDE + column] = o12Screen[row * O12_ROW_STRIDE + column];
    o12Screen[column] = RandomScreenCharacter();

    // Row shift: one row slides right, a new character enters at its left; the row's line
    // feed stays where it is.
    const std::int32_t row = TruncateInto(sequencer.GetValue(1210), 0, O12_ROWS - 1);
    for (std::int32_t k = O12_COLUMNS - 1; k >= 1; --k)
        o12Screen[row * O12_ROW_STRIDE + k] = o12Screen[row * O12_ROW_STRIDE + k - 1];
    o12Screen[row * O12_ROW_STRIDE] = RandomScreenCharacter();

    PutO12RandomBlock(sequencer.GetValue(1211), sequencer.GetValue(1212), sequencer.GetValue(1213));
    PutO12RandomBlock(sequencer.GetValue(1214), sequencer.GetValue(1215), sequencer.GetValue(1216));

    for (std::int32_t i = 0; i < 6; ++i) {
        const std::int32_t y = QC_Rand() % O12_ROWS;
        const std::int32_t x = QC_Rand() % O12_COLUMNS;
        o12Screen[y * O12_ROW_STRIDE + x] = RandomScreenCharacter();
    }
}

void LM1_OScenesA::MaskO12Screen(const QC_String& mask)
{
    const std::uint32_t length = std::min<std::uint32_t>(mask.Length(), O12_SCREEN_SIZE);
    const char* text = mask.CStr();
    for (std::uint32_t i = 0; i < length; ++i) {
        if (text[i] == '\n')
            o12Screen[i] = '\n';
        else if (text[i] != ' ')
            o12Screen[i] = ' ';
    }
}

void LM1_OScenesA::RenderO12(const QD_Sequencer& sequencer)
{
    QC_Ptr<QR_ShaderState> state = o12Shader->GetCurrent();
    QC_Ptr<QR_Texture2D> texture = o12Texture->GetCurrent();
    QC_Ptr<QD_Text> text = o12Text->GetCurrent();
    QC_Ptr<QD_Text> mask = o12Mask->GetCurrent();
    if (!state || !texture || !text || !mask)
        return;

    // The screen starts from the text when first drawn, when the scene is entered anew, when the
    // text is reloaded and while channel 1215 reads 1; in between it keeps its mutations from
    // step to step.
    const bool entered = o12Entry.Enters(shared.target.Get(), shared.renderCalls);
    const bool resetRequested = entered || TruncateInto(sequencer.GetValue(1215), -1, 2) == 1;
    if (o12ScreenSource.Get() != text.Get())
        CheckO12TextSize(text->GetText(), "o12_1.txt");
    if (o12MaskSource.Get() != mask.Get()) {
        CheckO12TextSize(mask->GetText(), "o12_2.txt");
        o12MaskSource = mask;
    }
    if (o12ScreenSource.Get() != text.Get() || resetRequested) {
        ResetO12Screen(text->GetText());
        o12ScreenSource = text;
        o12LastStep = 0;
    }

    QR_RenderContext& context = Context();
    const std::int32_t step = TruncateInto(sequencer.GetValue(1208), INT32_MIN, INT32_MAX);
    if (step != o12LastStep) {
        o12LastStep = step;
        MutateO12Screen(sequencer);
    }
    MaskO12Screen(mask->GetText());

    state->SetConstantBuffer(o12Constants.Get());
    state->SetTexture(texture.Get(), 0);
    state->SetSamplerState(smoothSampler.Get(), 0);
    shared.quad->SetShaderState(state.Get());
    O12Constants* constants = MapConstants<O12Constants>(o12Constants.Get());
    if (!constants)
        return;
    constants->motion = {sequencer.GetValue(1217), TargetWidth(shared), TargetHeight(shared), 0.0f};
    UnmapConstants(o12Constants.Get());

    shared.BeginFrame(context, shared.alphaBlend.Get(), Black());
    shared.quad->Draw();
    const QC_Float4 noGlow = {0.0f, 0.0f, 0.0f, 0.0f};
    LM1_DrawText(o12Screen, Channels4(sequencer, 1200), noGlow, 0.0f, 0.0f);
    LM1_DrawText(mask->GetText().CStr(), Channels4(sequencer, 1204), noGlow, 0.0f, 0.0f);
    context.EndQuery();
}
