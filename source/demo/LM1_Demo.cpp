#include "LM1_Demo.h"

#include "LM1_Draw2D.h"
#include "LM1_O.h"
#include "LM1_P.h"
#include "LM1_SceneKit.h"
#include "LM1_T.h"
#include "QA_Audio.h"
#include "QC_Log.h"
#include "QC_String.h"
#include "QC_Timer.h"
#include "QD_Assets.h"
#include "QD_Sync.h"
#include "QP_Clock.h"
#include "QR_Renderer.h"

// Sections: statistics; Init; the frame (gate, timeline, scene change, composition); scenes.

namespace
{
constexpr const char* kStatisticsFontPath = "C:\\Windows\\Fonts\\consola.ttf";
constexpr std::int32_t kStatisticsFontSize = 10;
constexpr std::int32_t kNoScene = -1;

// Timeline channels of "scene.qcs".
constexpr std::int32_t kTransitionChannel = 1;
constexpr std::int32_t kRunChannel = 2;
constexpr std::int32_t kSceneSelectorChannel = 3;

// The composition's 32 bytes: fade in all four components, the beat, three noise values.
struct CompositionConstants
{
    float fade[4];
    float time;
    float noise[3];
};
static_assert(sizeof(CompositionConstants) == 32);

// Milliseconds of the monotonic clock, wrapping at 2^32 like a system tick count.
std::uint32_t TickCount()
{
    static double ticksPerMillisecond = 0.0;
    if (ticksPerMillisecond == 0.0) {
        std::int64_t frequency = 0;
        int errorCode = 0;
        if (!QP_QueryCounterFrequency(&frequency, &errorCode) || frequency <= 0)
            QC_FATAL("Failed to read the counter frequency. Last error is %d.", errorCode);
        ticksPerMillisecond = static_cast<double>(frequency) / 1000.0;
    }
    return static_cast<std::uint32_t>(QC_Timer::TicksToMilliseconds(QP_QueryCounter(), ticksPerMillisecond));
}

// A channel's value as the timeline uses it: truncated toward zero.
// The timeline's channels read as the scenes read theirs: NaN as 0, wild values held to the
// integer range (a saved script may hold anything).
std::int32_t ChannelInt(const QD_Sequencer& sequencer, std::int32_t channel)
{
    return LM1_ChannelInt(sequencer.GetValue(channel));
}

float NoiseValue() { return static_cast<float>(QC_Rand()) / 32767.0f; }
} // namespace

LM1_Demo::LM1_Demo() = default;
LM1_Demo::~LM1_Demo() = default;

// --- statistics --------------------------------------------------------------------------------

void LM1_Demo::UpdateStatistics() { UpdateStatisticsAt(TickCount()); }

void LM1_Demo::UpdateStatisticsAt(std::uint32_t now)
{
    if (secondStart == 0) {
        secondStart = now;
        return;
    }
    // Unsigned difference: correct across the tick count's wrap at 2^32 ms.
    if (now - secondStart >= 1000) {
        secondStart += 1000;
        framesPerSecond = framesThisSecond;
        framesThisSecond = 0;
    }
}

void LM1_Demo::EndFrame()
{
    ++framesThisSecond;
    QR_Renderer* renderer = QR_GetRenderer();
    if (!renderer)
        return;
    trianglesLastFrame = renderer->GetTriangleCount();
    renderer->ResetTriangleCount();
}

// --- Init --------------------------------------------------------------------------------------

