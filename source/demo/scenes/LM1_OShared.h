#pragma once
// What every scene of part O shares: the part's quad, states, sampler and cube, the screen size
// given at construction and, during a Render call, the target and its aspect.
//
// Built once by LM1_O's constructor; the scene sets (LM1_OScenesA for o1-o12, LM1_OScenesB for
// o13-o24) hold a reference to it and read target and aspect while they draw.

#include "QC_Matrix.h"
#include "QC_Ptr.h"
#include "QM_Model.h"
#include "QM_Quad.h"
#include "QR_BlendState.h"
#include "QR_DepthStencilState.h"
#include "QR_RasteriserState.h"
#include "QR_RenderContext.h"
#include "QR_RenderTarget.h"
#include "QR_SamplerState.h"

#include <cstdint>

// Tells a scene that keeps state between frames (a text screen) when it is entered anew, so it
// starts clean as on its first frame: after a scene change, or the restart that follows a seek,
// when it draws into another target than last time or has not drawn in the part's last two
// calls. A scene fading out after a change keeps drawing into its own target, so it carries on.
struct LM1_SceneEntry
{
    bool changed = true;
    const QR_RenderTarget* lastTarget = nullptr;
    std::uint64_t lastCall = 0;

    bool Enters(const QR_RenderTarget* target, std::uint64_t call)
    {
        const bool enters = changed && (target != lastTarget || call > lastCall + 2);
        changed = false;
        lastTarget = target;
        lastCall = call;
        return enters;
    }
};

struct LM1_OShared
{
    std::int32_t width = 0;
    std::int32_t height = 0;
    // Set by each Render call: the target drawn into and its width / height.
    QC_Ptr<QR_RenderTarget> target;
    float aspect = 1.0f;
    // Counts the part's Render calls (one or two a frame).
    std::uint64_t renderCalls = 0;

    QC_Ptr<QM_Quad> quad;
    QC_Ptr<QR_DepthStencilState> depthStencil; // depth test off, as the composition
    QC_Ptr<QR_RasteriserState> rasteriser;     // back faces culled, solid
    QC_Ptr<QR_SamplerState> sampler;           // point, clamped
    QC_Ptr<QR_BlendState> opaqueBlend;
    QC_Ptr<QR_BlendState> alphaBlend;
    QC_Ptr<QM_Model> cube;                     // the box from -1 to +1, one segment per side

    // Perspective(45, aspect, 0.1, 100): the camera of every 3D scene but o11 and o22.
    QC_Matrix StandardPerspective() const;
    // Perspective(90, aspect, 0.1, 100), used by o11 and o22.
    QC_Matrix WidePerspective() const;

    // Steps 3 and 4 of the common frame: the target, the rasteriser (the shared one unless
    // given), the depth-stencil state and the blend set; query begun; colour cleared to
    // clearColour, depth to 1.0 and stencil to 0.
    void BeginFrame(QR_RenderContext& context, QR_BlendState* blend, QR_Colour clearColour,
                    QR_RasteriserState* ownRasteriser = nullptr) const;
};
