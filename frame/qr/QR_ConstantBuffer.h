#pragma once
// Shader constants: bound through a shader state at constant slot 0 of both stages; written with MapConstantBuffer.

#include "QC_Ptr.h"
#include "QR_Buffer.h"

class QR_ConstantBuffer : public QR_Buffer
{
public:
    ~QR_ConstantBuffer() override = default;
};
