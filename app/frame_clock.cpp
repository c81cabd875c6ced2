#include "app/frame_clock.h"

#include "platform/clock.h"

namespace app {

namespace {

struct FrameClock {
    ClockSource source = SystemClockSource();
    bool initialised = false;
    bool useCounter = false;
    std::int64_t frequency = 0;  // counts per second (1000 for the tick count)
};

FrameClock frameClock;

}  // namespace

ClockSource SystemClockSource() {
    return ClockSource{platform::QueryPerformanceFrequency, platform::QueryPerformanceCounter,
                       platform::GetTickCount};
}

void ResetFrameClock(const ClockSource& source) { frameClock = FrameClock{source, false, false, 0}; }

long double ReadClock() {
    if (!frameClock.initialised) {
        std::int64_t frequency = 0;
        // A counter that claims a frequency of 0 is as good as none.
        if (frameClock.source.queryFrequency(&frequency) && frequency > 0) {
            frameClock.frequency = frequency;
            frameClock.useCounter = true;
        } else {
            frameClock.frequency = 1000;
            frameClock.useCounter = false;
        }
        frameClock.initialised = true;
    }
    if (frameClock.useCounter) {
        return static_cast<long double>(frameClock.source.queryCounter()) /
               static_cast<long double>(frameClock.frequency);
    }
    const std::int64_t ticks = frameClock.source.tickCount();
    return static_cast<long double>(ticks) / 1000.0L;
}

}  // namespace app
