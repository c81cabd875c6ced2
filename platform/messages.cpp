#include "platform/messages.h"

#include <SDL.h>

#include "platform/message_queue.h"
#include "platform/process_signals.h"
#include "platform/virtual_keys.h"

namespace platform {

namespace {

bool minimised = false;  // the window, as the last SDL window event left it


void PushSize(Uint32 windowId) {
    SDL_Window* window = SDL_GetWindowFromID(windowId);
    if (!window) return;
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    queue::Push(WM_SIZE, SIZE_RESTORED, MakeLParam(width, height));
}

WPARAM ActivateParam(WPARAM state) {
    return state | (static_cast<WPARAM>(minimised ? 1 : 0) << 16);
}

void Translate(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        // The window's own close request arrives as SDL_WINDOWEVENT_CLOSE
        // (SDL is told not to quit on it) and signals come through
        // TakeLeaveRequest; whatever else asks SDL to quit asks the same.
        queue::Push(WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            queue::Push(WM_CLOSE, 0, 0);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            minimised = true;
            queue::Push(WM_ACTIVATE, ActivateParam(WA_INACTIVE), 0);
            break;
        case SDL_WINDOWEVENT_RESTORED:
            if (minimised) {
                minimised = false;
                queue::Push(WM_ACTIVATE, ActivateParam(WA_ACTIVE), 0);
            }
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            queue::Push(WM_ACTIVATE, ActivateParam(WA_ACTIVE), 0);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            queue::Push(WM_ACTIVATE, ActivateParam(WA_INACTIVE), 0);
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
            queue::Push(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(event.button.x, event.button.y));
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (const unsigned vk = VirtualKeyFromKeycode(event.key.keysym.sym); vk != 0) {
            queue::Push(event.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, vk, 0);
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
    if (TakeLeaveRequest()) queue::Push(WM_CLOSE, 0, 0);
    return queue::Take(out);
}

void ClearMessageQueue() {
    queue::Clear();
    minimised = false;
}

}  // namespace platform
