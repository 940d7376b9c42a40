#pragma once
// A vertex buffer on the platform device; empty platformBuffer after a failed creation.
// The platform objects are counted handles: they are released when the wrapper dies, so a
// replaced (reloaded) resource leaves nothing behind on the device.

#include "QC_Ptr.h"
#include "QP_DeviceChild.h"
#include "QR_VertexBuffer.h"

#include <cstdint>

class QR_VertexBuffer_DX10 : public QR_VertexBuffer
{
public:
    // Bytes per vertex, used when the buffer is bound.
    std::uint32_t stride = 0;
    QC_Ptr<QP_Buffer> platformBuffer;
};
