#include "LM1_DevFramePacer.h"

std::uint32_t LM1_DevFramePacer::RestAfterFrame(double frameStart, double now, bool paused) const
{
    const bool idle = paused && now - lastInput >= IdleAfterMilliseconds;
    const double share = idle ? IdleFrameMilliseconds : ActiveFrameMilliseconds;
    const double rest = share - (now - frameStart);
    return rest > 0.0 ? static_cast<std::uint32_t>(rest) : 0;
}
