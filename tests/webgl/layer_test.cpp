// The GL layer against a recording WebGL side: how begin/end pairs become
// draws, the arithmetic of vertices, and the refusals its header promises.
#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "tests/webgl/recording_backend.h"

namespace {

class GlLayer : public ::testing::Test {
protected:
    void SetUp() override {
        recording = Recording{};
        ASSERT_TRUE(webgl::CreateContext("#canvas"));
    }
    void TearDown() override { webgl::DestroyContext(); }
};

void Quad() {
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(1, 0);
    glVertex2f(1, 1);
    glVertex2f(0, 1);
    glEnd();
}

GLuint Texture(bool withImage) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    const unsigned char pixels[16] = {};
    if (withImage) glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    return name;
}

TEST_F(GlLayer, BeginEndPairsJoinWhileTheDrawStateHolds) {
    const GLuint picture = Texture(true);
    const GLuint empty = Texture(false);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, picture);
    Quad();
    glTranslatef(1, 0, 0);  // matrices are no draw state
    Quad();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    Quad();
    glBindTexture(GL_TEXTURE_2D, empty);  // no image: drawn untextured
    Quad();
    glBegin(GL_LINE_STRIP);
    for (int i = 0; i < 3; ++i) glVertex2f(0, 0);
    glEnd();
    glBegin(GL_TRIANGLE_STRIP);
    for (int i = 0; i < 4; ++i) glVertex2f(0, 0);
    glEnd();
    glBegin(GL_QUADS);  // one vertex too many: dropped
    for (int i = 0; i < 5; ++i) glVertex2f(0, 0);
    glEnd();
    webgl::Present();

    const unsigned off = webgl::kBlendOff;
    const std::vector<std::tuple<unsigned, std::uint32_t, std::uint32_t, unsigned, unsigned>> expected = {
        {webgl::kTriangles, 0, 12, picture, off},
        {webgl::kTriangles, 12, 6, picture, GL_SRC_ALPHA},
        {webgl::kTriangles, 18, 6, 0, GL_SRC_ALPHA},
        {webgl::kLines, 24, 4, 0, GL_SRC_ALPHA},
        {webgl::kTriangles, 28, 12, 0, GL_SRC_ALPHA},
    };
    ASSERT_EQ(recording.draws.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const RecordedDraw& d = recording.draws[i];
        EXPECT_EQ(std::make_tuple(d.mode, d.firstIndex, d.indexCount, d.texture, d.blendSource), expected[i]) << i;
    }
    EXPECT_EQ(recording.vertices.size(), 27u);
    const std::vector<std::uint32_t> quads(recording.indices.begin(), recording.indices.begin() + 12);
    EXPECT_EQ(quads, (std::vector<std::uint32_t>{0, 1, 3, 1, 2, 3, 4, 5, 7, 5, 6, 7}));
    const std::vector<std::uint32_t> lineAndStrip(recording.indices.begin() + 24, recording.indices.begin() + 34);
    EXPECT_EQ(lineAndStrip, (std::vector<std::uint32_t>{16, 17, 17, 18, 19, 20, 21, 21, 20, 22}));
    EXPECT_EQ(recording.vertices[4].clip[0], 1.0f);  // the translated quad
}

