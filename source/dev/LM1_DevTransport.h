#pragma once
// The workbench's transport: pause, seeks by bars, jumps to the timeline's scene changes, back to
// the start, and a loop over the current scene, all moving one clock (the sync and the music
// together, see LM1_DevMusicClock). Logic only: tests drive it with a clock of their own.
//
//   LM1_DevTransport transport(clock);
//   transport.SetTimeline(changes, runEnd);          // whenever the timeline script changes
//   transport.Press(QP_Key::Right, false);           // one bar on
//   transport.Update();                              // each frame, after the clock moved
//   if (transport.SeekCount() != seen) demo.RestartScene();
//
// Seeks: Left / Right one bar (4 beats) back / on, with Shift four bars; never before beat 0.
// Page Up goes to the scene change before the current scene's start (or to that start when more
// than half a beat has played since it), Page Down to the next change; Home to beat 0. L loops
// the range of the scene playing (press again to stop): when the clock reaches the range's end it
// goes back to its start; a seek while looping moves the loop to the scene sought to. A range
// dragged on the timeline panel's ruler loops the same way (SetLoopRange). S steps the speed
// through 1x, 1/2x and 1/4x (the clock slows the music with it). At the end of the run the
// clock stops just short of the end, paused, so the last picture stays (unless looping).

#include "QP_InputEvent.h"

#include <cstdint>
#include <vector>

// The clock the transport moves.
class LM1_DevClock
{
public:
    virtual ~LM1_DevClock() = default;
    virtual float GetBeat() const = 0;
    virtual void SetBeat(float beat) = 0;
    virtual bool IsPaused() const = 0;
    virtual void SetPaused(bool paused) = 0;
    // Slow motion: 1 / divisor of the normal speed (1, 2 or 4).
    virtual int Slowdown() const = 0;
    virtual void SetSlowdown(int divisor) = 0;
};

class LM1_DevTransport
{
public:
    static constexpr float BeatsPerBar = 4.0f;
    static constexpr int BarsWithShift = 4;
    // Where the clock holds at the end of the run: this much before it, so the run channel
    // still reads 1 and the last scene still draws (more than the sync's whole millisecond).
    static constexpr float HoldBeforeEnd = 1.0f / 128.0f;

    explicit LM1_DevTransport(LM1_DevClock& clock) : clock(clock) {}

    // changes: ascending beats at which a scene starts (LM1_FindSceneChanges); runEnd: where the
    // timeline ends, the end of the last scene's range.
    void SetTimeline(const std::vector<float>& changes, float runEnd);

    // Acts on a key; false for keys the transport does not use.
    bool Press(QP_Key key, bool shift);

    void TogglePause();
    void SeekBars(int bars);
    void PreviousSceneChange();
    void NextSceneChange();
    void Home();
    void ToggleLoop();
    // Loops [start, end) (in either order); a range shorter than 1/16 beat is refused.
    void SetLoopRange(float start, float end);
    // 1x -> 1/2x -> 1/4x -> 1x.
    void CycleSpeed();
    // A seek to any beat (the panel's ruler, cue points); not before 0.
    void SeekToBeat(float beat);

    // Each frame: brings a looping clock that has reached its range's end back to the start,
    // and holds a clock that has reached the end of the run.
    void Update();

    bool IsLooping() const { return looping; }
    float LoopStart() const { return loopStart; }
    float LoopEnd() const { return loopEnd; }
    float RunEnd() const { return timelineEnd; }
    const std::vector<float>& SceneChanges() const { return sceneChanges; }
    // Seeks made so far (a change tells the demo to start its scene afresh).
    std::uint32_t SeekCount() const { return seeks; }
    // The range [start, end) of the scene playing at beat.
    float SceneStart(float beat) const;
    float SceneEnd(float beat) const;

private:
    void SeekTo(float beat);
    void HoldAtRunEnd();

    LM1_DevClock& clock;
    std::vector<float> sceneChanges{0.0f};
    float timelineEnd = 0.0f;
    bool looping = false;
    float loopStart = 0.0f;
    float loopEnd = 0.0f;
    std::uint32_t seeks = 0;
};
