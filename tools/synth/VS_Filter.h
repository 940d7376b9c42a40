#pragma once
// State-variable filter (trapezoidal integration, so it stays stable and keeps its tuning up
// to Nyquist while the cut-off moves). Two poles: 12 dB an octave beyond the cut-off. At
// resonance 0 the low- and high-pass are Butterworth: 3 dB down at the cut-off.
//
//   VS_Filter filter;
//   filter.SetMode(VS_FILTER_LOWPASS);
//   filter.SetCutoff(1000.0f, 0.0f, 44100.0);   // Hz, resonance 0-1
//   float out = filter.Process(in);

#include "synth/VS_Score.h"

class VS_Filter
{
public:
    void SetMode(VS_FilterMode filterMode) { mode = filterMode; }
    // Cut-offs are kept between 10 Hz and just below Nyquist.
    void SetCutoff(float hz, float resonance, double sampleRate);
    void Reset() { state1 = state2 = 0.0f; }
    float Process(float input)
    {
        const float v3 = input - state2;
        const float v1 = a1 * state1 + a2 * v3;
        const float v2 = state2 + a2 * state1 + a3 * v3;
        state1 = 2.0f * v1 - state1;
        state2 = 2.0f * v2 - state2;
        switch (mode) {
        case VS_FILTER_LOWPASS: return v2;
        case VS_FILTER_HIGHPASS: return input - k * v1 - v2;
        case VS_FILTER_BANDPASS: return k * v1; // unity gain at the centre
        default: return input;
        }
    }

private:
    VS_FilterMode mode = VS_FILTER_NONE;
    float k = 1.41421356f; // 1/Q
    float a1 = 0.0f, a2 = 0.0f, a3 = 0.0f;
    float state1 = 0.0f, state2 = 0.0f;
};
