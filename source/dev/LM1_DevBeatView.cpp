#include "LM1_DevBeatView.h"

#include <cmath>

namespace
{
constexpr float kFollowLowEdge = 0.1f;
constexpr float kFollowHighEdge = 0.9f;
} // namespace

void LM1_DevBeatView::SetStrip(float stripLeft, float stripWidth)
{
    left = stripLeft;
    width = stripWidth > 1.0f ? stripWidth : 1.0f;
}

void LM1_DevBeatView::HoldAtStart()
{
    if (!(firstBeat > 0.0f))
        firstBeat = 0.0f;
}

void LM1_DevBeatView::ZoomAround(float pixel, float factor)
{
    if (!(factor > 0.0f) || !std::isfinite(factor))
        return;
    const float anchor = BeatAt(pixel);
    beatsPerPixel = std::fmin(std::fmax(beatsPerPixel / factor, MinBeatsPerPixel), MaxBeatsPerPixel);
    firstBeat = anchor - (pixel - left) * beatsPerPixel;
    HoldAtStart();
}

void LM1_DevBeatView::PanByPixels(float pixels)
{
    if (!std::isfinite(pixels))
        return;
    firstBeat -= pixels * beatsPerPixel;
    HoldAtStart();
}

void LM1_DevBeatView::Show(float first, float scale)
{
    beatsPerPixel = std::isfinite(scale) ? std::fmin(std::fmax(scale, MinBeatsPerPixel), MaxBeatsPerPixel) : beatsPerPixel;
    firstBeat = std::isfinite(first) ? first : 0.0f;
    HoldAtStart();
}

void LM1_DevBeatView::Follow(float beat)
{
    const float span = width * beatsPerPixel;
    if (beat >= firstBeat && beat <= firstBeat + kFollowHighEdge * span)
        return;
    firstBeat = beat - kFollowLowEdge * span;
    HoldAtStart();
}

float LM1_DevBeatView::GridStep(float minPixels) const
{
    const float minBeats = minPixels * beatsPerPixel;
    // Powers of two: from 4 on they are whole bars (1, 2, 4, 8 ... bars), below it binary
    // fractions of the bar, so every line of a coarser grid is also one of a finer grid.
    float step = 1.0f / 64.0f;
    while (step < minBeats && step < 65536.0f)
        step *= 2.0f;
    return step;
}
