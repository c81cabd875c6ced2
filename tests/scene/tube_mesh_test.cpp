// The tube mesh without OpenGL: its geometry, shading and adjacency.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "scene/tube_mesh.h"

namespace {

using scene::TubeMesh;
using scene::Vector3;

float Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// FNV-1a over raw bytes: pins whole arrays the way the texture scripts are pinned.
std::uint64_t Fnv(const void* bytes, std::size_t size, std::uint64_t hash = 14695981039346656037ull) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ p[i]) * 1099511628211ull;
    return hash;
}

std::uint64_t ShapeChecksum(const TubeMesh& mesh) {
    const auto vertices = static_cast<std::size_t>(mesh.vertexCount);
    const auto quads = static_cast<std::size_t>(mesh.quadCount);
    std::uint64_t h = Fnv(mesh.positions.get(), vertices * sizeof(Vector3));
    h = Fnv(mesh.faceNormals.get(), quads * sizeof(Vector3), h);
    return Fnv(mesh.vertexNormals.get(), vertices * sizeof(Vector3), h);
}

std::vector<std::int32_t> Quads(const TubeMesh& mesh, int ring, int column) {
    const scene::VertexAdjacency& a = mesh.adjacency[mesh.VertexIndex(ring, column)];
    return {a.quads, a.quads + a.count};
}

// Records the operations Deform reaches through the table; centring can be
// held back to see the rings as Deform lays them out.
class RecordingMesh : public TubeMesh {
public:
    void ComputeFaceNormals() override {
        calls += "F";
        TubeMesh::ComputeFaceNormals();
    }
    void ComputeVertexNormals() override {
        calls += "V";
        TubeMesh::ComputeVertexNormals();
    }
    void CenterMesh() override {
        calls += "C";
        if (centre) TubeMesh::CenterMesh();
    }
    std::string calls;
    bool centre = true;
};

TEST(TubeMesh, ConstructionGivesAStraightCentredShadedTube) {
    const TubeMesh mesh;
    EXPECT_EQ(mesh.quadCount, 980);
    EXPECT_EQ(mesh.vertexCount, 1050);
    EXPECT_EQ(mesh.segments, 20);
    EXPECT_EQ(mesh.rings, 50);
    const float cos9 = std::cos(9.0f * std::numbers::pi_v<float> / 180.0f);
    float worst = 1.0f;
    for (int r = 0; r < 50; ++r) {
        const float z = mesh.positions[mesh.VertexIndex(r, 0)].z;
        EXPECT_NEAR(z, -19.6f + 0.8f * static_cast<float>(r), 2e-5f) << r;
        for (int j = 0; j <= 20; ++j) {
            const Vector3& p = mesh.positions[mesh.VertexIndex(r, j)];
            EXPECT_EQ(p.z, z);
            EXPECT_NEAR(std::hypot(p.x, p.y), 4.0f, 1e-5f) << r << "," << j;
            const Vector3& n = mesh.vertexNormals[mesh.VertexIndex(r, j)];
            EXPECT_NEAR(n.Length(), 1.0f, 1e-5f) << r << "," << j;
            EXPECT_EQ(n.z, 0.0f);
            const Vector3 radial = Vector3{p.x, p.y, 0.0f} * (1.0f / std::hypot(p.x, p.y));
            const float c = Dot(n, radial);
            EXPECT_GE(c, cos9) << r << "," << j;
            worst = std::min(worst, c);
        }
    }
    // The running normalisation really leans: not every normal is radial.
    EXPECT_LT(worst, 0.9999f);
    // Both copies of an inner seam vertex sum the same four quads in another
    // order, and so differ slightly.
    const Vector3& a = mesh.vertexNormals[mesh.VertexIndex(10, 0)];
    const Vector3& b = mesh.vertexNormals[mesh.VertexIndex(10, 20)];
    EXPECT_TRUE(a.x != b.x || a.y != b.y);
    EXPECT_GT(Dot(a, b), std::cos(10.0f * std::numbers::pi_v<float> / 180.0f));
}

