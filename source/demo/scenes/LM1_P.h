#pragma once
// Scene part P: scenes 201 to 205 (p1 to p5) drawn from "p.qcs", with depth testing on. p5 keeps
// the picture of its previous frames: it clears its target only on the first frame after
// SceneChanged, and paints over its own earlier frames the rest of the time.
//
//   QC_Ptr<LM1_P> partP(new LM1_P(1280, 720));
//   partP->SceneChanged();                          // the timeline switched scenes
//   partP->Render(205, *sequencer, target.Get());
//
// A scene whose assets are not all loaded draws nothing: the target keeps what it held. A
// number outside 201-205 clears the target to opaque black.
//
// p5 and scene changes: the demo swaps its two targets at every change, so p5 entering draws
// into a target that holds something else, and clears it. When the timeline leaves p5 with a
// cross-fade, p5 goes on drawing for one beat into the target it has been painting, now the
// outgoing one: that painting is what fades out, so p5 keeps it rather than clearing it. p5
// tells the two apart by the target and the song position of its last frame.
//
// Channels: p1 100-103, p2 200-205, p3 300-304, p4 400-403, p5 501-543. What each scene's
// constants mean on screen is the business of its shader (assets/p1.qcs ... p5.qcs).

#include "QC_Matrix.h"
#include "QC_Ptr.h"
#include "QD_Sequencer.h"
#include "QD_ShaderAsset.h"
#include "QD_TextureAsset.h"
#include "QM_Mesh.h"
#include "QM_Model.h"
#include "QM_Quad.h"
#include "QR_BlendState.h"
#include "QR_ConstantBuffer.h"
#include "QR_DepthStencilState.h"
#include "QR_RasteriserState.h"
#include "QR_RenderContext.h"
#include "QR_RenderTarget.h"

#include <cstdint>

class LM1_P : public QC_RefCounted
{
public:
    LM1_P(std::int32_t width, std::int32_t height);
    ~LM1_P() override;
    LM1_P(const LM1_P&) = delete;
    LM1_P& operator=(const LM1_P&) = delete;

    void Render(std::int32_t scene, const QD_Sequencer& sequencer, QR_RenderTarget* target);
    void SceneChanged() { sceneChanged = true; }

private:
    void RenderP1(const QD_Sequencer& sequencer);
    void RenderP2(const QD_Sequencer& sequencer);
    void RenderP3(const QD_Sequencer& sequencer);
    void RenderP4(const QD_Sequencer& sequencer);
    void RenderP5(const QD_Sequencer& sequencer);

    // Steps 2 and 3 of the frame of p1 to p4: target and states set, colour cleared, depth
    // cleared to 1.0 and stencil to 0, then the query begun (part P clears before it begins).
    void BeginFrame(QR_RenderContext& context, QR_BlendState* blend, QR_Colour clearColour) const;
    // Perspective(45, aspect, 0.01, 100): the camera of p4 and p5.
    QC_Matrix Perspective() const;
    // True when p5 draws into the target it painted in its last frame, at most a beat ago: it
    // carries on with its painting (leaving with a cross-fade), whatever the scene change says.
    bool P5CarriesOn(float beat) const;

    QC_Ptr<QR_RenderTarget> target;
    // Set at construction and by SceneChanged; p5 clears its target only while it is set.
    bool sceneChanged = true;
    float aspect = 1.0f;
    // The target p5 painted into last and the song position it did so at.
    QC_Ptr<QR_RenderTarget> paintedTarget;
    float paintedBeat = 0.0f;

    QC_Ptr<QM_Mesh> coarseBox; // the box from -1 to +1, one segment per side
    QC_Ptr<QM_Mesh> fineBox;   // the same box, 20 segments per side
    QC_Ptr<QM_Quad> quad;
    QC_Ptr<QR_DepthStencilState> depthStencil; // depth test on, Less
    QC_Ptr<QR_RasteriserState> rasteriser;     // back faces culled, depth clip on
    QC_Ptr<QR_BlendState> opaqueBlend;
    QC_Ptr<QR_BlendState> alphaBlend;

    QC_Ptr<QD_ShaderAsset> p1Shader;
    QC_Ptr<QR_ConstantBuffer> p1Constants;

    QC_Ptr<QD_ShaderAsset> p2Shader;
    QC_Ptr<QD_TextureAsset> p2Picture; // "mexico.png"
    QC_Ptr<QR_ConstantBuffer> p2Constants;

    QC_Ptr<QD_ShaderAsset> p3Shader;
    QC_Ptr<QR_ConstantBuffer> p3Constants;
    QC_Ptr<QD_TextureAsset> p3Grid;   // "grilla.png"
    QC_Ptr<QD_TextureAsset> p3Glitch; // "glitch.png"

    QC_Ptr<QD_ShaderAsset> p4Shader;
    QC_Ptr<QR_ConstantBuffer> p4Constants;
    QC_Ptr<QM_Model> p4Model; // over the fine box

    QC_Ptr<QD_ShaderAsset> p5BackgroundShader; // "p5lb.qcs"
    QC_Ptr<QD_ShaderAsset> p5Shader;
    QC_Ptr<QR_ConstantBuffer> p5Constants;
    QC_Ptr<QD_TextureAsset> p5Texture; // "percube.png"
    QC_Ptr<QM_Model> p5Model;          // over the coarse box
};
