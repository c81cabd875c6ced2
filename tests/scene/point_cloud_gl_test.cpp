// The point cloud's two drawing paths and the overlay's rows on a real Mesa
// context: what reaches the frame buffer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <algorithm>
#include <vector>

#include "data/point_sets.h"
#include "gfx/gl.h"
#include "gfx/point_sprites.h"
#include "gfx/texture_table.h"
#include "scene/logo_overlay.h"
#include "scene/point_cloud.h"
#include "tests/support/texture_table_test.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Frame {
    std::vector<std::uint8_t> rgb;  // rows bottom to top
    const std::uint8_t* At(int x, int row) const { return &rgb[(static_cast<std::size_t>(row) * kWidth + x) * 3]; }
};

Frame ReadFrame() {
    Frame f;
    f.rgb.resize(static_cast<std::size_t>(kWidth) * kHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, f.rgb.data());
    return f;
}

// With QUANDRIX_TEST_FRAMES=DIR the tests leave their frames there to look at.
void WritePpm(const std::string& path, const Frame& f) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return;
    std::fprintf(out, "P6 %d %d 255\n", kWidth, kHeight);
    for (int row = kHeight - 1; row >= 0; --row) std::fwrite(f.At(0, row), 1, kWidth * 3, out);
    std::fclose(out);
}

// The projection and start state the scene runs under.
void BeginFrame() {
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 640.0 / 480.0, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_BLEND);
}

class PointCloudGl : public testsupport::TextureTableTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(gfx::LoadTextures());
        spritesFound = gfx::pointSpritesAvailable;
    }

    Frame DrawCloud(const scene::PointCloudState& start, const float angles[3], bool sprites) {
        BeginFrame();
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        gfx::pointSpritesAvailable = sprites && spritesFound;
        scene::PointCloudState cloud = start;
        scene::DrawPointCloudWith(cloud, angles, 0.0);
        return ReadFrame();
    }

    bool spritesFound = false;
};

struct Spread {
    double cx = 0, cy = 0, weight = 0;
    int lit = 0;
    int minX = kWidth, maxX = -1, minY = kHeight, maxY = -1;
};

Spread Measure(const Frame& f) {
    Spread s;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const std::uint8_t* p = f.At(x, y);
            const double v = p[0] + p[1] + p[2];
            if (v < 30) continue;
            s.cx += x * v;
            s.cy += y * v;
            s.weight += v;
            ++s.lit;
            s.minX = std::min(s.minX, x);
            s.maxX = std::max(s.maxX, x);
            s.minY = std::min(s.minY, y);
            s.maxY = std::max(s.maxY, y);
        }
    }
    if (s.weight > 0) {
        s.cx /= s.weight;
        s.cy /= s.weight;
    }
    return s;
}

TEST_F(PointCloudGl, SpritesAndForcedQuadsPutTheCloudInTheSamePlace) {
    ASSERT_TRUE(spritesFound) << "Mesa offers GL_ARB_point_parameters; the sprite path must be tested";
    // The far end of the camera's loop (12 units out) keeps the whole cloud
    // in view: sprites whose centre leaves the window are clipped whole.
    const float angles[3] = {20.0f, 180.0f, 30.0f};
    for (int set : {0, 1, 5}) {
        SCOPED_TRACE(set);
        scene::PointCloudState cloud;
        cloud.shapeA = data::pointShapes[static_cast<std::size_t>(set)];
        const Frame fs = DrawCloud(cloud, angles, true);
        const Frame fq = DrawCloud(cloud, angles, false);
        if (const char* dir = std::getenv("QUANDRIX_TEST_FRAMES")) {
            WritePpm(std::string(dir) + "/cloud_" + std::to_string(set) + "_sprites.ppm", fs);
            WritePpm(std::string(dir) + "/cloud_" + std::to_string(set) + "_quads.ppm", fq);
        }
        const Spread sprites = Measure(fs);
        const Spread quads = Measure(fq);
        ASSERT_GT(sprites.lit, 1000);
        ASSERT_GT(quads.lit, 1000);
        // Sprites shrink with distance a little more gently than quads do,
        // so the brightness leans a pixel or two; a quad on the wrong axes
        // would be a sliver, and a misplaced one far off.
        EXPECT_NEAR(sprites.cx, quads.cx, 3.0);
        EXPECT_NEAR(sprites.cy, quads.cy, 3.0);
        EXPECT_GT(quads.lit, sprites.lit * 6 / 10);
        EXPECT_LT(quads.lit, sprites.lit * 14 / 10);
        EXPECT_NEAR(sprites.minX, quads.minX, 8);
        EXPECT_NEAR(sprites.maxX, quads.maxX, 8);
        EXPECT_NEAR(sprites.minY, quads.minY, 8);
        EXPECT_NEAR(sprites.maxY, quads.maxY, 8);
    }
}

