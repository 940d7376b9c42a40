#include "support/MeshesTestLog.h"
#include "QM_Mesh.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace {

using Vec3 = std::array<float, 3>;

Vec3 Position(const QM_Mesh& mesh, std::uint32_t index)
{
    const QM_MeshVertex& v = mesh.Vertices()[index];
    return {v.x, v.y, v.z};
}

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

Vec3 Cross(const Vec3& a, const Vec3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

float Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

float Length(const Vec3& a) { return std::sqrt(Dot(a, a)); }

// The index list a quad or triangle face list must give: (a, b, d), (b, c, d) per quad.
std::vector<std::uint32_t> ExpectedIndices(const QM_Mesh& mesh)
{
    std::vector<std::uint32_t> out;
    for (std::uint32_t f = 0; f < mesh.FaceCount(); ++f) {
        const QM_MeshFace& face = mesh.Faces()[f];
        if (face.vertexCount == 4)
            out.insert(out.end(), {face.indices[0], face.indices[1], face.indices[3], face.indices[1],
                                   face.indices[2], face.indices[3]});
        else
            out.insert(out.end(), {face.indices[0], face.indices[1], face.indices[2]});
    }
    return out;
}

std::vector<std::uint32_t> Indices(const QM_Mesh& mesh)
{
    return std::vector<std::uint32_t>(mesh.Indices(), mesh.Indices() + mesh.IndexCount());
}

void ExpectCounts(const QM_Mesh& mesh, std::uint32_t vertices, std::uint32_t faces, std::uint32_t indices)
{
    EXPECT_EQ(mesh.VertexCount(), vertices);
    EXPECT_EQ(mesh.FaceCount(), faces);
    EXPECT_EQ(mesh.IndexCount(), indices);
}

} // namespace

TEST(QM_MeshTest, BoxCountsAndFirstVertex)
{
    MeshesLog log;
    QC_Ptr<QM_Mesh> mesh(new QM_Mesh);
    mesh->GenerateBox(1, 1, 1);
    ExpectCounts(*mesh, 24, 6, 36);
    const QM_MeshVertex& first = mesh->Vertices()[0];
    EXPECT_EQ(first.x, -1.0f);
    EXPECT_EQ(first.y, 1.0f);
    EXPECT_EQ(first.z, -1.0f);
    EXPECT_EQ(first.w, 1.0f);
    EXPECT_EQ(first.nx, 0.0f);
    EXPECT_EQ(first.ny, 0.0f);
    EXPECT_EQ(first.nz, -1.0f);
    EXPECT_EQ(first.nw, 1.0f);
    EXPECT_EQ(first.u, 0.0f);
    EXPECT_EQ(first.v, 0.0f);
    EXPECT_EQ(Indices(*mesh), ExpectedIndices(*mesh));
    // The first quad of the -z side: {0, 2, 3, 1}, so the indices start 0, 2, 1, 2, 3, 1.
    const std::vector<std::uint32_t> head(mesh->Indices(), mesh->Indices() + 6);
    EXPECT_EQ(head, (std::vector<std::uint32_t>{0, 2, 1, 2, 3, 1}));

    mesh->GenerateBox(10, 10, 10);
    ExpectCounts(*mesh, 726, 600, 3600);
    mesh->GenerateBox(20, 20, 20);
    ExpectCounts(*mesh, 2646, 2400, 14400);
    // Uneven segments: 2 * ((s3 + s2 + 2)(s1 + 1) + (s2 + 1)(s3 + 1)) vertices.
    mesh->GenerateBox(2, 3, 4);
    ExpectCounts(*mesh, 2 * (9 * 3 + 4 * 5), 2 * (7 * 2 + 12), 6 * 2 * (7 * 2 + 12));
    EXPECT_TRUE(log.TakeErrors().empty());
}

