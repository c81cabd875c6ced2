#pragma once
// Text pages: fourteen lines of the text block in the middle of the screen,
// unfolding from the edges, swaying and bobbing, folding after 12 s.
//
// STAND-IN: the state has its fields, the draw and the step do nothing yet.

namespace scene {

struct SceneState;
struct SceneClocks;

struct TextPagesState {
    int pageIndex = 0;            // page on show, 0 .. pageCount - 1
    int pageLastLine = 0;         // lines 0 .. pageLastLine are drawn, 0..13
    float lineSpread[14] = {};    // pixels between characters, per line, 0..20
    float linePitch = 20.0f;      // pixels between lines, 20..0
};

// Draws lines 0 .. pageLastLine of the page on show.
// Expects: window pixels (gluOrtho2D(0, 640, 0, 480), y up, identity
// modelview), texturing on, depth test off, blending on with GL_SRC_ALPHA,
// GL_ONE_MINUS_SRC_ALPHA. Leaves: that state, colour and bound texture
// changed (white, texFont2).
void DrawTextPages(const SceneState& state);

// The text step (when the text step clock fires on pageClock), then the page
// change check, which may zero clocks.pageClock. Main mode only, right after
// DrawTextPages. No GL.
void StepTextPages(SceneState& state, SceneClocks& clocks);

}  // namespace scene
