#include "platform/thread.h"

#include <new>

#include <SDL.h>

namespace platform {

struct ThreadHandle {
    SDL_Thread* thread = nullptr;
    int (*entry)(void*) = nullptr;
    void* argument = nullptr;
};

namespace {

int Trampoline(void* data) {
    auto* handle = static_cast<ThreadHandle*>(data);
    if (SDL_SetThreadPriority(SDL_THREAD_PRIORITY_TIME_CRITICAL) != 0 &&
        SDL_SetThreadPriority(SDL_THREAD_PRIORITY_HIGH) != 0) {
        // Normal priority it is; the worker only needs to wake every few ms.
    }
    return handle->entry(handle->argument);
}

}  // namespace

ThreadHandle* StartTimeCriticalThread(const char* name, int (*entry)(void*), void* argument) {
    auto* handle = new (std::nothrow) ThreadHandle{nullptr, entry, argument};
    if (!handle) return nullptr;
    handle->thread = SDL_CreateThread(Trampoline, name, handle);
    if (!handle->thread) {
        delete handle;
        return nullptr;
    }
    return handle;
}

int JoinThread(ThreadHandle* thread) {
    if (!thread) return 0;
    int result = 0;
    SDL_WaitThread(thread->thread, &result);
    delete thread;
    return result;
}

void SleepMilliseconds(unsigned milliseconds) { SDL_Delay(milliseconds); }

}  // namespace platform