TEST_F(GlLayer, VerticesTextureCoordinatesAndPointSizesAsInGl) {
    glMatrixMode(GL_PROJECTION);
    gluPerspective(45.0, 4.0 / 3.0, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(0, 0, -5);
    glRotatef(90, 0, 0, 1);
    glBegin(GL_POINTS);
    glVertex3f(1, 0, 0);  // at (0, 1, -5) in the eye's space
    glEnd();

    // Sphere mapping: looking straight ahead at a normal tilted 45 degrees
    // to the right, the reflection runs along +x.
    glLoadIdentity();
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glNormal3f(0.70710678f, 0.0f, 0.70710678f);
    glBegin(GL_POINTS);
    glVertex3f(0, 0, -1);
    glEnd();

    // size / sqrt(1 + 0.01 d^2) at d = 10, then clamped to the maximum.
    const auto parameterfv = reinterpret_cast<PFNGLPOINTPARAMETERFVARBPROC>(webgl::GetProcAddress("glPointParameterfvARB"));
    const auto parameterf = reinterpret_cast<PFNGLPOINTPARAMETERFARBPROC>(webgl::GetProcAddress("glPointParameterfARB"));
    const float attenuation[3] = {1.0f, 0.0f, 0.01f};
    parameterfv(GL_POINT_DISTANCE_ATTENUATION_ARB, attenuation);
    glPointSize(30.0f);
    glBegin(GL_POINTS);
    glVertex3f(0, 0, -10);
    parameterf(GL_POINT_SIZE_MAX_ARB, 20.0f);  // refused: inside begin/end
    glEnd();
    parameterf(GL_POINT_SIZE_MAX_ARB, 20.0f);
    glBegin(GL_POINTS);
    glVertex3f(0, 0, -10);
    glEnd();
    webgl::Present();

    ASSERT_EQ(recording.fullVertices.size(), 4u);  // points have a size each
    EXPECT_TRUE(recording.vertices.empty());
    const float* clip = recording.fullVertices[0].clip;
    const double f = 1.0 / std::tan(22.5 * 3.14159265358979 / 180.0);
    EXPECT_NEAR(clip[0], 0.0, 1e-6);
    EXPECT_NEAR(clip[1], f, 1e-5);
    EXPECT_NEAR(clip[2], 100.1 / 99.9 * 5.0 - 20.0 / 99.9, 1e-5);
    EXPECT_NEAR(clip[3], 5.0, 1e-6);
    EXPECT_NEAR(recording.fullVertices[1].st[0], 0.5 + 1.0 / (2.0 * std::sqrt(2.0)), 1e-6);
    EXPECT_NEAR(recording.fullVertices[1].st[1], 0.5, 1e-6);
    EXPECT_NEAR(recording.fullVertices[2].pointSize, 30.0 / std::sqrt(2.0), 1e-5);
    EXPECT_EQ(recording.fullVertices[3].pointSize, 20.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_OPERATION));
}

