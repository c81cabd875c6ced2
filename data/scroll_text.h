#pragma once
// ScrollText: the scroller's one line, 934 characters from codes 32 to 95
// (capitals, digits, space and ! # ( ) , - . / :), with 95 spaces in front
// and 55 behind, so the bottom edge starts empty and runs empty between the
// end of the text and its next start.

#include <array>
#include <cstddef>

namespace data {

inline constexpr std::size_t kScrollTextLength = 934;   // characters, NUL excluded
inline constexpr std::size_t kScrollLeadingSpaces = 95;
inline constexpr std::size_t kScrollTrailingSpaces = 55;

// NUL-terminated.
extern const std::array<char, kScrollTextLength + 1> ScrollText;

}  // namespace data
