#pragma once
// A display mode as the platform output reports it. Modes that differ only in scanline
// ordering or scaling are separate entries: nothing is merged.

#include "QP_GraphicsTypes.h"
#include "QR_DisplayMode.h"

class QR_DisplayMode_DX10 final : public QR_DisplayMode
{
public:
    // refreshRate = (float) numerator / (float) denominator + 0.5, truncated: 60000/1001 and
    // 59940/1000 both give 60. A zero denominator gives 0 rather than a division by zero.
    explicit QR_DisplayMode_DX10(const QP_ModeDesc& mode);
};
