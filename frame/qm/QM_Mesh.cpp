#include "QM_Mesh.h"

#include "QC_Log.h"

#include <cmath>
#include <cstdint>

namespace {

// Index lists are 32-bit and the draw calls count indices in 32 bits.
constexpr std::uint64_t maxIndexCount = UINT32_MAX;

struct IcosahedronFace
{
    std::uint32_t a, b, c;
};

// Wound so that (b - a) x (c - a) points away from the centre.
constexpr IcosahedronFace icosahedronFaces[20] = {
    {4, 8, 7},  {4, 7, 9},  {5, 6, 11}, {5, 10, 6}, {0, 4, 3},  {0, 3, 5},  {2, 7, 1},
    {2, 1, 6},  {8, 0, 11}, {8, 11, 1}, {9, 10, 3}, {9, 2, 10}, {8, 4, 0},  {11, 0, 5},
    {4, 9, 3},  {5, 3, 10}, {7, 8, 1},  {6, 1, 11}, {7, 2, 9},  {6, 10, 2},
};

} // namespace

QM_Mesh::~QM_Mesh() = default;

void QM_Mesh::Reset(std::uint32_t vertexCount, std::uint32_t faceCount, std::uint32_t indexCount)
{
    vertices.clear();
    faces.clear();
    indices.clear();
    vertices.assign(vertexCount, QM_MeshVertex{});
    faces.assign(faceCount, QM_MeshFace{});
    indices.assign(indexCount, 0u);
    vertexCursor = 0;
    faceCursor = 0;
}

void QM_Mesh::AddGrid(const float origin[3], const float across[3], const float up[3], const float normal[3],
                      std::uint32_t cellsAcross, std::uint32_t cellsUp)
{
    // Row by row from the bottom: vertex (r, c) is base + r * (cellsAcross + 1) + c.
    const std::uint32_t base = vertexCursor;
    const std::uint32_t rowLength = cellsAcross + 1;
    for (std::uint32_t r = 0; r <= cellsUp; ++r) {
        const float t = 2.0f * static_cast<float>(r) / static_cast<float>(cellsUp) - 1.0f;
        for (std::uint32_t c = 0; c <= cellsAcross; ++c) {
            const float s = 2.0f * static_cast<float>(c) / static_cast<float>(cellsAcross) - 1.0f;
            QM_MeshVertex& vertex = vertices[vertexCursor++];
            vertex.x = origin[0] + s * across[0] + t * up[0];
            vertex.y = origin[1] + s * across[1] + t * up[1];
            vertex.z = origin[2] + s * across[2] + t * up[2];
            vertex.w = 1.0f;
            vertex.nx = normal[0];
            vertex.ny = normal[1];
            vertex.nz = normal[2];
            vertex.nw = 1.0f;
            vertex.u = static_cast<float>(c) / static_cast<float>(cellsAcross);
            vertex.v = static_cast<float>(r) / static_cast<float>(cellsUp);
        }
    }
    // One quad per vertex outside the last row and column: second vertex above, fourth to the
    // right, so (second - first) x (fourth - first) is up x across.
    for (std::uint32_t r = 0; r < cellsUp; ++r) {
        for (std::uint32_t c = 0; c < cellsAcross; ++c) {
            const std::uint32_t i = base + r * rowLength + c;
            QM_MeshFace& face = faces[faceCursor++];
            face.vertexCount = 4;
            face.indices[0] = i;
            face.indices[1] = i + rowLength;
            face.indices[2] = i + rowLength + 1;
            face.indices[3] = i + 1;
        }
    }
}

void QM_Mesh::Triangulate()
{
    std::uint32_t* out = indices.data();
    for (const QM_MeshFace& face : faces) {
        const std::uint32_t* v = face.indices;
        if (face.vertexCount == 4) {
            *out++ = v[0];
            *out++ = v[1];
            *out++ = v[3];
            *out++ = v[1];
            *out++ = v[2];
            *out++ = v[3];
        } else {
            *out++ = v[0];
            *out++ = v[1];
            *out++ = v[2];
        }
    }
}

