#pragma once
// The layer's state, shared by its three parts: matrices.cpp (the stacks and
// GLU), immediate.cpp (begin/end, vertices, draws) and state.cpp (switches,
// textures, queries, the context). See legacy_gl.h for what it implements.

#include <cstdint>
#include <vector>

#include "webgl/legacy_gl.h"

namespace webgl {

inline constexpr int kModelviewDepth = 32;
inline constexpr int kProjectionDepth = 4;
inline constexpr unsigned kBlendOff = 0xFFFFFFFFu;  // DrawKey's blend factors with blending off
inline constexpr GLenum kLines = 0x0001;             // GL_LINES, what a line strip becomes
inline constexpr GLenum kTriangles = 0x0004;         // GL_TRIANGLES, what quads and strips become

// Matrices are column-major float[16], as in GL.
struct MatrixStack {
    float levels[kModelviewDepth][16];
    int depth = 1;     // levels in use, 1..capacity
    int capacity = 1;  // kModelviewDepth or kProjectionDepth
    float* Top() { return levels[depth - 1]; }
    const float* Top() const { return levels[depth - 1]; }
};

// What one draw call shares; a new draw begins where it changes.
struct DrawKey {
    GLenum mode = GL_POINTS;                  // GL_POINTS, kLines or kTriangles
    GLuint texture = 0;                       // 0: untextured
    bool sprite = false;                      // texture coordinates from the point
    unsigned blendSource = kBlendOff;         // GL factor, kBlendOff with blending off
    unsigned blendDestination = kBlendOff;
    GLenum depthFunc = 0;                     // GL comparison, 0 with the depth test off
    bool full = false;                        // its vertices are FullVertex ones
    float rgba[4] = {};                       // the colour of all its vertices unless full
    bool operator==(const DrawKey&) const = default;
};

// A long begin/end pair of plain vertices hands each vertex over once: the
// corners its quads share, and a pass drawn again over the same mesh with
// the same texture coordinates, come out the same to the byte. Shorter
// pairs are not worth the search.
inline constexpr std::uint32_t kLongPair = 64;  // vertices
struct Run {
    std::uint32_t first = 0;  // into Layer::vertices
    std::uint32_t count = 0;
};

struct Draw {
    DrawKey key;
    std::uint32_t firstIndex = 0;  // into Layer::indices
    std::uint32_t indexCount = 0;
};

// The vertices as the shader reads them (backend.h). Nearly every vertex
// the intro draws is a Vertex: a begin/end pair of lines or triangles in one
// colour, which its draw then carries once. Points, which have a size each,
// and a pair whose colour changes between its vertices are FullVertex ones,
// kept apart: the bytes handed to WebGL a frame are little more than half.
struct Vertex {
    float clip[4];  // clip coordinates
    float st[2];    // texture coordinates
};
static_assert(sizeof(Vertex) == 24, "the shader's vertex layout");

struct FullVertex {
    float clip[4];
    float st[2];
    float rgba[4];    // colour, 0..1
    float pointSize;  // pixels; 1 outside points
};
static_assert(sizeof(FullVertex) == 44, "the shader's full vertex layout");

struct TextureRecord {
    bool exists = false;
    bool hasImage = false;           // level 0 specified
    GLenum minFilter = 0x2702;       // GL_NEAREST_MIPMAP_LINEAR, GL's initial value
};

struct Layer {
    bool context = false;
    GLenum error = GL_NO_ERROR;  // the first unqueried one

    MatrixStack modelview{{}, 1, kModelviewDepth};
    MatrixStack projection{{}, 1, kProjectionDepth};
    GLenum matrixMode = GL_MODELVIEW;
    float mvp[16] = {};      // projection x modelview
    bool mvpStale = true;

    float st[2] = {0.0f, 0.0f};                // current texture coordinate
    float rgba[4] = {1.0f, 1.0f, 1.0f, 1.0f};  // current colour
    float normal[3] = {0.0f, 0.0f, 1.0f};      // current normal

    bool texture2d = false;
    bool depthTest = false;
    bool blend = false;
    bool texGen[2] = {false, false};                  // S, T
    GLenum texGenMode[2] = {0x2400, 0x2400};          // GL_EYE_LINEAR, GL's initial mode (not implemented)
    bool pointSprite = false;
    bool coordReplace = false;
    GLenum blendSource = GL_ONE;
    GLenum blendDestination = GL_ZERO;
    GLenum depthFunc = GL_LESS;

    float pointSize = 1.0f;        // pixels
    float pointSizeMin = 0.0f;     // pixels
    float pointSizeMax = 1.0f;     // pixels; the implementation's largest once a context exists
    float fadeThreshold = 1.0f;    // pixels; kept, no effect
    float attenuation[3] = {1.0f, 0.0f, 0.0f};  // a, b, c

    float clearColour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    double clearDepth = 1.0;
    int unpackAlignment = 4;       // bytes

    std::vector<TextureRecord> textures;  // by GL name
    GLuint boundTexture = 0;
    GLuint nextName = 1;
    int maxTextureSize = 0;        // texels
    float maxPointSize = 1.0f;     // pixels

    bool inside = false;           // between glBegin and glEnd
    GLenum primitive = GL_POINTS;
    bool primitiveFull = false;    // its vertices go to fullVertices
    std::size_t primitiveFirst = 0;  // its first vertex, in the array it fills
    float primitiveRgba[4] = {};   // the colour of its vertices so far, unless full

    // The frame's, not yet drawn. Each draw's indices count in the array of
    // its kind of vertex.
    std::vector<Vertex> vertices;
    std::vector<FullVertex> fullVertices;
    std::vector<std::uint32_t> indices;
    std::vector<std::uint16_t> shortIndices;  // the same, for a flush with fewer than 65,536 of each
    std::vector<Run> runs;                    // the flush's long plain pairs
    std::vector<std::uint32_t> joinTable;     // JoinEqualVertices' hash table and new places
    std::vector<std::uint32_t> joinPlace;
    std::vector<Draw> draws;
};

Layer& State();

// Records `error` for glGetError (the first one stands until it is read);
// the first refusal of each entry point also goes to standard error.
void Refuse(GLenum error, const char* entry, unsigned value);

// True outside glBegin/glEnd; inside, records GL_INVALID_OPERATION for `entry`.
bool Outside(const char* entry);

// Sends the pending draws to WebGL and empties the frame's arrays.
void Flush();

// Back to GL's initial state (the stacks hold one identity each).
void ResetMatrices(Layer& layer);

// The extension entry points, for GetProcAddress.
void PointParameterf(GLenum pname, GLfloat param);
void PointParameterfv(GLenum pname, const GLfloat* params);

}  // namespace webgl
