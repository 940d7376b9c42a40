#pragma once
// A display mode of the primary output, as the renderer lists it at start (GetDisplayModes) and
// takes it back when the swap chain for a chosen mode is created. The launcher shows width,
// " x ", height, " @ ", refreshRate, " Hz".

#include "QC_Ptr.h"

#include <cstdint>

class QR_DisplayMode : public QC_RefCounted
{
public:
    ~QR_DisplayMode() override = default;

    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // Whole hertz, rounded from the platform's rational rate (see QR_DisplayMode_DX10).
    std::uint32_t refreshRate = 0;
    std::uint32_t refreshNumerator = 0;
    std::uint32_t refreshDenominator = 0;
    // The platform's values, handed back unchanged when a swap chain is created for the mode.
    std::int32_t scanlineOrdering = 0;
    std::int32_t scaling = 0;
};
