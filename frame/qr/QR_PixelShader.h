#pragma once
// A compiled pixel stage; made by CreatePixelShader.

#include "qc/QC_Ptr.h"


class QR_PixelShader : public QC_RefCounted
{
public:
    ~QR_PixelShader() override = default;
};
