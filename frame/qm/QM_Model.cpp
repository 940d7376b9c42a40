#include "QM_Model.h"

#include "QC_Log.h"
#include "QR_Renderer.h"

QM_Model::~QM_Model()
{
    shaderState = nullptr;
    geometryState = nullptr;
    vertexBuffer = nullptr;
    indexBuffer = nullptr;
    mesh = nullptr;
}

void QM_Model::Build()
{
    QR_Renderer* renderer = QR_GetRenderer();
    QC_ASSERT(renderer, "Models need the renderer.");
    if (!mesh || mesh->VertexCount() == 0 || mesh->IndexCount() == 0) {
        QC_ERROR("Model has no mesh to build.");
        geometryState = nullptr;
        vertexBuffer = nullptr;
        indexBuffer = nullptr;
        builtIndexCount = 0;
        return;
    }
    vertexBuffer = renderer->CreateVertexBuffer(QR_Usage::Default, sizeof(QM_MeshVertex), mesh->VertexCount(),
                                                mesh->Vertices());
    indexBuffer = renderer->CreateIndexBuffer(QR_Usage::Default, 4, mesh->IndexCount(), mesh->Indices());
    geometryState = renderer->CreateGeometryState(QR_Primitive::TriangleList, vertexBuffer.Get(), indexBuffer.Get());
    // The buffers are static: what is drawn is what was uploaded, whatever the mesh holds later.
    builtIndexCount = vertexBuffer && indexBuffer && geometryState ? mesh->IndexCount() : 0;
}

bool QM_Model::CanDraw() const
{
    if (!geometryState || builtIndexCount == 0) {
        QC_ERROR("Model drawn before it was built.");
        return false;
    }
    if (!shaderState) {
        QC_ERROR("Model drawn without a shader state.");
        return false;
    }
    return true;
}

void QM_Model::Draw()
{
    if (!CanDraw())
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    context->SetShaderAndGeometry(geometryState.Get(), shaderState.Get());
    context->DrawIndexed(builtIndexCount, 0);
}

void QM_Model::DrawInstanced(std::uint32_t instanceCount)
{
    if (!CanDraw())
        return;
    QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
    context->SetShaderAndGeometry(geometryState.Get(), shaderState.Get());
    context->DrawIndexedInstanced(builtIndexCount, 0, instanceCount);
}
