// The window procedure, and the view it sets on a real OpenGL context.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "app/display.h"
#include "gfx/gl.h"
#include "platform/display.h"

namespace {

class WindowProcTest : public ::testing::Test {
protected:
    void SetUp() override {
        app::ResetDisplayState();
        platform::ClearMessageQueue();
    }
    void TearDown() override {
        app::ResetDisplayState();
        platform::ClearMessageQueue();
    }
};

TEST_F(WindowProcTest, KeysSetAndClearTheirEntry) {
    EXPECT_EQ(app::WindowProc(platform::WM_KEYDOWN, 'A', 0), 0);
    EXPECT_EQ(app::keyDown['A'], 1);
    app::WindowProc(platform::WM_KEYDOWN, platform::VK_ESCAPE, 0);
    app::WindowProc(platform::WM_KEYUP, 'A', 0);
    EXPECT_EQ(app::keyDown['A'], 0);
    EXPECT_EQ(app::keyDown[platform::VK_ESCAPE], 1);
    // A code beyond the table writes nowhere.
    EXPECT_EQ(app::WindowProc(platform::WM_KEYDOWN, 256, 0), 0);
    EXPECT_EQ(app::WindowProc(platform::WM_KEYDOWN, ~platform::WPARAM{0}, 0), 0);
}

TEST_F(WindowProcTest, ActivateFollowsOnlyTheMinimisedFlag) {
    app::WindowProc(platform::WM_ACTIVATE, platform::WA_INACTIVE | (1u << 16), 0);
    EXPECT_FALSE(app::windowActive);
    app::WindowProc(platform::WM_ACTIVATE, platform::WA_ACTIVE, 0);
    EXPECT_TRUE(app::windowActive);
    // Switching to another application without minimising.
    app::WindowProc(platform::WM_ACTIVATE, platform::WA_INACTIVE, 0);
    EXPECT_TRUE(app::windowActive);
}

TEST_F(WindowProcTest, CloseRequestPostsQuitWithCodeZero) {
    EXPECT_EQ(app::WindowProc(platform::WM_CLOSE, 0, 0), 0);
    platform::Message message;
    ASSERT_TRUE(platform::PeekMessage(&message));
    EXPECT_EQ(message.message, platform::WM_QUIT);
    EXPECT_EQ(message.wParam, 0u);
}

TEST_F(WindowProcTest, ScreenSaverAndMonitorPowerAreSwallowedByExactComparison) {
    EXPECT_EQ(app::WindowProc(platform::WM_SYSCOMMAND, 0xF140, 0), 0);
    EXPECT_EQ(app::WindowProc(platform::WM_SYSCOMMAND, 0xF170, 0), 0);
    // 0xF141 and 0xF172 would match with the low four bits masked; they are
    // other commands and go to the default handling, as do the rest.
    EXPECT_EQ(app::WindowProc(platform::WM_SYSCOMMAND, 0xF141, 0), platform::DefWindowProc(platform::WM_SYSCOMMAND, 0xF141, 0));
    EXPECT_EQ(app::WindowProc(platform::WM_SYSCOMMAND, 0xF172, 0), platform::DefWindowProc(platform::WM_SYSCOMMAND, 0xF172, 0));
    platform::Message message;
    EXPECT_FALSE(platform::PeekMessage(&message));
}

// The full-screen switch asks for 16 bits, then 32, and only then gives up
// (the windowed-fallback question follows): Windows 8 and later refuse every
// 16-bit mode.
TEST(FullScreenSwitch, TriesSixteenThenThirtyTwoBits) {
    struct Case {
        bool sixteenTaken, thirtyTwoTaken;
        int depthSet;
        std::vector<int> asked;
    };
    const Case cases[] = {
        {true, true, 16, {16}},        // as asked: 32 is never tried
        {false, true, 32, {16, 32}},   // today's Windows
        {false, false, 0, {16, 32}},   // no 640 x 480 at all: the question
    };
    for (const Case& c : cases) {
        std::vector<int> asked;
        auto change = [&](int width, int height, int bits) {
            EXPECT_EQ(width, 640);
            EXPECT_EQ(height, 480);
            asked.push_back(bits);
            return bits == 16 ? c.sixteenTaken : c.thirtyTwoTaken;
        };
        EXPECT_EQ(app::SwitchToFullScreen(640, 480, 16, change), c.depthSet);
        EXPECT_EQ(asked, c.asked);
    }
}

// WM_SIZE on a real (offscreen Mesa) context: the viewport and the aspect of
// the projection follow the client area; a height of 0 is taken as 1.
class ViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(platform::OpenHiddenGlContext(640, 480)); }
    static void TearDownTestSuite() { platform::CloseHiddenGlContext(); }

    static void Viewport(GLint out[4]) { glGetIntegerv(GL_VIEWPORT, out); }
    static void Projection(GLdouble out[16]) { glGetDoublev(GL_PROJECTION_MATRIX, out); }
};

TEST_F(ViewTest, SizeMessageSetsViewportAndPerspective) {
    app::WindowProc(platform::WM_SIZE, 0, platform::MakeLParam(634, 455));
    GLint viewport[4];
    Viewport(viewport);
    EXPECT_EQ(viewport[2], 634);
    EXPECT_EQ(viewport[3], 455);
    GLdouble m[16];
    Projection(m);
    const double f = 1.0 / std::tan(22.5 * 3.14159265358979323846 / 180.0);
    EXPECT_NEAR(m[5], f, 1e-6);
    EXPECT_NEAR(m[0], f / (634.0 / 455.0), 1e-6);
    // Near 0.1 and far 100: m[10] = (far + near) / (near - far).
    EXPECT_NEAR(m[10], 100.1 / -99.9, 1e-6);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ViewTest, HeightZeroIsTakenAsOne) {
    app::WindowProc(platform::WM_SIZE, 0, platform::MakeLParam(640, 0));
    GLint viewport[4];
    Viewport(viewport);
    EXPECT_EQ(viewport[3], 1);
    GLdouble m[16];
    Projection(m);
    EXPECT_TRUE(std::isfinite(m[0]));
    const double f = 1.0 / std::tan(22.5 * 3.14159265358979323846 / 180.0);
    EXPECT_NEAR(m[0], f / 640.0, 1e-9);
}

TEST_F(ViewTest, InitRenderStateSetsTheStartingState) {
    ASSERT_TRUE(app::InitRenderState());
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint value = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &value);
    EXPECT_EQ(value, GL_NICEST);
}

}  // namespace
