#pragma once
// Indices of a geometry state; always read as 32-bit unsigned integers when drawn.

#include "QC_Ptr.h"
#include "QR_Buffer.h"

class QR_IndexBuffer : public QR_Buffer
{
public:
    ~QR_IndexBuffer() override = default;
};
