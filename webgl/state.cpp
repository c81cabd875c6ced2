// The switches, textures and queries of the layer, its errors and its
// context. State changes only update the layer's record: each glEnd takes
// the draw state from it (immediate.cpp), so nothing reaches WebGL here
// except texture data, clears and the viewport.
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>

#include "webgl/backend.h"
#include "webgl/layer.h"

namespace webgl {

Layer& State() {
    static Layer layer;
    return layer;
}

namespace {

std::unordered_set<std::string>& Reported() {
    static std::unordered_set<std::string> entries;
    return entries;
}

const char* ErrorName(GLenum error) {
    switch (error) {
    case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
    case GL_STACK_OVERFLOW: return "GL_STACK_OVERFLOW";
    case GL_STACK_UNDERFLOW: return "GL_STACK_UNDERFLOW";
    default: return "error";
    }
}

bool BlendFactor(GLenum factor) { return factor <= GL_ONE || (factor >= GL_SRC_COLOR && factor <= GL_ONE_MINUS_DST_COLOR); }

bool* Switch(Layer& layer, GLenum capability) {
    switch (capability) {
    case GL_TEXTURE_2D: return &layer.texture2d;
    case GL_DEPTH_TEST: return &layer.depthTest;
    case GL_BLEND: return &layer.blend;
    case GL_TEXTURE_GEN_S: return &layer.texGen[0];
    case GL_TEXTURE_GEN_T: return &layer.texGen[1];
    case GL_POINT_SPRITE_ARB: return &layer.pointSprite;
    default: return nullptr;
    }
}

void SetSwitch(const char* entry, GLenum capability, bool on) {
    if (!Outside(entry)) return;
    Layer& layer = State();
    if (bool* flag = Switch(layer, capability)) {
        *flag = on;
    } else if (capability != GL_LIGHTING || on) {
        // Lighting is off from the start; switching it off again is all the
        // intro does with it.
        Refuse(GL_INVALID_ENUM, entry, capability);
    }
}

TextureRecord& Record(Layer& layer, GLuint name) {
    if (name >= layer.textures.size()) layer.textures.resize(name + 1);
    TextureRecord& record = layer.textures[name];
    record.exists = true;
    return record;
}

// The bound texture for an upload, or 0 (with the error recorded) when the
// call cannot go ahead.
GLuint UploadTarget(const char* entry, GLenum target, GLint level, GLint border, GLsizei width, GLsizei height) {
    Layer& layer = State();
    if (target != GL_TEXTURE_2D) {
        Refuse(GL_INVALID_ENUM, entry, target);
        return 0;
    }
    if (level != 0 || border != 0 || width < 1 || height < 1 || width > layer.maxTextureSize ||
        height > layer.maxTextureSize) {
        Refuse(GL_INVALID_VALUE, entry, static_cast<unsigned>(level != 0 ? level : border != 0 ? border : width));
        return 0;
    }
    if (layer.boundTexture == 0) {
        Refuse(GL_INVALID_OPERATION, entry, 0);  // the default texture object is not kept
        return 0;
    }
    return layer.boundTexture;
}

}  // namespace

void Refuse(GLenum error, const char* entry, unsigned value) {
    Layer& layer = State();
    if (layer.error == GL_NO_ERROR) layer.error = error;
    if (Reported().insert(entry).second) {
        std::fprintf(stderr, "GL layer: %s refused 0x%04X (%s)\n", entry, value, ErrorName(error));
    }
}

bool Outside(const char* entry) {
    if (!State().inside) return true;
    Refuse(GL_INVALID_OPERATION, entry, 0);
    return false;
}

namespace {

// The point parameters of one value; nullptr for any other name.
float* ScalarPointParameter(Layer& layer, GLenum pname) {
    switch (pname) {
    case GL_POINT_SIZE_MIN_ARB: return &layer.pointSizeMin;
    case GL_POINT_SIZE_MAX_ARB: return &layer.pointSizeMax;
    case GL_POINT_FADE_THRESHOLD_SIZE_ARB: return &layer.fadeThreshold;
    default: return nullptr;
    }
}

}  // namespace

void PointParameterf(GLenum pname, GLfloat param) {
    if (!Outside("glPointParameterfARB")) return;
    float* value = ScalarPointParameter(State(), pname);
    if (!value) return Refuse(GL_INVALID_ENUM, "glPointParameterfARB", pname);  // the attenuation takes three
    *value = param;
}

void PointParameterfv(GLenum pname, const GLfloat* params) {
    if (!Outside("glPointParameterfvARB")) return;
    Layer& layer = State();
    if (pname == GL_POINT_DISTANCE_ATTENUATION_ARB) {
        std::memcpy(layer.attenuation, params, sizeof layer.attenuation);
    } else if (float* value = ScalarPointParameter(layer, pname)) {
        *value = params[0];
    } else {
        Refuse(GL_INVALID_ENUM, "glPointParameterfvARB", pname);
    }
}

bool CreateContext(const char* canvasSelector) {
    DestroyContext();
    if (!quandrix_webgl_create(canvasSelector)) return false;
    Layer& layer = State();
    layer = Layer{};
    // A new context starts as GL's does, so its first refusal of each entry
    // point is reported again: a second run on the page would otherwise log
    // nothing for a fault the first run already hit.
    Reported().clear();
    ResetMatrices(layer);
    layer.context = true;
    layer.maxTextureSize = quandrix_webgl_max_texture_size();
    layer.maxPointSize = quandrix_webgl_max_point_size();
    layer.pointSizeMax = layer.maxPointSize;
    return true;
}

void Present() {
    Flush();
    if (State().context) quandrix_webgl_present();
}

void DestroyContext() {
    Layer& layer = State();
    if (!layer.context) return;
    layer.draws.clear();  // nothing left to show them on
    layer.context = false;
    quandrix_webgl_destroy();
}

bool HasContext() { return State().context; }

void* GetProcAddress(const char* name) {
    if (std::strcmp(name, "glPointParameterfARB") == 0) return reinterpret_cast<void*>(&PointParameterf);
    if (std::strcmp(name, "glPointParameterfvARB") == 0) return reinterpret_cast<void*>(&PointParameterfv);
    return nullptr;
}

}  // namespace webgl

