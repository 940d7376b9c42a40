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
// goes back to its start; a seek while looping moves the loop to the scene sought to.

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
};

class LM1_DevTransport
{
public:
    static constexpr float BeatsPerBar = 4.0f;
    static constexpr int BarsWithShift = 4;

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

    // Each frame: brings a looping clock that has reached its range's end back to the start.
    void Update();

    bool IsLooping() const { return looping; }
    float LoopStart() const { return loopStart; }
    float LoopEnd() const { return loopEnd; }
    // Seeks made so far (a change tells the demo to start its scene afresh).
    std::uint32_t SeekCount() const { return seeks; }
    // The range [start, end) of the scene playing at beat.
    float SceneStart(float beat) const;
    float SceneEnd(float beat) const;

private:
    void SeekTo(float beat);

    LM1_DevClock& clock;
    std::vector<float> sceneChanges{0.0f};
    float timelineEnd = 0.0f;
    bool looping = false;
    float loopStart = 0.0f;
    float loopEnd = 0.0f;
    std::uint32_t seeks = 0;
};
