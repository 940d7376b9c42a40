#pragma once
// The pointer and the keys of key editing in the timeline panel's lanes, with Dear ImGui: the
// panel hands over each lane it draws (where it lies and how its values are scaled) and, after
// the last, lets the editor finish the frame. The editing itself is LM1_DevKeyEditor's.
//
//   LM1_DevLaneEditor lanesEditing(keyEditor);
//   for (each lane in sight) { panel draws it;  lanesEditing.Lane(view, lane, place); }
//   lanesEditing.EndLanes();                     // a drag or a box followed
//
// In a lane: a click on a key selects it (Shift: adds or takes it away), a drag moves the
// selected keys in beat (on quarter beats; Ctrl: sixteenths, Alt: free) and value; a drag from
// an empty place draws a box that selects the keys inside (Shift: adds them); a double-click
// adds a key with the curve's value there; the right button opens the lane's menu (the selected
// keys' value typed, the spline's kind, a constant made a spline, a beat channel's rate).
// The editing keys (Delete, Ctrl+Z ...) come through the session's keyboard: this GUI sees a
// key only while it is held at a frame's start, and a quick press falls between two frames.

#include "LM1_DevBeatView.h"
#include "LM1_DevKeyEditor.h"
#include "LM1_DevLanes.h"

#include <imgui/imgui.h>

#include <string>
#include <vector>

// Where a lane is drawn and how its values map to pixels (value base at the bottom, span over
// the plotted height).
struct LM1_DevLanePlace
{
    float top = 0.0f;
    float height = 0.0f;
    float base = 0.0f;
    float span = 1.0f;
    float margin = 3.0f; // plotted height is height - 2 x margin
};

class LM1_DevLaneEditor
{
public:
    explicit LM1_DevLaneEditor(LM1_DevKeyEditor& editor) : keys(editor) {}

    // After the lane is drawn: takes the pointer over its curve area and marks its selected keys.
    void Lane(const LM1_DevBeatView& view, const LM1_DevLane& lane, const LM1_DevLanePlace& place);
    // After every lane of the frame.
    void EndLanes();
    // A short state for the panel's header ("" when nothing is selected or refused).
    std::string StateText() const;

private:
    struct KeySeen
    {
        std::string script;
        QD_KeyRef key;
        ImVec2 at;
    };
    struct Press
    {
        bool onKey = false;
        bool dragging = false;
        bool boxing = false;
        bool addToBox = false;
        std::string script;
        float grabbedBeat = 0.0f;
        float beatsPerPixel = 0.0f;
        float valuesPerPixel = 0.0f;
        ImVec2 start;
    };

    static LM1_DevSnap SnapOfModifiers();
    void MarkKeys(const LM1_DevBeatView& view, const LM1_DevLane& lane, const LM1_DevLanePlace& place);
    void TakePress(const LM1_DevBeatView& view, const LM1_DevLane& lane, const LM1_DevLanePlace& place);
    void FollowPress();
    void EndPress();
    void LaneMenu(const LM1_DevLane& lane, const QD_ScriptDocument& document);

    LM1_DevKeyEditor& keys;
    Press press;
    bool pressed = false;
    // The keys in sight this frame, for a box.
    std::vector<KeySeen> seen;
    float typedValue = 0.0f;
};
