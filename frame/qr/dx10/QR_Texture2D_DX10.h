#pragma once
// A texture on the platform device with a shader resource view of the whole of it.
// The platform objects are counted handles: they are released when the wrapper dies, so a
// replaced (reloaded) resource leaves nothing behind on the device.

#include "QC_Ptr.h"
#include "QP_DeviceChild.h"
#include "QR_Texture2D.h"

#include <cstdint>

class QR_Texture2D_DX10 : public QR_Texture2D
{
public:
    std::uint32_t Width() const override { return width; }
    std::uint32_t Height() const override { return height; }

    std::uint32_t width = 0;
    std::uint32_t height = 0;
    QC_Ptr<QP_Texture2D> platformTexture;
    QC_Ptr<QP_ShaderResourceView> shaderResourceView;
    QP_Format format = QP_FORMAT_UNKNOWN;
};
