// The matrix stacks and the two GLU projections. The arithmetic is float
// and in the order GL 1.x implementations use (Mesa's, which the native
// build draws with), so that the web frames land on the same pixels:
// rotations about a coordinate axis are built from sin and cos directly,
// gluPerspective is computed in double and rounded once.
#include <cmath>
#include <cstring>
#include <numbers>

#include "webgl/layer.h"

namespace webgl {

namespace {

constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

MatrixStack& Current(Layer& layer) {
    return layer.matrixMode == GL_PROJECTION ? layer.projection : layer.modelview;
}

// top = top x m
void MultiplyCurrent(const float m[16]) {
    Layer& layer = State();
    float* top = Current(layer).Top();
    float product[16];
    for (int row = 0; row < 4; ++row) {
        const float a0 = top[row], a1 = top[4 + row], a2 = top[8 + row], a3 = top[12 + row];
        for (int column = 0; column < 4; ++column) {
            const float* b = m + column * 4;
            product[column * 4 + row] = a0 * b[0] + a1 * b[1] + a2 * b[2] + a3 * b[3];
        }
    }
    std::memcpy(top, product, sizeof product);
    layer.mvpStale = true;
}

}  // namespace

void ResetMatrices(Layer& layer) {
    layer.modelview.depth = 1;
    layer.projection.depth = 1;
    std::memcpy(layer.modelview.Top(), kIdentity, sizeof kIdentity);
    std::memcpy(layer.projection.Top(), kIdentity, sizeof kIdentity);
    layer.matrixMode = GL_MODELVIEW;
    layer.mvpStale = true;
}

}  // namespace webgl

using webgl::State;

extern "C" {

void glMatrixMode(GLenum mode) {
    if (!webgl::Outside("glMatrixMode")) return;
    if (mode != GL_MODELVIEW && mode != GL_PROJECTION) return webgl::Refuse(GL_INVALID_ENUM, "glMatrixMode", mode);
    State().matrixMode = mode;
}

void glLoadIdentity() {
    if (!webgl::Outside("glLoadIdentity")) return;
    webgl::Layer& layer = State();
    std::memcpy(webgl::Current(layer).Top(), webgl::kIdentity, sizeof webgl::kIdentity);
    layer.mvpStale = true;
}

void glPushMatrix() {
    if (!webgl::Outside("glPushMatrix")) return;
    webgl::MatrixStack& stack = webgl::Current(State());
    if (stack.depth >= stack.capacity) return webgl::Refuse(GL_STACK_OVERFLOW, "glPushMatrix", stack.capacity);
    std::memcpy(stack.levels[stack.depth], stack.Top(), sizeof stack.levels[0]);
    ++stack.depth;
}

void glPopMatrix() {
    if (!webgl::Outside("glPopMatrix")) return;
    webgl::MatrixStack& stack = webgl::Current(State());
    if (stack.depth <= 1) return webgl::Refuse(GL_STACK_UNDERFLOW, "glPopMatrix", 1);
    --stack.depth;
    State().mvpStale = true;
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    if (!webgl::Outside("glTranslatef")) return;
    float* m = webgl::Current(State()).Top();
    for (int row = 0; row < 4; ++row) m[12 + row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
    State().mvpStale = true;
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    if (!webgl::Outside("glRotatef")) return;
    if (angle == 0.0f) return;
    const double radians = static_cast<double>(angle) * std::numbers::pi / 180.0;
    float s = std::sin(static_cast<float>(radians));
    const float c = std::cos(static_cast<float>(radians));
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    auto at = [&m](int row, int column) -> float& { return m[column * 4 + row]; };
    // About one coordinate axis: the two sines exactly negated, the cosines
    // exact, and no normalisation of the axis.
    int axis = -1;
    if (x == 0.0f && y == 0.0f && z != 0.0f) axis = 2;
    if (x == 0.0f && y != 0.0f && z == 0.0f) axis = 1;
    if (x != 0.0f && y == 0.0f && z == 0.0f) axis = 0;
    if (axis >= 0) {
        if ((axis == 0 ? x : axis == 1 ? y : z) < 0.0f) s = -s;
        const int a = (axis + 1) % 3;  // the plane the rotation turns, in right-handed order
        const int b = (axis + 2) % 3;
        at(a, a) = c;
        at(b, b) = c;
        at(a, b) = -s;
        at(b, a) = s;
    } else {
        const float length = std::sqrt(x * x + y * y + z * z);
        if (length <= 1.0e-4f) return;
        x /= length;
        y /= length;
        z /= length;
        const float k = 1.0f - c;
        at(0, 0) = k * (x * x) + c;
        at(0, 1) = k * (x * y) - z * s;
        at(0, 2) = k * (z * x) + y * s;
        at(1, 0) = k * (x * y) + z * s;
        at(1, 1) = k * (y * y) + c;
        at(1, 2) = k * (y * z) - x * s;
        at(2, 0) = k * (z * x) - y * s;
        at(2, 1) = k * (y * z) + x * s;
        at(2, 2) = k * (z * z) + c;
    }
    webgl::MultiplyCurrent(m);
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    if (!webgl::Outside("gluPerspective")) return;
    const double radians = fovy / 2.0 * std::numbers::pi / 180.0;
    const double deltaZ = zFar - zNear;
    const double sine = std::sin(radians);
    // GLU leaves the matrix alone where the projection would divide by zero.
    if (deltaZ == 0.0 || sine == 0.0 || aspect == 0.0) return;
    const double cotangent = std::cos(radians) / sine;
    float m[16] = {};
    m[0] = static_cast<float>(cotangent / aspect);
    m[5] = static_cast<float>(cotangent);
    m[10] = static_cast<float>(-(zFar + zNear) / deltaZ);
    m[11] = -1.0f;
    m[14] = static_cast<float>(-2.0 * zNear * zFar / deltaZ);
    webgl::MultiplyCurrent(m);
}

void gluOrtho2D(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top) {
    if (!webgl::Outside("gluOrtho2D")) return;
    const auto l = static_cast<float>(left), r = static_cast<float>(right);
    const auto b = static_cast<float>(bottom), t = static_cast<float>(top);
    if (l == r || b == t) return webgl::Refuse(GL_INVALID_VALUE, "gluOrtho2D", 0);
    float m[16] = {};
    m[0] = 2.0f / (r - l);
    m[5] = 2.0f / (t - b);
    m[10] = -1.0f;  // near -1, far 1
    m[12] = -(r + l) / (r - l);
    m[13] = -(t + b) / (t - b);
    m[15] = 1.0f;
    webgl::MultiplyCurrent(m);
}

}  // extern "C"
