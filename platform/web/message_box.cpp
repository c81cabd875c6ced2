// Message boxes on the web: a box laid over the page with the caption, the
// text and an OK button that takes it away, drawn by the page
// (Module.quandrixBox), which shows its own failures in the same box. A page cannot stop its script
// to wait for an answer, so the call returns at once; every box the intro
// shows is followed by its end, and the box stays until the reader closes
// it. The one question (the full-screen fallback) is never asked here, as a
// page has no display mode to refuse; were it asked, it would count as No.
#include "platform/message_box.h"

#include <emscripten/emscripten.h>

namespace platform {

namespace {

EM_JS(void, ShowBox, (const char* caption, const char* text), {
    var show = Module['quandrixBox'] || function(caption, text) { console.error(caption + ': ' + text); };
    show(UTF8ToString(caption), UTF8ToString(text));
});

}  // namespace

void MessageBoxOk(const char* text, const char* caption, BoxIcon) { ShowBox(caption, text); }

BoxAnswer MessageBoxYesNo(const char* text, const char* caption, BoxIcon) {
    ShowBox(caption, text);
    return BoxAnswer::No;
}

}  // namespace platform
