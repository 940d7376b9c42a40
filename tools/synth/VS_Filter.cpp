#include "synth/VS_Filter.h"

#include <algorithm>
#include <cmath>

void VS_Filter::SetCutoff(float hz, float resonance, double sampleRate)
{
    constexpr double kPi = 3.14159265358979323846;
    const double limited = std::clamp(double(hz), 10.0, sampleRate * 0.49);
    const double g = std::tan(kPi * limited / sampleRate);
    // Resonance 0 is Q = 1/sqrt(2); 1 approaches Q = 25, short of self-oscillation.
    const double q = 0.70710678 + double(std::clamp(resonance, 0.0f, 1.0f)) * 24.3;
    k = float(1.0 / q);
    a1 = float(1.0 / (1.0 + g * (g + k)));
    a2 = float(g * a1);
    a3 = float(g * a2);
}
