// Immediate mode: each glVertex becomes a finished vertex (clip position,
// texture coordinate, and where it needs them its own colour and point
// size), each glEnd a run of indices into the frame's vertices of its kind,
// joined to the draw before it when their draw state (the colour of a plain
// draw included) is the same. Flush hands the whole frame to WebGL.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "webgl/backend.h"
#include "webgl/layer.h"

namespace webgl {

namespace {

// out = m x (x, y, z, 1)
void Transform(const float m[16], float x, float y, float z, float out[4]) {
    for (int row = 0; row < 4; ++row) out[row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
}

const float* ModelviewProjection(Layer& layer) {
    if (layer.mvpStale) {
        const float* p = layer.projection.Top();
        const float* m = layer.modelview.Top();
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 4; ++column) {
                const float* b = m + column * 4;
                layer.mvp[column * 4 + row] = p[row] * b[0] + p[4 + row] * b[1] + p[8 + row] * b[2] + p[12 + row] * b[3];
            }
        }
        layer.mvpStale = false;
    }
    return layer.mvp;
}

// Sphere mapping: the eye's view direction u reflected about the eye-space
// normal n, r = u - 2 n (n . u), and s, t = r.xy / (2 sqrt(rx^2 + ry^2 +
// (rz + 1)^2)) + 1/2.
void SphereMap(const Layer& layer, const float eye[4], float st[2]) {
    const float length = std::sqrt(eye[0] * eye[0] + eye[1] * eye[1] + eye[2] * eye[2]);
    if (length == 0.0f) return;
    const float u[3] = {eye[0] / length, eye[1] / length, eye[2] / length};
    const float* m = layer.modelview.Top();
    const float* normal = layer.normal;
    float n[3];
    for (int row = 0; row < 3; ++row) n[row] = m[row] * normal[0] + m[4 + row] * normal[1] + m[8 + row] * normal[2];
    const float twice = 2.0f * (n[0] * u[0] + n[1] * u[1] + n[2] * u[2]);
    const float r[3] = {u[0] - n[0] * twice, u[1] - n[1] * twice, u[2] - n[2] * twice};
    const float scale = 2.0f * std::sqrt(r[0] * r[0] + r[1] * r[1] + (r[2] + 1.0f) * (r[2] + 1.0f));
    if (scale == 0.0f) return;
    if (layer.texGen[0] && layer.texGenMode[0] == GL_SPHERE_MAP) st[0] = r[0] / scale + 0.5f;
    if (layer.texGen[1] && layer.texGenMode[1] == GL_SPHERE_MAP) st[1] = r[1] / scale + 0.5f;
}

// The point's size in pixels: size x sqrt(1 / (a + b d + c d^2)) with d the
// eye-space depth, clamped to the set range (the rasteriser then clamps to
// what WebGL draws).
float DerivedPointSize(const Layer& layer, float eyeZ) {
    const float d = std::fabs(eyeZ);
    const float* k = layer.attenuation;
    const float factor = k[0] + k[1] * d + k[2] * d * d;
    float size = layer.pointSize / std::sqrt(std::fabs(factor));
    if (!(size >= layer.pointSizeMin)) size = layer.pointSizeMin;  // NaN too
    if (size > layer.pointSizeMax) size = layer.pointSizeMax;
    return size;
}

bool TextureComplete(const Layer& layer, GLuint name) {
    if (name == 0 || name >= layer.textures.size()) return false;
    const TextureRecord& record = layer.textures[name];
    return record.exists && record.hasImage && (record.minFilter == GL_NEAREST || record.minFilter == GL_LINEAR);
}

DrawKey CurrentKey(const Layer& layer) {
    DrawKey key;
    key.mode = layer.primitive == GL_POINTS       ? GL_POINTS
               : layer.primitive == GL_LINE_STRIP ? kLines
                                                  : kTriangles;
    if (layer.texture2d && TextureComplete(layer, layer.boundTexture)) key.texture = layer.boundTexture;
    key.sprite = key.mode == GL_POINTS && layer.pointSprite && layer.coordReplace;
    if (layer.blend) {
        key.blendSource = layer.blendSource;
        key.blendDestination = layer.blendDestination;
    }
    key.depthFunc = layer.depthTest ? layer.depthFunc : 0;
    return key;
}

// The colour changed between the vertices of a pair: those it has so far
// move to the full vertices, with the colour they were given.
void MakePrimitiveFull(Layer& layer) {
    const std::size_t first = layer.fullVertices.size();
    for (std::size_t i = layer.primitiveFirst; i < layer.vertices.size(); ++i) {
        const Vertex& v = layer.vertices[i];
        FullVertex f;
        std::memcpy(f.clip, v.clip, sizeof f.clip);
        std::memcpy(f.st, v.st, sizeof f.st);
        std::memcpy(f.rgba, layer.primitiveRgba, sizeof f.rgba);
        f.pointSize = 1.0f;
        layer.fullVertices.push_back(f);
    }
    layer.vertices.resize(layer.primitiveFirst);
    layer.primitiveFirst = first;
    layer.primitiveFull = true;
}

void Vertex3(float x, float y, float z) {
    Layer& layer = State();
    if (!layer.inside) return;  // GL leaves a vertex outside begin/end undefined
    float clip[4];
    Transform(ModelviewProjection(layer), x, y, z, clip);
    float st[2] = {layer.st[0], layer.st[1]};
    float pointSize = 1.0f;
    const bool sphere = (layer.texGen[0] && layer.texGenMode[0] == GL_SPHERE_MAP) ||
                        (layer.texGen[1] && layer.texGenMode[1] == GL_SPHERE_MAP);
    const bool point = layer.primitive == GL_POINTS;
    if (sphere || point) {
        float eye[4];
        Transform(layer.modelview.Top(), x, y, z, eye);
        if (sphere) SphereMap(layer, eye, st);
        if (point) pointSize = DerivedPointSize(layer, eye[2]);
    }
    const float* rgba = layer.rgba;
    if (!layer.primitiveFull) {
        float* first = layer.primitiveRgba;
        if (layer.vertices.size() == layer.primitiveFirst) {
            std::copy(rgba, rgba + 4, first);
        } else if (rgba[0] != first[0] || rgba[1] != first[1] || rgba[2] != first[2] || rgba[3] != first[3]) {
            MakePrimitiveFull(layer);
        }
    }
    if (layer.primitiveFull) {
        layer.fullVertices.push_back(
            {{clip[0], clip[1], clip[2], clip[3]}, {st[0], st[1]}, {rgba[0], rgba[1], rgba[2], rgba[3]}, pointSize});
    } else {
        layer.vertices.push_back({{clip[0], clip[1], clip[2], clip[3]}, {st[0], st[1]}});
    }
}

bool SameBytes(const Vertex& a, const Vertex& b) {
    std::uint64_t x[3], y[3];
    std::memcpy(x, &a, sizeof x);
    std::memcpy(y, &b, sizeof y);
    return x[0] == y[0] && x[1] == y[1] && x[2] == y[2];
}
static_assert(sizeof(Vertex) == 3 * sizeof(std::uint64_t));

std::uint32_t Hash(const Vertex& v) {
    std::uint32_t words[6];
    std::memcpy(words, &v, sizeof words);
    std::uint32_t h = 0;
    for (std::uint32_t w : words) h = (h ^ w) * 0x85EBCA6Bu;
    return h ^ (h >> 15);
}

// The pair just ended (its vertices from `first`, its indices from
// `indexStart`) keeps one of each set of vertices that are the same to the
// byte, its indices pointing there: the tube's quads share their corners, a
// quarter of its vertices. Returns how many are left.
std::uint32_t JoinEqualVertices(Layer& layer, std::uint32_t first, std::uint32_t count, std::size_t indexStart) {
    const std::uint32_t mask = std::bit_ceil(2 * count) - 1;
    std::vector<std::uint32_t>& table = layer.joinTable;  // 1 + a kept vertex, 0 free
    std::vector<std::uint32_t>& place = layer.joinPlace;  // each vertex's kept one
    table.assign(mask + 1, 0);
    place.resize(count);
    Vertex* v = layer.vertices.data() + first;
    std::uint32_t kept = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        for (std::uint32_t slot = Hash(v[i]) & mask;; slot = (slot + 1) & mask) {
            if (table[slot] == 0) {
                table[slot] = kept + 1;
                v[kept] = v[i];
                place[i] = kept++;
                break;
            }
            if (SameBytes(v[table[slot] - 1], v[i])) {
                place[i] = table[slot] - 1;
                break;
            }
        }
    }
    for (std::size_t i = indexStart; i < layer.indices.size(); ++i) {
        layer.indices[i] = first + place[layer.indices[i] - first];
    }
    layer.vertices.resize(first + kept);
    return kept;
}

