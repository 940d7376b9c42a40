// Sections: a lane (keys marked, the press taken, the menu); the press followed and ended
// (drag, box).

#include "LM1_DevLaneEditor.h"

#include "QD_SequencerSpline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{
// A press this close to a key (in pixels) takes the key.
constexpr float kKeyReach = 6.0f;
// A press becomes a drag once the pointer has moved this far: a click never nudges a key.
constexpr float kDragThreshold = 3.0f;

constexpr ImU32 kSelectedKey = IM_COL32(80, 200, 255, 255);
constexpr ImU32 kBox = IM_COL32(80, 200, 255, 60);
constexpr ImU32 kBoxEdge = IM_COL32(80, 200, 255, 200);
constexpr ImU32 kError = IM_COL32(255, 90, 80, 255);

float KeyY(const LM1_DevLanePlace& place, float value)
{
    const float bottom = place.top + place.height - place.margin;
    if (!std::isfinite(value))
        return place.top + place.height * 0.5f;
    const float y = bottom - (value - place.base) / place.span * (place.height - 2.0f * place.margin);
    return std::clamp(y, place.top + place.margin, bottom);
}

bool Inside(const ImVec2& point, const ImVec2& corner, const ImVec2& other)
{
    return point.x >= std::min(corner.x, other.x) && point.x <= std::max(corner.x, other.x) &&
           point.y >= std::min(corner.y, other.y) && point.y <= std::max(corner.y, other.y);
}
// What the menu's value field starts from: the first selected key of this channel, or the
// channel's own number (a constant's value, a beat channel's rate).
float FirstValue(const QD_ScriptChannel& channel, std::uint32_t number, const std::vector<QD_KeyRef>& selection)
{
    if (channel.kind != QD_SCRIPT_SPLINE)
        return channel.value;
    for (const QD_KeyRef& key : selection)
        if (key.channel == number && key.key < channel.keys.size())
            return channel.keys[key.key].value;
    return 0.0f;
}
} // namespace

LM1_DevSnap LM1_DevLaneEditor::SnapOfModifiers()
{
    const ImGuiIO& io = ImGui::GetIO();
    return io.KeyAlt ? LM1_DevSnap::Free : (io.KeyCtrl ? LM1_DevSnap::SixteenthBeat : LM1_DevSnap::QuarterBeat);
}

// --- a lane ----------------------------------------------------------------------------------

void LM1_DevLaneEditor::Lane(const LM1_DevBeatView& view, const LM1_DevLane& lane, const LM1_DevLanePlace& place)
{
    const QD_ScriptDocument* document = keys.Document(lane.script);
    if (!document)
        return;
    if (!document->IsEditable()) {
        // The parser's first line where the curve is edited: the last good curve stays drawn.
        const std::string& errors = document->ParseErrors();
        const std::string first = "editing off: " + errors.substr(0, errors.find('\n'));
        ImGui::GetWindowDrawList()->AddText(ImVec2(view.Left() + 4.0f, place.top + 1.0f), kError, first.c_str());
        return;
    }
    MarkKeys(view, lane, place);
    ImGui::SetCursorScreenPos(ImVec2(view.Left(), place.top));
    ImGui::InvisibleButton("curve", ImVec2(std::max(1.0f, view.Width()), place.height));
    if (ImGui::IsItemActivated())
        TakePress(view, lane, place);
    if (ImGui::BeginPopupContextItem("lane menu")) {
        LaneMenu(lane, *document);
        ImGui::EndPopup();
    }
}

void LM1_DevLaneEditor::MarkKeys(const LM1_DevBeatView& view, const LM1_DevLane& lane, const LM1_DevLanePlace& place)
{
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const float right = view.Left() + view.Width();
    for (std::size_t i = 0; i < lane.keys.size(); ++i) {
        const ImVec2 at(view.PixelAt(lane.keys[i].beat), KeyY(place, lane.keys[i].value));
        if (at.x < view.Left() || at.x > right)
            continue;
        const QD_KeyRef key{static_cast<std::uint32_t>(lane.channelNumber), static_cast<std::uint32_t>(i)};
        seen.push_back(KeySeen{lane.script, key, at});
        if (keys.IsSelected(lane.script, key))
            draw->AddQuadFilled(ImVec2(at.x, at.y - 5.0f), ImVec2(at.x + 5.0f, at.y), ImVec2(at.x, at.y + 5.0f),
                                ImVec2(at.x - 5.0f, at.y), kSelectedKey);
    }
}

void LM1_DevLaneEditor::TakePress(const LM1_DevBeatView& view, const LM1_DevLane& lane, const LM1_DevLanePlace& place)
{
    const ImGuiIO& io = ImGui::GetIO();
    press = Press{};
    pressed = true;
    press.script = lane.script;
    press.start = io.MousePos;
    press.beatsPerPixel = view.BeatAt(view.Left() + 1.0f) - view.BeatAt(view.Left());
    press.valuesPerPixel = place.span / (place.height - 2.0f * place.margin);
    // The nearest key within reach, if any.
    const KeySeen* nearest = nullptr;
    float nearestDistance = kKeyReach;
    for (const KeySeen& key : seen) {
        const float distance = std::hypot(key.at.x - io.MousePos.x, key.at.y - io.MousePos.y);
        if (key.script == lane.script && key.key.channel == static_cast<std::uint32_t>(lane.channelNumber) &&
            distance <= nearestDistance) {
            nearest = &key;
            nearestDistance = distance;
        }
    }
    if (nearest) {
        press.onKey = true;
        press.grabbedBeat = lane.keys[nearest->key.key].beat;
        if (io.KeyShift || !keys.IsSelected(lane.script, nearest->key))
            keys.Select(lane.script, nearest->key, io.KeyShift);
        return;
    }
    if (ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left)) {
        pressed = false;
        const float beat = std::max(0.0f, view.BeatAt(io.MousePos.x));
        keys.AddKey(lane.script, static_cast<std::uint32_t>(lane.channelNumber), beat, SnapOfModifiers());
        return;
    }
    press.boxing = true;
    press.addToBox = io.KeyShift;
}

