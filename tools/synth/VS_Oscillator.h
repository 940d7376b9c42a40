#pragma once
// One band-limited oscillator: a phase accumulator whose saw and pulse edges are smoothed with a
// polynomial step correction, so high notes do not fold back into audible aliases.
//
//   VS_Oscillator osc;
//   osc.Reset(VS_WAVE_SAW, 0.0);          // phase 0-1
//   osc.SetFrequency(220.0f / 44100.0f);  // cycles a sample
//   float sample = osc.Next();            // -1 to 1
//
// Noise is not made here (see VS_Noise): an oscillator holds no random state.

#include "synth/VS_Score.h"

class VS_Oscillator
{
public:
    void Reset(VS_Waveform wave, double startPhase)
    {
        waveform = wave;
        phase = startPhase - double(long(startPhase));
        triangleState = 0.0f;
    }
    // Cycles a sample; kept below 0.5 by the caller (a note above Nyquist is silenced).
    void SetFrequency(float cyclesPerSample) { increment = cyclesPerSample; }
    void SetPulseWidth(float width) { pulseWidth = width; }
    float Next();

private:
    VS_Waveform waveform = VS_WAVE_SINE;
    double phase = 0.0;
    float increment = 0.0f;
    float pulseWidth = 0.5f;
    float triangleState = 0.0f;
};