TEST(TubeMesh, QuadsAdjacencyAndTextureCoordinates) {
    const TubeMesh mesh;
    const std::int32_t* q = &mesh.quadIndices[static_cast<std::size_t>(mesh.QuadIndex(3, 19)) * 4];
    EXPECT_EQ(q[0], mesh.VertexIndex(3, 19));
    EXPECT_EQ(q[1], mesh.VertexIndex(3, 20));
    EXPECT_EQ(q[2], mesh.VertexIndex(4, 20));
    EXPECT_EQ(q[3], mesh.VertexIndex(4, 19));

    // The first ring's seam copies share quads 0 and 19; the last ring's
    // copies keep their single quad each.
    EXPECT_EQ(Quads(mesh, 0, 0), (std::vector<std::int32_t>{0, 19}));
    EXPECT_EQ(Quads(mesh, 0, 20), (std::vector<std::int32_t>{19, 0}));
    EXPECT_EQ(Quads(mesh, 49, 0), (std::vector<std::int32_t>{960}));
    EXPECT_EQ(Quads(mesh, 49, 20), (std::vector<std::int32_t>{979}));
    // Inner vertices: the four quads around, in increasing order; inner seam
    // copies: their own two, then their partner's two.
    EXPECT_EQ(Quads(mesh, 5, 7), (std::vector<std::int32_t>{86, 87, 106, 107}));
    EXPECT_EQ(Quads(mesh, 5, 0), (std::vector<std::int32_t>{80, 100, 99, 119}));
    EXPECT_EQ(Quads(mesh, 5, 20), (std::vector<std::int32_t>{99, 119, 80, 100}));
    EXPECT_EQ(Quads(mesh, 0, 5), (std::vector<std::int32_t>{4, 5}));
    for (int v = 0; v < mesh.vertexCount; ++v) EXPECT_GE(mesh.adjacency[v].count, 1);

    const scene::TexCoord& last = mesh.texCoords[mesh.VertexIndex(49, 20)];
    EXPECT_NEAR(last.s, 4.0f, 1e-5f);
    EXPECT_NEAR(last.t, 9.8f, 2e-5f);
    EXPECT_EQ(mesh.texCoords[0].s, 0.0f);
    EXPECT_EQ(mesh.texCoords[0].t, 0.0f);
}

TEST(TubeMesh, DeformAtZeroShapesRingZeroAndRunsItsStepsThroughTheTable) {
    RecordingMesh mesh;
    mesh.centre = false;
    mesh.Deform(0.0f, 0.0f, 0.0f);
    EXPECT_EQ(mesh.calls, "FVC");
    // Ring 0: Rx = Ry = 6, centre (0.5, 0), twist 4, before centring.
    for (int j = 0; j <= 20; ++j) {
        const double theta = 2.0 * std::numbers::pi * j / 20.0 + 4.0;
        const Vector3& p = mesh.positions[mesh.VertexIndex(0, j)];
        EXPECT_NEAR(p.x, 0.5 + 6.0 * std::cos(theta), 1e-5) << j;
        EXPECT_NEAR(p.y, 6.0 * std::sin(theta), 1e-5) << j;
        EXPECT_EQ(p.z, 0.0f);
    }
    EXPECT_NEAR(mesh.positions[mesh.VertexIndex(49, 0)].z, 39.2f, 1e-5f);
}

// The shape depends on the last phases alone (not on phase a, not on an
// earlier Deform): a frame of several steps deforms the tube only once.
TEST(TubeMesh, DeformIgnoresPhaseAAndEarlierShapesAndStaysCentred) {
    TubeMesh one;
    TubeMesh other;
    one.Deform(5.0f, 0.2f, 0.4f);
    one.Deform(0.0f, 1.3f, 2.9f);
    other.Deform(123.0f, 1.3f, 2.9f);
    EXPECT_EQ(ShapeChecksum(one), ShapeChecksum(other));

    float low[3] = {1e9f, 1e9f, 1e9f};
    float high[3] = {-1e9f, -1e9f, -1e9f};
    for (int v = 0; v < one.vertexCount; ++v) {
        const float c[3] = {one.positions[v].x, one.positions[v].y, one.positions[v].z};
        for (int i = 0; i < 3; ++i) {
            low[i] = std::min(low[i], c[i]);
            high[i] = std::max(high[i], c[i]);
        }
        EXPECT_NEAR(one.vertexNormals[v].Length(), 1.0f, 1e-5f);
    }
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(low[i] + high[i], 0.0f, 1e-5f) << i;
    EXPECT_NEAR(low[2], -19.6f, 1e-5f);
    EXPECT_NEAR(high[2], 19.6f, 1e-5f);
}

TEST(TubeMesh, DeformedArraysArePinned) {
    // Positions and both normal arrays after two steps' worth of phases; the
    // arithmetic is exact (no contraction, float where the mesh is float), so
    // any change to the order of operations shows here.
    TubeMesh mesh;
    mesh.Deform(0.0021f, 0.7f, 2.25f);
    mesh.Deform(0.0042f, 0.704f, 2.262f);
    EXPECT_EQ(ShapeChecksum(mesh), 0xd16c8abed5b22f7dull) << std::hex << ShapeChecksum(mesh);
}

}  // namespace