// Then the pair uses an earlier pair's vertices where they are the same:
// the intro's tubes are drawn in seven passes over four different sets of
// vertices.
void ShareVertices(Layer& layer, std::uint32_t first, std::uint32_t count, std::size_t indexStart) {
    const Vertex* ended = layer.vertices.data() + first;
    for (const Run& run : layer.runs) {
        if (run.count != count || std::memcmp(layer.vertices.data() + run.first, ended, count * sizeof(Vertex)) != 0) {
            continue;
        }
        for (std::size_t i = indexStart; i < layer.indices.size(); ++i) layer.indices[i] -= first - run.first;
        layer.vertices.resize(first);
        return;
    }
    layer.runs.push_back(Run{first, count});
}

}  // namespace

void Flush() {
    Layer& layer = State();
    if (layer.context && !layer.draws.empty()) {
        // 16-bit indices where they reach every vertex: a third less to hand
        // over and for the rasteriser to read than 32-bit ones.
        const void* indices = layer.indices.data();
        std::uint32_t indexSize = sizeof(std::uint32_t);
        if (layer.vertices.size() <= 65536 && layer.fullVertices.size() <= 65536) {
            layer.shortIndices.resize(layer.indices.size());
            std::transform(layer.indices.begin(), layer.indices.end(), layer.shortIndices.begin(),
                           [](std::uint32_t i) { return static_cast<std::uint16_t>(i); });
            indices = layer.shortIndices.data();
            indexSize = sizeof(std::uint16_t);
        }
        quandrix_webgl_upload(layer.vertices.data(), static_cast<std::uint32_t>(layer.vertices.size() * sizeof(Vertex)),
                              layer.fullVertices.data(),
                              static_cast<std::uint32_t>(layer.fullVertices.size() * sizeof(FullVertex)), indices,
                              static_cast<std::uint32_t>(layer.indices.size()), indexSize);
        for (const Draw& draw : layer.draws) {
            const DrawKey& k = draw.key;
            quandrix_webgl_draw(k.mode, draw.firstIndex, draw.indexCount, k.texture, k.sprite ? 1 : 0, k.blendSource,
                                k.blendDestination, k.depthFunc, k.full ? 1 : 0, k.rgba[0], k.rgba[1], k.rgba[2],
                                k.rgba[3]);
        }
    }
    layer.vertices.clear();
    layer.fullVertices.clear();
    layer.indices.clear();
    layer.runs.clear();
    layer.draws.clear();
}

}  // namespace webgl

