// Sections: music and layout; header (help, filter, state); ruler (seek, loop drag); waveform;
// scene strip; lanes; pointer (wheel zoom, drag pan).

#include "LM1_DevTimelinePanel.h"

#include "QP_AudioDevice.h"

#include <imgui/imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{
constexpr float kHeightShare = 0.45f;
constexpr float kMinimumHeight = 160.0f;
constexpr float kGutter = 180.0f;
constexpr float kHeaderHeight = 40.0f;
constexpr float kRulerHeight = 22.0f;
constexpr float kWaveformHeight = 44.0f;
constexpr float kSceneHeight = 18.0f;
constexpr float kLaneHeight = 28.0f;
constexpr float kZoomStep = 1.25f;
// Lanes are sampled every few pixels: curves stay smooth and a hundred lanes stay cheap.
constexpr float kSamplePixels = 3.0f;
constexpr float kBeatsPerBar = 4.0f;

constexpr ImU32 kBackground = IM_COL32(18, 18, 22, 224);
constexpr ImU32 kRulerGround = IM_COL32(34, 34, 40, 255);
constexpr ImU32 kGridLine = IM_COL32(90, 90, 100, 255);
constexpr ImU32 kBarLine = IM_COL32(150, 150, 160, 255);
constexpr ImU32 kText = IM_COL32(225, 225, 230, 255);
constexpr ImU32 kDimText = IM_COL32(150, 150, 160, 255);
constexpr ImU32 kWave = IM_COL32(110, 170, 230, 255);
constexpr ImU32 kPlayhead = IM_COL32(255, 80, 60, 255);
constexpr ImU32 kLoop = IM_COL32(240, 200, 60, 90);
constexpr ImU32 kCue = IM_COL32(120, 230, 120, 255);
constexpr ImU32 kCurve = IM_COL32(235, 170, 90, 255);
constexpr ImU32 kKey = IM_COL32(255, 240, 200, 255);
constexpr ImU32 kLaneRule = IM_COL32(60, 60, 68, 255);
constexpr ImU32 kPinned = IM_COL32(240, 200, 60, 255);

ImU32 SceneColour(std::int32_t scene)
{
    // The part by hue, the scene by shade, so neighbours differ.
    const int shade = 60 + (scene % 100) * 37 % 90;
    if (scene >= 300)
        return IM_COL32(shade, shade / 2 + 40, shade + 60, 255);
    if (scene >= 200)
        return IM_COL32(shade + 60, shade / 2 + 30, shade / 2 + 30, 255);
    return IM_COL32(shade / 2 + 20, shade + 40, shade / 2 + 50, 255);
}

std::string BeatLabel(float beat)
{
    char text[32];
    const int bar = static_cast<int>(std::floor(beat / kBeatsPerBar)) + 1;
    const float inBar = beat - static_cast<float>(bar - 1) * kBeatsPerBar;
    if (inBar == 0.0f)
        std::snprintf(text, sizeof(text), "%d", bar);
    else
        std::snprintf(text, sizeof(text), "%d.%g", bar, static_cast<double>(inBar + 1.0f));
    return text;
}

const char* SpeedText(int slowdown)
{
    return slowdown >= 4 ? "1/4x" : slowdown >= 2 ? "1/2x" : "1x";
}

// True when middle lies within a third of a pixel of the segment from first to last (which
// runs left to right).
bool OnTheLine(const ImVec2& first, const ImVec2& middle, const ImVec2& last)
{
    constexpr float kTolerance = 1.0f / 3.0f;
    const float run = last.x - first.x;
    if (run <= 0.0f)
        return false;
    const float onLine = first.y + (last.y - first.y) * (middle.x - first.x) / run;
    return std::fabs(onLine - middle.y) <= kTolerance;
}

double FrameAtBeat(float beat, std::int32_t bpm)
{
    return static_cast<double>(beat) * 60.0 / static_cast<double>(bpm > 0 ? bpm : 120) * QP_AudioDevice::SampleRate;
}
} // namespace

// --- music and layout ------------------------------------------------------------------------

LM1_DevTimelinePanel::LM1_DevTimelinePanel()
{
    view.Show(0.0f, 0.05f);
}

void LM1_DevTimelinePanel::SetMusic(const QC_Ptr<QA_SoundBuffer>& buffer)
{
    if (!buffer || buffer == shownMusic)
        return;
    // Music still decoding is drawn once whole; the old waveform stays until then.
    if (buffer->IsFilling()) {
        buffer->Want();
        return;
    }
    shownMusic = buffer;
    building = LM1_DevWaveformJob::Start(buffer);
}

