#pragma once
// The main loop: takes one waiting window event per pass, and runs one frame only in a pass
// that found no event waiting, so input is always handled before the next picture. It never
// sleeps: the swap chain's Present (with or without vertical sync) sets the pace.
//
//   LM1_RunMainLoop(steps);   // returns when steps.IsRunning() is false or the user quits
//
// A frame is, in this order: the main-thread tasks of the pool, the asset manager's update,
// the synchronisation's update, the demo's UpdateStatistics, Render and EndFrame, and Present.
// The steps are an interface so the order can be checked with recorded calls.

#include "QP_Window.h"

class LM1_FrameSteps
{
public:
    virtual ~LM1_FrameSteps() = default;

    virtual QP_WindowEvent PollEvent() = 0;
    virtual bool IsRunning() = 0;

    virtual void RunMainThreadTasks() = 0;
    virtual void UpdateAssets() = 0;
    virtual void UpdateSync() = 0;
    virtual void UpdateStatistics() = 0;
    virtual void Render() = 0;
    virtual void EndFrame() = 0;
    virtual void Present() = 0;
};

// Runs passes while steps.IsRunning(); ends at once on a Quit event (Escape, closing the
// window). Returns the number of frames run.
unsigned long LM1_RunMainLoop(LM1_FrameSteps& steps);
