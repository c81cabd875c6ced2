#include "scene/logo_overlay.h"

#include <cstdint>

#include "gfx/gl.h"
#include "gfx/texture_table.h"
#include "scene/scene_state.h"

namespace scene {

namespace {

struct OverlayVertex {
    float s, t;     // texture coordinates
    float x, y, z;  // eye coordinates
};

void Quad(const OverlayVertex (&v)[4]) {
    glBegin(GL_QUADS);
    for (const OverlayVertex& c : v) {
        glTexCoord2f(c.s, c.t);
        glVertex3f(c.x, c.y, c.z);
    }
    glEnd();
}

}  // namespace

float BarOffset(double pageClock) {
    const std::int32_t ticks = static_cast<std::int32_t>(pageClock * 70.0);
    return static_cast<float>(ticks % 100) * 0.01f;
}

void DrawLogoOverlayAt(double pageClock) {
    glDepthFunc(GL_ALWAYS);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glLoadIdentity();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    // The logo, a little further out than the panel; its alpha cuts it out.
    gfx::BindTexture(gfx::textures.texLogo);
    Quad({{0, 0, -1, 0.04f, -1.11f}, {1, 0, 1, 0.04f, -1.11f}, {1, 1, 1, 0.554f, -1.11f}, {0, 1, -1, 0.554f, -1.11f}});

    // Two bars, each about a pixel high: the whole texture height squeezed
    // into a line whose colours slide sideways, the lower one right to left.
    gfx::BindTexture(gfx::textures.texGenSpotsRGB);
    const float o = BarOffset(pageClock);
    Quad({{o, 0, 1, -0.39f, -1}, {o + 1, 0, -1, -0.39f, -1}, {o + 1, 1, -1, -0.392f, -1}, {o, 1, 1, -0.392f, -1}});
    Quad({{o, 0, -1, 0.122f, -1}, {o + 1, 0, 1, 0.122f, -1}, {o + 1, 1, 1, 0.12f, -1}, {o, 1, -1, 0.12f, -1}});

    // The panel behind the text pages, then the shade strip under it.
    glColor4f(0.0f, 0.0f, 0.35f, 0.35f);
    gfx::BindTexture(gfx::textures.texWhite);
    Quad({{0, 0, -1, -0.39f, -1}, {1, 0, 1, -0.39f, -1}, {1, 1, 1, 0.12f, -1}, {0, 1, -1, 0.12f, -1}});
    glColor4f(0.2f, 0.2f, 0.2f, 0.3f);
    Quad({{0, 0, -1, -0.39f, -1}, {1, 0, 1, -0.39f, -1}, {1, 1, 1, -0.45f, -1}, {0, 1, -1, -0.45f, -1}});

    glDepthFunc(GL_LEQUAL);
}

void DrawLogoOverlay(const SceneClocks& clocks) { DrawLogoOverlayAt(clocks.pageClock); }

}  // namespace scene