void LM1_DevTimelinePanel::Poll()
{
    if (building && building->IsDone()) {
        waveform = building->Result();
        building = nullptr;
    }
}

float LM1_DevTimelinePanel::Height(std::uint32_t pictureHeight)
{
    const float height = static_cast<float>(pictureHeight);
    return std::min(height, std::max(kMinimumHeight, std::floor(height * kHeightShare)));
}

void LM1_DevTimelinePanel::Draw(const LM1_DevPanelFrame& frame, LM1_DevTransport& transport, LM1_DevLanes& lanes)
{
    const float width = static_cast<float>(frame.width);
    const float height = Height(frame.height);
    const float top = static_cast<float>(frame.height) - height;
    ImGui::SetNextWindowPos(ImVec2(0.0f, top));
    ImGui::SetNextWindowSize(ImVec2(width, height));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0.0f, 0.0f));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowRounding, 0.0f);
    ImGui::PushStyleColor(ImGuiCol_WindowBg, kBackground);
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                                   ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoScrollWithMouse |
                                   ImGuiWindowFlags_NoBringToFrontOnFocus;
    ImGui::Begin("timeline", nullptr, flags);
    view.SetStrip(kGutter, width - kGutter);
    if (following)
        view.Follow(frame.beat);

    Area ruler{top + kHeaderHeight, kRulerHeight};
    Area wave{ruler.top + ruler.height, kWaveformHeight};
    Area scenes{wave.top + wave.height, kSceneHeight};
    Area laneArea{scenes.top + scenes.height, static_cast<float>(frame.height) - (scenes.top + scenes.height)};
    DrawHeader(frame, transport, lanes, ImGui::GetIO().MousePos.y >= laneArea.top);
    DrawWaveform(frame, wave);
    DrawScenes(frame, scenes);
    TakeWheelAndPan("music and scenes", Area{wave.top, wave.height + scenes.height});
    DrawLanes(frame, lanes, laneArea);
    DrawRuler(frame, transport, ruler);

    // The playhead over everything below the header.
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const float x = view.PixelAt(frame.beat);
    if (x >= view.Left() && x <= width)
        draw->AddLine(ImVec2(x, ruler.top), ImVec2(x, static_cast<float>(frame.height)), kPlayhead, 1.5f);
    ImGui::End();
    ImGui::PopStyleColor();
    ImGui::PopStyleVar(2);
}

// --- header ----------------------------------------------------------------------------------

void LM1_DevTimelinePanel::DrawHeader(const LM1_DevPanelFrame& frame, const LM1_DevTransport& transport,
                                      LM1_DevLanes& lanes, bool overLanes)
{
    ImGui::SetCursorPos(ImVec2(6.0f, 3.0f));
    ImGui::SetNextItemWidth(kGutter - 12.0f);
    if (ImGui::InputTextWithHint("##filter", "filter: number or name", filterText, sizeof(filterText)))
        lanes.SetFilter(filterText);
    ImGui::SameLine();
    char state[160];
    const float wholeBeat = std::floor(frame.beat);
    std::snprintf(state, sizeof(state), "bar %s  beat %.2f  %s  %s%s%s", BeatLabel(wholeBeat).c_str(),
                  static_cast<double>(frame.beat), frame.paused ? "paused" : "playing", SpeedText(frame.slowdown),
                  transport.IsLooping() ? "  loop" : "", following ? "  follow" : "");
    ImGui::TextUnformatted(state);
    if (laneEditor && !laneEditor->StateText().empty()) {
        ImGui::SameLine();
        ImGui::TextColored(ImVec4(0.45f, 0.8f, 1.0f, 1.0f), "%s", laneEditor->StateText().c_str());
    }
    ImGui::SetCursorPos(ImVec2(6.0f, kHeaderHeight - ImGui::GetTextLineHeight() - 3.0f));
    ImGui::TextColored(ImVec4(0.6f, 0.6f, 0.65f, 1.0f), "%s", laneEditor && overLanes ? EditHelpLine : HelpLine);
}

// --- ruler -----------------------------------------------------------------------------------

