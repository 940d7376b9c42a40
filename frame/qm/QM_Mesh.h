#pragma once
// CPU-side geometry made by one of three procedural generators. A model uploads it to the GPU.
//
//   QC_Ptr<QM_Mesh> mesh(new QM_Mesh);
//   mesh->GenerateBox(10, 10, 10);       // 726 vertices, 600 quads, 3600 indices
//   model->SetMesh(mesh.Get());  model->Build();
//
// Every generator replaces what the mesh held: counts go to 0, exactly the numbers of vertices,
// faces and indices it will write are reserved and zero-filled, then written. The index list is
// a triangle list, written face by face in face order; a quad {a, b, c, d} becomes the triangles
// (a, b, d) and (b, c, d).
//
// A vertex is 40 bytes (position, normal, texture coordinates) and is also the GPU vertex layout
// of models: their vertex shaders declare QR_Position, QR_Normal, QR_TexCoord0 in that order.

#include "QC_Ptr.h"

#include <cstdint>
#include <vector>

struct QM_MeshVertex
{
    // Position; w is always 1.
    float x, y, z, w;
    // Normal; nw is 1 where a normal is set (box, plane), all 0 otherwise.
    float nx, ny, nz, nw;
    float u, v;
};
static_assert(sizeof(QM_MeshVertex) == 40, "the mesh vertex is the 40-byte GPU vertex of models");

struct QM_MeshFace
{
    // 3 or 4; the fourth index is ignored for triangles.
    std::uint32_t vertexCount;
    std::uint32_t indices[4];
};
static_assert(sizeof(QM_MeshFace) == 20);

class QM_Mesh : public QC_RefCounted
{
public:
    QM_Mesh() = default;
    ~QM_Mesh() override;

    // The cube from -1 to +1 on every axis as six separate grids, each with its own vertices
    // and flat normal: segments1 cells along y, segments2 along x, segments3 along z. Each
    // count must be at least 1; otherwise (or when the box would hold more than 2^32 - 1
    // indices) a level-2 report leaves the mesh empty.
    void GenerateBox(std::int32_t segments1, std::int32_t segments2, std::int32_t segments3);
    // A grid in the z = 0 plane from (-1, -1) to (1, 1), normal +z, with the same limits.
    void GeneratePlane(std::int32_t columns, std::int32_t rows);
    // The unit icosahedron: 12 vertices on the unit sphere, 20 outward-wound triangles.
    void GenerateIcosahedron();

    const QM_MeshVertex* Vertices() const { return vertices.data(); }
    std::uint32_t VertexCount() const { return static_cast<std::uint32_t>(vertices.size()); }
    const std::uint32_t* Indices() const { return indices.data(); }
    std::uint32_t IndexCount() const { return static_cast<std::uint32_t>(indices.size()); }
    const QM_MeshFace* Faces() const { return faces.data(); }
    std::uint32_t FaceCount() const { return static_cast<std::uint32_t>(faces.size()); }

private:
    // Sets every count to 0 and reserves (zero-filled) exactly the given numbers.
    void Reset(std::uint32_t vertexCount, std::uint32_t faceCount, std::uint32_t indexCount);
    // Writes the vertices and quads of one box side (unit axis, sign) or of the plane.
    void AddGrid(const float origin[3], const float across[3], const float up[3], const float normal[3],
                 std::uint32_t cellsAcross, std::uint32_t cellsUp);
    // Fills the index list from the faces (the triangulation above).
    void Triangulate();

    std::vector<QM_MeshVertex> vertices;
    std::vector<std::uint32_t> indices;
    std::vector<QM_MeshFace> faces;
    // Write positions of the generator in progress.
    std::uint32_t vertexCursor = 0;
    std::uint32_t faceCursor = 0;
};
