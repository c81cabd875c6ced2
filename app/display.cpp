#include "app/display.h"

#include "gfx/gl.h"
#include "gfx/texture_table.h"
#include "platform/display.h"
#include "platform/message_box.h"
#include "platform/resources.h"

namespace app {

bool fullscreen = true;
std::array<std::uint8_t, 256> keyDown{};
bool windowActive = true;
bool exitKeyPressed = false;

namespace {

struct DisplayHandles {
    bool window = false;
    bool deviceContext = false;
    bool renderingContext = false;
};

DisplayHandles handles;

void Fail(const char* text) { platform::MessageBoxOk(text, "ERROR", platform::BoxIcon::Exclamation); }

void ShutdownError(const char* text) {
    platform::MessageBoxOk(text, "SHUTDOWN ERROR", platform::BoxIcon::Information);
}

// A failure once the window exists releases everything made so far (the
// context, the window, the display mode) before its box is shown, so that
// the box is never hidden behind a full-screen window or a changed mode.
bool FailAfterDestroy(const char* text) {
    DestroyDisplay();
    Fail(text);
    return false;
}

}  // namespace

void ResetDisplayState() {
    fullscreen = true;
    keyDown.fill(0);
    windowActive = true;
    exitKeyPressed = false;
    handles = DisplayHandles{};
}

bool CreateDisplay(const char* title, int width, int height, int colourBits, bool fullscreenRequested) {
    fullscreen = fullscreenRequested;

    if (!platform::RegisterWindowClass(kWindowClass, WindowProc)) {
        Fail("Failed To Register The Window Class.");
        return false;
    }

    platform::WindowStyle style = platform::WindowStyle::Overlapped;
    // The GL pixel format asks for the depth the display was set to.
    int depth = colourBits;
    if (fullscreen) {
        depth = SwitchToFullScreen(width, height, colourBits, platform::ChangeDisplayMode);
        if (depth == 0) {
            const platform::BoxAnswer answer = platform::MessageBoxYesNo(
                "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?",
                title, platform::BoxIcon::Exclamation);
            if (answer != platform::BoxAnswer::Yes) {
                platform::MessageBoxOk("Program Will Now Close.", "ERROR", platform::BoxIcon::Stop);
                return false;
            }
            fullscreen = false;
            depth = colourBits;
        }
        if (fullscreen) {
            platform::ShowCursor(false);
            style = platform::WindowStyle::Popup;
        }
    }

    platform::PixelFormatRequest pixelFormat;
    pixelFormat.colourBits = depth;
    pixelFormat.depthBits = 16;
    pixelFormat.doubleBuffer = true;

    handles.window = platform::CreateWindow(kWindowClass, title, style, width, height, pixelFormat);
    if (!handles.window) return FailAfterDestroy("Window Creation Error.");
    // The desktop shows our own icon for the window; without it, none.
    const auto icon = platform::FindResource("IDI_QUANDRIX", "ICON");
    platform::SetWindowIcon(icon.data(), icon.size());
    handles.deviceContext = platform::GetDeviceContext();
    if (!handles.deviceContext) return FailAfterDestroy("Can't Create A GL Device Context.");
    if (!platform::ChoosePixelFormat()) return FailAfterDestroy("Can't Find A Suitable PixelFormat.");
    if (!platform::SetPixelFormat()) return FailAfterDestroy("Can't Set The PixelFormat.");
    handles.renderingContext = platform::CreateGlContext();
    if (!handles.renderingContext) return FailAfterDestroy("Can't Create A GL Rendering Context.");
    if (!platform::MakeCurrent()) return FailAfterDestroy("Can't Activate The GL Rendering Context.");

    platform::ShowWindow();
    ResizeView(width, height);
    if (!InitRenderState()) return FailAfterDestroy("Initialization Failed.");
    return true;
}

int SwitchToFullScreen(int width, int height, int colourBits, const ModeSwitch& change) {
    constexpr int kTrueColour = 32;
    if (change(width, height, colourBits)) return colourBits;
    if (colourBits != kTrueColour && change(width, height, kTrueColour)) return kTrueColour;
    return 0;
}

void DestroyDisplay() {
    if (handles.renderingContext) {
        if (!platform::ReleaseCurrent()) ShutdownError("Release Of DC And RC Failed.");
        if (!platform::DeleteGlContext()) ShutdownError("Release Rendering Context Failed.");
        handles.renderingContext = false;
    }
    if (handles.deviceContext) {
        if (!platform::ReleaseDeviceContext()) ShutdownError("Release Device Context Failed.");
        handles.deviceContext = false;
    }
    if (handles.window) {
        if (!platform::DestroyWindow()) ShutdownError("Could Not Release hWnd.");
        handles.window = false;
    }
    if (fullscreen) {
        platform::RestoreDisplayMode();
        platform::ShowCursor(true);
    }
}

void ResizeView(int width, int height) {
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height), 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool InitRenderState() {
    if (!gfx::LoadTextures()) return false;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    return true;
}

platform::LRESULT WindowProc(std::uint32_t message, platform::WPARAM wParam, platform::LPARAM lParam) {
    switch (message) {
    case platform::WM_ACTIVATE:
        windowActive = platform::HighWord(wParam) == 0;
        return 0;
    case platform::WM_SYSCOMMAND:
        // The whole wParam is compared, the low four bits included: only the
        // two exact commands are swallowed, so that any other system command
        // keeps its default handling.
        if (wParam == platform::SC_SCREENSAVE || wParam == platform::SC_MONITORPOWER) return 0;
        break;
    case platform::WM_CLOSE:
        platform::PostQuitMessage(0);
        return 0;
    case platform::WM_KEYDOWN:
        // A code outside the table is ignored rather than written past it.
        if (wParam < keyDown.size()) keyDown[wParam] = 1;
        if (IsExitKey(wParam)) exitKeyPressed = true;
        return 0;
    case platform::WM_KEYUP:
        if (wParam < keyDown.size()) keyDown[wParam] = 0;
        return 0;
    case platform::WM_SIZE:
        ResizeView(platform::LowWord(static_cast<std::uintptr_t>(lParam)),
                   platform::HighWord(static_cast<std::uintptr_t>(lParam)));
        return 0;
    default:
        break;
    }
    return platform::DefWindowProc(message, wParam, lParam);
}

}  // namespace app
