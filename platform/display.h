#pragma once
// The display: video services, the full-screen mode switch, the window with
// its OpenGL context, the cursor and the buffer swap. Main thread only.
//
// The operations follow the Win32 steps the shell is written against, so
// that its start-up and shutdown are the same on SDL and on native Win32,
// step by step and message by message. On SDL several of those steps are one
// call; the others
// succeed whenever the step before them did:
//   RegisterWindowClass   SDL_Init(video) and the procedure for DispatchMessage
//   ChangeDisplayMode     pick the offered full-screen mode (see below)
//   CreateWindow          SDL_CreateWindow with the OpenGL pixel-format request
//   GetDeviceContext, ChoosePixelFormat, SetPixelFormat
//                         SDL chose the visual with the window; true while it exists
//   CreateGlContext       SDL_GL_CreateContext (compatibility profile)
//   MakeCurrent           SDL_GL_MakeCurrent
//
// On native Win32 (platform/win32/) each step is the Win32 call of its name.
//
// Full screen: SDL reports success for a mode it cannot set (X servers
// without RandR modes switch nothing), so refusal is decided from the list of
// modes the display offers: ChangeDisplayMode succeeds when display 0 offers
// width x height (at the requested depth if offered, else at any depth), and
// the window then switches to that mode when it is shown. SDL restores the
// desktop mode when that window is destroyed.
//
// On Win32 ChangeDisplayMode asks for exactly the depth given. Since Windows
// 8 a 16-bit request is refused, so the shell asks again at 32 bits before it
// gives up on full screen (app::SwitchToFullScreen). Either way a display
// that shows width x height at some depth runs the intro full screen: SDL by
// accepting any depth in one call, Win32 in at most two.

#include <cstddef>

#include "platform/messages.h"

namespace platform {

// Video up, and `procedure` receives DispatchMessage's messages. False when
// there is no usable display (SDL's reason goes to standard error).
bool RegisterWindowClass(const char* className, WindowProcedure procedure);

// See above. False when display 0 offers no mode of that size (SDL) or
// refuses that size at that depth (Win32).
bool ChangeDisplayMode(int width, int height, int bitsPerPixel);

// Back to the desktop mode (a no-op once the full-screen window is gone).
void RestoreDisplayMode();

// Shows or hides the mouse cursor over the program's window.
void ShowCursor(bool show);

struct PixelFormatRequest {
    int colourBits = 16;  // 16: red 5, green 6, blue 5; otherwise 8 bits each
    int depthBits = 16;   // depth buffer bits
    bool doubleBuffer = true;
};

enum class WindowStyle {
    Popup,       // full screen in the mode of ChangeDisplayMode
    Overlapped,  // an ordinary resizable window with a frame
};

// The hidden window at (0, 0) as a utility window (no task-bar entry):
// width x height pixels of client area on SDL (the window manager adds the
// frame), of outer size on Win32 (the frame takes its share). False on
// failure.
bool CreateWindow(const char* className, const char* title, WindowStyle style, int width, int height,
                  const PixelFormatRequest& pixelFormat);
// Sets the window's icon from the bytes of the icon resource: a BMP (32-bit
// with alpha, or palette) on SDL, the icon group of the executable on Win32.
// False when there is no window or the bytes do not decode.
bool SetWindowIcon(const void* bmp, std::size_t size);
bool GetDeviceContext();
bool ChoosePixelFormat();
bool SetPixelFormat();
bool CreateGlContext();
bool MakeCurrent();
// Shows the window, raises it and gives it the keyboard focus.
void ShowWindow();

// Teardown; each is safe to call when the thing does not exist and reports
// failure by false.
bool ReleaseCurrent();         // no context current
bool DeleteGlContext();
bool ReleaseDeviceContext();
bool DestroyWindow();

// Presents the back buffer (SwapBuffers).
void SwapBuffers();

// Size of the window's drawable area in pixels; 0 x 0 without a window.
void GetClientSize(int* width, int* height);

// An OpenGL entry point by name, or nullptr (wglGetProcAddress).
void* GetGlProcAddress(const char* name);

// For tools and tests: a hidden window with a current compatibility context
// whose back buffer is width x height pixels. Use SDL_VIDEODRIVER=offscreen to
// render without an X server. False (with SDL's reason on standard error)
// when no context can be made.
bool OpenHiddenGlContext(int width, int height);
void CloseHiddenGlContext();

}  // namespace platform