void LM1_DevTimelinePanel::DrawRuler(const LM1_DevPanelFrame& frame, LM1_DevTransport& transport, Area area)
{
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const float right = view.Left() + view.Width();
    draw->AddRectFilled(ImVec2(view.Left(), area.top), ImVec2(right, area.top + area.height), kRulerGround);
    if (transport.IsLooping())
        draw->AddRectFilled(ImVec2(std::max(view.Left(), view.PixelAt(transport.LoopStart())), area.top),
                            ImVec2(std::min(right, view.PixelAt(transport.LoopEnd())), area.top + area.height), kLoop);
    const float tick = view.GridStep(12.0f);
    const float label = view.GridStep(64.0f);
    for (float beat = std::floor(view.FirstBeat() / tick) * tick; beat <= view.LastBeat(); beat += tick) {
        const float x = view.PixelAt(beat);
        if (x < view.Left())
            continue;
        const bool labelled = std::fmod(beat, label) == 0.0f;
        const bool bar = std::fmod(beat, kBeatsPerBar) == 0.0f;
        const float length = labelled ? area.height : (bar ? area.height * 0.6f : area.height * 0.3f);
        draw->AddLine(ImVec2(x, area.top + area.height - length), ImVec2(x, area.top + area.height),
                      labelled ? kBarLine : kGridLine);
        if (labelled)
            draw->AddText(ImVec2(x + 3.0f, area.top + 2.0f), kText, BeatLabel(beat).c_str());
    }
    if (frame.cues)
        for (float cue : *frame.cues) {
            const float x = view.PixelAt(cue);
            if (x >= view.Left() && x <= right)
                draw->AddTriangleFilled(ImVec2(x - 5.0f, area.top), ImVec2(x + 5.0f, area.top),
                                        ImVec2(x, area.top + 8.0f), kCue);
        }
    draw->AddText(ImVec2(6.0f, area.top + 4.0f), kDimText, "bar");

    // Seeking and loop marking.
    ImGui::SetCursorScreenPos(ImVec2(view.Left(), area.top));
    ImGui::InvisibleButton("ruler", ImVec2(std::max(1.0f, view.Width()), area.height));
    const ImGuiIO& io = ImGui::GetIO();
    const float pointerBeat = std::max(0.0f, view.BeatAt(io.MousePos.x));
    if (ImGui::IsItemActivated()) {
        loopDragging = io.KeyShift;
        loopDragStart = pointerBeat;
        lastScrubBeat = -1.0f;
    }
    if (ImGui::IsItemActive()) {
        if (loopDragging) {
            draw->AddRectFilled(ImVec2(view.PixelAt(std::min(loopDragStart, pointerBeat)), area.top),
                                ImVec2(view.PixelAt(std::max(loopDragStart, pointerBeat)), area.top + area.height), kLoop);
        } else if (pointerBeat != lastScrubBeat) {
            // Scrubbing: each new position is a seek, so the picture and the music follow.
            lastScrubBeat = pointerBeat;
            transport.SeekToBeat(pointerBeat);
        }
    }
    if (ImGui::IsItemDeactivated() && loopDragging) {
        loopDragging = false;
        transport.SetLoopRange(loopDragStart, pointerBeat);
    }
}

// --- waveform --------------------------------------------------------------------------------

void LM1_DevTimelinePanel::DrawWaveform(const LM1_DevPanelFrame& frame, Area area)
{
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const float middle = area.top + area.height * 0.5f;
    const float scale = area.height * 0.5f / 32768.0f;
    draw->AddText(ImVec2(6.0f, area.top + 4.0f), kDimText, waveform ? "music" : "music (reading...)");
    if (!waveform)
        return;
    const float right = view.Left() + view.Width();
    for (float x = view.Left(); x < right; x += 1.0f) {
        const float from = view.BeatAt(x), to = view.BeatAt(x + 1.0f);
        if (to <= 0.0f)
            continue;
        const double first = std::max(0.0, FrameAtBeat(from, frame.bpm));
        const LM1_DevPeak peak = waveform->Range(static_cast<std::uint64_t>(first),
                                                 static_cast<std::uint64_t>(std::max(first + 1.0, FrameAtBeat(to, frame.bpm))));
        if (peak.low == 0 && peak.high == 0)
            continue;
        draw->AddRectFilled(ImVec2(x, middle - static_cast<float>(peak.high) * scale),
                            ImVec2(x + 1.0f, middle - static_cast<float>(peak.low) * scale + 1.0f), kWave);
    }
}

// --- scene strip -----------------------------------------------------------------------------

