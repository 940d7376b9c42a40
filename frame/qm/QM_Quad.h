#pragma once
// The full-screen quad of post-processing passes: two triangles over clip space whose texture
// coordinates put (0, 0) at the top-left corner of the picture and (1, 1) at the bottom-right.
// Its vertex is position (QR_Position) and texture coordinate (QR_TexCoord0), 24 bytes.
//
//   QC_Ptr<QM_Quad> quad(new QM_Quad);
//   quad->Init();
//   quad->SetShaderState(postState.Get());   // before each full-screen pass
//   quad->Draw();
//
// Main thread only; needs the renderer.

#include "QC_Ptr.h"
#include "QR_GeometryState.h"
#include "QR_ShaderState.h"

#include <cstdint>

struct QM_QuadVertex
{
    float x, y, z, w;
    float u, v;
};
static_assert(sizeof(QM_QuadVertex) == 24);

// The quad's four corners and its two triangles (1, 0, 2) and (2, 3, 1).
extern const QM_QuadVertex QM_QUAD_VERTICES[4];
extern const std::uint32_t QM_QUAD_INDICES[6];

class QM_Quad : public QC_RefCounted
{
public:
    QM_Quad() = default;
    ~QM_Quad() override;

    // Builds the buffers and the geometry state; called again, replaces the geometry.
    void Init();
    void SetShaderState(QR_ShaderState* state) { shaderState = state; }
    // Two triangles through the current render context. Before Init or without a shader state
    // nothing is drawn (reported).
    void Draw();

    QR_GeometryState* GeometryState() const { return geometryState.Get(); }
    QR_ShaderState* ShaderState() const { return shaderState.Get(); }

private:
    QC_Ptr<QR_GeometryState> geometryState;
    QC_Ptr<QR_ShaderState> shaderState;
};
