// Text pages without GL: the steps, the page change and the glyph layout.
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "scene/text_pages.h"

namespace {

using scene::GlyphQuad;
using scene::TextPagesState;

std::vector<GlyphQuad> Layout(const TextPagesState& state, const scene::PageLines& lines, float waveX = 0.0f,
                              float waveY = 0.0f) {
    std::array<GlyphQuad, scene::kMaxPageGlyphs> out;
    const int n = scene::LayoutTextPage(state, lines, waveX, waveY, out);
    return {out.begin(), out.begin() + n};
}

TextPagesState OpenPage() {
    TextPagesState s;
    s.pageLastLine = 13;
    s.lineSpread.fill(20.0f);
    return s;
}

TEST(TextPages, AFullPageStandsAfter293Steps) {
    TextPagesState s;
    for (int i = 0; i < 292; ++i) scene::TextStep(s, 1);
    EXPECT_EQ(s.pageLastLine, 13);
    EXPECT_EQ(s.lineSpread[13], 19.0f);
    EXPECT_EQ(s.lineSpread[12], 20.0f);
    scene::TextStep(s, 1);
    for (float spread : s.lineSpread) EXPECT_EQ(spread, 20.0f);
    scene::TextStep(s, 1);
    EXPECT_EQ(s.pageLastLine, 13);
    EXPECT_EQ(s.linePitch, 20.0f);
}

// 20 folding steps from step 700 (12 - 20/60 s) on, then the next page with
// the step after the 720th (12 s).
TEST(TextPages, FoldsInTheLast20StepsAndChangesPageAt12Seconds) {
    TextPagesState s;
    std::vector<float> pitch;
    for (int k = 1; k <= 720; ++k) {
        EXPECT_FALSE(scene::StepPage(s, 2));
        if (k == 699) {
            EXPECT_EQ(s.pageLastLine, 13);
            for (float spread : s.lineSpread) EXPECT_EQ(spread, 20.0f);
        }
        pitch.push_back(s.linePitch);
    }
    for (float spread : s.lineSpread) EXPECT_EQ(spread, 0.0f);
    EXPECT_EQ(s.linePitch, 0.0f);
    EXPECT_EQ(pitch[699], 19.0f);  // k = 700, the first folding step
    EXPECT_EQ(s.pageIndex, 0);

    EXPECT_TRUE(scene::StepPage(s, 2));
    EXPECT_EQ(s.pageIndex, 1);
    EXPECT_EQ(s.pageSteps, 1);
    EXPECT_EQ(s.pageLastLine, 0);
    EXPECT_EQ(s.linePitch, 20.0f);
}

TEST(TextPages, PagesCycleAndASinglePageComesBackUnfoldingAnew) {
    for (int pages : {3, 1}) {
        TextPagesState s;
        std::vector<int> shown;
        for (int change = 0; change < 4; ++change) {
            for (int k = 1; k <= 12 * 60; ++k) scene::StepPage(s, pages);
            scene::NextPage(s, pages);
            shown.push_back(s.pageIndex);
            EXPECT_EQ(s.pageLastLine, 0);
        }
        EXPECT_EQ(shown, pages == 3 ? std::vector<int>({1, 2, 0, 1}) : std::vector<int>({0, 0, 0, 0}));
    }
}

TEST(TextPages, ASlowDisplayStillUnfoldsAndFoldsTheWholePage) {
    // 20 frames per second: three steps a frame, each folding or unfolding
    // by its own place in the page, so the page stands complete after 293
    // steps (98 frames) and the last 20 steps fold it away.
    TextPagesState s;
    for (int step = 1; step <= 98 * 3; ++step) scene::StepPage(s, 2);
    for (float spread : s.lineSpread) EXPECT_EQ(spread, 20.0f);
    for (int step = 98 * 3 + 1; step <= 240 * 3; ++step) scene::StepPage(s, 2);
    for (float spread : s.lineSpread) EXPECT_EQ(spread, 0.0f);
    EXPECT_TRUE(scene::StepPage(s, 2));  // frame 241's first step begins the next page
    EXPECT_EQ(s.linePitch, 20.0f);
}

TEST(TextPages, CharactersOfEvenAndOddLinesTakeTheirGlyphPlaceSwayAndBob) {
    scene::PageLines lines{};
    lines[0] = "A";
    lines[1] = "B                             C";  // slot 0 and slot 30 of an odd line
    const auto q = Layout(OpenPage(), lines);
    ASSERT_EQ(q.size(), 3u);
    // Even line: slot 0 at x 8, no sway at phase 0, full bob at 0 degrees.
    EXPECT_EQ(q[0].x, 8.0f);
    EXPECT_EQ(q[0].y, 283.0f + 15.0f);
    EXPECT_EQ(q[0].u, -1.0f);
    EXPECT_EQ(q[0].v, 0.715f);
    EXPECT_EQ(q[0].du, 0.015624f);
    EXPECT_EQ(q[0].width, 16);
    // Odd line, read from its end: slot 30 first, at x 608; slot 0 at x 8.
    // Line 1 sways by trunc(30 sin 12) = 6; slot 30 bobs by trunc(15 cos 240) = -7.
    EXPECT_EQ(q[1].x, 608.0f + 6.0f);
    EXPECT_EQ(q[1].y, 263.0f - 7.0f);
    EXPECT_EQ(q[1].u, 43.0f / 1024.0f - 1.0f);  // C
    EXPECT_EQ(q[2].x, 8.0f + 6.0f);
    EXPECT_EQ(q[2].y, 263.0f + 15.0f);
    EXPECT_EQ(q[2].u, 21.0f / 1024.0f - 1.0f);  // B

    // The waves cut toward zero: 30 sin 200 = -10.26 -> -10; 15 cos 100 = -2.6 -> -2.
    const auto w = Layout(OpenPage(), lines, 200.0f, 100.0f);
    EXPECT_EQ(w[0].x, 8.0f - 10.0f);
    EXPECT_EQ(w[0].y, 283.0f - 2.0f);
}

TEST(TextPages, WideGlyphsShiftLeftWithoutChangingTheAdvance) {
    scene::PageLines lines{};
    lines[0] = "M@_%W0a";
    const auto q = Layout(OpenPage(), lines, 0.0f, 90.0f);  // bob 0 at slot 0
    ASSERT_EQ(q.size(), 7u);
    const std::array<int, 7> shift = {-2, -1, -1, -2, -2, 0, 0};
    const std::array<int, 7> width = {20, 17, 19, 20, 20, 16, 16};
    for (std::size_t k = 0; k < q.size(); ++k) {
        EXPECT_EQ(q[k].x, 8.0f + 20.0f * static_cast<float>(k) + static_cast<float>(shift[k])) << k;
        EXPECT_EQ(q[k].width, width[k]) << k;
    }
    EXPECT_EQ(q[0].du, 0.021483f);
    EXPECT_EQ(q[3].du, 0.0224595f);
    // Lower case has no glyph of its own: the fallback rectangle.
    EXPECT_EQ(q[6].u, -1.0f);
    EXPECT_EQ(q[6].v, 0.7f);
}

TEST(TextPages, EmptyAndBlankLinesKeepTheirPlaceShortOddLinesReadAsPadded) {
    scene::PageLines lines{};
    for (auto& l : lines) l = "X";
    lines[2] = "";
    lines[4] = std::string_view("                               ");
    const auto q = Layout(OpenPage(), lines, 0.0f, 90.0f);
    ASSERT_EQ(q.size(), 12u);
    // Every line's X is at slot 0 (x 8 before the sway), odd lines included,
    // and each line keeps its row: line 5 at 283 - 100 whatever lines 2 and 4 hold.
    EXPECT_EQ(q[3].y, 283.0f - 5 * 20.0f);
    for (std::size_t k = 0; k < q.size(); ++k) {
        const int line = k < 2 ? static_cast<int>(k) : k < 3 ? 3 : static_cast<int>(k) + 2;
        const int sway = static_cast<int>(30.0 * std::sin((12.0 * line) * 3.14159265358979 / 180.0));
        EXPECT_EQ(q[k].x, 8.0f + static_cast<float>(sway)) << k;
    }
}

TEST(TextPages, LinesCollapseOnTheirEdgeWhileClosed) {
    TextPagesState s;
    s.pageLastLine = 1;
    scene::PageLines lines{};
    lines[0] = "ABC";
    lines[1] = "ABC";
    const auto q = Layout(s, lines, 0.0f, 90.0f);
    ASSERT_EQ(q.size(), 6u);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(q[static_cast<std::size_t>(k)].x, -12.0f);
    for (int k = 3; k < 6; ++k) EXPECT_EQ(q[static_cast<std::size_t>(k)].x, 628.0f + 6.0f);
}

TEST(TextPages, PageCountsOutsideTheBlockAreClamped) {
    EXPECT_EQ(data::ClampPageCount(2), 2);
    EXPECT_EQ(data::ClampPageCount(1), 1);
    EXPECT_EQ(data::ClampPageCount(10), 10);
    EXPECT_EQ(data::ClampPageCount(0), 1);
    EXPECT_EQ(data::ClampPageCount(-128), 1);
    EXPECT_EQ(data::ClampPageCount(11), 10);
    EXPECT_EQ(data::ClampPageCount(127), 10);
}

}  // namespace