void LM1_DevTimelinePanel::DrawScenes(const LM1_DevPanelFrame& frame, Area area)
{
    ImDrawList* draw = ImGui::GetWindowDrawList();
    draw->AddText(ImVec2(6.0f, area.top + 2.0f), kDimText, "scene");
    if (!frame.scenes)
        return;
    const float right = view.Left() + view.Width();
    draw->PushClipRect(ImVec2(view.Left(), area.top), ImVec2(right, area.top + area.height), true);
    for (std::size_t i = 0; i < frame.scenes->size(); ++i) {
        const LM1_SceneRange& range = (*frame.scenes)[i];
        // A cross-fade shows as the scene before reaching into this one, half height.
        const float fadeEnd = i + 1 < frame.scenes->size() ? (*frame.scenes)[i + 1].fadeIn : 0.0f;
        const float left = view.PixelAt(range.start), end = view.PixelAt(range.end);
        if (end < view.Left() || left > right)
            continue;
        draw->AddRectFilled(ImVec2(left, area.top + 1.0f), ImVec2(end, area.top + area.height - 1.0f),
                            SceneColour(range.scene));
        if (fadeEnd > 0.0f)
            draw->AddRectFilled(ImVec2(end, area.top + area.height * 0.5f),
                                ImVec2(view.PixelAt(range.end + fadeEnd), area.top + area.height - 1.0f),
                                SceneColour(range.scene));
        draw->AddLine(ImVec2(left, area.top), ImVec2(left, area.top + area.height), kBarLine);
        draw->AddText(ImVec2(left + 3.0f, area.top + 2.0f), kText, LM1_SceneName(range.scene).c_str());
    }
    draw->PopClipRect();
}

// --- lanes -----------------------------------------------------------------------------------

void LM1_DevTimelinePanel::DrawLanes(const LM1_DevPanelFrame& frame, LM1_DevLanes& lanes, Area area)
{
    if (area.height <= 0.0f)
        return;
    // Beats sampled once per frame, shared by every lane.
    sampleBeats.clear();
    for (float x = view.Left(); x <= view.Left() + view.Width(); x += kSamplePixels)
        sampleBeats.push_back(view.BeatAt(x));
    ImGui::SetCursorScreenPos(ImVec2(0.0f, area.top));
    ImGui::BeginChild("lanes", ImVec2(static_cast<float>(frame.width), area.height), false,
                      ImGuiWindowFlags_NoScrollWithMouse);
    const ImGuiIO& io = ImGui::GetIO();
    // The wheel over the names scrolls the lanes; over the curves it zooms.
    if (ImGui::IsWindowHovered() && io.MouseWheel != 0.0f && io.MousePos.x < kGutter)
        ImGui::SetScrollY(ImGui::GetScrollY() - io.MouseWheel * kLaneHeight * 3.0f);
    const std::vector<LM1_DevLane>& shown = lanes.Lanes();
    const float firstTop = ImGui::GetCursorScreenPos().y;
    std::string pinRequest;
    std::int32_t pinChannel = -1;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const Area lane{firstTop + static_cast<float>(i) * kLaneHeight, kLaneHeight};
        // Only the lanes in sight cost anything.
        if (lane.top + lane.height < area.top || lane.top > area.top + area.height)
            continue;
        const LM1_DevLanePlace place = DrawLane(frame, shown[i], lane);
        ImGui::SetCursorScreenPos(ImVec2(0.0f, lane.top));
        ImGui::PushID(static_cast<int>(i));
        if (ImGui::InvisibleButton("name", ImVec2(kGutter, kLaneHeight))) {
            pinRequest = shown[i].script;
            pinChannel = shown[i].channelNumber;
        }
        if (laneEditor)
            laneEditor->Lane(view, shown[i], place);
        ImGui::PopID();
    }
    if (laneEditor)
        laneEditor->EndLanes();
    ImGui::SetCursorScreenPos(ImVec2(0.0f, firstTop + static_cast<float>(shown.size()) * kLaneHeight));
    ImGui::Dummy(ImVec2(1.0f, 1.0f));
    TakeWheelAndPan("curves", Area{area.top, area.height});
    ImGui::EndChild();
    if (pinChannel >= 0)
        lanes.TogglePin(pinRequest, pinChannel);
}

