#pragma once
// Where the offline renderer's frames go: a folder of PNG files or a video file, chosen by the
// output's name (LM1_IsVideoOutput). The renderer calls, in this order:
//
//   sink.Open();                       // before any asset loads: a bad output is said at once
//   sink.WriteFrame(k, picture);       // k = 0, 1, 2, ... in order, none skipped
//   sink.Finish();                     // after the last frame, also after a stop request
//
// A sink destroyed without a successful Finish leaves no output that looks complete.

#include <cstdint>

class QC_Image;

class LM1_FrameSink
{
public:
    virtual ~LM1_FrameSink() = default;
    // False after a line on standard error that says why.
    virtual bool Open() = 0;
    // picture: the composed frame as read back, RGBA, top row first.
    virtual bool WriteFrame(std::int64_t frame, const QC_Image& picture) = 0;
    virtual bool Finish() = 0;
};