void LM1_Demo::Init(std::int32_t width, std::int32_t height, LM1_ScenePainter scenePainter)
{
    QD_Assets* assets = QD_GetAssets();
    QC_ASSERT(assets && QR_GetRenderer(), "The demo needs the asset manager and the renderer.");

    statisticsFont = QC_Ptr<QU_Font>(new QU_Font);
    statisticsFont->Load(kStatisticsFontPath, kStatisticsFontSize, true);

    timelineScript = assets->LoadSequencer("scene.qcs");
    partOScript = assets->LoadSequencer("o.qcs");
    partPScript = assets->LoadSequencer("p.qcs");
    partTScript = assets->LoadSequencer("t.qcs");
    music = assets->LoadSound("music.ogg");

    CreateStates();
    previousTarget = CreateClearedTarget(width, height);
    currentTarget = CreateClearedTarget(width, height);

    painter = std::move(scenePainter);
    if (!painter) {
        partO = QC_Ptr<LM1_O>(new LM1_O(width, height));
        partP = QC_Ptr<LM1_P>(new LM1_P(width, height));
        partT = QC_Ptr<LM1_T>(new LM1_T(width, height));
    }

    quad = QC_Ptr<QM_Quad>(new QM_Quad);
    quad->Init();
    compositionShader = assets->LoadShader("post.qcs");
    vignette = assets->LoadTexture("vignette.png");
    compositionConstants =
        QR_GetRenderer()->CreateConstantBuffer(QR_Usage::Dynamic, sizeof(CompositionConstants), nullptr);

    previousScene = kNoScene;
    currentScene = kNoScene;
    fade = 0.0f;
    lastBeatTime = 0.0f;

    LM1_InitDraw2D();
}

void LM1_Demo::CreateStates()
{
    compositionDepthStencil = LM1_CreateDepthStencilState(false);
    compositionRasteriser = LM1_CreateRasteriserState(QR_CullMode::None, QR_FillMode::Solid, false);
    compositionBlend = LM1_CreateBlendState(false);
}

