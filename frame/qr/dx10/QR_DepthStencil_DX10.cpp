#include "QR_DepthStencil_DX10.h"

#include "QC_Log.h"

QP_Texture2DDesc QR_Texture2DDescription_DX10(std::uint32_t width, std::uint32_t height, QP_Format format,
                                              std::uint32_t bindFlags)
{
    QP_Texture2DDesc desc;
    desc.width = width;
    desc.height = height;
    desc.mipLevels = 1;
    desc.arraySize = 1;
    desc.format = format;
    desc.sampleDesc = {1, 0};
    desc.usage = QP_USAGE_DEFAULT;
    desc.bindFlags = bindFlags;
    desc.cpuAccessFlags = 0;
    return desc;
}

QC_Ptr<QP_DepthStencilView> QR_CreateDepthStencil_DX10(QP_Device* device, std::uint32_t width, std::uint32_t height)
{
    const QP_Texture2DDesc depthDesc =
        QR_Texture2DDescription_DX10(width, height, QP_FORMAT_D24_UNORM_S8_UINT, QP_BIND_DEPTH_STENCIL);
    QC_Ptr<QP_Texture2D> depthBuffer;
    if (QP_Failed(device->CreateTexture2D(&depthDesc, nullptr, &depthBuffer)))
        QC_FATAL("Failed to create depth stencil buffer.");
    QP_DepthStencilViewDesc viewDesc;
    viewDesc.format = QP_FORMAT_D24_UNORM_S8_UINT;
    viewDesc.viewDimension = QP_DSV_DIMENSION_TEXTURE2D;
    viewDesc.mipSlice = 0;
    QC_Ptr<QP_DepthStencilView> view;
    if (QP_Failed(device->CreateDepthStencilView(depthBuffer.Get(), &viewDesc, &view)))
        QC_FATAL("Failed to create depth stencil view.");
    return view;
}
