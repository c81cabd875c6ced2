// The system clocks on native Win32: the performance counter and the
// millisecond tick count.
#include "platform/clock.h"

#include "platform/win32/win32.h"

namespace platform {

bool QueryPerformanceFrequency(std::int64_t* frequency) {
    LARGE_INTEGER counts{};
    if (!::QueryPerformanceFrequency(&counts) || counts.QuadPart <= 0) return false;
    *frequency = counts.QuadPart;
    return true;
}

std::int64_t QueryPerformanceCounter() {
    LARGE_INTEGER count{};
    ::QueryPerformanceCounter(&count);
    return count.QuadPart;
}

std::uint32_t GetTickCount() { return static_cast<std::uint32_t>(::GetTickCount()); }

}  // namespace platform
