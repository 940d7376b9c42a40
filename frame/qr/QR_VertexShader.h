#pragma once
// A compiled vertex stage with the input layout derived from its inputs; made by CreateVertexShader.

#include "QC_Ptr.h"

class QR_VertexShader : public QC_RefCounted
{
public:
    ~QR_VertexShader() override = default;

    // The program text the platform runs (GLSL), for tools that show or check it; never null,
    // empty where the platform keeps no text.
    virtual const char* GetPlatformCodeText() const = 0;
};