// A new target holds undefined memory; cleared to opaque black, the first composition (and a
// first scene that draws nothing) shows black instead.
QC_Ptr<QR_RenderTarget> LM1_Demo::CreateClearedTarget(std::int32_t width, std::int32_t height)
{
    QC_Ptr<QR_RenderTarget> target =
        QR_GetRenderer()->CreateRenderTarget(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    context->SetRenderTarget(target.Get());
    context->Clear(QR_Colour{0, 0, 0, 255});
    context->SetRenderTarget(nullptr);
    return target;
}

// --- the frame ---------------------------------------------------------------------------------

bool LM1_Demo::StartWhenLoaded()
{
    if (musicStarted)
        return true;
    if (!QD_GetAssets()->AllLoaded())
        return false;
    musicStarted = true;
    QA_Audio* audio = QA_GetAudio();
    const QC_Ptr<QA_SoundBuffer> buffer = music ? music->GetCurrent() : QC_Ptr<QA_SoundBuffer>();
    if (audio && buffer)
        audio->Play(buffer.Get());
    QD_GetSync()->Start();
    return true;
}

void LM1_Demo::Render()
{
    if (!StartWhenLoaded())
        return;
    const QC_Ptr<QD_Sequencer> timeline = timelineScript ? timelineScript->GetCurrent() : QC_Ptr<QD_Sequencer>();
    if (!timeline)
        return;

    const std::int32_t transition = ChannelInt(*timeline, kTransitionChannel);
    const std::int32_t run = ChannelInt(*timeline, kRunChannel);
    const std::int32_t selector = ChannelInt(*timeline, kSceneSelectorChannel);
    const std::int32_t scene = ChannelInt(*timeline, selector);

    // The flag follows the script: the main loop ends at the first frame that reads 0 (it still
    // presents that frame), so there the end is final; a workbench that keeps calling draws again
    // as soon as the channel reads anything else, as after a half-finished save of the timeline.
    running = run != 0;
    if (!running)
        return;
    if (scene != currentScene)
        ChangeScene(scene, transition);

    const float beat = QD_GetSync()->GetBeat();
    fade += beat - lastBeatTime;
    lastBeatTime = beat;
    // A clock that moves backwards (a MIDI stop, a tool stepping back) must not push the mix
    // below the outgoing scene alone.
    if (fade < 0.0f)
        fade = 0.0f;
    if (fade < 1.0f)
        RenderScene(previousScene, previousTarget.Get());
    else
        fade = 1.0f;
    RenderScene(currentScene, currentTarget.Get());
    Compose(beat);
}

void LM1_Demo::RestartScene()
{
    // A jump back from past the end of the run plays on.
    running = true;
    previousScene = kNoScene;
    currentScene = kNoScene;
    fade = 0.0f;
    lastBeatTime = QD_GetSync() ? QD_GetSync()->GetBeat() : 0.0f;
}

void LM1_Demo::ChangeScene(std::int32_t scene, std::int32_t transition)
{
    if (partP)
        partP->SceneChanged();
    if (partO)
        partO->SceneChanged();
    previousScene = currentScene;
    currentScene = scene;
    // The outgoing scene's last picture stays in what is now the previous target.
    const QC_Ptr<QR_RenderTarget> outgoing = currentTarget;
    currentTarget = previousTarget;
    previousTarget = outgoing;
    // Only a change from a scene fades; the very first scene cuts in, whatever the channel says.
    fade = (transition == 1 && previousScene >= 0) ? 0.0f : 1.0f;
}

void LM1_Demo::Compose(float beat)
{
    QR_Texture2D* previousTexture = previousTarget ? previousTarget->Texture() : nullptr;
    QR_Texture2D* currentTexture = currentTarget ? currentTarget->Texture() : nullptr;
    if (!previousTexture || !currentTexture)
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    context->SetRenderTarget(nullptr);
    context->SetBlendState(compositionBlend.Get());
    context->SetRasteriserState(compositionRasteriser.Get());
    context->SetDepthStencilState(compositionDepthStencil.Get());
    context->Clear(QR_Colour{0, 0, 0, 255});

    const QC_Ptr<QR_ShaderState> shader = compositionShader->GetCurrent();
    const QC_Ptr<QR_Texture2D> vignetteTexture = vignette->GetCurrent();
    if (!shader || !vignetteTexture)
        return;
    shader->SetTexture(previousTexture, 0);
    shader->SetTexture(currentTexture, 1);
    shader->SetTexture(vignetteTexture.Get(), 2);
    shader->SetConstantBuffer(compositionConstants.Get());
    quad->SetShaderState(shader.Get());

    auto* constants = static_cast<CompositionConstants*>(
        context->MapConstantBuffer(compositionConstants.Get(), QR_Access::Write));
    if (!constants)
        return;
    constants->fade[0] = constants->fade[1] = constants->fade[2] = constants->fade[3] = fade;
    constants->time = beat;
    // Three separate draws of the shared generator, in this order: the scenes' own use of it
    // interleaves with these, as it always has.
    constants->noise[0] = NoiseValue();
    constants->noise[1] = NoiseValue();
    constants->noise[2] = NoiseValue();
    context->UnmapConstantBuffer(compositionConstants.Get());
    quad->Draw();
}

// --- scenes ------------------------------------------------------------------------------------

QD_SequencerAsset* LM1_Demo::PartScript(std::int32_t scene) const
{
    switch (scene / 100) {
    case 1:
        return partOScript.Get();
    case 2:
        return partPScript.Get();
    case 3:
        return partTScript.Get();
    default:
        return nullptr;
    }
}

void LM1_Demo::RenderScene(std::int32_t scene, QR_RenderTarget* target)
{
    const QC_Ptr<QD_Sequencer> sequencerO = partOScript ? partOScript->GetCurrent() : QC_Ptr<QD_Sequencer>();
    const QC_Ptr<QD_Sequencer> sequencerP = partPScript ? partPScript->GetCurrent() : QC_Ptr<QD_Sequencer>();
    const QC_Ptr<QD_Sequencer> sequencerT = partTScript ? partTScript->GetCurrent() : QC_Ptr<QD_Sequencer>();
    if (!sequencerO || !sequencerP || !sequencerT || !target)
        return;
    const bool forPartO = scene >= 100 && scene < 200;
    const bool forPartP = scene >= 200 && scene < 300;
    const bool forPartT = scene >= 300 && scene < 400;
    if (!forPartO && !forPartP && !forPartT)
        return;
    if (painter) {
        painter(scene, target);
        return;
    }
    if (forPartO)
        partO->Render(scene, *sequencerO, target);
    else if (forPartP)
        partP->Render(scene, *sequencerP, target);
    else
        partT->Render(scene, *sequencerT, target);
}
