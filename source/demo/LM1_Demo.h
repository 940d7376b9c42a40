#pragma once
// The demo object: the main loop calls its per-frame operations, UpdateStatistics, Render and
// EndFrame in that order, while IsRunning is true.
//
//   LM1_Demo demo;                      // on the entry point's stack, never destroyed
//   demo.Init(1280, 720);               // requests every asset, builds the scene parts
//   while (demo.IsRunning()) { ...; demo.UpdateStatistics(); demo.Render(); demo.EndFrame(); ... }
//
// The timeline is the script "scene.qcs": channel 1 says whether the scene starting now fades
// in (1) or cuts (0), channel 2 whether the demo runs, channel 3 which channel carries the
// scene numbers. Scenes 100-199 belong to part O, 200-299 to part P, 300-399 to part T; each is
// drawn into a full-screen target, and "post.qcs" composes the current scene's target with the
// outgoing one's, mixed by the fade, onto the back buffer together with the vignette.
//
// Nothing is drawn and neither music nor clock starts until every requested asset has loaded;
// the frame in which they have starts both, so the timeline begins at beat 0 with the music.
//
// Statistics: frames per second, counted over whole seconds of the tick count, and the
// renderer's triangle count of the last frame.

#include "QC_Ptr.h"
#include "QD_SequencerAsset.h"
#include "QD_ShaderAsset.h"
#include "QD_SoundAsset.h"
#include "QD_TextureAsset.h"
#include "QM_Quad.h"
#include "QR_BlendState.h"
#include "QR_ConstantBuffer.h"
#include "QR_DepthStencilState.h"
#include "QR_RasteriserState.h"
#include "QR_RenderTarget.h"
#include "QU_Font.h"

#include <cstdint>
#include <functional>

class LM1_O;
class LM1_P;
class LM1_T;

// Draws one scene into its target in place of the scene parts: for tests and measurements that
// need scenes of known content. Called only for numbers the parts would draw (100-399).
using LM1_ScenePainter = std::function<void(std::int32_t scene, QR_RenderTarget* target)>;

class LM1_Demo
{
public:
    // All counters zero, no scene; running.
    LM1_Demo();
    ~LM1_Demo();
    LM1_Demo(const LM1_Demo&) = delete;
    LM1_Demo& operator=(const LM1_Demo&) = delete;

    // Requests the assets and builds states, targets, scene parts, quad and 2D kit for a
    // window of width x height. Needs the renderer (with the swap chain bound), the asset
    // manager, the sync and the fonts. With a painter the scene parts are not built and the
    // painter draws every scene.
    void Init(std::int32_t width, std::int32_t height, LM1_ScenePainter painter = nullptr);

    // False from a frame whose run channel read 0 until one reads it otherwise (or RestartScene).
    bool IsRunning() const { return running; }

    // Once per frame, first: reads the tick count and, when a whole second has passed since the
    // current second began, publishes the frames counted in it.
    void UpdateStatistics();
    // UpdateStatistics with the tick count given (milliseconds of the monotonic clock).
    void UpdateStatisticsAt(std::uint32_t nowMilliseconds);
    // Once per frame: the music gate, the timeline, the scenes and the composition.
    void Render();
    // Once per frame, last: counts the frame and takes the renderer's triangle count of the
    // frame, resetting the renderer's counter for the next.
    void EndFrame();

    // The music gate on its own: false while any asset loads; the first call that finds them
    // all loaded plays the music and starts the clock at beat 0. Render calls it first; a
    // caller that drives the clock itself (the offline renderer) calls it before its first
    // frame, so the clock's start does not undo its position.
    bool StartWhenLoaded();

    // Draws one scene into one target: 100-199 part O, 200-299 part P, 300-399 part T. Any other
    // number, or a part's script not loaded, draws nothing: the target keeps what it held.
    void RenderScene(std::int32_t scene, QR_RenderTarget* target);

    std::int32_t FramesPerSecond() const { return framesPerSecond; }
    std::int32_t TrianglesLastFrame() const { return trianglesLastFrame; }
    std::int32_t FramesThisSecond() const { return framesThisSecond; }

    bool MusicStarted() const { return musicStarted; }
    std::int32_t CurrentScene() const { return currentScene; }
    std::int32_t PreviousScene() const { return previousScene; }
    // Transition progress, 0 to 1; 1 shows only the current scene.
    float Fade() const { return fade; }
    QR_RenderTarget* CurrentTarget() const { return currentTarget.Get(); }

    // For a workbench that moves the clock: after a jump the next frame enters the scene at the
    // new position as on a hard cut (the parts' SceneChanged included), so scenes that build up
    // or keep earlier screens start clean, as on entering them; a jump back from past the end of
    // the run makes the demo run again.
    void RestartScene();
    // The timeline script, the music asset (to follow a reload of it) and the statistics font.
    QD_SequencerAsset* Timeline() const { return timelineScript.Get(); }
    QD_SoundAsset* Music() const { return music.Get(); }
    // The script of the part that draws scene (o.qcs for 101-199, p.qcs, t.qcs), or null for a
    // number no part draws.
    QD_SequencerAsset* PartScript(std::int32_t scene) const;
    QU_Font* StatisticsFont() const { return statisticsFont.Get(); }
    QR_RenderTarget* PreviousTarget() const { return previousTarget.Get(); }

private:
    void CreateStates();
    QC_Ptr<QR_RenderTarget> CreateClearedTarget(std::int32_t width, std::int32_t height);
    void ChangeScene(std::int32_t scene, std::int32_t transition);
    void Compose(float beat);

    // --- statistics ---
    std::int32_t framesPerSecond = 0;
    std::int32_t trianglesLastFrame = 0;
    std::int32_t framesThisSecond = 0;
    // Tick count at which the current second began; 0: not started.
    std::uint32_t secondStart = 0;

    QC_Ptr<QU_Font> statisticsFont;

    // --- assets ---
    QC_Ptr<QD_SequencerAsset> timelineScript;
    QC_Ptr<QD_SequencerAsset> partOScript;
    QC_Ptr<QD_SequencerAsset> partPScript;
    QC_Ptr<QD_SequencerAsset> partTScript;
    QC_Ptr<QD_SoundAsset> music;
    QC_Ptr<QD_ShaderAsset> compositionShader;
    QC_Ptr<QD_TextureAsset> vignette;

    // --- composition ---
    QC_Ptr<QR_BlendState> compositionBlend;
    QC_Ptr<QR_RasteriserState> compositionRasteriser;
    QC_Ptr<QR_DepthStencilState> compositionDepthStencil;
    QC_Ptr<QR_ConstantBuffer> compositionConstants;
    QC_Ptr<QM_Quad> quad;

    // --- scenes ---
    QC_Ptr<LM1_O> partO;
    QC_Ptr<LM1_P> partP;
    QC_Ptr<LM1_T> partT;
    LM1_ScenePainter painter;
    // The outgoing scene's target and the current one's; swapped at each scene change.
    QC_Ptr<QR_RenderTarget> previousTarget;
    QC_Ptr<QR_RenderTarget> currentTarget;

    bool running = true;
    bool musicStarted = false;
    std::int32_t currentScene = -1;
    std::int32_t previousScene = -1;
    float fade = 0.0f;
    // The sync's position seen in the previous frame, in beats.
    float lastBeatTime = 0.0f;
};
