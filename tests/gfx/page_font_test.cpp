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

double WidthOf(char ch) {
    switch (ch) {
        case '%': return 0.0224595;
        case 'M':
        case 'W': return 0.021483;
        case '@': return 0.0166005;
        case '_': return 0.0185535;
        default: return 0.015624;
    }
}

std::vector<Glyph> GlyphTable() {
    const std::vector<std::pair<char, int>> digits = {
        {'0', 0},   {'1', 20},  {'2', 37},  {'3', 58},  {'4', 80},  {'5', 101}, {'6', 122}, {'7', 144},
        {'8', 165}, {'9', 187}, {'!', 204}, {'@', 223}, {'#', 243}, {'$', 262}, {'%', 285}, {'^', 311},
        {'&', 330}, {'*', 352}, {'(', 369}, {')', 385}, {'-', 398}, {'+', 411}, {'_', 427}, {'[', 447},
        {']', 464}, {'"', 478}, {'|', 489}, {'.', 512}, {'\'', 532}, {',', 553}};
    const std::vector<std::pair<char, int>> letters = {
        {'A', 0},   {'B', 21},  {'C', 43},  {'D', 64},  {'E', 86},  {'F', 107}, {'G', 128},
        {'H', 150}, {'I', 168}, {'J', 186}, {'L', 206}, {'K', 225}, {'M', 248}, {'N', 275},
        {'O', 297}, {'P', 318}, {'Q', 339}, {'R', 361}, {'S', 382}, {'T', 403}, {'U', 422},
        {'V', 442}, {'W', 465}, {'X', 493}, {'Y', 515}, {'Z', 536}};
    std::vector<Glyph> table;
    for (auto [ch, col] : digits) table.push_back({ch, col, 0.42, WidthOf(ch)});
    for (auto [ch, col] : letters) table.push_back({ch, col, 0.715, WidthOf(ch)});
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
    const TexelRect fallback = Touched(0.0, 0.015624, 0.7, 0.7 + kDv);
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
