#pragma once
// Progress of a long render on standard error: on a terminal one bar redrawn in place (frames
// done of the total, frames per second, time left); into a file or pipe one line each time
// another tenth of the frames is done, so logs stay short.
//
//   LM1_RenderProgress progress(total, terminal, columns);   // total <= 0: not known
//   per frame: progress.Update(done, elapsedSeconds);        // writes only when there is news
//   progress.End();                                          // ends the bar's line
//
// The text is built by Text, apart from writing it, so it can be checked without a terminal.

#include <cstdint>
#include <string>

class LM1_RenderProgress
{
public:
    LM1_RenderProgress(std::int64_t totalFrames, bool terminal, int columns);

    void Update(std::int64_t framesDone, double elapsedSeconds);
    void End();

    // What Update shows for this state: the bar (without its carriage return) on a terminal,
    // otherwise the line (without its newline), or empty when a line is not due yet.
    std::string Text(std::int64_t framesDone, double elapsedSeconds);

    // "1:05", "1:02:03"; "--:--" for a negative or unknown time.
    static std::string Clock(double seconds);

private:
    std::string Bar(std::int64_t framesDone, double elapsedSeconds) const;
    std::string Line(std::int64_t framesDone, double elapsedSeconds) const;

    std::int64_t total;
    bool terminal;
    int columns;
    // Tenths already reported as lines; and when the bar was drawn last.
    std::int32_t tenthsReported = 0;
    double lastDrawn = -1.0;
    bool drewBar = false;
};
