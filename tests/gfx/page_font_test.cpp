// The page font against the glyph table the text pages draw with: every
// glyph's rectangle holds its ink and no one else's.
#include <cmath>
#include <cstdint>
#include <map>
#include <queue>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/glyph2_table.h"
#include "gfx/image_textures.h"

namespace {

constexpr int kW = 1024;
constexpr int kH = 128;
constexpr double kDv = 0.3125;

struct Glyph {
    char ch;
    int col;    // texel column of u
    double v;   // 0.42 digits and punctuation, 0.715 letters
    double du;  // width in texture units
};

// The rows the text pages draw with, as the font generator read them.
std::vector<Glyph> GlyphTable() {
    std::vector<Glyph> table;
    for (const data::Glyph2Row& row : data::glyph2Rows) table.push_back({row.ch, row.column, row.v, row.du});
    return table;
}

// The texels a rectangle touches: columns [x0, x1), rows [y0, y1), rows
// taken modulo the height (the letters' rectangles run over the top edge
// and the repeat wrap brings them in at the bottom).
struct TexelRect {
    int x0, x1, y0, y1;
    bool Contains(int x, int y) const {
        if (x < x0 || x >= x1) return false;
        for (int r = y0; r < y1; ++r) {
            if (((r % kH) + kH) % kH == y) return true;
        }
        return false;
    }
};

TexelRect Touched(double u0, double u1, double v0, double v1) {
    return {static_cast<int>(std::floor(u0 * kW)), static_cast<int>(std::ceil(u1 * kW)),
            static_cast<int>(std::floor(v0 * kH)), static_cast<int>(std::ceil(v1 * kH))};
}

TexelRect RectOf(const Glyph& g) {
    const double u = g.col / 1024.0;  // u = col/1024 - 1, the -1 taken up by the wrap
    return Touched(u, u + g.du, g.v, g.v + kDv);
}

class PageFont : public ::testing::Test {
protected:
    void SetUp() override {
        const auto image = gfx::MakeImageTexture(gfx::Slot(gfx::SlotId::Font2), 8192);
        ASSERT_TRUE(image);
        ASSERT_EQ(image->width, kW);
        ASSERT_EQ(image->height, kH);
        ink.assign(kW * kH, false);
        for (int i = 0; i < kW * kH; ++i) ink[static_cast<std::size_t>(i)] = image->pixels[static_cast<std::size_t>(i) * 4 + 3] != 0;
    }

    bool Ink(int x, int y) const { return ink[static_cast<std::size_t>(y * kW + x)]; }

    // 8-connected groups of ink texels.
    std::vector<std::vector<std::pair<int, int>>> Components() const {
        std::vector<bool> seen(ink.size(), false);
        std::vector<std::vector<std::pair<int, int>>> out;
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                if (!Ink(x, y) || seen[static_cast<std::size_t>(y * kW + x)]) continue;
                std::vector<std::pair<int, int>> part;
                std::queue<std::pair<int, int>> todo;
                todo.push({x, y});
                seen[static_cast<std::size_t>(y * kW + x)] = true;
                while (!todo.empty()) {
                    auto [cx, cy] = todo.front();
                    todo.pop();
                    part.push_back({cx, cy});
                    for (int dy = -1; dy <= 1; ++dy) {
                        for (int dx = -1; dx <= 1; ++dx) {
                            const int nx = cx + dx, ny = cy + dy;
                            if (nx < 0 || ny < 0 || nx >= kW || ny >= kH) continue;
                            const auto k = static_cast<std::size_t>(ny * kW + nx);
                            if (Ink(nx, ny) && !seen[k]) {
                                seen[k] = true;
                                todo.push({nx, ny});
                            }
                        }
                    }
                }
                out.push_back(std::move(part));
            }
        }
        return out;
    }

    std::vector<bool> ink;
};

TEST_F(PageFont, EveryGlyphRectangleHoldsOnlyItsOwnInk) {
    const std::vector<Glyph> table = GlyphTable();
    ASSERT_EQ(table.size(), 56u);
    std::vector<TexelRect> rects;
    for (const Glyph& g : table) rects.push_back(RectOf(g));

    // Each stroke (connected ink) lies wholly inside exactly one glyph's
    // rectangle and touches no other: so no glyph's rectangle shows a piece
    // of a neighbour, even where the rectangles of ')' '-' '+' and ']' '"'
    // '|' overlap, or where the two bands overlap by two rows.
    std::map<char, int> strokes;
    for (const auto& part : Components()) {
        std::set<std::size_t> touching;
        std::set<std::size_t> holding;
        for (std::size_t r = 0; r < rects.size(); ++r) {
            bool all = true;
            for (auto [x, y] : part) {
                if (rects[r].Contains(x, y)) {
                    touching.insert(r);
                } else {
                    all = false;
                }
            }
            if (all) holding.insert(r);
        }
        ASSERT_EQ(holding.size(), 1u) << "stroke at " << part[0].first << "," << part[0].second;
        ASSERT_EQ(touching.size(), 1u) << "stroke at " << part[0].first << "," << part[0].second;
        ++strokes[table[*holding.begin()].ch];
    }
    for (const Glyph& g : table) EXPECT_GT(strokes[g.ch], 0) << "no ink for " << g.ch;
}

TEST_F(PageFont, InkKeepsClearOfTheRectangleEdges) {
    // With linear filtering a glyph drawn at its size samples half a texel
    // beyond its rectangle: keep each glyph's own outermost columns and rows
    // free, so no edge of a neighbour can bleed in.
    for (const Glyph& g : GlyphTable()) {
        const TexelRect r = RectOf(g);
        for (int y = r.y0; y < r.y1; ++y) {
            const int row = ((y % kH) + kH) % kH;
            EXPECT_FALSE(Ink(r.x0, row)) << g.ch;
            EXPECT_FALSE(Ink(r.x1 - 1, row)) << g.ch;
        }
    }
}

TEST_F(PageFont, FallbackRectangleShowsTheWholeA) {
    // u = -1.0, v = 0.7, the normal width: 1.92 rows below the 'A', which
    // sits in the same columns. It holds every texel of the 'A' and nothing
    // else, so characters outside the set read as an 'A', never as a torn
    // mix of 'A' and '0'.
    const data::Glyph2Row& f = data::glyph2Fallback;
    const TexelRect fallback = Touched(f.column / 1024.0, f.column / 1024.0 + f.du, f.v, f.v + kDv);
    const TexelRect a = RectOf(GlyphTable()[30]);
    ASSERT_EQ(GlyphTable()[30].ch, 'A');
    int inA = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < 40; ++x) {
            if (!Ink(x, y)) continue;
            if (a.Contains(x, y)) {
                ++inA;
                EXPECT_TRUE(fallback.Contains(x, y)) << x << "," << y;
            } else {
                EXPECT_FALSE(fallback.Contains(x, y)) << x << "," << y;
            }
        }
    }
    EXPECT_GT(inA, 100);
}

}  // namespace