TEST(QM_MeshTest, BoxSidesAreFlatGridsWoundAlongTheirNormals)
{
    MeshesLog log;
    QC_Ptr<QM_Mesh> mesh(new QM_Mesh);
    const std::int32_t s1 = 2, s2 = 3, s3 = 4;
    mesh->GenerateBox(s1, s2, s3);
    ASSERT_EQ(mesh->IndexCount(), mesh->FaceCount() * 6);
    EXPECT_EQ(Indices(*mesh), ExpectedIndices(*mesh));

    // Sides in order -z, -y, -x, +z, +y, +x with (cells across, cells up) per side.
    const Vec3 normals[6] = {{0, 0, -1}, {0, -1, 0}, {-1, 0, 0}, {0, 0, 1}, {0, 1, 0}, {1, 0, 0}};
    const int cells[6][2] = {{s1, s2}, {s2, s3}, {s3, s1}, {s1, s2}, {s2, s3}, {s3, s1}};
    std::uint32_t vertex = 0, face = 0;
    for (int side = 0; side < 6; ++side) {
        const Vec3& n = normals[side];
        const int across = cells[side][0], up = cells[side][1];
        const std::uint32_t firstVertex = vertex;
        std::set<float> coordinates[3];
        for (int i = 0; i < (across + 1) * (up + 1); ++i, ++vertex) {
            const QM_MeshVertex& v = mesh->Vertices()[vertex];
            const Vec3 p = {v.x, v.y, v.z};
            EXPECT_FLOAT_EQ(Dot(p, n), 1.0f) << "side " << side << " vertex " << vertex;
            EXPECT_EQ(v.nx, n[0]);
            EXPECT_EQ(v.ny, n[1]);
            EXPECT_EQ(v.nz, n[2]);
            EXPECT_EQ(v.nw, 1.0f);
            EXPECT_EQ(v.w, 1.0f);
            // Texture coordinates (c / across, r / up) in row order.
            EXPECT_FLOAT_EQ(v.u, float(i % (across + 1)) / across);
            EXPECT_FLOAT_EQ(v.v, float(i / (across + 1)) / up);
            for (int axis = 0; axis < 3; ++axis)
                coordinates[axis].insert(p[axis]);
        }
        // s1 cells along y, s2 along x, s3 along z: count distinct coordinates per axis.
        const int expectedAlong[3] = {s2 + 1, s1 + 1, s3 + 1};
        for (int axis = 0; axis < 3; ++axis) {
            if (n[axis] == 0) {
                EXPECT_EQ(int(coordinates[axis].size()), expectedAlong[axis]) << "side " << side << " axis " << axis;
            }
        }
        for (int q = 0; q < across * up; ++q, ++face) {
            const QM_MeshFace& quad = mesh->Faces()[face];
            ASSERT_EQ(quad.vertexCount, 4u);
            for (std::uint32_t corner : quad.indices) {
                EXPECT_GE(corner, firstVertex);
                EXPECT_LT(corner, vertex);
            }
            const Vec3 a = Position(*mesh, quad.indices[0]);
            const Vec3 sense = Cross(Sub(Position(*mesh, quad.indices[1]), a), Sub(Position(*mesh, quad.indices[3]), a));
            EXPECT_GT(Dot(sense, n), 0.0f) << "side " << side << " quad " << q;
            EXPECT_NEAR(Length(Cross(sense, n)), 0.0f, 1e-6f) << "side " << side << " quad " << q;
            // Both triangles keep the quad's sense.
            const std::uint32_t* tri = mesh->Indices() + face * 6;
            for (int t = 0; t < 2; ++t) {
                const Vec3 p0 = Position(*mesh, tri[t * 3]);
                const Vec3 c = Cross(Sub(Position(*mesh, tri[t * 3 + 1]), p0), Sub(Position(*mesh, tri[t * 3 + 2]), p0));
                EXPECT_GT(Dot(c, n), 0.0f);
            }
        }
    }
    EXPECT_EQ(vertex, mesh->VertexCount());
    EXPECT_EQ(face, mesh->FaceCount());
}

