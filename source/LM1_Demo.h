#pragma once
// The demo object: the main loop calls its per-frame operations, UpdateStatistics, Render and
// EndFrame in that order, while IsRunning is true. It keeps the frame statistics: frames per
// second, counted over whole seconds of the tick count, and the renderer's triangle count of
// the last frame.
//
//   LM1_Demo demo;                      // on the entry point's stack, never destroyed
//   while (demo.IsRunning()) { ...; demo.UpdateStatistics(); ...; demo.EndFrame(); ... }
//
// The scenes, their assets and the timeline that ends the run belong to Init and Render.

#include <cstdint>

class LM1_Demo
{
public:
    // All counters zero; running.
    LM1_Demo() = default;
    LM1_Demo(const LM1_Demo&) = delete;
    LM1_Demo& operator=(const LM1_Demo&) = delete;

    bool IsRunning() const { return running; }

    // Once per frame, first: reads the tick count and, when a whole second has passed since the
    // current second began, publishes the frames counted in it.
    void UpdateStatistics();
    // UpdateStatistics with the tick count given (milliseconds of the monotonic clock).
    void UpdateStatisticsAt(std::uint32_t nowMilliseconds);
    // Once per frame, last: counts the frame and takes the renderer's triangle count of the
    // frame, resetting the renderer's counter for the next.
    void EndFrame();

    std::int32_t FramesPerSecond() const { return framesPerSecond; }
    std::int32_t TrianglesLastFrame() const { return trianglesLastFrame; }
    std::int32_t FramesThisSecond() const { return framesThisSecond; }

private:
    std::int32_t framesPerSecond = 0;
    std::int32_t trianglesLastFrame = 0;
    std::int32_t framesThisSecond = 0;
    // Tick count at which the current second began; 0: not started.
    std::uint32_t secondStart = 0;
    bool running = true;
};
