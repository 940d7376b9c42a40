#pragma once
// A two-dimensional texture sampled by pixel shaders; its texels are filled through the render context's UpdateTexture.

#include "QC_Ptr.h"

#include <cstdint>


class QR_Texture2D : public QC_RefCounted
{
public:
    ~QR_Texture2D() override = default;
    virtual std::uint32_t Width() const = 0;
    virtual std::uint32_t Height() const = 0;
};
