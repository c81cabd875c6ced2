// The clocks on the web: performance.now() (emscripten_get_now), in
// microseconds for the counter. Browsers coarsen it to between 5 and 100
// microseconds, far below a frame.
#include "platform/clock.h"

#include <emscripten/emscripten.h>

namespace platform {

bool QueryPerformanceFrequency(std::int64_t* frequency) {
    *frequency = 1000000;
    return true;
}

std::int64_t QueryPerformanceCounter() { return static_cast<std::int64_t>(emscripten_get_now() * 1000.0); }

std::uint32_t GetTickCount() { return static_cast<std::uint32_t>(static_cast<std::int64_t>(emscripten_get_now())); }

}  // namespace platform
