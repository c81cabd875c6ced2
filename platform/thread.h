#pragma once
// A thread at the highest priority the system grants. Start and Join on the
// same thread (the main thread).

namespace platform {

struct ThreadHandle;  // opaque

// Starts `entry(argument)` on a new thread, which first asks for
// time-critical priority and, where the system refuses (no real-time rights
// on Linux without rtkit), settles for the highest it grants, down to
// normal. nullptr when no thread can be created.
ThreadHandle* StartTimeCriticalThread(const char* name, int (*entry)(void*), void* argument);

// Waits for the thread to end and releases its handle; returns its result.
// A null handle returns 0 at once.
int JoinThread(ThreadHandle* thread);

// Sleeps the calling thread for about `milliseconds`.
void SleepMilliseconds(unsigned milliseconds);

}  // namespace platform
