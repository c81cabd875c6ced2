#pragma once
// Scroller: one line of 8-pixel text running right to left along the bottom
// edge, one pixel per scroll step, from texFont (64 glyphs of 8 x 8 for the
// codes 32 to 95). Window pixels with y up; the line sits at y 1 to 9. The
// layout and the step are pure; only DrawScroller touches GL.

#include <array>
#include <span>
#include <string_view>

namespace scene {

struct SceneState;

inline constexpr int kScrollCells = 82;   // 8-pixel cells, 656 pixels: wider than the window

struct ScrollerState {
    int scrollChar = 0;    // index in the text of the character in the leftmost cell
    int scrollPixel = 0;   // pixels the line has moved left within that character, 0..7
};

// One glyph cell: texture s from u0 to u1 (t from -1 to 0) onto window pixels
// x to x + 8, y 1 to 9.
struct ScrollCell {
    int x;         // window pixels, left edge
    float u0;      // texture s of the left edge, -1..0 (repeat wrap)
    float u1;      // u0 + 1/64
};

// Lays out the 82 cells into out and returns how many hold a glyph. A
// character of code 32 or less as a signed byte (the space, controls, bytes
// 128 to 255) leaves its cell empty; one above 95 wraps to the glyph 64
// codes lower. An empty text gives no cells.
int LayoutScroller(const ScrollerState& state, std::string_view text, std::span<ScrollCell, kScrollCells> out);

// One pixel to the left; after 8 pixels the next character, after the last
// character the first again.
void StepScroller(ScrollerState& state, std::string_view text);

// Draws the line of ScrollText at 30 percent alpha. Expects window-pixel
// coordinates, depth test off, texturing on; leaves texFont bound and the
// colour (1, 1, 1, 0.3).
void DrawScroller(const ScrollerState& state);

// The scene's calls, on its state: the draw, and the step when the scroll
// step clock fires (no GL).
void DrawScroller(const SceneState& state);
void StepScroller(SceneState& state);

}  // namespace scene
