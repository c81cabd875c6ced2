#pragma once
// Glyph2Table: the page font's glyph for each character (texFont2, 1024 x 128,
// repeat wrap). The rows live in glyph2_table.inc, which the font generator
// reads too; this header turns them into a 256-entry look-up.
//
// Coordinates: u and v are texture coordinates of the glyph rectangle's
// lower-left corner; the rectangle is du wide and 0.3125 tall. width and
// shift are window pixels.

#include <array>
#include <cstddef>

namespace data {

inline constexpr float kGlyph2Height = 0.3125f;  // texture units, every glyph
inline constexpr int kGlyph2Pixels = 24;         // drawn height in pixels, every glyph

// One row of the table as written: the texel column rather than u.
struct Glyph2Row {
    char ch;        // the character
    int column;     // texel column of 1024; u = column / 1024 - 1
    double v;       // 0.42 digits and punctuation, 0.715 letters
    double du;      // rectangle width in texture units
    int width;      // pixels drawn wide
    int shift;      // pixels moved sideways, -2..0
};

inline constexpr Glyph2Row glyph2Rows[] = {
#define GLYPH2(ch, column, v, du, width, shift) {ch, column, v, du, width, shift},
#define GLYPH2_FALLBACK(column, v, du, width, shift)
#include "data/glyph2_table.inc"
#undef GLYPH2
#undef GLYPH2_FALLBACK
};

inline constexpr Glyph2Row glyph2Fallback =
#define GLYPH2(ch, column, v, du, width, shift)
#define GLYPH2_FALLBACK(column, v, du, width, shift) {'\0', column, v, du, width, shift};
#include "data/glyph2_table.inc"
#undef GLYPH2
#undef GLYPH2_FALLBACK

// What the drawing needs of a glyph, in single precision as it is drawn.
struct Glyph2 {
    float u;        // texture coordinate of the left edge, -1..0 (repeat wrap)
    float v;        // texture coordinate of the bottom edge
    float du;       // rectangle width in texture units
    int width;      // pixels drawn wide
    int shift;      // pixels moved sideways
    bool listed;    // false for the fallback glyph
};

constexpr Glyph2 MakeGlyph2(const Glyph2Row& row, bool listed) {
    return {static_cast<float>(row.column) / 1024.0f - 1.0f, static_cast<float>(row.v),
            static_cast<float>(row.du), row.width, row.shift, listed};
}

// Indexed by the character as an unsigned byte; the space is the fallback
// too, but the text pages never draw it.
inline constexpr std::array<Glyph2, 256> Glyph2Table = [] {
    std::array<Glyph2, 256> table{};
    for (Glyph2& g : table) g = MakeGlyph2(glyph2Fallback, false);
    for (const Glyph2Row& row : glyph2Rows) table[static_cast<unsigned char>(row.ch)] = MakeGlyph2(row, true);
    return table;
}();

static_assert(std::size(glyph2Rows) == 56, "30 digits and punctuation, 26 letters");

}  // namespace data
