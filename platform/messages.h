#pragma once
// The window-message queue the shell is written against, so that the same
// shell runs on SDL, on native Win32 (win32/messages.cpp) and in the browser
// (web/messages.cpp): desktop events arrive as window messages with their
// Win32 numbers and parameter meanings, taken one at a time without waiting,
// and a posted quit message comes back through the same queue. Main thread
// only.
//
// Which SDL event becomes which message (the other realisations keep the
// same meanings):
//   window close request (WM_DELETE_WINDOW, Alt+F4)  -> WM_CLOSE
//   SIGTERM, SIGINT, SIGHUP (process_signals.h)     -> WM_CLOSE, after the events
//                               waiting then; several signals before one look are one
//   SDL_QUIT not caused by a window                  -> WM_CLOSE
//   left mouse button down   -> WM_LBUTTONDOWN, wParam MK_LBUTTON, lParam MAKELPARAM(x, y)
//   key down / up            -> WM_KEYDOWN / WM_KEYUP, wParam the virtual-key code
//                               (keys without a virtual-key code give no message)
//   minimised                -> WM_ACTIVATE, wParam WA_INACTIVE | 1 << 16
//   restored, focus gained   -> WM_ACTIVATE, wParam WA_ACTIVE   | minimised << 16
//   focus lost               -> WM_ACTIVATE, wParam WA_INACTIVE | minimised << 16
//   drawable size changed    -> WM_SIZE, wParam SIZE_RESTORED, lParam MAKELPARAM(width, height)
// Mouse motion and button release produce nothing: the intro has no use for
// them. SDL keeps the screen saver off while a window exists, so no
// WM_SYSCOMMAND screen-saver command reaches the queue from the desktop; the
// window procedure still swallows one that is dispatched.

#include <cstdint>

namespace platform {

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using WindowProcedure = LRESULT (*)(std::uint32_t message, WPARAM wParam, LPARAM lParam);

inline constexpr std::uint32_t WM_SIZE = 0x0005;
inline constexpr std::uint32_t WM_ACTIVATE = 0x0006;
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_QUIT = 0x0012;         // 18
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;
inline constexpr std::uint32_t WM_KEYUP = 0x0101;
inline constexpr std::uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;  // 513

inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM WA_INACTIVE = 0;
inline constexpr WPARAM WA_ACTIVE = 1;
inline constexpr WPARAM SIZE_RESTORED = 0;
inline constexpr WPARAM SC_SCREENSAVE = 0xF140;
inline constexpr WPARAM SC_MONITORPOWER = 0xF170;

inline constexpr WPARAM VK_BACK = 0x08;
inline constexpr WPARAM VK_TAB = 0x09;
inline constexpr WPARAM VK_RETURN = 0x0D;
inline constexpr WPARAM VK_SHIFT = 0x10;
inline constexpr WPARAM VK_CONTROL = 0x11;
inline constexpr WPARAM VK_MENU = 0x12;
inline constexpr WPARAM VK_ESCAPE = 0x1B;                // 27
inline constexpr WPARAM VK_SPACE = 0x20;                 // 32
inline constexpr WPARAM VK_LEFT = 0x25;
inline constexpr WPARAM VK_UP = 0x26;
inline constexpr WPARAM VK_RIGHT = 0x27;
inline constexpr WPARAM VK_DOWN = 0x28;
inline constexpr WPARAM VK_F1 = 0x70;

constexpr LPARAM MakeLParam(int low, int high) {
    return static_cast<LPARAM>((static_cast<std::uint32_t>(high & 0xFFFF) << 16) |
                               static_cast<std::uint32_t>(low & 0xFFFF));
}
constexpr int LowWord(std::uintptr_t value) { return static_cast<int>(value & 0xFFFF); }
constexpr int HighWord(std::uintptr_t value) { return static_cast<int>((value >> 16) & 0xFFFF); }

struct Message {
    std::uint32_t message = 0;  // WM_* number
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Takes one message without waiting (PeekMessage with PM_REMOVE). Pending
// desktop events come first, in arrival order; a posted quit message is
// returned only when nothing else is waiting, as on Win32. False when the
// queue is empty.
bool PeekMessage(Message* out);

// Puts WM_QUIT with wParam = exitCode into the queue (PostQuitMessage).
void PostQuitMessage(int exitCode);

// Keyboard translation into character messages; the intro needs none, so
// this does nothing. Kept so that the loop is the same on the native Win32
// realisation, where the call does its work.
void TranslateMessage(const Message& message);

// Hands the message to the window procedure of the registered window class
// and returns its result; 0 when none is registered.
LRESULT DispatchMessage(const Message& message);

// What the system does with a message the window procedure leaves alone.
// Nothing here needs default handling, so the result is 0.
LRESULT DefWindowProc(std::uint32_t message, WPARAM wParam, LPARAM lParam);

// The procedure DispatchMessage calls; set by RegisterWindowClass.
void SetWindowProcedure(WindowProcedure procedure);

// Drops every waiting message and a posted quit. For tests.
void ClearMessageQueue();

}  // namespace platform
