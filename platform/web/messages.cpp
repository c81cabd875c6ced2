// The window-message queue on the web: the page's events, delivered by the
// browser between frames, become the messages the shell expects.
//   keydown / keyup (anywhere on the page)   -> WM_KEYDOWN / WM_KEYUP, wParam the
//                               virtual-key code (the event's keyCode, which browsers
//                               give in Windows' numbering; keys without one give nothing)
//   left button down on the canvas           -> WM_LBUTTONDOWN, wParam MK_LBUTTON,
//                               lParam MAKELPARAM(x, y) in canvas pixels
//   the page being closed or left (beforeunload) -> WM_CLOSE
//   the tab hidden / shown                   -> WM_ACTIVATE, minimised / restored
// Escape and Space are kept from the page (Space would scroll it); every
// other key keeps its browser meaning. A held key's repeats are no new
// presses (a Space held past the start would end the show at once).
#include "platform/messages.h"

#include <emscripten/html5.h>

#include "platform/message_queue.h"
#include "platform/web/web.h"

namespace platform {

namespace {

EM_BOOL OnKey(int eventType, const EmscriptenKeyboardEvent* event, void*) {
    const unsigned long code = event->keyCode;
    if (code < 1 || code > 254) return EM_FALSE;
    const bool kept = code == VK_ESCAPE || code == VK_SPACE;
    if (event->repeat) return kept ? EM_TRUE : EM_FALSE;
    queue::Push(eventType == EMSCRIPTEN_EVENT_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, code, 0);
    return kept ? EM_TRUE : EM_FALSE;
}

EM_BOOL OnMouseDown(int, const EmscriptenMouseEvent* event, void*) {
    if (event->button != 0) return EM_FALSE;
    // The canvas is scaled to the page: CSS pixels back to its 640 x 480.
    double cssWidth = 0.0;
    double cssHeight = 0.0;
    int width = 0;
    int height = 0;
    emscripten_get_element_css_size(web::kCanvas, &cssWidth, &cssHeight);
    emscripten_get_canvas_element_size(web::kCanvas, &width, &height);
    const double sx = cssWidth > 0.0 ? width / cssWidth : 1.0;
    const double sy = cssHeight > 0.0 ? height / cssHeight : 1.0;
    queue::Push(WM_LBUTTONDOWN, MK_LBUTTON,
         MakeLParam(static_cast<int>(static_cast<double>(event->targetX) * sx),
                    static_cast<int>(static_cast<double>(event->targetY) * sy)));
    return EM_TRUE;
}

const char* OnBeforeUnload(int, const void*, void*) {
    queue::Push(WM_CLOSE, 0, 0);
    return nullptr;  // no "leave this page?" question
}

EM_BOOL OnVisibility(int, const EmscriptenVisibilityChangeEvent* event, void*) {
    const WPARAM minimised = event->hidden ? 1 : 0;
    queue::Push(WM_ACTIVATE, (event->hidden ? WA_INACTIVE : WA_ACTIVE) | minimised << 16, 0);
    return EM_FALSE;
}

}  // namespace

namespace web {

bool ListenToPage() {
    const char* window = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    if (emscripten_set_mousedown_callback(kCanvas, nullptr, EM_TRUE, OnMouseDown) != EMSCRIPTEN_RESULT_SUCCESS) {
        return false;
    }
    emscripten_set_keydown_callback(window, nullptr, EM_TRUE, OnKey);
    emscripten_set_keyup_callback(window, nullptr, EM_TRUE, OnKey);
    emscripten_set_beforeunload_callback(nullptr, OnBeforeUnload);
    emscripten_set_visibilitychange_callback(nullptr, EM_TRUE, OnVisibility);
    return true;
}

void StopListening() {
    const char* window = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    emscripten_set_mousedown_callback(kCanvas, nullptr, EM_TRUE, nullptr);
    emscripten_set_keydown_callback(window, nullptr, EM_TRUE, nullptr);
    emscripten_set_keyup_callback(window, nullptr, EM_TRUE, nullptr);
    emscripten_set_beforeunload_callback(nullptr, nullptr);
    emscripten_set_visibilitychange_callback(nullptr, EM_TRUE, nullptr);
}

}  // namespace web

bool PeekMessage(Message* out) { return queue::Take(out); }

void ClearMessageQueue() { queue::Clear(); }

}  // namespace platform
