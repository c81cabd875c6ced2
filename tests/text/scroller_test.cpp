// The scroller without GL: its step and wrap, and which cells show what.
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/scroll_text.h"
#include "scene/scroller.h"

namespace {

using scene::ScrollCell;
using scene::ScrollerState;

std::vector<ScrollCell> Layout(const ScrollerState& s, std::string_view text) {
    std::array<ScrollCell, scene::kScrollCells> out;
    const int n = scene::LayoutScroller(s, text, out);
    return {out.begin(), out.begin() + n};
}

TEST(Scroller, StepsAPixelACharacterEvery8AndWrapsAfterTheLast) {
    const std::string text = "ABC";
    ScrollerState s;
    for (int i = 1; i <= 7; ++i) {
        scene::StepScroller(s, text);
        EXPECT_EQ(s.scrollPixel, i);
        EXPECT_EQ(s.scrollChar, 0);
    }
    scene::StepScroller(s, text);
    EXPECT_EQ(s.scrollPixel, 0);
    EXPECT_EQ(s.scrollChar, 1);
    for (int i = 0; i < 16; ++i) scene::StepScroller(s, text);
    EXPECT_EQ(s.scrollChar, 0);
    EXPECT_EQ(s.scrollPixel, 0);
}

TEST(Scroller, EightyTwoCellsMovingLeftWithThePixel) {
    const std::string text(200, 'A');
    for (int pixel : {0, 7}) {
        const auto cells = Layout({0, pixel}, text);
        ASSERT_EQ(cells.size(), 82u);
        EXPECT_EQ(cells.front().x, -pixel);
        EXPECT_EQ(cells.back().x, 8 * 81 - pixel);  // off the 640-pixel screen either way
        EXPECT_EQ(cells.front().u0, 33.0f / 64.0f - 1.0f);
        EXPECT_EQ(cells.front().u1, cells.front().u0 + 1.0f / 64.0f);
    }
}

TEST(Scroller, SpacesControlsAndHighBytesLeaveTheirCellEmpty) {
    std::string text = "! \x01\x1f\x80\xff\x7f~a_";
    const auto cells = Layout({0, 0}, text);
    // Of each 10 characters, '!', DEL, '~', 'a' and '_' draw; the text
    // repeats across the 82 cells since the index wraps per cell.
    std::vector<int> first;
    for (const ScrollCell& c : cells) {
        if (c.x < 80) first.push_back(c.x);
    }
    EXPECT_EQ(first, std::vector<int>({0, 48, 56, 64, 72}));
    EXPECT_EQ(cells.size(), 5u * 8u + 1u);  // 8 whole repeats and the '!' of cell 80
    // Above 95 the glyph 64 codes lower shows through the repeat wrap:
    // 'a' (97) reads as '!' (33), '~' (126) as '>' (62), DEL as '?'.
    EXPECT_EQ(cells[3].u0 - 1.0f, cells[0].u0);
    EXPECT_EQ(cells[2].u0, (126.0f - 32.0f) / 64.0f - 1.0f);
    EXPECT_FLOAT_EQ(cells[2].u0 - 1.0f, (62.0f - 32.0f) / 64.0f - 1.0f);
    EXPECT_EQ(cells[4].u0, (95.0f - 32.0f) / 64.0f - 1.0f);
}

TEST(Scroller, TheTextsEndRunsIntoItsStartCellByCell) {
    const std::string text = "ABCDE";
    const auto cells = Layout({3, 0}, text);  // D, E, A, B, C, D, ...
    ASSERT_EQ(cells.size(), 82u);
    EXPECT_EQ(cells[2].u0, ('A' - 32) / 64.0f - 1.0f);
    EXPECT_EQ(cells[1].u0, ('E' - 32) / 64.0f - 1.0f);
    EXPECT_TRUE(Layout({0, 0}, "").empty());
}

TEST(Scroller, TheShippedLineStartsOnAnEmptyScreen) {
    const std::string_view text(data::ScrollText.data(), data::kScrollTextLength);
    EXPECT_EQ(text.size(), std::char_traits<char>::length(data::ScrollText.data()));
    EXPECT_TRUE(Layout({0, 0}, text).empty());
    // The 95 leading spaces run out as the first character enters cell 81.
    EXPECT_EQ(Layout({95 - 81, 0}, text).size(), 1u);
}

}  // namespace
