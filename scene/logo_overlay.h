#pragma once
// The logo and panel overlay: the logo across the upper half, a translucent
// dark-blue panel behind the text pages with a thin colour bar along each of
// its edges, the two bars' colours sliding in opposite directions, and a
// grey shade strip under it where the scroller runs. All in eye coordinates
// (identity modelview) under the 45-degree perspective projection: at
// z = -1 the view spans y -0.414..0.414, so the panel (y -0.39..0.12) covers
// window rows about 14 to 310 from the bottom and the strip (down to -0.45)
// reaches past the bottom edge; the logo at z = -1.11 starts about 261 rows
// up. It lies over the tubes by its depth function (GL_ALWAYS), not by depth.

namespace scene {

struct SceneClocks;

// The bars' texture offset: whole 1/70 s of the page clock, mod 100, in
// hundredths; 0 at every page change, repeating every 100/70 s.
float BarOffset(double pageClock);

// Expects: identity modelview under the perspective projection, depth test
// on, texturing on. Leaves: blending on with GL_SRC_ALPHA,
// GL_ONE_MINUS_SRC_ALPHA, lighting off, depth function GL_LEQUAL (depth test
// still on, its own depth values written), colour (0.2, 0.2, 0.2, 0.3),
// texWhite bound.
void DrawLogoOverlayAt(double pageClock);

// The overlay of this frame, from the page clock.
void DrawLogoOverlay(const SceneClocks& clocks);

}  // namespace scene
