#include "platform/messages.h"

#include <deque>

#include <SDL.h>

#include "platform/process_signals.h"
#include "platform/virtual_keys.h"

namespace platform {

namespace {

struct MessageQueue {
    std::deque<Message> waiting;
    bool quitPosted = false;
    WPARAM quitCode = 0;
    WindowProcedure procedure = nullptr;
    bool minimised = false;
};

MessageQueue queue;

void Push(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    queue.waiting.push_back(Message{message, wParam, lParam});
}

void PushSize(Uint32 windowId) {
    SDL_Window* window = SDL_GetWindowFromID(windowId);
    if (!window) return;
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    Push(WM_SIZE, SIZE_RESTORED, MakeLParam(width, height));
}

WPARAM ActivateParam(WPARAM state) {
    return state | (static_cast<WPARAM>(queue.minimised ? 1 : 0) << 16);
}

void Translate(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        // The window's own close request arrives as SDL_WINDOWEVENT_CLOSE
        // (SDL is told not to quit on it) and signals come through
        // TakeLeaveRequest; whatever else asks SDL to quit asks the same.
        Push(WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            Push(WM_CLOSE, 0, 0);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            queue.minimised = true;
            Push(WM_ACTIVATE, ActivateParam(WA_INACTIVE), 0);
            break;
        case SDL_WINDOWEVENT_RESTORED:
            if (queue.minimised) {
                queue.minimised = false;
                Push(WM_ACTIVATE, ActivateParam(WA_ACTIVE), 0);
            }
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            Push(WM_ACTIVATE, ActivateParam(WA_ACTIVE), 0);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            Push(WM_ACTIVATE, ActivateParam(WA_INACTIVE), 0);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            PushSize(event.window.windowID);
            break;
        default:
            break;
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT) {
            Push(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(event.button.x, event.button.y));
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (const unsigned vk = VirtualKeyFromKeycode(event.key.keysym.sym); vk != 0) {
            Push(event.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, vk, 0);
        }
        break;
    default:
        break;
    }
}

}  // namespace

bool PeekMessage(Message* out) {
    if (SDL_WasInit(SDL_INIT_EVENTS) != 0) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) Translate(event);
    }
    if (TakeLeaveRequest()) Push(WM_CLOSE, 0, 0);
    if (!queue.waiting.empty()) {
        *out = queue.waiting.front();
        queue.waiting.pop_front();
        return true;
    }
    if (queue.quitPosted) {
        queue.quitPosted = false;
        *out = Message{WM_QUIT, queue.quitCode, 0};
        return true;
    }
    return false;
}

void PostQuitMessage(int exitCode) {
    queue.quitPosted = true;
    queue.quitCode = static_cast<WPARAM>(exitCode);
}

void TranslateMessage(const Message&) {}

LRESULT DispatchMessage(const Message& message) {
    return queue.procedure ? queue.procedure(message.message, message.wParam, message.lParam) : 0;
}

LRESULT DefWindowProc(std::uint32_t, WPARAM, LPARAM) { return 0; }

void SetWindowProcedure(WindowProcedure procedure) { queue.procedure = procedure; }

void ClearMessageQueue() {
    queue.waiting.clear();
    queue.quitPosted = false;
    queue.quitCode = 0;
    queue.minimised = false;
}

}  // namespace platform
