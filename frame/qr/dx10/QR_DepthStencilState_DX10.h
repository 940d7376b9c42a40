#pragma once
// A depth-stencil state on the platform device.
// The platform objects are counted handles: they are released when the wrapper dies, so a
// replaced (reloaded) resource leaves nothing behind on the device.

#include "QC_Ptr.h"
#include "QP_DeviceChild.h"
#include "QR_DepthStencilState.h"

#include <cstdint>

class QR_DepthStencilState_DX10 : public QR_DepthStencilState
{
public:
    QC_Ptr<QP_DepthStencilState> platformState;
};
