#pragma once
// A suite on a real (offscreen Mesa) OpenGL context set up as the intro sets
// up its display: 640 x 480, the perspective view, every texture and the
// starting render state; the tube and the scene state are fresh for every
// test. Run with SDL_VIDEODRIVER=offscreen.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "app/display.h"
#include "app/frame_loop.h"
#include "gfx/gl.h"
#include "gfx/texture_table.h"
#include "platform/display.h"
#include "scene/scene.h"
#include "scene/tube_mesh.h"

namespace scenetest {

// The back buffer, RGB, rows bottom to top.
inline std::vector<std::uint8_t> ReadFrame() {
    std::vector<std::uint8_t> rgb(640 * 480 * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 640, 480, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

// Brighter than the black background.
inline bool Lit(const std::vector<std::uint8_t>& rgb, int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * 640 + static_cast<std::size_t>(x)) * 3;
    return rgb[i] + rgb[i + 1] + rgb[i + 2] > 24;
}

class SceneGlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(platform::OpenHiddenGlContext(640, 480));
        app::ResizeView(640, 480);
        ASSERT_TRUE(app::InitRenderState());
    }
    static void TearDownTestSuite() {
        gfx::DeleteTextures();
        platform::CloseHiddenGlContext();
    }
    void SetUp() override {
        scene::ResetSceneState();
        scene::tube = new scene::TubeMesh();
        app::PrimeScene(scene::sceneState, *scene::tube);
        clocks = scene::SceneClocks{};
    }
    void TearDown() override { scene::DestroyTube(); }

    // One frame of the loop at 60 Hz.
    void Frame() {
        clocks.sceneTime += 1.0 / 60.0;
        clocks.pageClock += 1.0 / 60.0;
        scene::DrawScene(clocks);
    }

    scene::SceneClocks clocks;
};

}  // namespace scenetest
