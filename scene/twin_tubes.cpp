#include "scene/twin_tubes.h"

#include "gfx/gl.h"
#include "gfx/texture_table.h"
#include "scene/scene_state.h"
#include "scene/tube_mesh.h"

namespace scene {

namespace {

// 2 x source x destination, clamped: mid-grey texels leave the surface as it
// is, brighter ones lighten it, darker ones darken it.
void Modulate2x() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
}

// Texture coordinates from the eye-space normals: the bound picture is seen
// as if reflected in the surface.
void SphereMappingOn() {
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_GEN_S);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
}

void SphereMappingOff() {
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
}

}  // namespace

void DrawTwinTubes(const SceneState& state, TubeMesh& mesh) {
    const gfx::TextureTable& t = gfx::textures;

    // Left tube. Every pass after the base pass lands on the base pass's own
    // depth values (GL_LEQUAL) and covers exactly its pixels.
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glLoadIdentity();
    glTranslatef(-10.0f, 0.0f, -25.0f);
    glRotatef(120.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(state.tubeSpin, 0.0f, 0.0f, 1.0f);
    gfx::BindTexture(t.texRock);
    mesh.Draw();  // opaque base, writes depth
    Modulate2x();
    gfx::BindTexture(t.texCaustics[static_cast<unsigned>(state.twinTubes.causticFrame) % gfx::kCausticsPictures]);
    mesh.Draw();
    SphereMappingOn();
    gfx::BindTexture(t.texGenSpot);
    mesh.Draw();  // highlight, still modulated 2x
    SphereMappingOff();
    glDisable(GL_BLEND);

    // Right tube: the left one upside down (120 and -60 degrees differ by
    // 180), its spin 70 degrees ahead.
    glLoadIdentity();
    glTranslatef(10.0f, 0.0f, -25.0f);
    glRotatef(-60.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(state.tubeSpin + 70.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
    gfx::BindTexture(t.texGenWarpGrey);
    mesh.Draw();  // opaque base
    gfx::BindTexture(t.texGenFire);
    glBlendFunc(GL_ONE, GL_ONE);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_BLEND);
    SphereMappingOn();
    mesh.Draw();  // last frame added on top: the reflection
    Modulate2x();
    SphereMappingOn();
    gfx::BindTexture(t.texGenWarpGrey);
    mesh.Draw();
    gfx::BindTexture(t.texGenSpot);
    mesh.Draw();
    SphereMappingOff();
    glDisable(GL_BLEND);
}

void NextCausticsPicture(SceneState& state) {
    state.twinTubes.causticFrame = (state.twinTubes.causticFrame + 1) % gfx::kCausticsPictures;
}

}  // namespace scene
