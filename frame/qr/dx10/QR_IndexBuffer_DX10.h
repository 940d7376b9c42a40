#pragma once
// An index buffer on the platform device; empty platformBuffer after a failed creation.
// The platform objects are counted handles: they are released when the wrapper dies, so a
// replaced (reloaded) resource leaves nothing behind on the device.

#include "QC_Ptr.h"
#include "QP_DeviceChild.h"
#include "QR_IndexBuffer.h"

#include <cstdint>

class QR_IndexBuffer_DX10 : public QR_IndexBuffer
{
public:
    QC_Ptr<QP_Buffer> platformBuffer;
};
