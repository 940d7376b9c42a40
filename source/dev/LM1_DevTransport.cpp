#include "LM1_DevTransport.h"

#include "QC_Log.h"

#include <algorithm>
#include <cmath>

namespace
{
// Page Up within this much of a scene's start goes to the scene before, as a player's "previous
// track" does.
constexpr float kRestartGrace = 0.5f;
constexpr float kShortestLoop = 1.0f / 16.0f;
constexpr int kSlowestSpeed = 4;
} // namespace

void LM1_DevTransport::SetTimeline(const std::vector<float>& changes, float runEnd)
{
    sceneChanges = changes;
    if (sceneChanges.empty() || sceneChanges.front() > 0.0f)
        sceneChanges.insert(sceneChanges.begin(), 0.0f);
    timelineEnd = runEnd;
    // An edited timeline may have moved the looped scene: keep looping the scene now playing.
    if (looping) {
        loopStart = SceneStart(clock.GetBeat());
        loopEnd = SceneEnd(clock.GetBeat());
    }
}

bool LM1_DevTransport::Press(QP_Key key, bool shift)
{
    const int bars = shift ? BarsWithShift : 1;
    switch (key) {
    case QP_Key::Space:
        TogglePause();
        return true;
    case QP_Key::Left:
        SeekBars(-bars);
        return true;
    case QP_Key::Right:
        SeekBars(bars);
        return true;
    case QP_Key::PageUp:
        PreviousSceneChange();
        return true;
    case QP_Key::PageDown:
        NextSceneChange();
        return true;
    case QP_Key::Home:
        Home();
        return true;
    case QP_Key::L:
        ToggleLoop();
        return true;
    case QP_Key::S:
        CycleSpeed();
        return true;
    default:
        return false;
    }
}

void LM1_DevTransport::TogglePause()
{
    clock.SetPaused(!clock.IsPaused());
}

void LM1_DevTransport::SeekBars(int bars)
{
    SeekTo(clock.GetBeat() + static_cast<float>(bars) * BeatsPerBar);
}

float LM1_DevTransport::SceneStart(float beat) const
{
    // The last change at or before beat; changes are ascending and start with 0.
    auto after = std::upper_bound(sceneChanges.begin(), sceneChanges.end(), beat);
    return after == sceneChanges.begin() ? 0.0f : *(after - 1);
}

float LM1_DevTransport::SceneEnd(float beat) const
{
    auto after = std::upper_bound(sceneChanges.begin(), sceneChanges.end(), beat);
    if (after != sceneChanges.end())
        return *after;
    return timelineEnd > beat ? timelineEnd : beat;
}

void LM1_DevTransport::PreviousSceneChange()
{
    const float beat = clock.GetBeat();
    const float start = SceneStart(beat);
    SeekTo(beat - start > kRestartGrace ? start : SceneStart(start - kRestartGrace));
}

void LM1_DevTransport::NextSceneChange()
{
    const float beat = clock.GetBeat();
    auto after = std::upper_bound(sceneChanges.begin(), sceneChanges.end(), beat);
    if (after == sceneChanges.end())
        return; // in the last scene: nothing further to go to
    SeekTo(*after);
}

void LM1_DevTransport::Home()
{
    SeekTo(0.0f);
}

void LM1_DevTransport::ToggleLoop()
{
    if (looping) {
        looping = false;
        return;
    }
    const float beat = clock.GetBeat();
    loopStart = SceneStart(beat);
    loopEnd = SceneEnd(beat);
    if (!(loopEnd > loopStart)) {
        QC_INFO("No scene range to loop at beat %.2f.", static_cast<double>(beat));
        return;
    }
    looping = true;
}

void LM1_DevTransport::SetLoopRange(float start, float end)
{
    const float low = std::max(0.0f, std::min(start, end));
    const float high = std::max(start, end);
    if (!(high - low >= kShortestLoop)) {
        QC_INFO("A loop needs at least 1/16 beat; %.3f - %.3f is too short.", static_cast<double>(low),
                static_cast<double>(high));
        return;
    }
    loopStart = low;
    loopEnd = high;
    looping = true;
    const float beat = clock.GetBeat();
    if (beat < loopStart || beat >= loopEnd)
        SeekTo(loopStart);
}

void LM1_DevTransport::CycleSpeed()
{
    const int next = clock.Slowdown() * 2;
    clock.SetSlowdown(next > kSlowestSpeed ? 1 : next);
}

void LM1_DevTransport::SeekToBeat(float beat)
{
    if (std::isfinite(beat))
        SeekTo(beat);
}

void LM1_DevTransport::Update()
{
    if (looping && clock.GetBeat() >= loopEnd)
        SeekTo(loopStart);
    else if (!looping)
        HoldAtRunEnd();
}

void LM1_DevTransport::HoldAtRunEnd()
{
    // Not a seek: the scene goes on from where it is, only the clock stands still.
    if (timelineEnd > HoldBeforeEnd && !clock.IsPaused() && clock.GetBeat() >= timelineEnd - HoldBeforeEnd) {
        clock.SetPaused(true);
        clock.SetBeat(timelineEnd - HoldBeforeEnd);
    }
}

void LM1_DevTransport::SeekTo(float beat)
{
    const float target = beat > 0.0f ? beat : 0.0f;
    clock.SetBeat(target);
    ++seeks;
    if (looping && (target < loopStart || target >= loopEnd)) {
        loopStart = SceneStart(target);
        loopEnd = SceneEnd(target);
    }
}