TEST(QM_MeshTest, PlaneGridCountsLastVertexAndDownwardSense)
{
    MeshesLog log;
    QC_Ptr<QM_Mesh> mesh(new QM_Mesh);
    mesh->GeneratePlane(100, 100);
    ExpectCounts(*mesh, 10201, 10000, 60000);
    const QM_MeshVertex& first = mesh->Vertices()[0];
    EXPECT_EQ(first.x, -1.0f);
    EXPECT_EQ(first.y, -1.0f);
    const QM_MeshVertex& last = mesh->Vertices()[10200];
    EXPECT_EQ(last.x, 1.0f);
    EXPECT_EQ(last.y, 1.0f);
    EXPECT_EQ(last.z, 0.0f);
    EXPECT_EQ(last.w, 1.0f);
    EXPECT_EQ(last.u, 1.0f);
    EXPECT_EQ(last.v, 1.0f);
    EXPECT_EQ(Indices(*mesh), ExpectedIndices(*mesh));
    for (std::uint32_t i = 0; i < mesh->VertexCount(); ++i) {
        const QM_MeshVertex& v = mesh->Vertices()[i];
        ASSERT_EQ(v.nz, 1.0f);
        ASSERT_EQ(v.nw, 1.0f);
        ASSERT_EQ(v.z, 0.0f);
    }
    // Quads: second vertex above the first, fourth to its right, so the sense is -z.
    for (std::uint32_t f = 0; f < mesh->FaceCount(); ++f) {
        const QM_MeshFace& quad = mesh->Faces()[f];
        const Vec3 a = Position(*mesh, quad.indices[0]);
        const Vec3 up = Sub(Position(*mesh, quad.indices[1]), a);
        const Vec3 right = Sub(Position(*mesh, quad.indices[3]), a);
        ASSERT_GT(up[1], 0.0f);
        ASSERT_GT(right[0], 0.0f);
        ASSERT_LT(Cross(up, right)[2], 0.0f) << "quad " << f;
    }

    // Uneven grid: (c / columns, r / rows) texture coordinates, row by row.
    mesh->GeneratePlane(4, 2);
    ExpectCounts(*mesh, 15, 8, 48);
    const QM_MeshVertex& v = mesh->Vertices()[5 + 3]; // row 1, column 3
    EXPECT_FLOAT_EQ(v.x, 0.5f);
    EXPECT_FLOAT_EQ(v.y, 0.0f);
    EXPECT_FLOAT_EQ(v.u, 0.75f);
    EXPECT_FLOAT_EQ(v.v, 0.5f);
    EXPECT_TRUE(log.TakeErrors().empty());
}

TEST(QM_MeshTest, IcosahedronVerticesOnUnitSphereAndFacesOutward)
{
    MeshesLog log;
    QC_Ptr<QM_Mesh> mesh(new QM_Mesh);
    mesh->GenerateIcosahedron();
    ExpectCounts(*mesh, 12, 20, 60);
    EXPECT_NEAR(mesh->Vertices()[0].x, 0.850651f, 1e-6f);
    EXPECT_NEAR(mesh->Vertices()[0].y, 0.525731f, 1e-6f);
    EXPECT_NEAR(mesh->Vertices()[11].y, 0.850651f, 1e-6f);
    EXPECT_NEAR(mesh->Vertices()[11].z, -0.525731f, 1e-6f);
    for (std::uint32_t i = 0; i < 12; ++i) {
        const QM_MeshVertex& v = mesh->Vertices()[i];
        EXPECT_NEAR(Length(Position(*mesh, i)), 1.0f, 1e-6f) << "vertex " << i;
        EXPECT_EQ(v.w, 1.0f);
        EXPECT_EQ(v.nx, 0.0f);
        EXPECT_EQ(v.ny, 0.0f);
        EXPECT_EQ(v.nz, 0.0f);
        EXPECT_EQ(v.nw, 0.0f);
        EXPECT_EQ(v.u, v.x);
        EXPECT_EQ(v.v, v.y);
    }
    std::set<std::pair<std::uint32_t, std::uint32_t>> edges;
    for (std::uint32_t f = 0; f < 20; ++f) {
        const QM_MeshFace& face = mesh->Faces()[f];
        ASSERT_EQ(face.vertexCount, 3u);
        const Vec3 a = Position(*mesh, face.indices[0]);
        const Vec3 b = Position(*mesh, face.indices[1]);
        const Vec3 c = Position(*mesh, face.indices[2]);
        const Vec3 centre = {(a[0] + b[0] + c[0]) / 3, (a[1] + b[1] + c[1]) / 3, (a[2] + b[2] + c[2]) / 3};
        EXPECT_GT(Dot(Cross(Sub(b, a), Sub(c, a)), centre), 0.0f) << "face " << f;
        // A closed, consistently wound surface uses each directed edge exactly once.
        for (int e = 0; e < 3; ++e)
            EXPECT_TRUE(edges.insert({face.indices[e], face.indices[(e + 1) % 3]}).second) << "face " << f;
    }
    EXPECT_EQ(edges.size(), 60u);
    EXPECT_EQ(Indices(*mesh), ExpectedIndices(*mesh));
    EXPECT_EQ(Indices(*mesh)[0], 4u);
    EXPECT_EQ(Indices(*mesh)[59], 2u);
}

