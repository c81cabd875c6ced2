// The display on native Win32: the window class, ChangeDisplaySettings for
// the full-screen mode, the window, its pixel format and WGL context.
#include "platform/display.h"

#include <cstdio>

#include "platform/messages.h"
#include "platform/process_signals.h"
#include "platform/win32/win32.h"

namespace platform {

namespace {

struct Display {
    HINSTANCE instance = nullptr;
    const char* className = nullptr;
    bool classRegistered = false;
    HWND window = nullptr;
    HDC deviceContext = nullptr;
    HGLRC context = nullptr;
    int pixelFormat = 0;
    PIXELFORMATDESCRIPTOR request{};
    HICON icon = nullptr;
};

Display display;

// Every message the window gets, sent or posted, goes to the shell's
// procedure; DefWindowProc (messages.cpp) needs the window it came for.
LRESULT CALLBACK WindowProcedureEntry(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return win32::CallWindowProcedure(window, message, wParam, lParam);
}

}  // namespace

namespace win32 {
HWND MainWindow() { return display.window; }
}  // namespace win32

bool RegisterWindowClass(const char* className, WindowProcedure procedure) {
    display.instance = GetModuleHandleA(nullptr);
    InstallProcessSignals();
    SetWindowProcedure(procedure);
    if (display.classRegistered) return true;
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = WindowProcedureEntry;
    windowClass.hInstance = display.instance;
    windowClass.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32517));  // IDI_WINLOGO
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.lpszClassName = className;
    if (!RegisterClassA(&windowClass)) return false;
    display.className = className;
    display.classRegistered = true;
    return true;
}

// Exactly the depth asked for; the shell tries 32 bits after a refused 16
// (display.h says why), where SDL's rule takes the size at any depth at once.
bool ChangeDisplayMode(int width, int height, int bitsPerPixel) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = static_cast<DWORD>(width);
    mode.dmPelsHeight = static_cast<DWORD>(height);
    mode.dmBitsPerPel = static_cast<DWORD>(bitsPerPixel);
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
    return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

void RestoreDisplayMode() { ChangeDisplaySettingsA(nullptr, 0); }

void ShowCursor(bool show) { ::ShowCursor(show ? TRUE : FALSE); }

bool CreateWindow(const char* className, const char* title, WindowStyle style, int width, int height,
                  const PixelFormatRequest& pixelFormat) {
    const DWORD windowStyle = (style == WindowStyle::Popup ? WS_POPUP : WS_OVERLAPPEDWINDOW) | WS_CLIPSIBLINGS |
                              WS_CLIPCHILDREN;
    // The outer size is width x height: in a window the frame takes its
    // share of it, so the client area is smaller.
    display.window = CreateWindowExA(WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW, className, title, windowStyle, 0, 0, width,
                                     height, nullptr, nullptr, display.instance, nullptr);
    if (!display.window) return false;
    PIXELFORMATDESCRIPTOR& pfd = display.request;
    pfd = PIXELFORMATDESCRIPTOR{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | (pixelFormat.doubleBuffer ? PFD_DOUBLEBUFFER : 0);
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = static_cast<BYTE>(pixelFormat.colourBits);
    pfd.cDepthBits = static_cast<BYTE>(pixelFormat.depthBits);
    pfd.iLayerType = PFD_MAIN_PLANE;
    return true;
}

bool SetWindowIcon(const void* group, std::size_t size) {
    // The icon resource is an icon group: the directory of its sizes, each
    // a resource of its own. The one nearest the big-icon size is taken.
    if (!display.window || !group || size < 6 || size > 0x7FFFFFFF) return false;
    auto* directory = static_cast<PBYTE>(const_cast<void*>(group));
    const int bigSide = GetSystemMetrics(SM_CXICON);
    const int id = LookupIconIdFromDirectoryEx(directory, TRUE, bigSide, bigSide, LR_DEFAULTCOLOR);
    if (id == 0) return false;
    HRSRC found = FindResourceA(display.instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(3));  // RT_ICON
    HGLOBAL loaded = found ? LoadResource(display.instance, found) : nullptr;
    void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return false;
    HICON icon = CreateIconFromResourceEx(static_cast<PBYTE>(bytes), SizeofResource(display.instance, found), TRUE,
                                          0x00030000, bigSide, bigSide, LR_DEFAULTCOLOR);
    if (!icon) return false;
    SendMessageA(display.window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(display.window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    if (display.icon) DestroyIcon(display.icon);
    display.icon = icon;
    return true;
}

bool GetDeviceContext() {
    display.deviceContext = display.window ? GetDC(display.window) : nullptr;
    return display.deviceContext != nullptr;
}

bool ChoosePixelFormat() {
    display.pixelFormat = display.deviceContext ? ::ChoosePixelFormat(display.deviceContext, &display.request) : 0;
    return display.pixelFormat != 0;
}

bool SetPixelFormat() {
    return display.pixelFormat != 0 &&
           ::SetPixelFormat(display.deviceContext, display.pixelFormat, &display.request) != FALSE;
}

bool CreateGlContext() {
    display.context = display.deviceContext ? wglCreateContext(display.deviceContext) : nullptr;
    return display.context != nullptr;
}

bool MakeCurrent() { return display.context && wglMakeCurrent(display.deviceContext, display.context) != FALSE; }

void ShowWindow() {
    if (!display.window) return;
    ::ShowWindow(display.window, SW_SHOW);
    SetForegroundWindow(display.window);
    SetFocus(display.window);
}

bool ReleaseCurrent() { return wglMakeCurrent(nullptr, nullptr) != FALSE; }

bool DeleteGlContext() {
    const bool deleted = display.context && wglDeleteContext(display.context) != FALSE;
    display.context = nullptr;
    return deleted;
}

bool ReleaseDeviceContext() {
    const bool released = display.deviceContext && ReleaseDC(display.window, display.deviceContext) != 0;
    display.deviceContext = nullptr;
    return released;
}

bool DestroyWindow() {
    const bool destroyed = display.window && ::DestroyWindow(display.window) != FALSE;
    display.window = nullptr;
    if (display.icon) DestroyIcon(display.icon);
    display.icon = nullptr;
    return destroyed;
}

void SwapBuffers() {
    if (display.deviceContext) ::SwapBuffers(display.deviceContext);
}

void GetClientSize(int* width, int* height) {
    *width = 0;
    *height = 0;
    RECT client{};
    if (display.window && GetClientRect(display.window, &client)) {
        *width = static_cast<int>(client.right - client.left);
        *height = static_cast<int>(client.bottom - client.top);
    }
}

void* GetGlProcAddress(const char* name) { return reinterpret_cast<void*>(wglGetProcAddress(name)); }

bool OpenHiddenGlContext(int width, int height) {
    PixelFormatRequest request;
    request.colourBits = 24;
    if (!RegisterWindowClass("OpenGL", nullptr) ||
        !CreateWindow("OpenGL", "hidden", WindowStyle::Overlapped, width, height, request) || !GetDeviceContext() ||
        !ChoosePixelFormat() || !SetPixelFormat() || !CreateGlContext() || !MakeCurrent()) {
        std::fprintf(stderr, "No OpenGL context (error %lu)\n", GetLastError());
        CloseHiddenGlContext();
        return false;
    }
    return true;
}

void CloseHiddenGlContext() {
    if (display.context) {
        ReleaseCurrent();
        DeleteGlContext();
    }
    if (display.deviceContext) ReleaseDeviceContext();
    if (display.window) DestroyWindow();
}

}  // namespace platform
