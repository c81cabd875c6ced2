#include "platform/clock.h"

#include <SDL.h>

namespace platform {

bool QueryPerformanceFrequency(std::int64_t* frequency) {
    const Uint64 counts = SDL_GetPerformanceFrequency();
    if (counts == 0) return false;
    *frequency = static_cast<std::int64_t>(counts);
    return true;
}

std::int64_t QueryPerformanceCounter() {
    return static_cast<std::int64_t>(SDL_GetPerformanceCounter());
}

std::uint32_t GetTickCount() {
    // SDL_GetTicks64 starts at SDL_Init; only differences are ever used.
    return static_cast<std::uint32_t>(SDL_GetTicks64());
}

}  // namespace platform
