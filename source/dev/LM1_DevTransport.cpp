#include "LM1_DevTransport.h"

#include "QC_Log.h"

#include <algorithm>

namespace
{
// Page Up within this much of a scene's start goes to the scene before, as a player's "previous
// track" does.
constexpr float kRestartGrace = 0.5f;
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

void LM1_DevTransport::Update()
{
    if (looping && clock.GetBeat() >= loopEnd)
        SeekTo(loopStart);
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
