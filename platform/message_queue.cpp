#include "platform/message_queue.h"

#include <deque>

namespace platform {

namespace {

struct MessageQueue {
    std::deque<Message> waiting;
    bool quitPosted = false;
    WPARAM quitCode = 0;
    WindowProcedure procedure = nullptr;
};

MessageQueue messages;

}  // namespace

namespace queue {

void Push(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    messages.waiting.push_back(Message{message, wParam, lParam});
}

bool Take(Message* out) {
    if (!messages.waiting.empty()) {
        *out = messages.waiting.front();
        messages.waiting.pop_front();
        return true;
    }
    if (messages.quitPosted) {
        messages.quitPosted = false;
        *out = Message{WM_QUIT, messages.quitCode, 0};
        return true;
    }
    return false;
}

void Clear() {
    messages.waiting.clear();
    messages.quitPosted = false;
    messages.quitCode = 0;
}

}  // namespace queue

void PostQuitMessage(int exitCode) {
    messages.quitPosted = true;
    messages.quitCode = static_cast<WPARAM>(exitCode);
}

void TranslateMessage(const Message&) {}

LRESULT DispatchMessage(const Message& message) {
    return messages.procedure ? messages.procedure(message.message, message.wParam, message.lParam) : 0;
}

LRESULT DefWindowProc(std::uint32_t, WPARAM, LPARAM) { return 0; }

void SetWindowProcedure(WindowProcedure procedure) { messages.procedure = procedure; }

}  // namespace platform
