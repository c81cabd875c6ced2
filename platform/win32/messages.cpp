// The window-message queue on native Win32: the system's own queue. Window
// messages are the system's; the shell's procedure receives them through
// the window class (sent ones straight away, posted ones through
// DispatchMessage), and DefWindowProc is the system's default handling.
#include "platform/messages.h"

#include "platform/process_signals.h"
#include "platform/win32/win32.h"

namespace platform {

namespace {

struct MessageQueue {
    WindowProcedure procedure = nullptr;
    MSG last{};             // the message PeekMessage took last, with its window
    HWND handling = nullptr;  // the window of the message being handled
};

MessageQueue queue;

}  // namespace

namespace win32 {

LRESULT CallWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!queue.procedure) return DefWindowProcA(window, message, wParam, lParam);
    HWND outer = queue.handling;
    queue.handling = window;
    const LRESULT result = queue.procedure(message, wParam, lParam);
    queue.handling = outer;
    return result;
}

}  // namespace win32

bool PeekMessage(Message* out) {
    // A console's Ctrl+C or closing asks what the window's close button asks.
    if (TakeLeaveRequest() && win32::MainWindow()) PostMessageA(win32::MainWindow(), WM_CLOSE, 0, 0);
    MSG msg{};
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    queue.last = msg;
    *out = Message{msg.message, msg.wParam, msg.lParam};
    return true;
}

void PostQuitMessage(int exitCode) { ::PostQuitMessage(exitCode); }

namespace {

// The system message for a Message: the one PeekMessage took when it is
// that one, else the same numbers for the display's window.
MSG SystemMessage(const Message& message) {
    if (queue.last.message == message.message && queue.last.wParam == message.wParam &&
        queue.last.lParam == message.lParam) {
        return queue.last;
    }
    MSG msg{};
    msg.hwnd = win32::MainWindow();
    msg.message = message.message;
    msg.wParam = message.wParam;
    msg.lParam = message.lParam;
    return msg;
}

}  // namespace

void TranslateMessage(const Message& message) {
    const MSG msg = SystemMessage(message);
    ::TranslateMessage(&msg);
}

LRESULT DispatchMessage(const Message& message) {
    const MSG msg = SystemMessage(message);
    if (msg.hwnd) return DispatchMessageA(&msg);
    // A thread message (no window) has no procedure of the class to go to.
    return queue.procedure ? queue.procedure(message.message, message.wParam, message.lParam) : 0;
}

LRESULT DefWindowProc(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    HWND window = queue.handling ? queue.handling : win32::MainWindow();
    return window ? DefWindowProcA(window, message, wParam, lParam) : 0;
}

void SetWindowProcedure(WindowProcedure procedure) { queue.procedure = procedure; }

void ClearMessageQueue() {
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    queue.last = MSG{};
}

}  // namespace platform
