#pragma once
// The logo and panel overlay: the logo across the upper half, a translucent
// panel behind the text pages with two scrolling colour bars, and a shade
// strip under it where the scroller runs. Drawn in eye coordinates under the
// perspective projection, over the tubes by its depth function.
//
// STAND-IN: it sets the state it leaves and draws nothing yet.

namespace scene {

struct SceneClocks;

// Expects: identity modelview under the perspective projection, depth test
// on, texturing on. Leaves: blending on with GL_SRC_ALPHA,
// GL_ONE_MINUS_SRC_ALPHA, lighting off, depth function GL_LEQUAL (depth test
// still on, its own depth values written), colour (0.2, 0.2, 0.2, 0.3),
// texWhite bound.
void DrawLogoOverlay(const SceneClocks& clocks);

}  // namespace scene