LM1_DevLanePlace LM1_DevTimelinePanel::DrawLane(const LM1_DevPanelFrame& frame, const LM1_DevLane& lane, Area area)
{
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const float right = view.Left() + view.Width();
    draw->AddLine(ImVec2(0.0f, area.top + area.height), ImVec2(right, area.top + area.height), kLaneRule);
    const float now = lane.channel->GetFloat(frame.beat - frame.syncBeat);
    char value[32];
    std::snprintf(value, sizeof(value), "%.3g", static_cast<double>(now));
    // Names clipped on the CPU: a clip rectangle of their own would cost a draw call a lane.
    const ImVec4 nameClip(0.0f, area.top, kGutter - 4.0f, area.top + area.height);
    ImFont* font = ImGui::GetFont();
    const float size = ImGui::GetFontSize();
    draw->AddText(font, size, ImVec2(6.0f, area.top + 1.0f), lane.pinned ? kPinned : kText, lane.name.c_str(), nullptr,
                  0.0f, &nameClip);
    const std::string reads = lane.script + "  = " + value;
    draw->AddText(font, size, ImVec2(6.0f, area.top + 14.0f), kDimText, reads.c_str(), nullptr, 0.0f, &nameClip);

    LM1_DevLanes::Sample(*lane.channel, frame.syncBeat, sampleBeats, sampleValues);
    float low = now, high = now;
    for (float v : sampleValues)
        if (std::isfinite(v)) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    const float span = high - low > 1e-6f ? high - low : 1.0f;
    const float base = high - low > 1e-6f ? low : low - 0.5f;
    const auto yOf = [&](float v) { return area.top + area.height - 3.0f - (v - base) / span * (area.height - 6.0f); };
    // The samples lie inside the strip and the values are scaled to the lane: no clip needed.
    // One polyline per finite stretch: shared vertices, a fraction of what segments cost.
    curvePoints.clear();
    for (std::size_t i = 0; i <= sampleValues.size(); ++i) {
        if (i < sampleValues.size() && std::isfinite(sampleValues[i])) {
            const ImVec2 point(view.Left() + static_cast<float>(i) * kSamplePixels, yOf(sampleValues[i]));
            // Every segment is triangles for the device to set up: a point that lies on the line
            // from the one before it to the new one (a level stretch, a straight ramp, the
            // flat parts of a spline) is dropped.
            const std::size_t count = curvePoints.size();
            if (count >= 2 && OnTheLine(curvePoints[count - 2], curvePoints[count - 1], point))
                curvePoints.back() = point;
            else
                curvePoints.push_back(point);
            continue;
        }
        if (curvePoints.size() > 1)
            draw->AddPolyline(curvePoints.data(), static_cast<int>(curvePoints.size()), kCurve, ImDrawFlags_None, 1.0f);
        curvePoints.clear();
    }
    for (const QD_SequencerKey& key : lane.keys) {
        const float x = view.PixelAt(key.beat);
        if (x < view.Left() || x > right)
            continue;
        const float y = std::isfinite(key.value) ? std::clamp(yOf(key.value), area.top + 3.0f, area.top + area.height - 3.0f)
                                                 : area.top + area.height * 0.5f;
        draw->AddQuadFilled(ImVec2(x, y - 3.5f), ImVec2(x + 3.5f, y), ImVec2(x, y + 3.5f), ImVec2(x - 3.5f, y), kKey);
    }
    return LM1_DevLanePlace{area.top, area.height, base, span, 3.0f};
}

// --- pointer ---------------------------------------------------------------------------------

void LM1_DevTimelinePanel::TakeWheelAndPan(const char* id, Area area)
{
    // An item of its own over the strip, so a drag that starts on it is its drag (a press on a
    // window's empty ground would be the window's).
    ImGui::SetCursorScreenPos(ImVec2(view.Left(), area.top));
    ImGui::InvisibleButton(id, ImVec2(std::max(1.0f, view.Width()), std::max(1.0f, area.height)));
    const ImGuiIO& io = ImGui::GetIO();
    // The lanes' key editing puts items of its own over the strip first: the wheel zooms over
    // them too.
    const bool overStrip = ImGui::IsWindowHovered(ImGuiHoveredFlags_AllowWhenBlockedByActiveItem) &&
                           io.MousePos.x >= view.Left() && io.MousePos.y >= area.top &&
                           io.MousePos.y < area.top + area.height;
    if (overStrip && io.MouseWheel != 0.0f)
        view.ZoomAround(io.MousePos.x, io.MouseWheel > 0.0f ? kZoomStep : 1.0f / kZoomStep);
    if (ImGui::IsItemActive() && io.MouseDelta.x != 0.0f) {
        view.PanByPixels(io.MouseDelta.x);
        // A view moved by hand stays where it was put until F.
        following = false;
    }
}
