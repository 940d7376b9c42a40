#include "LM1_DevSession.h"

#include "LM1_DevTimeline.h"
#include "QA_Audio.h"
#include "QC_File.h"
#include "QC_Log.h"
#include "QD_Assets.h"
#include "QD_Sync.h"
#include "QP_GuiOverlay.h"
#include "QR_Renderer.h"

#include <filesystem>

namespace
{
// How far the timeline is searched for scene changes when its run channel never ends.
constexpr float kTimelineSearchLimit = 4096.0f;
} // namespace

LM1_DevSession::LM1_DevSession(LM1_Demo& runningDemo, float start, const std::string& cueFile)
    : demo(runningDemo), startBeat(start > 0.0f ? start : 0.0f), clock(QD_GetSync(), QA_GetAudio()), transport(clock),
      cues(cueFile)
{
    panel.SetLaneEditor(&laneEditor);
}

bool LM1_DevSession::PressPanelKey(QP_Key key)
{
    switch (key) {
    case QP_Key::Tab:
        panelShown = !panelShown;
        QC_INFO("Timeline panel %s.", panelShown ? "shown" : "hidden");
        return true;
    case QP_Key::F:
        panel.ToggleFollow();
        QC_INFO("Timeline %s the playhead.", panel.IsFollowing() ? "follows" : "no longer follows");
        return true;
    case QP_Key::C:
        cues.Toggle(clock.GetBeat());
        QC_INFO("Cue points: %zu.", cues.Beats().size());
        return true;
    case QP_Key::BracketLeft:
    case QP_Key::BracketRight: {
        const std::uint32_t seeks = transport.SeekCount();
        const float beat = clock.GetBeat();
        const float cue = key == QP_Key::BracketLeft ? cues.Previous(beat) : cues.Next(beat);
        if (cue != beat)
            transport.SeekToBeat(cue);
        ReportSeek(seeks, "cue");
        return true;
    }
    default:
        return false;
    }
}

void LM1_DevSession::ReportSeek(std::uint32_t seeksBefore, const char* how)
{
    if (transport.SeekCount() != seeksBefore)
        QC_INFO("Moved to beat %.2f (%s).", static_cast<double>(clock.GetBeat()), how);
}

bool LM1_DevSession::PressEditKey(QP_Key key, bool shift, bool ctrl)
{
    if (!panelShown)
        return false;
    const std::string script = keyEditor.SelectedScript();
    if (key == QP_Key::Delete || key == QP_Key::Backspace) {
        if (keyEditor.DeleteSelected())
            QC_INFO("Keys deleted (%s).", script.c_str());
        return true;
    }
    if (!ctrl || (key != QP_Key::Z && key != QP_Key::Y))
        return false;
    const bool redo = key == QP_Key::Y || shift;
    if (redo ? keyEditor.Redo() : keyEditor.Undo())
        QC_INFO("%s (%s).", redo ? "Redone" : "Undone", script.c_str());
    return true;
}

void LM1_DevSession::Press(QP_Key key, bool shift, bool ctrl)
{
    if (key == QP_Key::F1) {
        statisticsShown = !statisticsShown;
        QC_INFO("Statistics %s.", statisticsShown ? "shown" : "hidden");
        return;
    }
    if (PressEditKey(key, shift, ctrl) || PressPanelKey(key))
        return;
    const std::uint32_t seeks = transport.SeekCount();
    const bool wasPaused = clock.IsPaused();
    const bool wasLooping = transport.IsLooping();
    const int wasSlowdown = clock.Slowdown();
    if (!transport.Press(key, shift))
        return;
    // One line per action, so a session's log tells what the demo maker did when.
    const double beat = static_cast<double>(clock.GetBeat());
    if (clock.IsPaused() != wasPaused)
        QC_INFO("%s at beat %.2f.", clock.IsPaused() ? "Paused" : "Playing", beat);
    if (transport.SeekCount() != seeks)
        QC_INFO("Moved to beat %.2f.", beat);
    if (clock.Slowdown() != wasSlowdown)
        QC_INFO("Playing at 1/%d speed.", clock.Slowdown());
    if (transport.IsLooping() != wasLooping) {
        if (transport.IsLooping())
            QC_INFO("Looping beats %.2f - %.2f.", static_cast<double>(transport.LoopStart()),
                    static_cast<double>(transport.LoopEnd()));
        else
            QC_INFO("Loop stopped.");
    }
}

void LM1_DevSession::Begin()
{
    begun = true;
    // The gate started music and clock at beat 0; the session may begin anywhere.
    if (startBeat > 0.0f)
        clock.SetBeat(startBeat);
    QC_INFO("Started at beat %.2f.", static_cast<double>(clock.GetBeat()));
    demo.RestartScene();
    seeksSeen = transport.SeekCount();
}

void LM1_DevSession::FollowTimeline()
{
    QD_SequencerAsset* script = demo.Timeline();
    QC_Ptr<QD_Sequencer> timeline = script ? script->GetCurrent() : QC_Ptr<QD_Sequencer>();
    if (!timeline || timeline == timelineSeen)
        return;
    timelineSeen = timeline;
    // The channels hold the position of the sync's last broadcast, which is its GetBeat.
    const float syncBeat = QD_GetSync()->GetBeat();
    const float runEnd = LM1_FindRunEnd(*timeline, syncBeat, kTimelineSearchLimit);
    const std::vector<float> changes = LM1_FindSceneChanges(LM1_TimelineSceneAt(timeline, syncBeat), 0.0f, runEnd);
    transport.SetTimeline(changes, runEnd);
    sceneRanges = LM1_FindSceneRanges(timeline, syncBeat, changes, runEnd);
}

