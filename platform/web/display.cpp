// The display on the web: the page's canvas is the window, a WebGL 2
// context through the GL layer (webgl/) is the OpenGL context. A page has
// no display modes, so there is nothing to switch to or restore; the canvas
// keeps its 640 x 480 drawing buffer and the page scales it to fit.
//   RegisterWindowClass    the procedure, and the page's events (messages.cpp)
//   CreateWindow           the canvas at width x height, the title as the page's
//   GetDeviceContext, ChoosePixelFormat, SetPixelFormat
//                          true while the window exists (WebGL has no such steps)
//   CreateGlContext        webgl::CreateContext on the canvas; while the
//                          browser has the context lost, a note over the page
//                          says so (the GL layer makes everything again when
//                          it is restored)
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

// The canvas is black while the browser has taken the GL context away (a
// graphics reset, a phone sending the page to the background); the show and
// its sound go on meanwhile, so the viewer is told why and that the picture
// comes back. watch 0 stops listening and takes the note away, before the
// context is let go on purpose.
EM_JS(void, WatchContext, (const char* selector, int watch), {
    var canvas = document.querySelector(UTF8ToString(selector));
    var watcher = Module.quandrixContextWatcher;
    if (!watcher) {
        watcher = Module.quandrixContextWatcher = {
            lost: function(event) {
                // Browsers show a lost context's canvas as an empty or
                // broken picture: the page's black shows instead.
                event.target.style.opacity = 0;
                if (document.getElementById("quandrix-lost")) return;
                var note = document.createElement("p");
                note.id = "quandrix-lost";
                note.setAttribute("role", "status");
                note.textContent = "Picture lost: the browser has reset the graphics. " +
                                   "The show goes on, and the picture comes back as soon as the browser allows.";
                note.style.cssText = "position: absolute; left: 50%; top: 50%; transform: translate(-50%, -50%); " +
                                     "margin: 0; max-width: 90vw; text-align: center; pointer-events: none; " +
                                     "color: #d8a040; font: bold 15px monospace;";
                document.body.appendChild(note);
            },
            restored: function() {
                var note = document.getElementById("quandrix-lost");
                if (note) note.remove();
                if (canvas) canvas.style.opacity = "";
            },
        };
    }
    if (!canvas) return;
    if (watch) {
        canvas.addEventListener("webglcontextlost", watcher.lost);
        canvas.addEventListener("webglcontextrestored", watcher.restored);
    } else {
        canvas.removeEventListener("webglcontextlost", watcher.lost);
        canvas.removeEventListener("webglcontextrestored", watcher.restored);
        watcher.restored();
    }
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

bool CreateGlContext() {
    if (!display.window || !webgl::CreateContext(web::kCanvas)) return false;
    WatchContext(web::kCanvas, 1);
    return true;
}

bool MakeCurrent() { return webgl::HasContext(); }

void ShowWindow() { StyleCanvas(web::kCanvas, 1, 1); }

bool ReleaseCurrent() { return true; }

bool DeleteGlContext() {
    const bool existed = webgl::HasContext();
    if (existed) WatchContext(web::kCanvas, 0);
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
