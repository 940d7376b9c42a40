#pragma once
// A topology with its two buffers; holds a reference to each.
// The platform objects are counted handles: they are released when the wrapper dies, so a
// replaced (reloaded) resource leaves nothing behind on the device.

#include "QC_Ptr.h"
#include "QP_DeviceChild.h"
#include "QR_GeometryState.h"
#include "QR_IndexBuffer.h"
#include "QR_VertexBuffer.h"
#include <cstdint>

class QR_GeometryState_DX10 : public QR_GeometryState
{
public:
    QP_PrimitiveTopology topology = QP_PRIMITIVE_TOPOLOGY_UNDEFINED;
    QC_Ptr<QR_VertexBuffer> vertexBuffer;
    QC_Ptr<QR_IndexBuffer> indexBuffer;
};