void LM1_DevSession::FollowMusic()
{
    QA_Audio* audio = QA_GetAudio();
    QD_SoundAsset* music = demo.Music();
    // The waveform follows the music file, whether or not it plays.
    if (music)
        panel.SetMusic(music->GetCurrent());
    panel.Poll();
    if (!audio || !music || !audio->Playing())
        return;
    QC_Ptr<QA_SoundBuffer> buffer = music->GetCurrent();
    if (!buffer || buffer.Get() == audio->Playing())
        return;
    // A reloaded music file plays on from the beat the clock is at (paused, if it is).
    audio->Play(buffer.Get());
    clock.AlignMusic();
}

void LM1_DevSession::Render(std::uint32_t width, std::uint32_t height)
{
    if (demo.StartWhenLoaded()) {
        if (!begun)
            Begin();
        FollowMusic();
        FollowTimeline();
        const bool wasPaused = clock.IsPaused();
        transport.Update();
        if (clock.IsPaused() && !wasPaused)
            QC_INFO("Held at the end of the run, beat %.2f.", static_cast<double>(clock.GetBeat()));
        if (transport.SeekCount() != seeksSeen) {
            seeksSeen = transport.SeekCount();
            demo.RestartScene();
        }
        demo.Render();
    }
    DrawOverlay(width, height);
}

void LM1_DevSession::DrawOverlay(std::uint32_t width, std::uint32_t height)
{
    const std::vector<QC_Ptr<QD_Asset>>& assets = QD_GetAssets()->GetAssets();
    statisticsText.clear();
    if (statisticsShown) {
        LM1_DevStatistics figures;
        figures.beat = QD_GetSync()->GetBeat();
        figures.scene = demo.CurrentScene();
        figures.fade = demo.Fade();
        figures.framesPerSecond = demo.FramesPerSecond();
        figures.triangles = demo.TrianglesLastFrame();
        figures.cpuMilliseconds = cpuMilliseconds;
        figures.paused = clock.IsPaused();
        figures.looping = transport.IsLooping();
        figures.loopStart = transport.LoopStart();
        figures.loopEnd = transport.LoopEnd();
        figures.slowdown = clock.Slowdown();
        figures.musicStarted = demo.MusicStarted();
        LM1_DevOverlay::CountAssets(assets, figures);
        statisticsText = LM1_DevOverlay::StatisticsText(figures);
    }
    errorText = LM1_DevOverlay::ErrorText(assets);
    // Over the composed picture on the back buffer, whatever the demo left bound. While the demo
    // composes nothing (loading, or past the end of the run) the panels would pile up on the
    // last picture: the back buffer is cleared first.
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    context->SetRenderTarget(nullptr);
    if (!demo.MusicStarted() || !demo.IsRunning())
        context->Clear(QR_Colour{0, 0, 0, 255});
    overlay.Draw(demo.StatisticsFont(), width, height, statisticsText, errorText);
    if (panelShown)
        DrawPanel(width, height);
}

const LM1_DevLaneScript& LM1_DevSession::ScriptOf(QD_SequencerAsset* asset, ScriptSeen& seen)
{
    QC_Ptr<QD_Sequencer> sequencer = asset ? asset->GetCurrent() : QC_Ptr<QD_Sequencer>();
    const std::string path = asset ? asset->GetPath().CStr() : "";
    if (sequencer == seen.sequencer && path == seen.path)
        return seen.script;
    seen.sequencer = sequencer;
    seen.path = path;
    seen.script = LM1_DevLaneScript{};
    if (!asset)
        return seen.script;
    seen.script.name = std::filesystem::path(path).filename().string();
    seen.script.sequencer = sequencer;
    // Read once per reload, for the comments that name the lanes; without them lanes show
    // their numbers only.
    QC_String text;
    if (QC_ReadFile(path.c_str(), text))
        seen.script.text = text.CStr();
    return seen.script;
}

void LM1_DevSession::UpdateLanes()
{
    const std::int32_t scene = demo.CurrentScene();
    keyEditor.Follow(demo.Timeline());
    keyEditor.Follow(demo.PartScript(scene));
    const LM1_DevLaneScript& timeline = ScriptOf(demo.Timeline(), timelineScriptSeen);
    const LM1_DevLaneScript& part = ScriptOf(demo.PartScript(scene), partScriptSeen);
    lanes.SetScripts(timeline, part, scene);
}

void LM1_DevSession::DrawPanel(std::uint32_t width, std::uint32_t height)
{
    if (!gui)
        return;
    UpdateLanes();
    LM1_DevPanelFrame frame;
    frame.width = width;
    frame.height = height;
    frame.beat = clock.GetBeat();
    frame.syncBeat = QD_GetSync()->GetBeat();
    frame.bpm = QD_GetSync()->Bpm();
    frame.paused = clock.IsPaused();
    frame.slowdown = clock.Slowdown();
    frame.scenes = &sceneRanges;
    frame.cues = &cues.Beats();
    const std::uint32_t seeks = transport.SeekCount();
    const bool wasLooping = transport.IsLooping();
    gui->BeginFrame(width, height);
    panel.Draw(frame, transport, lanes);
    gui->EndFrame();
    ReportSeek(seeks, "timeline");
    if (transport.IsLooping() && !wasLooping)
        QC_INFO("Looping beats %.2f - %.2f.", static_cast<double>(transport.LoopStart()),
                static_cast<double>(transport.LoopEnd()));
}
