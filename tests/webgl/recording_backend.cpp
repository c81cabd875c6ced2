// The layer's WebGL side for tests: keeps what it is given (recording_backend.h).
#include "tests/webgl/recording_backend.h"

#include <cstring>

Recording recording;

extern "C" {

int quandrix_webgl_create(const char*) { return 1; }
void quandrix_webgl_destroy() {}
int quandrix_webgl_max_texture_size() { return 4096; }
float quandrix_webgl_max_point_size() { return 255.0f; }
void quandrix_webgl_clear(unsigned, float, float, float, float, double) {}
void quandrix_webgl_viewport(int, int, int, int) {}
void quandrix_webgl_delete_texture(unsigned) {}
void quandrix_webgl_texture_parameter(unsigned, unsigned, int) {}
void quandrix_webgl_texture_image(unsigned, unsigned, int, int, unsigned, int, const void*, std::uint32_t) {}
void quandrix_webgl_copy_texture_image(unsigned, unsigned, int, int, int, int) {}
void quandrix_webgl_present() {}

void quandrix_webgl_upload(const void* vertices, std::uint32_t vertexBytes, const void* fullVertices,
                           std::uint32_t fullVertexBytes, const void* indices, std::uint32_t indexCount,
                           std::uint32_t indexSize) {
    // Either kind may be empty, its pointer then null.
    const auto* plain = static_cast<const webgl::Vertex*>(vertices);
    const auto* full = static_cast<const webgl::FullVertex*>(fullVertices);
    recording.vertices.assign(plain, plain + vertexBytes / sizeof(webgl::Vertex));
    recording.fullVertices.assign(full, full + fullVertexBytes / sizeof(webgl::FullVertex));
    recording.indexSize = indexSize;
    recording.indices.resize(indexCount);
    for (std::uint32_t i = 0; i < indexCount; ++i) {
        if (indexSize == 2) {
            std::uint16_t index;
            std::memcpy(&index, static_cast<const char*>(indices) + 2 * i, 2);
            recording.indices[i] = index;
        } else {
            std::memcpy(&recording.indices[i], static_cast<const char*>(indices) + 4 * i, 4);
        }
    }
}

void quandrix_webgl_draw(unsigned mode, std::uint32_t firstIndex, std::uint32_t indexCount, unsigned texture,
                         int sprite, unsigned blendSource, unsigned blendDestination, unsigned depthFunc, int full,
                         float red, float green, float blue, float alpha) {
    recording.draws.push_back({mode, firstIndex, indexCount, texture, sprite != 0, blendSource, blendDestination,
                               depthFunc, full != 0, {red, green, blue, alpha}});
}

}  // extern "C"
