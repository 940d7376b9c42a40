#pragma once
// A mesh uploaded once into static GPU buffers and drawn, optionally instanced, with a shader
// state whose vertex shader reads the mesh vertex (QR_Position, QR_Normal, QR_TexCoord0).
//
//   QC_Ptr<QM_Model> model(new QM_Model);
//   model->SetMesh(mesh.Get());
//   model->Build();                         // buffers are static: change the mesh, build again
//   model->SetShaderState(passState.Get()); // each frame, per pass
//   model->Draw();                          // or DrawInstanced(count)
//
// Main thread only; needs the renderer.

#include "QC_Ptr.h"
#include "QM_Mesh.h"
#include "QR_GeometryState.h"
#include "QR_IndexBuffer.h"
#include "QR_ShaderState.h"
#include "QR_VertexBuffer.h"

#include <cstdint>

class QM_Model : public QC_RefCounted
{
public:
    QM_Model() = default;
    // Releases the shader state, geometry, vertex buffer, index buffer and mesh, in that order.
    ~QM_Model() override;

    void SetMesh(QM_Mesh* newMesh) { mesh = newMesh; }
    void SetShaderState(QR_ShaderState* state) { shaderState = state; }

    // Uploads the mesh's vertices (stride 40) and indices into default-usage buffers and makes
    // a triangle-list geometry over them, replacing what the model held. Without a mesh, or
    // with an empty one, there is nothing to upload: reported, and the model keeps no geometry.
    void Build();

    // Draws the mesh's index count (as built) through the current render context; adds
    // index count / 3 triangles to the renderer's count. Before a successful Build, or without
    // a shader state, nothing is drawn (reported).
    void Draw();
    void DrawInstanced(std::uint32_t instanceCount);

    QM_Mesh* Mesh() const { return mesh.Get(); }
    QR_ShaderState* ShaderState() const { return shaderState.Get(); }
    QR_GeometryState* GeometryState() const { return geometryState.Get(); }
    // Indices in the built buffers (0 before Build).
    std::uint32_t BuiltIndexCount() const { return builtIndexCount; }

private:
    bool CanDraw() const;

    QC_Ptr<QM_Mesh> mesh;
    QC_Ptr<QR_IndexBuffer> indexBuffer;
    QC_Ptr<QR_VertexBuffer> vertexBuffer;
    QC_Ptr<QR_GeometryState> geometryState;
    QC_Ptr<QR_ShaderState> shaderState;
    std::uint32_t builtIndexCount = 0;
};
