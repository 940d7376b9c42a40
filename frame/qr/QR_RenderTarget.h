#pragma once
// An offscreen target: a float colour texture (sampled afterwards as an ordinary QR_Texture2D) and, under Direct3D 10, a depth buffer.

#include "QC_Ptr.h"
#include "QR_Texture2D.h"


class QR_RenderTarget : public QC_RefCounted
{
public:
    ~QR_RenderTarget() override = default;
    // The colour texture, sampled like any texture once the target has been drawn into.
    virtual QR_Texture2D* Texture() const = 0;
};
