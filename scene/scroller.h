#pragma once
// The scroller: one line of 8 x 8 text running right to left along the
// bottom edge, over everything, in start-up and main mode.
//
// STAND-IN: the state has its fields, the draw and the step do nothing yet.

namespace scene {

struct SceneState;

struct ScrollerState {
    int scrollChar = 0;   // index in the scroll text of the leftmost cell's character
    int scrollPixel = 0;  // pixels moved left within that character, 0..7
};

// Draws the 82 cells of the line.
// Expects: window pixels (gluOrtho2D(0, 640, 0, 480), y up, identity
// modelview), texturing on, depth test off; blending as the mode left it
// (off in start-up mode, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA in main mode).
// Leaves: that state; colour and bound texture changed ((1, 1, 1, 0.3),
// texFont).
void DrawScroller(const SceneState& state);

// One pixel further left (when the scroll step clock fires). No GL.
void ScrollerStep(SceneState& state);

}  // namespace scene