// --- the lane's menu -------------------------------------------------------------------------

void LM1_DevLaneEditor::LaneMenu(const LM1_DevLane& lane, const QD_ScriptDocument& document)
{
    const std::uint32_t number = static_cast<std::uint32_t>(lane.channelNumber);
    const QD_ScriptChannel* channel = document.Channel(number);
    ImGui::TextDisabled("%s", lane.name.c_str());
    if (!channel)
        return;
    const ImGuiInputTextFlags enter = ImGuiInputTextFlags_EnterReturnsTrue;
    const bool thisScript = keys.SelectedScript() == lane.script;
    const std::vector<QD_KeyRef> selection = thisScript ? keys.Selection() : std::vector<QD_KeyRef>{};
    if (ImGui::IsWindowAppearing())
        typedValue = FirstValue(*channel, number, selection);
    if (channel->kind == QD_SCRIPT_SPLINE) {
        const bool selected = !selection.empty();
        if (selected && ImGui::InputFloat("value of the selected keys", &typedValue, 0.0f, 0.0f, "%g", enter))
            keys.SetSelectedValue(typedValue);
        for (std::int32_t type : {QD_SPLINE_CONSTANT, QD_SPLINE_LINEAR, QD_SPLINE_CATMULLROM})
            if (ImGui::MenuItem(QD_SplineTypeName(type), nullptr, channel->splineType == type))
                keys.SetKind(lane.script, number, type);
        return;
    }
    const bool beat = channel->kind == QD_SCRIPT_BEAT;
    if (ImGui::InputFloat(beat ? "rate" : "value", &typedValue, 0.0f, 0.0f, "%g", enter))
        beat ? keys.SetRate(lane.script, number, typedValue) : keys.SetConstant(lane.script, number, typedValue);
    if (!beat)
        for (std::int32_t type : {QD_SPLINE_CONSTANT, QD_SPLINE_LINEAR, QD_SPLINE_CATMULLROM}) {
            const std::string item = std::string("make a spline: ") + QD_SplineTypeName(type);
            if (ImGui::MenuItem(item.c_str()))
                keys.SetKind(lane.script, number, type);
        }
}

// --- the press followed and ended ------------------------------------------------------------

void LM1_DevLaneEditor::EndLanes()
{
    if (pressed && ImGui::IsMouseDown(ImGuiMouseButton_Left))
        FollowPress();
    else if (pressed)
        EndPress();
    seen.clear();
}

void LM1_DevLaneEditor::FollowPress()
{
    const ImVec2 pointer = ImGui::GetIO().MousePos;
    const float dx = pointer.x - press.start.x, dy = pointer.y - press.start.y;
    if (press.boxing) {
        ImDrawList* draw = ImGui::GetWindowDrawList();
        draw->AddRectFilled(press.start, pointer, kBox);
        draw->AddRect(press.start, pointer, kBoxEdge);
        return;
    }
    if (!press.onKey)
        return;
    if (!press.dragging && std::hypot(dx, dy) >= kDragThreshold) {
        press.dragging = true;
        keys.BeginDrag();
    }
    if (!press.dragging)
        return;
    const float valueOffset = LM1_DevKeyEditor::RoundValueOffset(-dy * press.valuesPerPixel, press.valuesPerPixel);
    const float taken = keys.Drag(press.grabbedBeat, dx * press.beatsPerPixel, valueOffset, SnapOfModifiers());
    ImGui::SetTooltip("beat %.4g  (%+.4g)  value %+.4g", static_cast<double>(press.grabbedBeat + taken),
                      static_cast<double>(taken), static_cast<double>(valueOffset));
}

void LM1_DevLaneEditor::EndPress()
{
    pressed = false;
    if (press.dragging) {
        keys.EndDrag();
        return;
    }
    if (!press.boxing)
        return;
    const ImVec2 pointer = ImGui::GetIO().MousePos;
    std::vector<QD_KeyRef> caught;
    for (const KeySeen& key : seen)
        if (key.script == press.script && Inside(key.at, press.start, pointer))
            caught.push_back(key.key);
    keys.SelectKeys(press.script, caught, press.addToBox);
}

std::string LM1_DevLaneEditor::StateText() const
{
    if (!keys.LastRefusal().empty())
        return "refused: " + keys.LastRefusal();
    const std::vector<QD_KeyRef> selected = keys.Selection();
    if (selected.empty())
        return "";
    char text[96];
    std::snprintf(text, sizeof(text), "%zu key%s of %s selected", selected.size(), selected.size() == 1 ? "" : "s",
                  keys.SelectedScript().c_str());
    return text;
}
