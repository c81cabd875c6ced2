#include "scene/scene.h"

#include "gfx/gl.h"
#include "gfx/texture_table.h"
#include "scene/logo_overlay.h"
#include "scene/point_cloud.h"
#include "scene/scroller.h"
#include "scene/text_pages.h"
#include "scene/timeline.h"
#include "scene/tube_mesh.h"
#include "scene/twin_tubes.h"

namespace scene {

SceneState sceneState;

void ResetSceneState() { sceneState = SceneState{}; }

float ExitFadePictureZ(float exitFade) { return 2.0f * exitFade - 6.75f; }

namespace {

// Everything stands still in the fade: no capture, no step, no timer. The
// last main frame left texturing on, depth on and blending off, so the
// picture is opaque.
void DrawExitFade(float exitFade) {
    const float z = ExitFadePictureZ(exitFade);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    gfx::BindTexture(gfx::textures.texCredits);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-1.0f, -1.0f, z);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(1.0f, -1.0f, z);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(1.0f, 1.0f, z);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-1.0f, 1.0f, z);
    glEnd();
}

// Window pixels, y up, for the 2D effects; undone in the common tail.
void BeginWindowPixels() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0.0, kScreenWidth, 0.0, kScreenHeight);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void EndWindowPixels() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

}  // namespace

// The finished frame (scroller included) becomes the texture the next
// frame's right tube reflects: the lower-left 512 x 512 pixels of the back
// buffer. The top 32 rows lie above a 480-row frame; GL leaves them
// undefined, and they only reach the part of the reflection nearest t = 1.
void CaptureFeedback() {
    gfx::BindTexture(gfx::textures.texGenFire);
    glReadBuffer(GL_BACK);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, 512, 512, 0);
}

bool DrawScene(SceneClocks& clocks) {
    SceneState& state = sceneState;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();

    // The steps that have come due by this frame's time run before anything
    // is drawn: the picture then shows the stepped animations at the moment
    // it shows the timed ones (the logo's bars), and the frame at a given
    // time shows the same show at every frame rate.
    const SceneMode mode = AdvanceScene(state, tube, clocks);
    if (mode == SceneMode::ExitFade) {
        DrawExitFade(clocks.exitFade);
        return true;
    }

    if (mode == SceneMode::StartUp) {
        glDisable(GL_DEPTH_TEST);
        BeginWindowPixels();
        // Blending stays off: the scroller's glyph cells are opaque on black.
    } else {
        if (tube) DrawTwinTubes(state, *tube);

        glLoadIdentity();
        DrawLogoOverlay(clocks);

        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        DrawPointCloud(state, clocks);

        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDisable(GL_DEPTH_TEST);
        BeginWindowPixels();
        // A page whose last step this frame shows is drawn as the next page
        // already; the overlay and the cloud above still read its clock.
        TurnPage(state, clocks);
        DrawTextPages(state);
    }

    // Common tail of the start-up and main modes.
    DrawScroller(state);
    CaptureFeedback();
    EndWindowPixels();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    return true;
}

}  // namespace scene
