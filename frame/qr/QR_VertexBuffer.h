#pragma once
// Vertices of a geometry state: per vertex exactly the vertex shader's inputs in declaration order, tightly packed (see QR_InputLayout_DX10).

#include "QC_Ptr.h"
#include "QR_Buffer.h"

class QR_VertexBuffer : public QR_Buffer
{
public:
    ~QR_VertexBuffer() override = default;
};
