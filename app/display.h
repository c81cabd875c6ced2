#pragma once
// The window, the display mode and the input state of the intro: creation
// and destruction step by step, each failure with its own message (so that a
// user can tell which step failed, on every platform alike), the
// projection that follows the window size, the starting OpenGL state and the
// window procedure. Main thread only.

#include <array>
#include <cstdint>
#include <functional>

#include "platform/messages.h"

namespace app {

inline constexpr const char* kWindowTitle = "Quandrix 2oo5";
inline constexpr const char* kWindowClass = "OpenGL";

// The display's state, owned here.
extern bool fullscreen;                         // running in the full-screen mode
extern std::array<std::uint8_t, 256> keyDown;   // by virtual-key code: 1 while down
extern bool windowActive;                       // the window is not minimised
// An Escape or Space WM_KEYDOWN the frame loop has not looked at yet. The
// loop looks only in a frame without a message, and a tap's down and up
// messages each take a frame of their own: by then keyDown shows the key
// released, so a press shorter than a frame or two would otherwise be lost.
extern bool exitKeyPressed;

// The keys that ask the intro to leave: Escape and Space.
inline bool IsExitKey(platform::WPARAM key) { return key == platform::VK_ESCAPE || key == platform::VK_SPACE; }
// An exit key is held down now.
inline bool ExitKeyHeld() { return keyDown[platform::VK_ESCAPE] != 0 || keyDown[platform::VK_SPACE] != 0; }

// Back to the starting values, the record of which window, device context
// and rendering context exist included (tests; nothing is released).
void ResetDisplayState();

// Opens the display: video services, the full-screen switch with the
// windowed-fallback question, the window, its OpenGL
// context, the view and the render state with all textures. On false a
// message has been shown and everything made here has been released.
bool CreateDisplay(const char* title, int width, int height, int colourBits, bool fullscreenRequested);

// A full-screen mode switch: true when the display changed to width x height
// at that many bits per pixel.
using ModeSwitch = std::function<bool(int width, int height, int bitsPerPixel)>;

// Switches to width x height full screen and answers the depth it set:
// colourBits when the display takes it, otherwise 32 when it takes that, 0
// when it refuses both. Windows 8 and later offer no 16-bit desktop modes
// and refuse a 16-bit switch although they show 640 x 480 at 32 bits, so
// only a display without the size at either depth leads to the
// windowed-fallback question.
int SwitchToFullScreen(int width, int height, int colourBits, const ModeSwitch& change);

// Releases context and window and restores the display mode and cursor when
// the full-screen mode was set. Problems are reported one box each and
// skipped.
void DestroyDisplay();

// Viewport and perspective projection for a client area; a height of 0 is
// taken as 1.
void ResizeView(int width, int height);

// Loads all textures, then sets the starting OpenGL state; false (with no
// state set) when an image texture was not made.
bool InitRenderState();

platform::LRESULT WindowProc(std::uint32_t message, platform::WPARAM wParam, platform::LPARAM lParam);

}  // namespace app