using webgl::State;

extern "C" {

void glEnable(GLenum capability) { webgl::SetSwitch("glEnable", capability, true); }

void glDisable(GLenum capability) { webgl::SetSwitch("glDisable", capability, false); }

void glTexGeni(GLenum coord, GLenum pname, GLint param) {
    if (!webgl::Outside("glTexGeni")) return;
    if (coord != GL_S && coord != GL_T) return webgl::Refuse(GL_INVALID_ENUM, "glTexGeni", coord);
    if (pname != GL_TEXTURE_GEN_MODE) return webgl::Refuse(GL_INVALID_ENUM, "glTexGeni", pname);
    if (param != GL_SPHERE_MAP) return webgl::Refuse(GL_INVALID_ENUM, "glTexGeni", static_cast<unsigned>(param));
    State().texGenMode[coord - GL_S] = GL_SPHERE_MAP;
}

void glTexEnvf(GLenum target, GLenum pname, GLfloat param) {
    if (!webgl::Outside("glTexEnvf")) return;
    if (target == GL_POINT_SPRITE_ARB && pname == GL_COORD_REPLACE_ARB) {
        State().coordReplace = param != 0.0f;
    } else if (target != GL_TEXTURE_ENV || pname != GL_TEXTURE_ENV_MODE ||
               param != static_cast<GLfloat>(GL_MODULATE)) {
        webgl::Refuse(GL_INVALID_ENUM, "glTexEnvf", target == GL_TEXTURE_ENV ? pname : target);
    }
}

void glBlendFunc(GLenum sfactor, GLenum dfactor) {
    if (!webgl::Outside("glBlendFunc")) return;
    if (!webgl::BlendFactor(sfactor)) return webgl::Refuse(GL_INVALID_ENUM, "glBlendFunc", sfactor);
    if (!webgl::BlendFactor(dfactor)) return webgl::Refuse(GL_INVALID_ENUM, "glBlendFunc", dfactor);
    State().blendSource = sfactor;
    State().blendDestination = dfactor;
}

void glDepthFunc(GLenum func) {
    if (!webgl::Outside("glDepthFunc")) return;
    if (func < GL_NEVER || func > GL_ALWAYS) return webgl::Refuse(GL_INVALID_ENUM, "glDepthFunc", func);
    State().depthFunc = func;
}

void glShadeModel(GLenum mode) {
    if (!webgl::Outside("glShadeModel")) return;
    if (mode != GL_SMOOTH) webgl::Refuse(GL_INVALID_ENUM, "glShadeModel", mode);
}

void glHint(GLenum, GLenum) { webgl::Outside("glHint"); }

void glPointSize(GLfloat size) {
    if (!webgl::Outside("glPointSize")) return;
    if (!(size > 0.0f)) return webgl::Refuse(GL_INVALID_VALUE, "glPointSize", 0);
    State().pointSize = size;
}

void glClear(GLbitfield mask) {
    if (!webgl::Outside("glClear")) return;
    if ((mask & ~static_cast<GLbitfield>(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT)) != 0) {
        return webgl::Refuse(GL_INVALID_VALUE, "glClear", mask);
    }
    webgl::Flush();
    const webgl::Layer& layer = State();
    if (layer.context) {
        const float* c = layer.clearColour;
        quandrix_webgl_clear(mask, c[0], c[1], c[2], c[3], layer.clearDepth);
    }
}

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
    if (!webgl::Outside("glClearColor")) return;
    float* c = State().clearColour;
    c[0] = red;
    c[1] = green;
    c[2] = blue;
    c[3] = alpha;
}

