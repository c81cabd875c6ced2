#include "scene/scene.h"

#include "data/scroll_text.h"
#include "gfx/gl.h"
#include "scene/scroller.h"
#include "scene/text_pages.h"

namespace scene {

namespace {

// The parts of the frame that exist so far: the text pages and the scroller
// over black, in their places of the frame order and with their step clocks.
struct TextLayerState {
    double mainStepLast = 0.0;     // sceneTime seconds of the last main step
    double scrollStepLast = 0.0;   // sceneTime seconds of the last scroll step
    float textWaveX = 0.0f;        // degrees, +3.2 per main step
    float textWaveY = 0.0f;        // degrees, -5.1 per main step
    TextPageState pages;
    ScrollState scroll;
};

TextLayerState state;

float WrapDegrees(float a) {
    if (a > 360.0f) a -= 360.0f;
    if (a < 0.0f) a += 360.0f;
    return a;
}

void PushWindowPixels() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0.0, 640.0, 0.0, 480.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

}  // namespace

void PrimeScene() {}

bool DrawScene(SceneClocks& clocks) {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    if (clocks.exitFade > 0.0f) return true;

    if (clocks.sceneTime <= static_cast<double>(0.223f)) {
        clocks.pageClock = 0.0;
        glDisable(GL_DEPTH_TEST);
        PushWindowPixels();
    } else {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDisable(GL_DEPTH_TEST);
        PushWindowPixels();
        DrawTextPages(state.pages, state.textWaveX, state.textWaveY);
        UpdateTextPages(state.pages, clocks.pageClock, clocks.stepInterval, pageCount);
    }

    DrawScroller(state.scroll);

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);

    const auto interval = static_cast<double>(clocks.stepInterval);
    if (clocks.sceneTime - state.mainStepLast >= interval) {
        state.textWaveX = WrapDegrees(state.textWaveX + 3.2f);
        state.textWaveY = WrapDegrees(state.textWaveY - 5.1f);
        state.mainStepLast = clocks.sceneTime;
    }
    if (clocks.sceneTime - state.scrollStepLast >= interval) {
        ScrollStep(state.scroll, std::string_view(data::ScrollText.data(), data::kScrollTextLength));
        state.scrollStepLast = clocks.sceneTime;
    }
    return true;
}

}  // namespace scene
