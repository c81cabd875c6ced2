// Threads on native Win32: CreateThread, the worker at
// THREAD_PRIORITY_TIME_CRITICAL (which every process may set for its own
// threads, so the request is not refused as on Linux).
#include "platform/thread.h"

#include <new>

#include "platform/win32/win32.h"

namespace platform {

struct ThreadHandle {
    HANDLE thread = nullptr;
    int (*entry)(void*) = nullptr;
    void* argument = nullptr;
    int result = 0;
};

namespace {

DWORD WINAPI Run(LPVOID parameter) {
    auto* handle = static_cast<ThreadHandle*>(parameter);
    handle->result = handle->entry(handle->argument);
    return 0;
}

}  // namespace

ThreadHandle* StartTimeCriticalThread(const char*, int (*entry)(void*), void* argument) {
    auto* handle = new (std::nothrow) ThreadHandle;
    if (!handle) return nullptr;
    handle->entry = entry;
    handle->argument = argument;
    // Created suspended, so that the priority holds from its first
    // instruction on.
    handle->thread = CreateThread(nullptr, 0, Run, handle, CREATE_SUSPENDED, nullptr);
    if (!handle->thread) {
        delete handle;
        return nullptr;
    }
    SetThreadPriority(handle->thread, THREAD_PRIORITY_TIME_CRITICAL);
    ResumeThread(handle->thread);
    return handle;
}

int JoinThread(ThreadHandle* thread) {
    if (!thread) return 0;
    WaitForSingleObject(thread->thread, INFINITE);
    CloseHandle(thread->thread);
    const int result = thread->result;
    delete thread;
    return result;
}

void SleepMilliseconds(unsigned milliseconds) { Sleep(milliseconds); }

}  // namespace platform