void glClearDepth(GLclampd depth) {
    if (!webgl::Outside("glClearDepth")) return;
    State().clearDepth = depth;
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (!webgl::Outside("glViewport")) return;
    if (width < 0 || height < 0) return webgl::Refuse(GL_INVALID_VALUE, "glViewport", 0);
    webgl::Flush();
    if (State().context) quandrix_webgl_viewport(x, y, width, height);
}

void glGenTextures(GLsizei n, GLuint* textures) {
    if (!webgl::Outside("glGenTextures")) return;
    if (n < 0) return webgl::Refuse(GL_INVALID_VALUE, "glGenTextures", 0);
    webgl::Layer& layer = State();
    for (GLsizei i = 0; i < n; ++i) {
        while (layer.nextName < layer.textures.size() && layer.textures[layer.nextName].exists) ++layer.nextName;
        textures[i] = layer.nextName;
        webgl::Record(layer, layer.nextName++);
    }
}

void glDeleteTextures(GLsizei n, const GLuint* textures) {
    if (!webgl::Outside("glDeleteTextures")) return;
    if (n < 0) return webgl::Refuse(GL_INVALID_VALUE, "glDeleteTextures", 0);
    webgl::Flush();  // pending draws may still sample them
    webgl::Layer& layer = State();
    for (GLsizei i = 0; i < n; ++i) {
        const GLuint name = textures[i];
        if (name == 0 || name >= layer.textures.size() || !layer.textures[name].exists) continue;
        layer.textures[name] = webgl::TextureRecord{};
        if (layer.boundTexture == name) layer.boundTexture = 0;
        if (layer.context) quandrix_webgl_delete_texture(name);
    }
}

void glBindTexture(GLenum target, GLuint texture) {
    if (!webgl::Outside("glBindTexture")) return;
    if (target != GL_TEXTURE_2D) return webgl::Refuse(GL_INVALID_ENUM, "glBindTexture", target);
    if (texture != 0) webgl::Record(State(), texture);
    State().boundTexture = texture;
}

void glTexParameteri(GLenum target, GLenum pname, GLint param) {
    if (!webgl::Outside("glTexParameteri")) return;
    if (target != GL_TEXTURE_2D) return webgl::Refuse(GL_INVALID_ENUM, "glTexParameteri", target);
    const bool filter = pname == GL_TEXTURE_MIN_FILTER || pname == GL_TEXTURE_MAG_FILTER;
    const bool wrap = pname == GL_TEXTURE_WRAP_S || pname == GL_TEXTURE_WRAP_T;
    const bool valid = (filter && (param == GL_NEAREST || param == GL_LINEAR)) ||
                       (wrap && (param == GL_REPEAT || param == GL_CLAMP_TO_EDGE));
    if (!valid) return webgl::Refuse(GL_INVALID_ENUM, "glTexParameteri", filter || wrap ? param : pname);
    webgl::Layer& layer = State();
    if (layer.boundTexture == 0) return webgl::Refuse(GL_INVALID_OPERATION, "glTexParameteri", 0);
    webgl::Flush();  // the draws so far sampled with the old setting
    if (pname == GL_TEXTURE_MIN_FILTER) webgl::Record(layer, layer.boundTexture).minFilter = param;
    if (layer.context) quandrix_webgl_texture_parameter(layer.boundTexture, pname, param);
}

void glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const GLvoid* pixels) {
    if (!webgl::Outside("glTexImage2D")) return;
    GLenum sized = 0;  // what WebGL 2 takes for this pairing
    if (format == GL_RGB && (internalformat == GL_RGB || internalformat == 3)) sized = GL_RGB;
    if (format == GL_RGB && internalformat == GL_RGB8) sized = GL_RGB8;
    if (format == GL_RGBA && (internalformat == GL_RGBA || internalformat == 4)) sized = GL_RGBA;
    if (format == GL_RGBA && internalformat == GL_RGBA8) sized = GL_RGBA8;
    if (sized == 0 || type != GL_UNSIGNED_BYTE) {
        return webgl::Refuse(GL_INVALID_ENUM, "glTexImage2D",
                             type != GL_UNSIGNED_BYTE ? type : static_cast<unsigned>(internalformat));
    }
    const GLuint name = webgl::UploadTarget("glTexImage2D", target, level, border, width, height);
    if (name == 0) return;
    webgl::Layer& layer = State();
    webgl::Flush();
    const std::uint32_t pixelBytes = format == GL_RGB ? 3 : 4;
    const auto alignment = static_cast<std::uint32_t>(layer.unpackAlignment);
    const std::uint32_t row = static_cast<std::uint32_t>(width) * pixelBytes;
    const std::uint32_t stride = (row + alignment - 1) / alignment * alignment;
    const std::uint32_t bytes = stride * static_cast<std::uint32_t>(height - 1) + row;
    webgl::Record(layer, name).hasImage = true;
    if (layer.context) {
        quandrix_webgl_texture_image(name, sized, width, height, format, layer.unpackAlignment, pixels,
                                     pixels ? bytes : 0);
    }
}

void glPixelStorei(GLenum pname, GLint param) {
    if (!webgl::Outside("glPixelStorei")) return;
    if (pname != GL_UNPACK_ALIGNMENT) return webgl::Refuse(GL_INVALID_ENUM, "glPixelStorei", pname);
    if (param != 1 && param != 2 && param != 4 && param != 8) {
        return webgl::Refuse(GL_INVALID_VALUE, "glPixelStorei", static_cast<unsigned>(param));
    }
    State().unpackAlignment = param;
}

void glReadBuffer(GLenum mode) {
    if (!webgl::Outside("glReadBuffer")) return;
    if (mode != GL_BACK) webgl::Refuse(GL_INVALID_ENUM, "glReadBuffer", mode);
}

void glCopyTexImage2D(GLenum target, GLint level, GLenum internalformat, GLint x, GLint y, GLsizei width,
                      GLsizei height, GLint border) {
    if (!webgl::Outside("glCopyTexImage2D")) return;
    if (internalformat != GL_RGB && internalformat != GL_RGBA) {
        return webgl::Refuse(GL_INVALID_ENUM, "glCopyTexImage2D", internalformat);
    }
    const GLuint name = webgl::UploadTarget("glCopyTexImage2D", target, level, border, width, height);
    if (name == 0) return;
    webgl::Flush();  // the copy reads what has been drawn
    webgl::Layer& layer = State();
    webgl::Record(layer, name).hasImage = true;
    if (layer.context) quandrix_webgl_copy_texture_image(name, internalformat, x, y, width, height);
}

void glGetIntegerv(GLenum pname, GLint* params) {
    if (!webgl::Outside("glGetIntegerv")) return;
    if (pname != GL_MAX_TEXTURE_SIZE) return webgl::Refuse(GL_INVALID_ENUM, "glGetIntegerv", pname);
    params[0] = State().maxTextureSize;
}

void glGetFloatv(GLenum pname, GLfloat* params) {
    if (!webgl::Outside("glGetFloatv")) return;
    webgl::Layer& layer = State();
    switch (pname) {
    case GL_MODELVIEW_MATRIX: std::memcpy(params, layer.modelview.Top(), 16 * sizeof(float)); break;
    case GL_PROJECTION_MATRIX: std::memcpy(params, layer.projection.Top(), 16 * sizeof(float)); break;
    case GL_POINT_SIZE: params[0] = layer.pointSize; break;
    case GL_POINT_SIZE_MIN_ARB: params[0] = layer.pointSizeMin; break;
    case GL_POINT_SIZE_MAX_ARB: params[0] = layer.pointSizeMax; break;
    default: webgl::Refuse(GL_INVALID_ENUM, "glGetFloatv", pname); break;
    }
}

const GLubyte* glGetString(GLenum name) {
    const char* text = nullptr;
    switch (name) {
    case GL_VENDOR: text = "Quandrix"; break;
    case GL_RENDERER: text = "GL 1.1 subset on WebGL 2"; break;
    case GL_VERSION: text = "1.1"; break;
    case GL_EXTENSIONS: text = "GL_ARB_point_parameters GL_ARB_point_sprite"; break;
    default: webgl::Refuse(GL_INVALID_ENUM, "glGetString", name); return nullptr;
    }
    return reinterpret_cast<const GLubyte*>(text);
}

GLenum glGetError() {
    webgl::Layer& layer = State();
    const GLenum error = layer.error;
    layer.error = GL_NO_ERROR;
    return error;
}

}  // extern "C"
