#include "scene/scroller.h"

#include "data/scroll_text.h"
#include "gfx/gl.h"
#include "gfx/texture_table.h"
#include "scene/scene_state.h"

namespace scene {

int LayoutScroller(const ScrollerState& state, std::string_view text, std::span<ScrollCell, kScrollCells> out) {
    if (text.empty()) return 0;
    const std::size_t len = text.size();
    int count = 0;
    for (int i = 0; i < kScrollCells; ++i) {
        // The index wraps per cell, so the text's end runs straight into its start.
        const auto ch = static_cast<signed char>(text[(static_cast<std::size_t>(state.scrollChar) + i) % len]);
        if (ch <= 32) continue;
        const float u0 = static_cast<float>(ch - 32) / 64.0f - 1.0f;
        out[static_cast<std::size_t>(count++)] = {8 * i - state.scrollPixel, u0, u0 + 1.0f / 64.0f};
    }
    return count;
}

void StepScroller(ScrollerState& state, std::string_view text) {
    ++state.scrollPixel;
    if (state.scrollPixel >= 8) {
        state.scrollPixel = 0;
        ++state.scrollChar;
        if (state.scrollChar > static_cast<int>(text.size()) - 1) state.scrollChar = 0;
    }
}

void DrawScroller(const ScrollerState& state) {
    std::array<ScrollCell, kScrollCells> cells;
    const int count = LayoutScroller(state, std::string_view(data::ScrollText.data(), data::kScrollTextLength), cells);

    glColor4f(1.0f, 1.0f, 1.0f, 0.3f);
    if (gfx::textures.texFont) glBindTexture(GL_TEXTURE_2D, gfx::textures.texFont->name);
    glBegin(GL_QUADS);
    for (int i = 0; i < count; ++i) {
        const ScrollCell& c = cells[static_cast<std::size_t>(i)];
        const auto x0 = static_cast<float>(c.x);
        const float x1 = x0 + 8.0f;
        glTexCoord2f(c.u0, -1.0f);
        glVertex2f(x0, 1.0f);
        glTexCoord2f(c.u1, -1.0f);
        glVertex2f(x1, 1.0f);
        glTexCoord2f(c.u1, 0.0f);
        glVertex2f(x1, 9.0f);
        glTexCoord2f(c.u0, 0.0f);
        glVertex2f(x0, 9.0f);
    }
    glEnd();
}

void DrawScroller(const SceneState& state) { DrawScroller(state.scroller); }

void StepScroller(SceneState& state) {
    StepScroller(state.scroller, std::string_view(data::ScrollText.data(), data::kScrollTextLength));
}

}  // namespace scene
