#include "scene/logo_overlay.h"

#include "gfx/gl.h"
#include "gfx/texture_table.h"
#include "scene/scene_state.h"

namespace scene {

void DrawLogoOverlay(const SceneClocks&) {
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glColor4f(0.2f, 0.2f, 0.2f, 0.3f);
    gfx::BindTexture(gfx::textures.texWhite);
    glDepthFunc(GL_LEQUAL);
}

}  // namespace scene
