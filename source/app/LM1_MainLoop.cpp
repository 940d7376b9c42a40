#include "LM1_MainLoop.h"

unsigned long LM1_RunMainLoop(LM1_FrameSteps& steps)
{
    unsigned long frames = 0;
    while (steps.IsRunning()) {
        const QP_WindowEvent event = steps.PollEvent();
        if (event == QP_WindowEvent::Quit)
            break;
        // An event was handled in this pass: no frame, so the queue is drained first.
        if (event != QP_WindowEvent::None)
            continue;
        steps.RunMainThreadTasks();
        steps.UpdateAssets();
        steps.UpdateSync();
        steps.UpdateStatistics();
        steps.Render();
        steps.EndFrame();
        steps.Present();
        ++frames;
    }
    return frames;
}
