#pragma once
// A byte count that the system reports in 32 bits (waveOut's play position)
// widened to the 64 bits the player works with: at 176,400 bytes a second
// the 32-bit count wraps after 6.8 hours, and the ring's block mapping would
// jump there. Pure logic, any thread (callers serialise their own state).

#include <cstdint>

namespace platform {

// The 64-bit count after a new 32-bit reading, given the previous 64-bit
// count: the reading is taken as the low 32 bits of a count that moved
// forward by less than 2^32 bytes since the previous one (readings come
// every few milliseconds). A reading below the previous low word is a wrap,
// not a step back; one equal to it is no movement.
constexpr std::uint64_t ExtendByteCount(std::uint64_t previous, std::uint32_t reported) {
    const auto low = static_cast<std::uint32_t>(previous);
    return previous + static_cast<std::uint32_t>(reported - low);
}

}  // namespace platform
