#include "QM_Quad.h"

#include "QC_Log.h"
#include "QR_Renderer.h"

// Texture v runs downwards: clip y = +1 (the top of the picture) has v = 0.
const QM_QuadVertex QM_QUAD_VERTICES[4] = {
    {-1, -1, 0, 1, 0, 1},
    {1, -1, 0, 1, 1, 1},
    {-1, 1, 0, 1, 0, 0},
    {1, 1, 0, 1, 1, 0},
};
const std::uint32_t QM_QUAD_INDICES[6] = {1, 0, 2, 2, 3, 1};

QM_Quad::~QM_Quad()
{
    shaderState = nullptr;
    geometryState = nullptr;
}

void QM_Quad::Init()
{
    QR_Renderer* renderer = QR_GetRenderer();
    QC_ASSERT(renderer, "The quad needs the renderer.");
    QC_Ptr<QR_IndexBuffer> indexBuffer = renderer->CreateIndexBuffer(QR_Usage::Default, 4, 6, QM_QUAD_INDICES);
    QC_Ptr<QR_VertexBuffer> vertexBuffer =
        renderer->CreateVertexBuffer(QR_Usage::Default, sizeof(QM_QuadVertex), 4, QM_QUAD_VERTICES);
    // The geometry state holds both buffers.
    geometryState = renderer->CreateGeometryState(QR_Primitive::TriangleList, vertexBuffer.Get(), indexBuffer.Get());
}

void QM_Quad::Draw()
{
    if (!geometryState) {
        QC_ERROR("Quad drawn before Init.");
        return;
    }
    if (!shaderState) {
        QC_ERROR("Quad drawn without a shader state.");
        return;
    }
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    context->SetShaderAndGeometry(geometryState.Get(), shaderState.Get());
    context->DrawIndexed(6, 0);
}
