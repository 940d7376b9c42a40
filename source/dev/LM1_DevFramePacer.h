#pragma once
// How long the workbench's loop rests after a frame. Frames are capped at 60 a second: with no
// display to wait for (vertical sync off, a virtual display) the loop would otherwise draw as
// fast as it can and keep a core busy. While the clock is paused and nothing has come in (a key,
// the pointer, the window) for a second, the picture does not move: 10 frames a second then
// keep the window and the asset watching alive at a sixth of the cost.
//
//   LM1_DevFramePacer pacer;
//   pacer.NoteInput(now);                                   // each event taken
//   QP_Sleep(pacer.RestAfterFrame(frameStart, now, paused)); // after each present

#include <cstdint>

class LM1_DevFramePacer
{
public:
    static constexpr double ActiveFrameMilliseconds = 1000.0 / 60.0;
    static constexpr double IdleFrameMilliseconds = 100.0;
    static constexpr double IdleAfterMilliseconds = 1000.0;

    void NoteInput(double nowMilliseconds) { lastInput = nowMilliseconds; }
    // Whole milliseconds to rest so that the frame begun at frameStart lasts its share (0 when
    // it took longer already).
    std::uint32_t RestAfterFrame(double frameStartMilliseconds, double nowMilliseconds, bool paused) const;

private:
    double lastInput = 0.0;
};
