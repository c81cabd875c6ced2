// Threads on the web: none. A page gets threads only when its server sends
// cross-origin isolation headers, which a page opened from anywhere cannot
// count on; the music player's start finds no thread and the intro runs
// silently, as it does without a sound device.
#include "platform/thread.h"

#include <emscripten/emscripten.h>

namespace platform {

ThreadHandle* StartTimeCriticalThread(const char*, int (*)(void*), void*) { return nullptr; }

int JoinThread(ThreadHandle*) { return 0; }

void SleepMilliseconds(unsigned milliseconds) {
    // Nothing else runs while the page's only thread waits, so this is a
    // plain wait on the clock.
    const double until = emscripten_get_now() + milliseconds;
    while (emscripten_get_now() < until) {
    }
}

}  // namespace platform
