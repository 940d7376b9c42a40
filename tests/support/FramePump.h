#pragma once
// The asset side of a frame as the main loop runs it, and a pump that runs such frames until a
// condition holds: shared by every suite that loads assets on the task pool.

#include "QC_Tasks.h"
#include "QC_Thread.h"
#include "QD_Assets.h"

#include <chrono>
#include <functional>

// One frame as the main loop runs it, as far as assets are concerned.
inline void RunFrame()
{
    QC_GetTasks()->RunMainThreadTasks();
    QD_GetAssets()->Update();
}

// Runs frames until done() holds or the (generous) time-out passes; true when it held.
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::seconds timeout = std::chrono::seconds(60))
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        RunFrame();
        QC_Sleep(1);
    }
    return true;
}
