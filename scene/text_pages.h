#pragma once
// TextPages: pages of 14 lines of 31 characters over the scene, one page at a
// time. Each line opens out of a screen edge character by character (even
// lines from the left, odd lines from the right), the lines sway and the
// characters bob, and 20 steps before the 12-second mark the page folds away
// and the next one begins.
//
// Coordinates are window pixels with y up (gluOrtho2D(0, 640, 0, 480)); line 0
// rests at y 283, line 13 at y 23, and a full line spans x 8 to 624 before the
// sway. Angles are degrees. The layout and the steps below are pure; only
// DrawTextPages touches GL.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "data/glyph2_table.h"
#include "data/text_block.h"

namespace scene {

struct SceneState;

inline constexpr int kPageSteps = 720;           // steps per page: 12 s
inline constexpr int kFoldSteps = 20;            // steps of folding at a page's end
inline constexpr float kFullSpread = 20.0f;      // pixels between characters of an open line
inline constexpr float kFullPitch = 20.0f;       // pixels between lines

// Pages in use: the block's count, as start-up read it and clamped to 1..10
// (data::ClampPageCount).
extern int pageCount;

struct TextPagesState {
    int pageIndex = 0;                                 // page on show, 0..pageCount-1
    int pageLastLine = 0;                              // lines 0..pageLastLine are drawn, 0..13
    std::array<float, data::kTextLinesPerPage> lineSpread{};  // pixels between characters, 0..20
    float linePitch = kFullPitch;                      // pixels between lines, 20..0
    int pageSteps = 0;                                 // steps the page has run, 0..kPageSteps
};

// One glyph rectangle to draw: texture (u, v) to (u + du, v + 0.3125) onto
// window pixels (x, y) to (x + width, y + 24).
struct GlyphQuad {
    float x;        // window pixels, left edge
    float y;        // window pixels, bottom edge
    float u;        // texture coordinates of the lower-left corner
    float v;
    float du;       // texture width of the rectangle
    int width;      // pixels
};

inline constexpr int kMaxPageGlyphs = data::kTextLinesPerPage * data::kTextLineChars;  // 434

// The page's lines as read from the block; line L is lines[L].
using PageLines = std::array<std::string_view, data::kTextLinesPerPage>;

// Lays out lines 0..pageLastLine into out (room for kMaxPageGlyphs) and
// returns how many glyphs there are; spaces give none. A line shorter than
// 31 characters is read as if padded with spaces (so odd lines, which read
// their slot from the end, show it where the padded line would); an empty
// line is skipped.
int LayoutTextPage(const TextPagesState& state, const PageLines& lines, float textWaveX, float textWaveY,
                   std::span<GlyphQuad, kMaxPageGlyphs> out);

// One text step, the page's step `pageStep` (1..kPageSteps): unfolding
// until 20 steps before the page's end (the current line opens by one pixel,
// or the next line starts), folding from then on (every spread and the pitch
// close by one pixel).
void TextStep(TextPagesState& state, int pageStep);

// The next page (back to the first after `pages`): its first line only, the
// full pitch, no steps run yet. The spreads stay: 20 folding steps have
// closed them.
void NextPage(TextPagesState& state, int pages);

// One step of the text pages: a page that has run all its steps gives way to
// the next one first, then the page on show takes its text step. True when
// the page changed.
bool StepPage(TextPagesState& state, int pages);

// Draws the page from the block. Expects window-pixel coordinates, blending
// (SRC_ALPHA, ONE_MINUS_SRC_ALPHA) on, depth test off, texturing on; leaves
// texFont2 bound and the colour white.
void DrawTextPages(const TextPagesState& state, float textWaveX, float textWaveY);

// The scene's call, on its state: the draw with its text waves. The steps
// and the page changes run on the show's step clock (scene/timeline.h).
void DrawTextPages(const SceneState& state);

}  // namespace scene
