// Threads on the web: none. A page gets threads only when its server sends
// cross-origin isolation headers, which a page opened from anywhere cannot
// count on. The music player needs none here: the sound device plays from
// the page's callbacks and hands the player its refill (audio_device.cpp),
// so the player never asks for its worker on the web.
#include "platform/thread.h"

namespace platform {

ThreadHandle* StartTimeCriticalThread(const char*, int (*)(void*), void*) { return nullptr; }

int JoinThread(ThreadHandle*) { return 0; }

// The page's only thread must never wait: while it does, the browser draws
// nothing, delivers no event and plays no sound the page has not handed over
// yet. Nothing on the web calls this (only the worker thread sleeps); were
// anything to, it returns at once rather than freezing the page.
void SleepMilliseconds(unsigned) {}

}  // namespace platform
