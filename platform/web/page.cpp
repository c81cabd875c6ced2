// The page around the intro: the show's state on the root element, and the browser's frame callback (requestAnimationFrame through
// Emscripten's main loop).
#include "platform/page.h"

#include <cstdlib>

#include <emscripten/emscripten.h>

#include "platform/web/web.h"

namespace platform {

namespace {

struct FrameLoop {
    bool (*frame)(void*) = nullptr;
    int (*finish)(void*) = nullptr;
    void* argument = nullptr;
};

FrameLoop loop;
bool drawn = false;  // the first frame has run

EM_JS(void, AddMark, (const char* name), {
    if (self.performance && performance.mark) performance.mark(UTF8ToString(name));
});

EM_JS(void, WriteState, (const char* state), {
    document.documentElement.dataset.show = UTF8ToString(state);
});

void OnFrame(void*) {
    const bool going = loop.frame(loop.argument);
    if (!drawn) {
        drawn = true;
        web::Mark("quandrix-first-frame");
    }
    if (going) return;
    emscripten_cancel_main_loop();
    // The runtime ends here (the page's Module.onExit hears the status).
    emscripten_force_exit(loop.finish(loop.argument));
}

}  // namespace

void SetPageState(const char* state) { WriteState(state); }

void web::Mark(const char* name) { AddMark(name); }

void RunFrames(bool (*frame)(void*), int (*finish)(void*), void* argument) {
    loop = FrameLoop{frame, finish, argument};
    web::Mark("quandrix-started");
    // 0 frames per second: the browser's own pace (requestAnimationFrame);
    // simulating an infinite loop unwinds main here and never returns.
    emscripten_set_main_loop_arg(OnFrame, nullptr, 0, 1);
    std::abort();  // not reached
}

}  // namespace platform
