#pragma once
// A compiled pixel stage; made by CreatePixelShader.

#include "QC_Ptr.h"

class QR_PixelShader : public QC_RefCounted
{
public:
    ~QR_PixelShader() override = default;

    // The program text the platform runs (GLSL), for tools that show or check it; never null,
    // empty where the platform keeps no text.
    virtual const char* GetPlatformCodeText() const = 0;
};
