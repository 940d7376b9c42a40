#pragma once
// A blend state on the platform device.
// The platform objects are counted handles: they are released when the wrapper dies, so a
// replaced (reloaded) resource leaves nothing behind on the device.

#include "QC_Ptr.h"
#include "QP_DeviceChild.h"
#include "QR_BlendState.h"

#include <cstdint>

class QR_BlendState_DX10 : public QR_BlendState
{
public:
    QC_Ptr<QP_BlendState> platformState;
};
