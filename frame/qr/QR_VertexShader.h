#pragma once
// A compiled vertex stage with the input layout derived from its inputs; made by CreateVertexShader.

#include "qc/QC_Ptr.h"


class QR_VertexShader : public QC_RefCounted
{
public:
    ~QR_VertexShader() override = default;
};
