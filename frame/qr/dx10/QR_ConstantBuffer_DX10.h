#pragma once
// A constant buffer on the platform device.
// The platform objects are counted handles: they are released when the wrapper dies, so a
// replaced (reloaded) resource leaves nothing behind on the device.

#include "QC_Ptr.h"
#include "QP_DeviceChild.h"
#include "QR_ConstantBuffer.h"

#include <cstdint>

class QR_ConstantBuffer_DX10 : public QR_ConstantBuffer
{
public:
    QC_Ptr<QP_Buffer> platformBuffer;
};
