#pragma once
// The system clocks behind the frame clock. Any thread may call these.
// Neither counts the time the process was stopped (SIGSTOP, Ctrl+Z) once
// InstallProcessSignals has run: after SIGCONT each goes on from its last
// reading (see clock.cpp).

#include <cstdint>

namespace platform {

// Counts per second of the high-resolution counter, written to *frequency;
// false (and *frequency untouched) when the system has no such counter.
bool QueryPerformanceFrequency(std::int64_t* frequency);

// The high-resolution counter, in counts since an arbitrary origin.
std::int64_t QueryPerformanceCounter();

// Milliseconds since an arbitrary origin, 1 ms resolution; wraps at 2^32.
std::uint32_t GetTickCount();

}  // namespace platform