// A pair in one colour hands over plain vertices and its draw the colour;
// one whose colour changes between vertices hands over full ones, each with
// the colour it was given. A flush's indices are 16-bit while they reach.
TEST_F(GlLayer, ColoursGoWithTheDrawUnlessTheyChangeInsideAPair) {
    glColor4f(0.6f, 0.9f, 0.7f, 0.7f);
    Quad();
    glBegin(GL_QUADS);
    glColor4f(0.2f, 0.2f, 0.2f, 0.3f);  // set before the first vertex: still one colour
    for (int i = 0; i < 4; ++i) glVertex2f(static_cast<float>(i), 0);
    glEnd();
    glBegin(GL_TRIANGLE_STRIP);
    glVertex2f(0, 0);
    glVertex2f(1, 0);
    glColor4f(1, 0, 0, 1);
    glVertex2f(2, 0);
    glEnd();
    Quad();  // red: plain again
    webgl::Present();

    ASSERT_EQ(recording.draws.size(), 4u);
    ASSERT_EQ(recording.vertices.size(), 12u);
    ASSERT_EQ(recording.fullVertices.size(), 3u);
    const float colours[4][4] = {{0.6f, 0.9f, 0.7f, 0.7f}, {0.2f, 0.2f, 0.2f, 0.3f}, {0, 0, 0, 0}, {1, 0, 0, 1}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(recording.draws[i].full, i == 2) << i;
        EXPECT_TRUE(std::equal(colours[i], colours[i] + 4, recording.draws[i].rgba)) << i;
    }
    EXPECT_EQ(recording.vertices[5].clip[0], 1.0f);
    EXPECT_EQ(recording.fullVertices[1].rgba[0], 0.2f);
    EXPECT_EQ(recording.fullVertices[2].rgba[0], 1.0f);
    EXPECT_EQ(recording.fullVertices[2].clip[0], 2.0f);
    const std::vector<std::uint32_t> strip(recording.indices.begin() + 12, recording.indices.begin() + 15);
    EXPECT_EQ(strip, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(recording.indices.back(), 11u);
    EXPECT_EQ(recording.indexSize, 2u);

    glBegin(GL_POINTS);
    for (int i = 0; i < 65537; ++i) glVertex2f(0, 0);
    glEnd();
    webgl::Present();
    EXPECT_EQ(recording.indexSize, 4u);
    EXPECT_EQ(recording.indices.back(), 65536u);
}

// A long pair hands over each vertex once: the corners its quads share, and
// a second pass over the same mesh with the same texture coordinates, which
// draws the first pass's vertices. Other coordinates, or a short pair, bring
// their own.
TEST_F(GlLayer, ALongPairHandsOverEachVertexOnce) {
    const auto corner = [](int quad, int k) { return std::make_pair(quad + (k == 1 || k == 2), k >= 2); };
    const auto mesh = [&](float s) {
        glBegin(GL_QUADS);
        for (int quad = 0; quad < 16; ++quad) {  // a row of quads, each sharing an edge with the next
            for (int k = 0; k < 4; ++k) {
                glTexCoord2f(s, 0);
                glVertex2f(static_cast<float>(corner(quad, k).first), static_cast<float>(corner(quad, k).second));
            }
        }
        glEnd();
    };
    mesh(0);
    glEnable(GL_BLEND);
    mesh(0);
    mesh(1);
    mesh(0);
    Quad();
    Quad();
    webgl::Present();

    ASSERT_EQ(recording.draws.size(), 2u);
    EXPECT_EQ(recording.vertices.size(), 34u + 34u + 4u + 4u);
    ASSERT_EQ(recording.indices.size(), 4u * 96u + 12u);
    const int order[6] = {0, 1, 3, 1, 2, 3};
    for (int pass = 0; pass < 4; ++pass) {
        for (int i = 0; i < 96; ++i) {
            const webgl::Vertex& v = recording.vertices[recording.indices[static_cast<std::size_t>(96 * pass + i)]];
            const auto [x, y] = corner(i / 6, order[i % 6]);
            EXPECT_EQ(std::make_tuple(v.clip[0], v.clip[1], v.st[0]),
                      std::make_tuple(static_cast<float>(x), static_cast<float>(y), pass == 2 ? 1.0f : 0.0f))
                << pass << " " << i;
        }
    }
    EXPECT_EQ(recording.indices[96], recording.indices[0]);  // the same vertices, not a copy
    EXPECT_EQ(recording.indices.back(), 75u);
}

TEST_F(GlLayer, RefusalsChangeNothingAndAreReportedOncePerEntryPoint) {
    ::testing::internal::CaptureStderr();
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHTING);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_ENUM));
    glDisable(GL_LIGHTING);  // never on, so switching it off is fine
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    glBegin(0x0004);  // GL_TRIANGLES: not in the subset, and its vertices go nowhere
    glVertex2f(0, 0);
    glEnd();  // not inside a pair either
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_ENUM));  // the first error stands
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    for (int i = 1; i < webgl::kModelviewDepth; ++i) glPushMatrix();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glPushMatrix();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_STACK_OVERFLOW));
    for (int i = 1; i < webgl::kModelviewDepth; ++i) glPopMatrix();
    glPopMatrix();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_STACK_UNDERFLOW));
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, 0x1406 /* GL_FLOAT */, nullptr);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_ENUM));
    webgl::Present();
    EXPECT_TRUE(recording.draws.empty());

    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("GL layer: glEnable refused 0x0B50 (GL_INVALID_ENUM)\n"), std::string::npos);
    // glEnable, glBegin, glEnd, glPushMatrix, glPopMatrix, glTexImage2D, once
    // each in this context whatever other contexts refused before.
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 6);
}

}  // namespace
