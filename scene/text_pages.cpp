#include "scene/text_pages.h"

#include <cmath>

#include "gfx/gl.h"
#include "gfx/texture_table.h"
#include "scene/scene_state.h"
#include "scene/vector3.h"

namespace scene {

int pageCount = 1;

namespace {

// Whole pixels: the sway and the bob move glyphs by integers only.
int Wave(double amplitude, double radians, bool cosine) {
    return static_cast<int>(amplitude * (cosine ? std::cos(radians) : std::sin(radians)));
}

}  // namespace

int LayoutTextPage(const TextPagesState& state, const PageLines& lines, float textWaveX, float textWaveY,
                   std::span<GlyphQuad, kMaxPageGlyphs> out) {
    int count = 0;
    const int last = state.pageLastLine < data::kTextLinesPerPage ? state.pageLastLine : data::kTextLinesPerPage - 1;
    for (int line = 0; line <= last; ++line) {
        const std::string_view text = lines[static_cast<std::size_t>(line)];
        if (text.empty()) continue;
        const bool odd = (line & 1) != 0;
        const float spread = state.lineSpread[static_cast<std::size_t>(line)];
        const float y0 = 283.0f - static_cast<float>(line) * state.linePitch;
        const int sway = Wave(30.0, (12.0 * line + textWaveX) * kRadiansPerDegree, false);
        for (int j = 0; j < data::kTextLineChars; ++j) {
            // Odd lines run from the right edge: the slot is read backwards,
            // so its last character opens first.
            const int pos = odd ? data::kTextLineChars - 1 - j : j;
            const char ch = pos < static_cast<int>(text.size()) ? text[static_cast<std::size_t>(pos)] : ' ';
            if (ch == ' ') continue;
            const float x0 = odd ? 628.0f - spread - static_cast<float>(j) * spread
                                 : static_cast<float>(j + 1) * spread - 12.0f;
            const data::Glyph2& glyph = data::Glyph2Table[static_cast<unsigned char>(ch)];
            const int bob = Wave(15.0, (8.0 * pos + textWaveY) * kRadiansPerDegree, true);
            out[static_cast<std::size_t>(count++)] = {x0 + static_cast<float>(sway + glyph.shift),
                                                      y0 + static_cast<float>(bob), glyph.u, glyph.v, glyph.du,
                                                      glyph.width};
        }
    }
    return count;
}

void TextStep(TextPagesState& state, int pageStep) {
    if (pageStep < kPageSteps - kFoldSteps) {
        float& spread = state.lineSpread[static_cast<std::size_t>(state.pageLastLine)];
        if (spread < kFullSpread) {
            spread += 1.0f;
        } else if (state.pageLastLine < data::kTextLinesPerPage - 1) {
            ++state.pageLastLine;
        }
    } else {
        for (float& spread : state.lineSpread) {
            if (spread > 0.0f) spread -= 1.0f;
        }
        if (state.linePitch > 0.0f) state.linePitch -= 1.0f;
    }
}

void NextPage(TextPagesState& state, int pages) {
    // The spreads are not reset: the page's 20 folding steps have closed
    // them (a page runs all its steps, however the frames fall).
    ++state.pageIndex;
    if (state.pageIndex >= pages) state.pageIndex = 0;
    state.pageLastLine = 0;
    state.linePitch = kFullPitch;
    state.pageSteps = 0;
}

bool StepPage(TextPagesState& state, int pages) {
    const bool turned = state.pageSteps >= kPageSteps;
    if (turned) NextPage(state, pages);
    TextStep(state, ++state.pageSteps);
    return turned;
}

void DrawTextPages(const TextPagesState& state, float textWaveX, float textWaveY) {
    // Read every frame from the block, so a patched executable shows its text.
    char text[data::kTextLinesPerPage][data::kTextSlotBytes];
    PageLines lines{};
    for (int line = 0; line <= state.pageLastLine && line < data::kTextLinesPerPage; ++line) {
        const int n = data::ReadTextLine(state.pageIndex, line, text[line]);
        lines[static_cast<std::size_t>(line)] = std::string_view(text[line], static_cast<std::size_t>(n));
    }
    static std::array<GlyphQuad, kMaxPageGlyphs> quads;
    const int count = LayoutTextPage(state, lines, textWaveX, textWaveY, quads);

    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    if (gfx::textures.texFont2) glBindTexture(GL_TEXTURE_2D, gfx::textures.texFont2->name);
    glBegin(GL_QUADS);
    for (int i = 0; i < count; ++i) {
        const GlyphQuad& q = quads[static_cast<std::size_t>(i)];
        const float x1 = q.x + static_cast<float>(q.width);
        const float y1 = q.y + static_cast<float>(data::kGlyph2Pixels);
        const float u1 = q.u + q.du;
        const float v1 = q.v + data::kGlyph2Height;
        glTexCoord2f(q.u, q.v);
        glVertex2f(q.x, q.y);
        glTexCoord2f(u1, q.v);
        glVertex2f(x1, q.y);
        glTexCoord2f(u1, v1);
        glVertex2f(x1, y1);
        glTexCoord2f(q.u, v1);
        glVertex2f(q.x, y1);
    }
    glEnd();
}

void DrawTextPages(const SceneState& state) { DrawTextPages(state.textPages, state.textWaveX, state.textWaveY); }

}  // namespace scene
