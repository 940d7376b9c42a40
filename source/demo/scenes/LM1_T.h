#pragma once
// Scene part T: scene 301 (t1), the clear in one colour taken from channels 100 to 102 of
// "t.qcs". A number other than 301 clears the target to opaque black.
//
//   QC_Ptr<LM1_T> partT(new LM1_T(1280, 720));
//   partT->Render(301, *sequencer, target.Get());
//
// t1 draws nothing and begins no query: the scene is the clear. Until "t1.qcs" has loaded it
// leaves its target as it was, like every scene whose assets are still loading.

#include "QC_Ptr.h"
#include "QD_Sequencer.h"
#include "QD_ShaderAsset.h"
#include "QM_Quad.h"
#include "QR_BlendState.h"
#include "QR_ConstantBuffer.h"
#include "QR_DepthStencilState.h"
#include "QR_RasteriserState.h"
#include "QR_RenderTarget.h"

#include <cstdint>

class LM1_T : public QC_RefCounted
{
public:
    LM1_T(std::int32_t width, std::int32_t height);
    ~LM1_T() override;
    LM1_T(const LM1_T&) = delete;
    LM1_T& operator=(const LM1_T&) = delete;

    void Render(std::int32_t scene, const QD_Sequencer& sequencer, QR_RenderTarget* target);

private:
    void RenderT1(const QD_Sequencer& sequencer);

    QC_Ptr<QR_RenderTarget> target;
    float aspect = 1.0f;

    QC_Ptr<QM_Quad> quad;
    QC_Ptr<QR_DepthStencilState> depthStencil; // depth test on, Less
    QC_Ptr<QR_RasteriserState> rasteriser;     // back faces culled, depth clip on
    QC_Ptr<QR_BlendState> opaqueBlend;
    QC_Ptr<QD_ShaderAsset> t1Shader;
    QC_Ptr<QR_ConstantBuffer> t1Constants; // 16 bytes, bound but never written
};
