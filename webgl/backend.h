#pragma once
// The WebGL 2 calls the layer makes, implemented in JavaScript
// (webgl/backend.js, linked into the module as a library). The layer keeps
// all GL 1.x state; these only move finished data to WebGL. Textures are
// named by the layer's GL names; the JavaScript side keeps the WebGL object
// of each. Pointers and sizes are into the module's memory, in bytes.
//
// The vertex layouts the shader reads (webgl/layer.h):
//   plain, 24 bytes: clip position x, y, z, w (4 floats), texture s, t
//   (2 floats); the colour is the draw's, the point size 1.
//   full, 44 bytes: the same, then colour r, g, b, a (4 floats, 0..1) and
//   point size (1 float, pixels).

#include <cstdint>

extern "C" {

// The context and the program on the canvas (CSS selector); 0 on failure,
// with the reason on the console.
int quandrix_webgl_create(const char* canvasSelector);
void quandrix_webgl_destroy();
// GL_MAX_TEXTURE_SIZE, and the upper end of ALIASED_POINT_SIZE_RANGE.
int quandrix_webgl_max_texture_size();
float quandrix_webgl_max_point_size();

void quandrix_webgl_clear(unsigned mask, float red, float green, float blue, float alpha, double depth);
void quandrix_webgl_viewport(int x, int y, int width, int height);

void quandrix_webgl_delete_texture(unsigned name);
void quandrix_webgl_texture_parameter(unsigned name, unsigned pname, int value);
void quandrix_webgl_texture_image(unsigned name, unsigned internalFormat, int width, int height, unsigned format,
                                  int unpackAlignment, const void* pixels, std::uint32_t bytes);
void quandrix_webgl_copy_texture_image(unsigned name, unsigned internalFormat, int x, int y, int width, int height);

// The frame's plain and full vertices and its indices (indexSize bytes
// each, 2 or 4), then its draws, each a range of the indices. mode:
// GL_POINTS, GL_LINES or GL_TRIANGLES. texture: 0 for an untextured draw.
// sprite: texture coordinates from the point. blendSource and
// blendDestination: GL factors, or both 0xFFFFFFFF with blending off.
// depthFunc: a GL comparison, or 0 with the depth test off. full: its
// indices count in the full vertices; otherwise in the plain ones, and
// red, green, blue, alpha is the colour of all of them.
void quandrix_webgl_upload(const void* vertices, std::uint32_t vertexBytes, const void* fullVertices,
                           std::uint32_t fullVertexBytes, const void* indices, std::uint32_t indexCount,
                           std::uint32_t indexSize);
void quandrix_webgl_draw(unsigned mode, std::uint32_t firstIndex, std::uint32_t indexCount, unsigned texture,
                         int sprite, unsigned blendSource, unsigned blendDestination, unsigned depthFunc, int full,
                         float red, float green, float blue, float alpha);

// The frame is complete: the browser shows it when the frame callback returns.
void quandrix_webgl_present();

}  // extern "C"