TEST(QM_MeshTest, SecondGeneratorCallLeavesOnlyTheSecondShape)
{
    MeshesLog log;
    QC_Ptr<QM_Mesh> reference(new QM_Mesh);
    reference->GenerateIcosahedron();

    QC_Ptr<QM_Mesh> mesh(new QM_Mesh);
    mesh->GenerateBox(10, 10, 10);
    mesh->GenerateIcosahedron();
    ExpectCounts(*mesh, 12, 20, 60);
    EXPECT_EQ(Indices(*mesh), Indices(*reference));
    for (std::uint32_t i = 0; i < 12; ++i)
        EXPECT_EQ(Position(*mesh, i), Position(*reference, i));

    mesh->GeneratePlane(100, 100);
    mesh->GenerateBox(1, 1, 1);
    ExpectCounts(*mesh, 24, 6, 36);
    for (std::uint32_t index : Indices(*mesh))
        EXPECT_LT(index, 24u);

    mesh->GeneratePlane(1, 1);
    ExpectCounts(*mesh, 4, 1, 6);
    EXPECT_EQ(Indices(*mesh), (std::vector<std::uint32_t>{0, 2, 1, 2, 3, 1}));
    EXPECT_TRUE(log.TakeErrors().empty());
}

TEST(QM_MeshTest, ShapesWithoutCellsOrTooManyIndicesAreRefusedAndLeaveTheMeshEmpty)
{
    MeshesLog log;
    QC_Ptr<QM_Mesh> mesh(new QM_Mesh);
    mesh->GenerateBox(1, 1, 1);
    mesh->GenerateBox(0, 1, 1);
    ExpectCounts(*mesh, 0, 0, 0);
    EXPECT_EQ(log.TakeErrors(), std::vector<std::string>{"Box needs at least one segment per side, got 0, 1, 1."});

    mesh->GeneratePlane(3, 3);
    mesh->GeneratePlane(-1, 5);
    ExpectCounts(*mesh, 0, 0, 0);
    EXPECT_EQ(log.TakeErrors(), std::vector<std::string>{"Plane needs at least one column and one row, got -1 x 5."});

    mesh->GenerateBox(100000, 100000, 100000);
    ExpectCounts(*mesh, 0, 0, 0);
    EXPECT_EQ(log.TakeErrors(), std::vector<std::string>{"Box of 100000 x 100000 x 100000 segments is too large."});
    mesh->GeneratePlane(70000, 70000);
    ExpectCounts(*mesh, 0, 0, 0);
    EXPECT_EQ(log.TakeErrors(), std::vector<std::string>{"Plane of 70000 x 70000 cells is too large."});

    // The mesh is usable again afterwards.
    mesh->GenerateBox(1, 1, 1);
    ExpectCounts(*mesh, 24, 6, 36);
}
