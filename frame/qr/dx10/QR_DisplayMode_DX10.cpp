#include "QR_DisplayMode_DX10.h"

QR_DisplayMode_DX10::QR_DisplayMode_DX10(const QP_ModeDesc& mode)
{
    width = mode.width;
    height = mode.height;
    refreshNumerator = mode.refreshRate.numerator;
    refreshDenominator = mode.refreshRate.denominator;
    refreshRate = refreshDenominator == 0
                      ? 0
                      : static_cast<std::uint32_t>(static_cast<float>(refreshNumerator) /
                                                       static_cast<float>(refreshDenominator) +
                                                   0.5f);
    scanlineOrdering = mode.scanlineOrdering;
    scaling = mode.scaling;
}
