#pragma once
// Small pieces every scene part builds from: the states it creates at construction, the box
// models, channel colours and the default clear of a scene number a part does not know.
//
//   QC_Ptr<QR_BlendState> alpha = LM1_CreateBlendState(true);
//   context->Clear(LM1_ChannelColour(sequencer, 110));    // channels 110, 111, 112, alpha 255
//   LM1_ClearScene(target);                                // opaque black, depth 1, stencil 0
//
// Main thread only; needs the renderer.

#include "QC_Ptr.h"
#include "QD_Sequencer.h"
#include "QM_Model.h"
#include "QR_BlendState.h"
#include "QR_DepthStencilState.h"
#include "QR_RasteriserState.h"
#include "QR_RenderContext.h"
#include "QR_RenderTarget.h"
#include "QR_SamplerState.h"

#include <cstdint>

// Blending off on all eight targets, or on with source alpha over inverse source alpha.
QC_Ptr<QR_BlendState> LM1_CreateBlendState(bool alphaBlend);
// Depth test on or off, depth writes on, Less, stencil off, masks 0xFF.
QC_Ptr<QR_DepthStencilState> LM1_CreateDepthStencilState(bool depthEnable);
// Depth-bias clamp 1.0, everything not named 0 or off.
QC_Ptr<QR_RasteriserState> LM1_CreateRasteriserState(QR_CullMode cull, QR_FillMode fill, bool depthClip);
// Mip LOD bias 0, anisotropy 16, border (0, 0, 0, 0), LOD 0 to the largest float.
QC_Ptr<QR_SamplerState> LM1_CreateSamplerState(QR_Filter filter, QR_TextureAddress addressU,
                                               QR_TextureAddress addressV, QR_TextureAddress addressW,
                                               QR_ComparisonFunc comparison = QR_ComparisonFunc::Never);
// A built model over a GenerateBox mesh (the box from -1 to +1) or a GeneratePlane mesh.
QC_Ptr<QM_Model> LM1_CreateBoxModel(std::int32_t segments1, std::int32_t segments2, std::int32_t segments3);
QC_Ptr<QM_Model> LM1_CreatePlaneModel(std::int32_t columns, std::int32_t rows);
QC_Ptr<QM_Model> LM1_CreateIcosahedronModel();

// A channel value as a whole number, truncated toward zero. NaN reads as 0 and values beyond the
// integer range are held at its ends: converting such a float is undefined, and a script may
// hold anything.
std::int32_t LM1_ChannelInt(float value);

// Each channel value times 255, truncated, as red, green and blue; alpha 255 or from a fourth
// channel when withAlpha is set.
QR_Colour LM1_ChannelColour(const QD_Sequencer& sequencer, std::int32_t firstChannel, bool withAlpha = false);

// The branch for a scene number a part does not draw: target set, query begun, cleared to
// opaque black with depth 1.0 and stencil 0, query ended.
void LM1_ClearScene(QR_RenderTarget* target);

// Writes size bytes of data into a dynamic constant buffer through a discarding map.
void LM1_WriteConstants(QR_ConstantBuffer* buffer, const void* data, std::uint32_t size);
