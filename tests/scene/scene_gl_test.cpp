// DrawScene and the twin tubes on a real Mesa context: where the tubes land,
// the feedback through texGenFire, the exit-fade picture and the state each
// mode leaves.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "scene/timeline.h"
#include "scene/twin_tubes.h"
#include "tests/scene/scene_gl_support.h"

namespace {

using scenetest::Lit;
using scenetest::ReadFrame;
using scenetest::SceneGlTest;

// Mean over the rows of the middle of the lit span within [x0, x1).
double MeanSpanCentre(const std::vector<std::uint8_t>& rgb, int x0, int x1, int* rows) {
    double sum = 0.0;
    *rows = 0;
    for (int y = 0; y < 480; ++y) {
        int low = -1;
        int high = -1;
        for (int x = x0; x < x1; ++x) {
            if (!Lit(rgb, x, y)) continue;
            if (low < 0) low = x;
            high = x;
        }
        if (low < 0) continue;
        sum += 0.5 * (low + high);
        ++*rows;
    }
    return *rows ? sum / *rows : -1.0;
}

GLint Integer(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

TEST_F(SceneGlTest, TubesAreCentredNearTheirScreenColumns) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene::DrawTwinTubes(scene::sceneState, *scene::tube);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const auto rgb = ReadFrame();
    int leftRows = 0;
    int rightRows = 0;
    const double left = MeanSpanCentre(rgb, 0, 320, &leftRows);
    const double right = MeanSpanCentre(rgb, 320, 640, &rightRows);
    EXPECT_GT(leftRows, 400);
    EXPECT_GT(rightRows, 400);
    EXPECT_NEAR(left, 88.0, 25.0);
    EXPECT_NEAR(right, 552.0, 25.0);
    // The middle of the screen stays dark between them.
    for (int y = 0; y < 480; ++y) EXPECT_FALSE(Lit(rgb, 320, y)) << y;

    // What the tubes leave.
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
    EXPECT_EQ(Integer(GL_DEPTH_FUNC), GL_LEQUAL);
}

TEST_F(SceneGlTest, TheRightTubeReflectsThePreviousFrame) {
    // The same tubes after a black and after a white captured frame: only
    // the right tube, whose additive pass reads texGenFire, may differ.
    auto drawAfterCapture = [](float grey) {
        glClearColor(grey, grey, grey, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene::CaptureFeedback();
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene::DrawTwinTubes(scene::sceneState, *scene::tube);
        return ReadFrame();
    };
    const auto afterBlack = drawAfterCapture(0.0f);
    const auto afterWhite = drawAfterCapture(1.0f);
    int leftChanged = 0;
    int rightChanged = 0;
    int rightLit = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * 640 + static_cast<std::size_t>(x)) * 3;
            const bool changed = afterBlack[i] != afterWhite[i] || afterBlack[i + 1] != afterWhite[i + 1] ||
                                 afterBlack[i + 2] != afterWhite[i + 2];
            if (x < 320) {
                leftChanged += changed;
            } else {
                rightChanged += changed;
                rightLit += Lit(afterBlack, x, y);
            }
        }
    }
    EXPECT_EQ(leftChanged, 0);
    EXPECT_GT(rightChanged, rightLit / 2);
    EXPECT_GT(rightLit, 10000);
}

TEST_F(SceneGlTest, TheExitFadePictureRecedesAndEverythingStandsStill) {
    for (int i = 0; i < 20; ++i) Frame();  // into the main mode
    const scene::SceneState before = scene::sceneState;
    clocks.sceneTime = 40.0;
    int lastWidth = 641;
    for (const float fade : {2.2f, 1.6f, 1.0f, 0.4f, 0.1f}) {
        clocks.exitFade = fade;
        scene::DrawScene(clocks);
        const auto rgb = ReadFrame();
        int low = 640;
        int high = -1;
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                if (!Lit(rgb, x, y)) continue;
                low = std::min(low, x);
                high = std::max(high, x);
            }
        }
        const int width = high - low + 1;
        // The picture is 2 units wide at z = 2 fade - 6.75; the view at depth d
        // is 2 d tan(22.5 degrees) 640/480 units wide.
        const double expected = 2.0 / (-scene::ExitFadePictureZ(fade) * 2.0 * std::tan(std::numbers::pi / 8.0) * 4.0 / 3.0) * 640.0;
        EXPECT_LT(width, lastWidth) << fade;
        EXPECT_LE(width, expected + 2.0) << fade;
        EXPECT_GT(width, expected * 0.8) << fade;
        EXPECT_NEAR(0.5 * (low + high), 320.0, 3.0) << fade;
        lastWidth = width;
    }
    EXPECT_EQ(scene::sceneState.tubeSpin, before.tubeSpin);
    EXPECT_EQ(scene::sceneState.stepClock.count, before.stepClock.count);
    EXPECT_EQ(scene::sceneState.stepClock.due, before.stepClock.due);
    EXPECT_EQ(scene::sceneState.twinTubes.causticFrame, before.twinTubes.causticFrame);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SceneGlTest, EveryModeLeavesTheStateItFound) {
    const int caustic = scene::sceneState.twinTubes.causticFrame;
    for (int frame = 1; frame <= 40; ++frame) {
        Frame();
        SCOPED_TRACE(frame);
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_MODELVIEW);
        EXPECT_EQ(Integer(GL_PROJECTION_STACK_DEPTH), 1);
        EXPECT_EQ(Integer(GL_MODELVIEW_STACK_DEPTH), 1);
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
        if (frame <= 13) {
            EXPECT_EQ(clocks.pageClock, 0.0);  // held at 0 through the start-up mode
            EXPECT_EQ(scene::sceneState.twinTubes.causticFrame, caustic);
        }
        if (frame == 1) {
            // The first frame's capture replaced the generated fire picture.
            gfx::BindTexture(gfx::textures.texGenFire);
            GLint width = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
            EXPECT_EQ(width, 512);
        }
    }
    EXPECT_GT(clocks.pageClock, 0.0);
    EXPECT_NE(scene::sceneState.twinTubes.causticFrame, caustic);
    // Main mode shows both tubes.
    const auto rgb = ReadFrame();
    int leftRows = 0;
    int rightRows = 0;
    MeanSpanCentre(rgb, 0, 320, &leftRows);
    MeanSpanCentre(rgb, 320, 640, &rightRows);
    EXPECT_GT(leftRows, 400);
    EXPECT_GT(rightRows, 400);
}

}  // namespace
