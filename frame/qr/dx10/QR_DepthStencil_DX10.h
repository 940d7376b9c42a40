#pragma once
// Platform descriptions both Direct3D backends build the same way: a single-level 2D texture
// and the D24S8 depth buffer that render targets and swap chains draw with.

#include "QC_Ptr.h"
#include "QP_Device.h"

#include <cstdint>

// One mip level, one slice, no multisampling, default usage, no CPU access.
QP_Texture2DDesc QR_Texture2DDescription_DX10(std::uint32_t width, std::uint32_t height, QP_Format format,
                                              std::uint32_t bindFlags);

// A D24S8 depth-stencil texture of the given size and its view; the view keeps the texture
// alive. Failures are fatal ("Failed to create depth stencil buffer." / "... view.").
QC_Ptr<QP_DepthStencilView> QR_CreateDepthStencil_DX10(QP_Device* device, std::uint32_t width, std::uint32_t height);
