#include "platform/display.h"

#include <cstdio>
#include <cstdlib>

#include <SDL.h>

#include "platform/display_lost.h"
#include "platform/process_signals.h"

namespace platform {

namespace {

struct Display {
    bool videoUp = false;
    bool modeChosen = false;
    SDL_DisplayMode mode{};
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    bool deviceContext = false;
};

Display display;

void SetGlAttributes(const PixelFormatRequest& pf) {
    const bool sixteen = pf.colourBits <= 16;
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, sixteen ? 5 : 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, sixteen ? 6 : 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, sixteen ? 5 : 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, pf.depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, pf.doubleBuffer ? 1 : 0);
}

bool StartVideo() {
    if (display.videoUp) return true;
    // The close button must become WM_CLOSE (and the exit fade), not an
    // immediate SDL_QUIT.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // Signals are the program's own business (see process_signals.h): a tool
    // keeps the default ending on Ctrl+C, the intro turns it into WM_CLOSE.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    WatchForDisplayLoss(false);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        std::fprintf(stderr, "No display available: %s\n", SDL_GetError());
        return false;
    }
    // Without a window system SDL falls back to drawing into nothing
    // (offscreen, dummy): the user would see no intro at all. Those drivers
    // count as a display only when asked for by name in SDL_VIDEODRIVER, as
    // the tests and tools do.
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool invisible = driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
    if (invisible && !SDL_getenv("SDL_VIDEODRIVER")) {
        std::fprintf(stderr, "No display available: no window system found (DISPLAY and WAYLAND_DISPLAY unset?)\n");
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
        return false;
    }
    WatchForDisplayLoss(driver && SDL_strcmp(driver, "x11") == 0);
    display.videoUp = true;
    // Runs only after a normal end: a lost display ends the process without
    // atexit handlers (display_lost.h).
    std::atexit(SDL_Quit);
    return true;
}

}  // namespace

bool RegisterWindowClass(const char*, WindowProcedure procedure) {
    // Before anything can take long: a leave signal during start-up waits
    // in the queue instead of killing the half-made display.
    InstallProcessSignals();
    if (!StartVideo()) return false;
    SetWindowProcedure(procedure);
    return true;
}

bool ChangeDisplayMode(int width, int height, int bitsPerPixel) {
    const int count = SDL_GetNumDisplayModes(0);
    bool found = false;
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0 || mode.w != width || mode.h != height) continue;
        const bool depthMatches = static_cast<int>(SDL_BITSPERPIXEL(mode.format)) == bitsPerPixel;
        if (!found || depthMatches) {
            display.mode = mode;
            found = true;
        }
        if (depthMatches) break;
    }
    display.modeChosen = found;
    return found;
}

void RestoreDisplayMode() { display.modeChosen = false; }

void ShowCursor(bool show) { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

bool CreateWindow(const char*, const char* title, WindowStyle style, int width, int height,
                  const PixelFormatRequest& pixelFormat) {
    if (!display.videoUp) return false;
    SetGlAttributes(pixelFormat);
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_UTILITY;
    flags |= style == WindowStyle::Popup ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_RESIZABLE;
    display.window = SDL_CreateWindow(title, 0, 0, width, height, flags);
    if (!display.window) return false;
    if (style == WindowStyle::Popup && display.modeChosen) {
        SDL_SetWindowDisplayMode(display.window, &display.mode);
    }
    return true;
}

bool SetWindowIcon(const void* bmp, std::size_t size) {
    if (!display.window || !bmp || size == 0 || size > 0x7FFFFFFF) return false;
    SDL_RWops* stream = SDL_RWFromConstMem(bmp, static_cast<int>(size));
    SDL_Surface* icon = stream ? SDL_LoadBMP_RW(stream, 1) : nullptr;
    if (!icon) return false;
    SDL_SetWindowIcon(display.window, icon);
    SDL_FreeSurface(icon);
    return true;
}

bool GetDeviceContext() {
    display.deviceContext = display.window != nullptr;
    return display.deviceContext;
}

bool ChoosePixelFormat() { return display.deviceContext; }

bool SetPixelFormat() { return display.deviceContext; }

bool CreateGlContext() {
    if (!display.window) return false;
    display.context = SDL_GL_CreateContext(display.window);
    return display.context != nullptr;
}

bool MakeCurrent() {
    return display.context != nullptr && SDL_GL_MakeCurrent(display.window, display.context) == 0;
}

void ShowWindow() {
    if (!display.window) return;
    SDL_ShowWindow(display.window);
    SDL_RaiseWindow(display.window);
}

bool ReleaseCurrent() {
    if (!display.window) return SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
    return SDL_GL_MakeCurrent(display.window, nullptr) == 0;
}

bool DeleteGlContext() {
    if (!display.context) return false;
    SDL_GL_DeleteContext(display.context);
    display.context = nullptr;
    return true;
}

bool ReleaseDeviceContext() {
    const bool had = display.deviceContext;
    display.deviceContext = false;
    return had;
}

bool DestroyWindow() {
    if (!display.window) return false;
    SDL_DestroyWindow(display.window);
    display.window = nullptr;
    return true;
}

void SwapBuffers() {
    if (display.window) SDL_GL_SwapWindow(display.window);
}

void GetClientSize(int* width, int* height) {
    *width = 0;
    *height = 0;
    if (display.window) SDL_GL_GetDrawableSize(display.window, width, height);
}

void* GetGlProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

bool OpenHiddenGlContext(int width, int height) {
    if (!StartVideo()) return false;
    PixelFormatRequest request;
    request.colourBits = 24;
    request.depthBits = 16;
    if (!CreateWindow("OpenGL", "hidden", WindowStyle::Overlapped, width, height, request) ||
        !CreateGlContext() || !MakeCurrent()) {
        std::fprintf(stderr, "No OpenGL context: %s\n", SDL_GetError());
        CloseHiddenGlContext();
        return false;
    }
    GetDeviceContext();
    return true;
}

void CloseHiddenGlContext() {
    if (display.context) {
        ReleaseCurrent();
        DeleteGlContext();
    }
    ReleaseDeviceContext();
    DestroyWindow();
}

}  // namespace platform
