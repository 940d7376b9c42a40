#pragma once
// The timeline panel's window on the beat grid: which beats a strip of pixels shows, under zoom
// and pan. Logic only, so the mapping is tested without a window.
//
//   LM1_DevBeatView view;                         // 0 .. 64 beats over 1280 pixels at first
//   view.SetStrip(left, width);                   // each frame, from the panel's layout
//   float beat = view.BeatAt(mouseX);  float x = view.PixelAt(beat);
//   view.ZoomAround(mouseX, 1.25f);               // wheel: the beat under the pointer stays
//   view.PanByPixels(dragX);  view.Follow(playhead);
//
// The view never shows beats before 0 (a pan or zoom that would is held at 0), and its scale is
// held between MinBeatsPerPixel and MaxBeatsPerPixel.

#include <vector>

class LM1_DevBeatView
{
public:
    static constexpr float MinBeatsPerPixel = 1.0f / 256.0f;
    static constexpr float MaxBeatsPerPixel = 4.0f;

    // The strip's left edge and width in pixels of the picture.
    void SetStrip(float left, float width);
    float Left() const { return left; }
    float Width() const { return width; }

    float PixelAt(float beat) const { return left + (beat - firstBeat) / beatsPerPixel; }
    float BeatAt(float pixel) const { return firstBeat + (pixel - left) * beatsPerPixel; }
    float FirstBeat() const { return firstBeat; }
    float LastBeat() const { return firstBeat + width * beatsPerPixel; }
    float BeatsPerPixel() const { return beatsPerPixel; }

    // Scales by factor (above 1 zooms in) keeping the beat under pixel where it is.
    void ZoomAround(float pixel, float factor);
    // Moves the picture by pixels (a drag to the right shows earlier beats).
    void PanByPixels(float pixels);
    // Shows beats from first on at the given scale (held to the limits).
    void Show(float first, float scale);
    // Keeps beat in view: when it falls before the strip or past nine tenths of it, the view
    // jumps so that it sits at the first tenth (whole pages, so the grid does not crawl).
    void Follow(float beat);

    // The spacing, in beats, of the ruler's lines: a power of two (whole bars from 4 beats on),
    // the smallest that keeps lines at least minPixels apart.
    float GridStep(float minPixels) const;

private:
    void HoldAtStart();

    float left = 0.0f;
    float width = 1280.0f;
    float firstBeat = 0.0f;
    float beatsPerPixel = 0.05f;
};
