#pragma once
// The frame clock: seconds from the high-resolution counter, or from the
// millisecond tick count when the system has no counter. Main thread only.

#include <cstdint>

namespace app {

// Where the clock's readings come from; the system's by default, a fake in
// tests.
struct ClockSource {
    bool (*queryFrequency)(std::int64_t* frequency);  // false: no counter
    std::int64_t (*queryCounter)();                   // counts
    std::uint32_t (*tickCount)();                     // milliseconds, wraps at 2^32
};

ClockSource SystemClockSource();

// Installs a source and forgets the clock's initialisation, so that the next
// ReadClock asks for the counter frequency again.
void ResetFrameClock(const ClockSource& source);

// Seconds since an arbitrary origin; only differences mean anything. The
// first call decides, once and silently, between the counter (count /
// frequency) and the tick count (ticks / 1000).
long double ReadClock();

}  // namespace app
