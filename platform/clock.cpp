#include "platform/clock.h"

#include <mutex>

#include <SDL.h>

#include "platform/process_signals.h"

namespace platform {

namespace {

// Leaves out the time the process spent stopped (SIGSTOP, Ctrl+Z): at the
// first reading after a SIGCONT the clock goes on from its previous reading,
// so the show resumes where it was, in step with the sound device, which
// played nothing meanwhile. The frame cut short by the stop counts as
// nothing too: a one-frame pause, not a jump over everything missed.
// Unsigned arithmetic: the tick count wraps, differences stay right.
template <typename Count>
class StoppedTimeRemoved {
public:
    Count Read(Count raw) {
        const std::lock_guard<std::mutex> lock(mutex_);
        const std::uint32_t resumes = ResumeCount();
        if (read_ && resumes != resumes_) removed_ += static_cast<Count>(raw - last_);
        read_ = true;
        resumes_ = resumes;
        last_ = raw;
        return static_cast<Count>(raw - removed_);
    }

private:
    std::mutex mutex_;
    bool read_ = false;
    std::uint32_t resumes_ = 0;
    Count last_ = 0;
    Count removed_ = 0;
};

StoppedTimeRemoved<std::uint64_t> counter;
StoppedTimeRemoved<std::uint32_t> ticks;

}  // namespace

bool QueryPerformanceFrequency(std::int64_t* frequency) {
    const Uint64 counts = SDL_GetPerformanceFrequency();
    if (counts == 0) return false;
    *frequency = static_cast<std::int64_t>(counts);
    return true;
}

std::int64_t QueryPerformanceCounter() {
    return static_cast<std::int64_t>(counter.Read(SDL_GetPerformanceCounter()));
}

std::uint32_t GetTickCount() {
    // SDL_GetTicks64 starts at SDL_Init; only differences are ever used.
    return ticks.Read(static_cast<std::uint32_t>(SDL_GetTicks64()));
}

}  // namespace platform
