// The display on the web: the page's canvas is the window, a WebGL 2
// context through the GL layer (webgl/) is the OpenGL context. A page has
// no display modes, so there is nothing to switch to or restore; the canvas
// keeps its 640 x 480 drawing buffer and the page scales it to fit.
//   RegisterWindowClass    the procedure, and the page's events (messages.cpp)
//   CreateWindow           the canvas at width x height, the title as the page's
//   GetDeviceContext, ChoosePixelFormat, SetPixelFormat
//                          true while the window exists (WebGL has no such steps)
//   CreateGlContext        webgl::CreateContext on the canvas
//   SwapBuffers            webgl::Present: the browser shows the canvas when
//                          the frame callback returns
#include "platform/display.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include "platform/web/web.h"
#include "webgl/legacy_gl.h"

namespace platform {

namespace {

struct Display {
    bool listening = false;
    bool window = false;
};

Display display;

EM_JS(void, StyleCanvas, (const char* selector, int shown, int cursor), {
    var canvas = document.querySelector(UTF8ToString(selector));
    if (!canvas) return;
    canvas.style.visibility = shown ? "" : "hidden";
    canvas.style.cursor = cursor ? "" : "none";
});

}  // namespace

bool RegisterWindowClass(const char*, WindowProcedure procedure) {
    SetWindowProcedure(procedure);
    if (!display.listening) display.listening = web::ListenToPage();
    return display.listening;
}

bool ChangeDisplayMode(int, int, int) { return false; }

void RestoreDisplayMode() {}

void ShowCursor(bool show) { StyleCanvas(web::kCanvas, display.window ? 1 : 0, show ? 1 : 0); }

bool CreateWindow(const char*, const char* title, WindowStyle, int width, int height, const PixelFormatRequest&) {
    if (emscripten_set_canvas_element_size(web::kCanvas, width, height) != EMSCRIPTEN_RESULT_SUCCESS) return false;
    emscripten_set_window_title(title);
    display.window = true;
    return true;
}

bool SetWindowIcon(const void*, std::size_t) { return false; }  // the page brings its own

bool GetDeviceContext() { return display.window; }

bool ChoosePixelFormat() { return display.window; }

bool SetPixelFormat() { return display.window; }

bool CreateGlContext() { return display.window && webgl::CreateContext(web::kCanvas); }

bool MakeCurrent() { return webgl::HasContext(); }

void ShowWindow() { StyleCanvas(web::kCanvas, 1, 1); }

bool ReleaseCurrent() { return true; }

bool DeleteGlContext() {
    const bool existed = webgl::HasContext();
    webgl::DestroyContext();
    return existed;
}

bool ReleaseDeviceContext() { return display.window; }

bool DestroyWindow() {
    if (!display.window) return false;
    StyleCanvas(web::kCanvas, 0, 1);
    if (display.listening) web::StopListening();
    display.listening = false;
    display.window = false;
    return true;
}

void SwapBuffers() { webgl::Present(); }

void GetClientSize(int* width, int* height) {
    *width = 0;
    *height = 0;
    if (display.window) emscripten_get_canvas_element_size(web::kCanvas, width, height);
}

void* GetGlProcAddress(const char* name) { return webgl::GetProcAddress(name); }

}  // namespace platform
