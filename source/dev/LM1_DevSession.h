#pragma once
// One session of the workbench around a running demo object: the transport on the keyboard, the
// statistics overlay (F1), load errors on screen, the music following seeks and reloads, and
// scenes started afresh after a seek. The entry point (LM1_DevMode) owns the window and the
// loop; tests drive a session in-process on the headless device.
//
//   LM1_DevSession session(demo, startBeat);      // demo initialised, assets watched
//   session.Press(QP_Key::Space, false);          // for each key
//   session.Render(width, height);                // each frame, in place of demo.Render()
//
// Render runs the demo's music gate; once everything has loaded it moves the clock to the start
// beat, follows changes of the timeline script (scene changes for the transport) and of the
// music (a new buffer plays on from the current beat), applies the transport's loop, restarts
// the scene after every seek, renders the demo and draws the overlay onto the back buffer.
//
// Tab shows the timeline panel (LM1_DevTimelinePanel) over the lower part of the picture, drawn
// through the GUI overlay the entry point hands over (SetGui; none in headless tests, where the
// panel's state still follows the keys). F makes the panel follow the playhead, C sets or
// removes a cue point at the playhead and [ / ] jump to the cue before / after it; the cues are
// kept in the file the session was given. The lanes' keys are edited in place (LM1_DevKeyEditor),
// written back into the scripts.

#include "LM1_Demo.h"
#include "LM1_DevMusicClock.h"
#include "LM1_DevCuePoints.h"
#include "LM1_DevKeyEditor.h"
#include "LM1_DevLaneEditor.h"
#include "LM1_DevLanes.h"
#include "LM1_DevOverlay.h"
#include "LM1_DevTimelinePanel.h"
#include "LM1_DevTransport.h"
#include "QD_Sequencer.h"
#include "QP_InputEvent.h"

#include <cstdint>
#include <string>

class QP_GuiOverlay;

class LM1_DevSession
{
public:
    // cueFile: where the cue points are kept ("" keeps them for the session only).
    LM1_DevSession(LM1_Demo& demo, float startBeat, const std::string& cueFile = "");
    LM1_DevSession(const LM1_DevSession&) = delete;
    LM1_DevSession& operator=(const LM1_DevSession&) = delete;

    // F1 toggles the statistics, Tab the panel; F, C, [ and ] are the panel's, and while it is
    // shown so are Delete and Backspace (the selected keys) and Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y
    // (undo, redo); the transport takes its keys; others are ignored.
    void Press(QP_Key key, bool shift, bool ctrl = false);
    // The overlay the panel is drawn with (null: the panel is not drawn).
    void SetGui(QP_GuiOverlay* overlay) { gui = overlay; }
    void Render(std::uint32_t width, std::uint32_t height);
    // The main thread's milliseconds for the last frame (shown in the statistics).
    void SetCpuMilliseconds(double milliseconds) { cpuMilliseconds = milliseconds; }

    bool StatisticsShown() const { return statisticsShown; }
    bool PanelShown() const { return panelShown; }
    LM1_DevTransport& Transport() { return transport; }
    LM1_DevTimelinePanel& Panel() { return panel; }
    const LM1_DevLanes& Lanes() const { return lanes; }
    const LM1_DevCuePoints& Cues() const { return cues; }
    LM1_DevKeyEditor& KeyEditor() { return keyEditor; }
    const std::vector<LM1_SceneRange>& SceneRanges() const { return sceneRanges; }
    LM1_DevMusicClock& Clock() { return clock; }
    // The texts drawn by the last Render ("" when not drawn).
    const std::string& StatisticsText() const { return statisticsText; }
    const std::string& ErrorText() const { return errorText; }

private:
    void Begin();
    void FollowTimeline();
    void FollowMusic();
    void DrawOverlay(std::uint32_t width, std::uint32_t height);
    bool PressPanelKey(QP_Key key);
    bool PressEditKey(QP_Key key, bool shift, bool ctrl);
    void UpdateLanes();
    void DrawPanel(std::uint32_t width, std::uint32_t height);
    void ReportSeek(std::uint32_t seeksBefore, const char* how);

    // A script asset's sequencer and text, read again only when a reload replaced the sequencer.
    struct ScriptSeen
    {
        QC_Ptr<QD_Sequencer> sequencer;
        std::string path;
        LM1_DevLaneScript script;
    };
    const LM1_DevLaneScript& ScriptOf(QD_SequencerAsset* asset, ScriptSeen& seen);

    LM1_Demo& demo;
    float startBeat;
    LM1_DevMusicClock clock;
    LM1_DevTransport transport;
    LM1_DevOverlay overlay;
    LM1_DevTimelinePanel panel;
    LM1_DevLanes lanes;
    LM1_DevKeyEditor keyEditor;
    LM1_DevLaneEditor laneEditor{keyEditor};
    LM1_DevCuePoints cues;
    QP_GuiOverlay* gui = nullptr;
    std::vector<LM1_SceneRange> sceneRanges;
    ScriptSeen timelineScriptSeen;
    ScriptSeen partScriptSeen;
    bool begun = false;
    bool statisticsShown = true;
    bool panelShown = false;
    std::uint32_t seeksSeen = 0;
    QC_Ptr<QD_Sequencer> timelineSeen;
    double cpuMilliseconds = 0.0;
    std::string statisticsText;
    std::string errorText;
};