TEST_F(PointCloudGl, TheCloudLeavesTexturingOnAndSpritesOff) {
    scene::PointCloudState cloud;
    const float angles[3] = {0, 0, 0};
    DrawCloud(cloud, angles, true);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_POINT_SPRITE_ARB));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The window row (from the bottom) where eye-space height y at depth z lands
// under the 45-degree projection of a 480-row window.
double RowOf(double y, double z) {
    const double half = std::tan(22.5 * 3.14159265358979323846 / 180.0);
    return kHeight / 2.0 + (y / -z) / half * (kHeight / 2.0);
}

bool RowUniform(const Frame& f, int row) {
    const std::uint8_t* first = f.At(0, row);
    for (int x = 1; x < kWidth; ++x) {
        const std::uint8_t* p = f.At(x, row);
        if (p[0] != first[0] || p[1] != first[1] || p[2] != first[2]) return false;
    }
    return true;
}

TEST_F(PointCloudGl, OverlayCoversTheRowsItsGeometryPredicts) {
    const int panelBottom = static_cast<int>(std::lround(RowOf(-0.39, -1.0)));  // about 14
    const int panelTop = static_cast<int>(std::lround(RowOf(0.12, -1.0)));      // about 310
    const int logoBottom = static_cast<int>(std::lround(RowOf(0.04, -1.11)));   // about 261
    ASSERT_EQ(panelBottom, 14);
    ASSERT_EQ(panelTop, 310);
    ASSERT_EQ(logoBottom, 261);

    BeginFrame();
    scene::DrawLogoOverlayAt(0.3);
    const Frame f = ReadFrame();

    // The panel over black: 0.35 blue at 0.35 alpha, the same across rows.
    const std::uint8_t* panel = f.At(320, 100);
    EXPECT_EQ(panel[0], 0);
    EXPECT_EQ(panel[1], 0);
    EXPECT_NEAR(panel[2], 0.35 * 0.35 * 255, 1.5);
    for (int row = panelBottom + 2; row < logoBottom - 2; ++row) {
        ASSERT_TRUE(RowUniform(f, row)) << row;
        ASSERT_EQ(0, std::memcmp(f.At(0, row), panel, 3)) << row;
    }
    // The shade strip: grey 0.2 at 0.3 alpha, down to the bottom edge.
    const std::uint8_t* strip = f.At(320, 0);
    EXPECT_NEAR(strip[0], 0.2 * 0.3 * 255, 1.5);
    EXPECT_EQ(strip[0], strip[1]);
    EXPECT_EQ(strip[1], strip[2]);
    for (int row = 0; row < panelBottom - 1; ++row) {
        ASSERT_TRUE(RowUniform(f, row)) << row;
        ASSERT_EQ(0, std::memcmp(f.At(0, row), strip, 3)) << row;
    }
    // The bars: one-pixel lines of sliding colours at the panel's two edges.
    auto barRow = [&](int around) {
        for (int row = around - 1; row <= around + 1; ++row)
            if (!RowUniform(f, row)) return row;
        return -1;
    };
    const int lowerBar = barRow(panelBottom);
    const int upperBar = barRow(panelTop - 1);
    EXPECT_NE(lowerBar, -1);
    EXPECT_NE(upperBar, -1);
    // The logo shows only above its bottom edge: rows above the panel hold
    // logo pixels, rows between the panel and the top hold nothing else.
    int logoPixels = 0;
    for (int row = panelTop + 2; row < kHeight; ++row)
        for (int x = 0; x < kWidth; ++x) {
            const std::uint8_t* p = f.At(x, row);
            if (p[0] + p[1] + p[2] > 60) ++logoPixels;
        }
    EXPECT_GT(logoPixels, 5000);
    int logoInPanel = 0;
    for (int row = logoBottom + 2; row < panelTop - 2; ++row)
        if (!RowUniform(f, row)) ++logoInPanel;
    EXPECT_GT(logoInPanel, 0) << "the logo's lower rows show through the panel";
    // The state it leaves.
    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LEQUAL);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