void QM_Mesh::GenerateBox(std::int32_t segments1, std::int32_t segments2, std::int32_t segments3)
{
    if (segments1 < 1 || segments2 < 1 || segments3 < 1) {
        Reset(0, 0, 0);
        QC_ERROR("Box needs at least one segment per side, got %d, %d, %d.", segments1, segments2, segments3);
        return;
    }
    const std::uint64_t s1 = static_cast<std::uint64_t>(segments1);
    const std::uint64_t s2 = static_cast<std::uint64_t>(segments2);
    const std::uint64_t s3 = static_cast<std::uint64_t>(segments3);
    // Each factor is below 2^31, so no product below overflows 64 bits.
    const std::uint64_t faceCount = 2 * ((s3 + s2) * s1 + s2 * s3);
    const std::uint64_t vertexCount = 2 * ((s3 + s2 + 2) * (s1 + 1) + (s2 + 1) * (s3 + 1));
    if (faceCount * 6 > maxIndexCount) {
        Reset(0, 0, 0);
        QC_ERROR("Box of %d x %d x %d segments is too large.", segments1, segments2, segments3);
        return;
    }
    Reset(static_cast<std::uint32_t>(vertexCount), static_cast<std::uint32_t>(faceCount),
          static_cast<std::uint32_t>(faceCount * 6));

    // Sign -1 first, then +1; within a sign the z, y and x sides. For unit axis a and sign s:
    // normal s*a, across s*(ay, az, ax), up (az, ax, ay).
    static const float axes[3][3] = {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}};
    const std::uint32_t cells[3][2] = {
        {static_cast<std::uint32_t>(s1), static_cast<std::uint32_t>(s2)}, // z: across y, up x
        {static_cast<std::uint32_t>(s2), static_cast<std::uint32_t>(s3)}, // y: across x, up z
        {static_cast<std::uint32_t>(s3), static_cast<std::uint32_t>(s1)}, // x: across z, up y
    };
    for (float sign : {-1.0f, 1.0f}) {
        for (int side = 0; side < 3; ++side) {
            const float* a = axes[side];
            const float normal[3] = {sign * a[0], sign * a[1], sign * a[2]};
            const float across[3] = {sign * a[1], sign * a[2], sign * a[0]};
            const float up[3] = {a[2], a[0], a[1]};
            AddGrid(normal, across, up, normal, cells[side][0], cells[side][1]);
        }
    }
    QC_ASSERT(vertexCursor == vertices.size() && faceCursor == faces.size(), "Box counts disagree.");
    Triangulate();
}

void QM_Mesh::GeneratePlane(std::int32_t columns, std::int32_t rows)
{
    if (columns < 1 || rows < 1) {
        Reset(0, 0, 0);
        QC_ERROR("Plane needs at least one column and one row, got %d x %d.", columns, rows);
        return;
    }
    const std::uint64_t faceCount = static_cast<std::uint64_t>(columns) * static_cast<std::uint64_t>(rows);
    const std::uint64_t vertexCount =
        (static_cast<std::uint64_t>(columns) + 1) * (static_cast<std::uint64_t>(rows) + 1);
    if (faceCount * 6 > maxIndexCount) {
        Reset(0, 0, 0);
        QC_ERROR("Plane of %d x %d cells is too large.", columns, rows);
        return;
    }
    Reset(static_cast<std::uint32_t>(vertexCount), static_cast<std::uint32_t>(faceCount),
          static_cast<std::uint32_t>(faceCount * 6));
    static const float origin[3] = {0, 0, 0};
    static const float across[3] = {1, 0, 0};
    static const float up[3] = {0, 1, 0};
    static const float normal[3] = {0, 0, 1};
    // up x across is -z here: the opposite sense to the box's sides.
    AddGrid(origin, across, up, normal, static_cast<std::uint32_t>(columns), static_cast<std::uint32_t>(rows));
    Triangulate();
}

void QM_Mesh::GenerateIcosahedron()
{
    Reset(12, 20, 60);
    const double g = (std::sqrt(5.0) + 1.0) / 2.0;
    const float h = static_cast<float>(1.0 / std::sqrt(g * g + 1.0));
    const float l = static_cast<float>(g / std::sqrt(g * g + 1.0));
    const float positions[12][3] = {
        {l, h, 0},  {-l, h, 0},  {-l, -h, 0}, {l, -h, 0}, {h, 0, l},  {h, 0, -l},
        {-h, 0, -l}, {-h, 0, l}, {0, l, h},   {0, -l, h}, {0, -l, -h}, {0, l, -h},
    };
    for (std::uint32_t i = 0; i < 12; ++i) {
        QM_MeshVertex& vertex = vertices[i];
        vertex.x = positions[i][0];
        vertex.y = positions[i][1];
        vertex.z = positions[i][2];
        vertex.w = 1.0f;
        // The normals stay 0; texture coordinates are the position's x and y.
        vertex.u = vertex.x;
        vertex.v = vertex.y;
    }
    for (std::uint32_t i = 0; i < 20; ++i) {
        faces[i].vertexCount = 3;
        faces[i].indices[0] = icosahedronFaces[i].a;
        faces[i].indices[1] = icosahedronFaces[i].b;
        faces[i].indices[2] = icosahedronFaces[i].c;
    }
    Triangulate();
}
