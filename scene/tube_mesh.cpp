#include "scene/tube_mesh.h"

#include <cmath>
#include <numbers>

#include "gfx/gl.h"

namespace scene {

TubeMesh* tube = nullptr;

namespace {
constexpr double kTwoPi = 2.0 * std::numbers::pi;
}  // namespace

TubeMesh::TubeMesh()
    : quadCount(49 * 20),
      vertexCount(50 * 21),
      segments(20),
      rings(50),
      radius(4.0f),
      length(40.0f),
      quadIndices(new std::int32_t[static_cast<std::size_t>(quadCount) * 4]),
      positions(new Vector3[static_cast<std::size_t>(vertexCount)]),
      faceNormals(new Vector3[static_cast<std::size_t>(quadCount)]),
      vertexNormals(new Vector3[static_cast<std::size_t>(vertexCount)]),
      texCoords(new TexCoord[static_cast<std::size_t>(vertexCount)]),
      adjacency(new VertexAdjacency[static_cast<std::size_t>(vertexCount)]) {
    // Direct calls: the object is not complete yet, and its own steps are
    // what a straight tube needs.
    TubeMesh::BuildRings();
    TubeMesh::CenterMesh();
    TubeMesh::BuildQuads();
    TubeMesh::BuildAdjacency();
    TubeMesh::ComputeFaceNormals();
    TubeMesh::ComputeVertexNormals();
    TubeMesh::BuildTexCoords();
}

TubeMesh::~TubeMesh() {
    quadIndices.reset();
    positions.reset();
    vertexNormals.reset();
    faceNormals.reset();
    adjacency.reset();
    texCoords.reset();
}

void TubeMesh::BuildRings() {
    for (int r = 0; r < rings; ++r) {
        const float z = static_cast<float>(r) * length / static_cast<float>(rings);
        for (int j = 0; j <= segments; ++j) {
            const double angle = kTwoPi * j / segments;
            positions[VertexIndex(r, j)] = {static_cast<float>(radius * std::cos(angle)),
                                            static_cast<float>(radius * std::sin(angle)), z};
        }
    }
}

void TubeMesh::BuildQuads() {
    for (int r = 0; r + 1 < rings; ++r) {
        for (int j = 0; j < segments; ++j) {
            std::int32_t* corners = &quadIndices[static_cast<std::size_t>(QuadIndex(r, j)) * 4];
            corners[0] = VertexIndex(r, j);
            corners[1] = VertexIndex(r, j + 1);
            corners[2] = VertexIndex(r + 1, j + 1);
            corners[3] = VertexIndex(r + 1, j);
        }
    }
}

void TubeMesh::Deform(float /*a: the scene advances it; the shape ignores it*/, float b, float c) {
    // The ring phases accumulate in double: b_r = b + 0.02 r, c_r = c + 0.005 r.
    double ringB = b;
    double ringC = c;
    for (int r = 0; r < rings; ++r) {
        const float z = static_cast<float>(r) * length / static_cast<float>(rings);
        const double twist = 4.0 * std::cos(ringB) + std::sin(ringC);
        const double radiusX = radius + 2.0 * std::cos(kTwoPi * ringC);
        const double radiusY = radius + 2.0 * std::cos(kTwoPi * ringB) + std::sin(kTwoPi * ringB);
        const double centreX = 0.5 * std::cos(kTwoPi * ringB);
        const double centreY = 0.5 * std::sin(kTwoPi * ringB);
        for (int j = 0; j <= segments; ++j) {
            const double theta = kTwoPi * j / segments + twist;
            positions[VertexIndex(r, j)] = {static_cast<float>(centreX + radiusX * std::cos(theta)),
                                            static_cast<float>(centreY + radiusY * std::sin(theta)), z};
        }
        ringB += 0.02;
        ringC += 0.005;
    }
    ComputeFaceNormals();
    ComputeVertexNormals();
    CenterMesh();
}

void TubeMesh::BuildTexCoords() {
    const float step = 4.0f / static_cast<float>(segments);
    float t = 0.0f;
    for (int r = 0; r < rings; ++r) {
        float s = 0.0f;
        for (int j = 0; j <= segments; ++j) {
            texCoords[VertexIndex(r, j)] = {s, t};
            s += step;
        }
        t += step;
    }
}

void TubeMesh::ComputeFaceNormals() {
    for (int q = 0; q < quadCount; ++q) {
        const std::int32_t* corners = &quadIndices[static_cast<std::size_t>(q) * 4];
        const Vector3& p0 = positions[corners[0]];
        const Vector3& p1 = positions[corners[1]];
        const Vector3& p2 = positions[corners[2]];
        Vector3 n = (p2 - p1).Cross(p0 - p1);
        n.Normalise();
        faceNormals[q] = n;
    }
}

void TubeMesh::ComputeVertexNormals() {
    for (int v = 0; v < vertexCount; ++v) {
        const VertexAdjacency& around = adjacency[v];
        if (around.count == 0) {
            vertexNormals[v] = {};
            continue;
        }
        Vector3 n = faceNormals[around.quads[0]];
        for (int k = 1; k < around.count; ++k) {
            n = n + faceNormals[around.quads[k]];
            n.Normalise();
        }
        vertexNormals[v] = n;
    }
}

void TubeMesh::BuildAdjacency() {
    for (int v = 0; v < vertexCount; ++v) {
        VertexAdjacency& around = adjacency[v];
        around = {};
        for (int q = 0; q < quadCount && around.count < 4; ++q) {
            const std::int32_t* corners = &quadIndices[static_cast<std::size_t>(q) * 4];
            if (corners[0] == v || corners[1] == v || corners[2] == v || corners[3] == v) {
                around.quads[around.count++] = q;
            }
        }
    }
    // The two copies of a seam vertex share a place but not their quads: each
    // also takes its partner's, so the seam is shaded as one surface. The last
    // ring gets no links, which leaves a faint seam at that end.
    auto append = [this](int vertex, int quad) {
        VertexAdjacency& around = adjacency[vertex];
        if (around.count < 4) around.quads[around.count++] = quad;
    };
    append(VertexIndex(0, 0), QuadIndex(0, segments - 1));
    append(VertexIndex(0, segments), QuadIndex(0, 0));
    for (int r = 1; r + 1 < rings; ++r) {
        if (adjacency[VertexIndex(r, 0)].count == 2) {
            append(VertexIndex(r, 0), QuadIndex(r - 1, segments - 1));
            append(VertexIndex(r, 0), QuadIndex(r, segments - 1));
        }
        if (adjacency[VertexIndex(r, segments)].count == 2) {
            append(VertexIndex(r, segments), QuadIndex(r - 1, 0));
            append(VertexIndex(r, segments), QuadIndex(r, 0));
        }
    }
}

void TubeMesh::CenterMesh() {
    Vector3 low{50000.0f, 50000.0f, 50000.0f};
    Vector3 high{-50000.0f, -50000.0f, -50000.0f};
    for (int v = 0; v < vertexCount; ++v) {
        const Vector3& p = positions[v];
        if (p.x < low.x) low.x = p.x;
        if (p.y < low.y) low.y = p.y;
        if (p.z < low.z) low.z = p.z;
        if (p.x > high.x) high.x = p.x;
        if (p.y > high.y) high.y = p.y;
        if (p.z > high.z) high.z = p.z;
    }
    const Vector3 offset = -(low + (high - low) * 0.5f);
    for (int v = 0; v < vertexCount; ++v) positions[v] = positions[v] + offset;
}

void TubeMesh::Draw() {
    glBegin(GL_QUADS);
    for (int q = 0; q < quadCount; ++q) {
        const std::int32_t* corners = &quadIndices[static_cast<std::size_t>(q) * 4];
        for (int k = 0; k < 4; ++k) {
            const std::int32_t v = corners[k];
            const Vector3& n = vertexNormals[v];
            const TexCoord& st = texCoords[v];
            const Vector3& p = positions[v];
            glNormal3f(n.x, n.y, n.z);
            glTexCoord2f(st.s, st.t);
            glVertex3f(p.x, p.y, p.z);
        }
    }
    glEnd();
}

void DestroyTube() {
    // Nothing derives from the mesh outside tests, and the one instance is a
    // TubeMesh: deleting it without a virtual destructor is exact.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdelete-non-virtual-dtor"
    delete tube;
#pragma GCC diagnostic pop
    tube = nullptr;
}

}  // namespace scene