using webgl::State;

extern "C" {

void glBegin(GLenum mode) {
    webgl::Layer& layer = State();
    if (layer.inside) return webgl::Refuse(GL_INVALID_OPERATION, "glBegin", mode);
    if (mode != GL_POINTS && mode != GL_LINE_STRIP && mode != GL_TRIANGLE_STRIP && mode != GL_QUADS) {
        return webgl::Refuse(GL_INVALID_ENUM, "glBegin", mode);
    }
    layer.inside = true;
    layer.primitive = mode;
    layer.primitiveFull = mode == GL_POINTS;
    layer.primitiveFirst = layer.primitiveFull ? layer.fullVertices.size() : layer.vertices.size();
}

void glEnd() {
    webgl::Layer& layer = State();
    if (!layer.inside) return webgl::Refuse(GL_INVALID_OPERATION, "glEnd", 0);
    layer.inside = false;
    const auto first = static_cast<std::uint32_t>(layer.primitiveFirst);
    const std::size_t filled = layer.primitiveFull ? layer.fullVertices.size() : layer.vertices.size();
    auto count = static_cast<std::uint32_t>(filled - layer.primitiveFirst);
    std::vector<std::uint32_t>& out = layer.indices;
    const std::size_t indexStart = out.size();
    switch (layer.primitive) {
    case GL_QUADS:
        count -= count % 4;
        for (std::uint32_t q = first; q < first + count; q += 4) {
            out.insert(out.end(), {q, q + 1, q + 3, q + 1, q + 2, q + 3});
        }
        break;
    case GL_TRIANGLE_STRIP:
        if (count < 3) count = 0;
        for (std::uint32_t i = 0; i + 2 < count; ++i) {
            const std::uint32_t v = first + i;
            // Every second triangle reversed, so all keep the strip's winding.
            if (i % 2 == 0) {
                out.insert(out.end(), {v, v + 1, v + 2});
            } else {
                out.insert(out.end(), {v + 1, v, v + 2});
            }
        }
        break;
    case GL_LINE_STRIP:
        if (count < 2) count = 0;
        for (std::uint32_t i = 0; i + 1 < count; ++i) out.insert(out.end(), {first + i, first + i + 1});
        break;
    default:  // GL_POINTS
        for (std::uint32_t i = 0; i < count; ++i) out.push_back(first + i);
        break;
    }
    // An incomplete last primitive is dropped.
    if (layer.primitiveFull) {
        layer.fullVertices.resize(first + count);
    } else {
        layer.vertices.resize(first + count);
    }
    const auto added = static_cast<std::uint32_t>(out.size() - indexStart);
    if (added == 0) return;
    if (!layer.primitiveFull && count >= webgl::kLongPair) {
        count = webgl::JoinEqualVertices(layer, first, count, indexStart);
        webgl::ShareVertices(layer, first, count, indexStart);
    }
    webgl::DrawKey key = webgl::CurrentKey(layer);
    key.full = layer.primitiveFull;
    if (!key.full) std::memcpy(key.rgba, layer.primitiveRgba, sizeof key.rgba);
    if (!layer.draws.empty() && layer.draws.back().key == key) {
        layer.draws.back().indexCount += added;
    } else {
        layer.draws.push_back(webgl::Draw{key, static_cast<std::uint32_t>(indexStart), added});
    }
}

void glVertex2f(GLfloat x, GLfloat y) { webgl::Vertex3(x, y, 0.0f); }

void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { webgl::Vertex3(x, y, z); }

void glTexCoord2f(GLfloat s, GLfloat t) {
    State().st[0] = s;
    State().st[1] = t;
}

void glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
    float* rgba = State().rgba;
    rgba[0] = red;
    rgba[1] = green;
    rgba[2] = blue;
    rgba[3] = alpha;
}

void glNormal3f(GLfloat nx, GLfloat ny, GLfloat nz) {
    float* normal = State().normal;
    normal[0] = nx;
    normal[1] = ny;
    normal[2] = nz;
}

}  // extern "C"
