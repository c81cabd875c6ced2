#pragma once
// The scene: DrawScene composes one frame from the shell's clocks, in one of
// three modes (exit fade, start-up, main): it runs the animation steps that
// have come due on the scene's 60-steps-a-second clock, then the effects in
// a fixed order with fixed OpenGL state between them, and copies the
// finished frame into texGenFire for the next frame's reflection.
//
// One frame, from the loop's side:
//
//     scene::SceneClocks clocks;            // the loop owns these
//     app::PrimeScene(scene::sceneState, *scene::tube);   // once, before the first frame
//     for (;;) {
//         const double delta = ...;          // seconds since the last frame
//         clocks.sceneTime += delta;
//         clocks.pageClock += delta;
//         scene::DrawScene(clocks);          // may restart clocks.pageClock
//         platform::SwapBuffers();
//     }
//
// Coordinates: the 3D effects draw in eye space under the perspective
// projection (45 degrees, 640/480, near 0.1, far 100); the text pages and the
// scroller in window pixels, (0, 0) at the lower left, y up.

#include "scene/scene_state.h"

namespace scene {

// The screen the intro is made for, in pixels: its window's client area,
// the range of the 2D effects' window-pixel coordinates, and the size of
// every captured frame.
inline constexpr int kScreenWidth = 640;
inline constexpr int kScreenHeight = 480;

// Draws one frame. Expects the GL context current, the modelview matrix mode
// selected, the perspective projection loaded, and the start state: texturing
// on, depth test on with GL_LEQUAL, blending off, lighting off, clear colour
// black. Leaves the modelview matrix mode selected. Uses sceneState and the
// tube; restarts clocks.pageClock in start-up mode and at page changes. Always
// true.
bool DrawScene(SceneClocks& clocks);

// The receding credits picture of the exit fade, at z = 2 * exitFade - 6.75
// (-2.35 at the start of the fade, about -6.55 at its end).
float ExitFadePictureZ(float exitFade);

// The end of every start-up and main frame: the lower-left 512 x 512 pixels
// of the back buffer become texGenFire, which the next frame's right tube
// reflects. Leaves texGenFire bound.
void CaptureFeedback();

}  // namespace scene
