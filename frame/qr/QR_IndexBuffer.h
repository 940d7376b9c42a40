#pragma once
// Indices of a geometry state; always read as 32-bit unsigned integers when drawn.

#include "qc/QC_Ptr.h"
#include "qr/QR_Buffer.h"

class QR_IndexBuffer : public QR_Buffer
{
public:
    ~QR_IndexBuffer() override = default;
};
