#pragma once
// The workbench's timeline panel (Tab): over the lower part of the picture, a ruler in beats with
// bar numbers, the music's waveform under it, a strip naming the scene of every range (cross-
// fades drawn as overlaps), the playhead, and a lane per channel (LM1_DevLanes) with its curve
// as the demo reads it, its keys and its value at the playhead. Drawn with Dear ImGui between
// the overlay's BeginFrame and EndFrame (QP_GuiOverlay); the logic it stands on (beat view,
// waveform, lanes, transport) is tested apart.
//
//   LM1_DevTimelinePanel panel;
//   panel.SetMusic(buffer);                       // whenever the music loads or reloads
//   gui->BeginFrame(w, h);  panel.Draw(frame, transport, lanes);  gui->EndFrame();
//
// Pointer: a click or drag on the ruler seeks (the picture and the music follow), Shift and a
// drag on the ruler loops the range dragged; the wheel zooms around the pointer, a drag below the
// ruler pans (in the lanes, once a lane editor is set, a drag edits keys: LM1_DevLaneEditor); a
// click on a lane's name pins it. F makes the view follow the playhead.

#include "LM1_DevBeatView.h"
#include "LM1_DevLaneEditor.h"
#include "LM1_DevLanes.h"
#include "LM1_DevTimeline.h"
#include "LM1_DevTransport.h"
#include "LM1_DevWaveform.h"
#include "LM1_DevWaveformJob.h"

#include <imgui/imgui.h>

#include <cstdint>
#include <string>
#include <vector>

// What the panel shows in a frame, gathered by the session.
struct LM1_DevPanelFrame
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    float beat = 0.0f;     // the playhead
    float syncBeat = 0.0f; // the position the channels last received
    std::int32_t bpm = 120;
    bool paused = false;
    int slowdown = 1;
    const std::vector<LM1_SceneRange>* scenes = nullptr;
    const std::vector<float>* cues = nullptr;
};

class LM1_DevTimelinePanel
{
public:
    // The panel's keys, for its help line and the README's table.
    static constexpr const char* HelpLine =
        "Tab panel   click/drag ruler: seek   Shift+drag ruler: loop range   wheel: zoom   drag: pan   "
        "F follow   S speed   C cue   [ ] cues   L loop scene   click a name: pin";
    // In its place while the pointer is over the lanes and keys can be edited.
    static constexpr const char* EditHelpLine =
        "keys: click, Shift+click, box: select   drag: move (Ctrl: 1/16 beat, Alt: free)   double-click: add   "
        "Del: delete   right button: value, kind, rate   Ctrl+Z undo   Ctrl+Shift+Z / Ctrl+Y redo";

    LM1_DevTimelinePanel();

    // Starts building the waveform of buffer on a worker, unless it is the one already shown.
    void SetMusic(const QC_Ptr<QA_SoundBuffer>& buffer);
    // Takes a finished waveform (each frame, before Draw).
    void Poll();
    const QC_Ptr<LM1_DevWaveform>& Waveform() const { return waveform; }

    // Key editing in the lanes (null: the lanes are only shown).
    void SetLaneEditor(LM1_DevLaneEditor* editor) { laneEditor = editor; }

    void ToggleFollow() { following = !following; }
    bool IsFollowing() const { return following; }
    LM1_DevBeatView& View() { return view; }
    // The panel's height for a picture of height pixels (the lower part, the picture above).
    static float Height(std::uint32_t pictureHeight);

    // Draws and takes the pointer's input; seeks and loops go to transport, pins and the filter
    // to lanes.
    void Draw(const LM1_DevPanelFrame& frame, LM1_DevTransport& transport, LM1_DevLanes& lanes);

private:
    struct Area
    {
        float top = 0.0f;
        float height = 0.0f;
    };

    void DrawHeader(const LM1_DevPanelFrame& frame, const LM1_DevTransport& transport, LM1_DevLanes& lanes,
                    bool overLanes);
    void DrawRuler(const LM1_DevPanelFrame& frame, LM1_DevTransport& transport, Area area);
    void DrawWaveform(const LM1_DevPanelFrame& frame, Area area);
    void DrawScenes(const LM1_DevPanelFrame& frame, Area area);
    void DrawLanes(const LM1_DevPanelFrame& frame, LM1_DevLanes& lanes, Area area);
    // Returns how the lane's values were scaled.
    LM1_DevLanePlace DrawLane(const LM1_DevPanelFrame& frame, const LM1_DevLane& lane, Area area);
    void TakeWheelAndPan(const char* id, Area area);

    LM1_DevBeatView view;
    LM1_DevLaneEditor* laneEditor = nullptr;
    bool following = true;
    QC_Ptr<LM1_DevWaveform> waveform;
    QC_Ptr<LM1_DevWaveformJob> building;
    QC_Ptr<QA_SoundBuffer> shownMusic;
    // A drag on the ruler: seeking, or (Shift at its start) marking a loop from loopDragStart.
    bool loopDragging = false;
    float loopDragStart = 0.0f;
    float lastScrubBeat = -1.0f;
    char filterText[64] = {};
    // Per-frame scratch, kept to spare the allocations.
    std::vector<float> sampleBeats;
    std::vector<float> sampleValues;
    std::vector<ImVec2> curvePoints;
};
