#pragma once
// The one animated solid of the intro: an open tube of 50 rings of 21
// vertices (the seam column is duplicated so that it can carry its own
// texture coordinates), stitched into 980 quads. The scene reshapes it from
// three phases at every main step and draws it seven times per frame.
//
// Coordinates are object-space floats: z runs along the tube, x and y across
// it. Angles inside the mesh are radians.
//
// Numbering: vertex (r, j), ring r 0..49 and column j 0..20, is r * 21 + j;
// column 20 lies at the angle of column 0. Quad (r, j), r 0..48, j 0..19, is
// r * 20 + j, with corners (r, j), (r, j + 1), (r + 1, j + 1), (r + 1, j):
// counter-clockwise seen from outside, so face normals point outwards.
//
// The nine operations are virtual, in a fixed slot order (the order of
// declaration below). The constructor runs its steps directly; Deform runs
// ComputeFaceNormals, ComputeVertexNormals and CenterMesh through the table,
// so a derived mesh (tests) sees those calls. There is no virtual
// destructor: the one instance is deleted as a TubeMesh (DestroyTube).
//
// Everything except Draw is pure arithmetic on the arrays and needs no
// OpenGL context; nothing allocates after construction.

#include <cstdint>
#include <memory>

#include "scene/vector3.h"

namespace scene {

// The quads that shade one vertex, in the order their normals are summed.
struct VertexAdjacency {
    std::uint8_t count = 0;               // entries in use, 0..4
    std::int32_t quads[4] = {0, 0, 0, 0};  // quad indices
};

struct TexCoord {
    float s = 0.0f;  // around the tube, 0..4 (the texture repeats 4 times)
    float t = 0.0f;  // along the tube, 0..9.8
};

class TubeMesh {
public:
    // 20 segments, 50 rings, radius 4, length 40: a straight circular tube
    // centred on the origin, shaded and ready to draw.
    TubeMesh();
    ~TubeMesh();  // releases the arrays: indices, positions, vertex normals, face normals, adjacency, texture coordinates
    TubeMesh(const TubeMesh&) = delete;
    TubeMesh& operator=(const TubeMesh&) = delete;

    // Slot 0: circles of `radius` along z from 0 to 39.2 (before centring).
    virtual void BuildRings();
    // Slot 1: the corner indices of every quad.
    virtual void BuildQuads();
    // Slot 2: every ring becomes an ellipse shaped by the phases b and c
    // (radians; a is accepted and has no effect), then face normals, vertex
    // normals and centring, through the table.
    virtual void Deform(float a, float b, float c);
    // Slot 3: (s, t) = (j, r) * 0.2, by repeated addition.
    virtual void BuildTexCoords();
    // Slot 4: the unit normal of each quad from its first three corners.
    virtual void ComputeFaceNormals();
    // Slot 5: each vertex's normal, normalised after every added face (a
    // running normalisation, not an average: later entries weigh more).
    virtual void ComputeVertexNormals();
    // Slot 6: the quads around each vertex, plus the links across the seam.
    virtual void BuildAdjacency();
    // Slot 7: moves the bounding box's centre to the origin.
    virtual void CenterMesh();
    // Slot 8: all quads as one GL_QUADS primitive with normal, texture
    // coordinate and position per corner. Uses the current GL state
    // (texture, blending, texture generation, matrices are the caller's).
    virtual void Draw();

    // Fields, in this order.
    std::int32_t quadCount;                          // 980 = (rings - 1) * segments
    std::int32_t vertexCount;                        // 1050 = rings * (segments + 1)
    std::int32_t segments;                           // 20 quads around
    std::int32_t rings;                              // 50 rings along
    float radius;                                    // 4.0, object units
    float length;                                    // 40.0, object units
    std::unique_ptr<std::int32_t[]> quadIndices;     // quadCount * 4 vertex indices
    std::unique_ptr<Vector3[]> positions;            // vertexCount, object units
    std::unique_ptr<Vector3[]> faceNormals;          // quadCount, unit or (0, 0, 0)
    std::unique_ptr<Vector3[]> vertexNormals;        // vertexCount, unit or (0, 0, 0)
    std::unique_ptr<TexCoord[]> texCoords;           // vertexCount
    std::unique_ptr<VertexAdjacency[]> adjacency;    // vertexCount

    int VertexIndex(int ring, int column) const { return ring * (segments + 1) + column; }
    int QuadIndex(int ring, int column) const { return ring * segments + column; }
};

// The one instance: created by the frame loop at start-up, deformed and
// drawn by the scene, destroyed at shutdown.
extern TubeMesh* tube;

// Deletes the instance (if any) and empties the pointer.
void DestroyTube();

}  // namespace scene
