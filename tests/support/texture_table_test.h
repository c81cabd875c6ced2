#pragma once
// A test suite on a real (offscreen Mesa) OpenGL context that fills the
// texture table: the context lives for the suite, and the table is emptied
// after every test. Run with SDL_VIDEODRIVER=offscreen.
#include <gtest/gtest.h>

#include "gfx/point_sprites.h"
#include "gfx/texture_table.h"
#include "platform/display.h"

namespace testsupport {

class TextureTableTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(platform::OpenHiddenGlContext(640, 480)); }
    static void TearDownTestSuite() { platform::CloseHiddenGlContext(); }
    // The next test's LoadTextures probes afresh.
    void TearDown() override {
        gfx::DeleteTextures();
        gfx::ResetPointSprites();
    }
};

}  // namespace testsupport
