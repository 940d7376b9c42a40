#pragma once
// Rendering the demo to files, without launcher, window or sound: every frame goes through the
// same LM1_Demo::Render as the live demo, on the headless graphics device, with the beat clock
// driven by the frame index instead of the wall clock.
//
//   LM1_RenderOptions options;          // --render DIR [--size WxH] [--fps N] [--from B] [--to B]
//   return LM1_RunOfflineRender(options); // 0 done, 1 an asset did not load or a file not written
//
// Frame k shows beat from + k * 2 / fps (120 beats a minute). It is written as
// DIR/frame_NNNNNN.png (RGB, top row first) and as one line of DIR/frames.tsv: frame, beat,
// scene, previous scene, fade, triangles, and the milliseconds of the main thread's CPU time
// the frame's turn of the loop took (drawing it, starting its read-back, and collecting the
// picture of two frames before for the output's thread). Rendering stops before beat --to, or
// when the timeline's run channel reaches 0. Progress goes to standard error, with a summary at the end.
// When the output's name ends in .mp4, .mkv or .webm the frames go into that video file instead,
// with the music of the same beats (LM1_VideoSink). Ctrl-C or SIGTERM stops between frames and
// completes what was written; the exit code is then 128 + the signal's number.
// With VC_RENDER_ONLY=1 in the environment the same frames are drawn and nothing is read back or
// written: the summary line then gives the drawing's own time, to set beside a capture's.

#include "LM1_RenderOptions.h"

int LM1_RunOfflineRender(const LM1_RenderOptions& line);
