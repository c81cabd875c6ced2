#pragma once
// A moment of the show named in the web page's address: quandrix.html#t=14.5
// opens the page on the picture of 14.5 s, drawn on a fixed clock (every
// frame 1/60 s after the one before, every animation step run), as
// quandrix-capture --start 14.5 --frames 1 draws it; #t=20&exit=18.5 adds an
// exit request (a left click) at 18.5 s on the same clock, so the exit fade
// can be opened too. Pure: parsing and frame arithmetic only.
//
// The fragment is a list of name=value pairs joined by '&'; names other than
// t and exit are left for others. A value is a time as video sites write it:
// seconds (14.5, .5, 90), or hours, minutes and seconds each followed by its
// letter, in that order, any of them left out (90s, 1m30s, 1h2m3s, 2m;
// whole hours and minutes, seconds with a fraction or without), with an
// optional sign. Safe fallbacks, each with a warning:
//   anything else (empty, text, inf,   the pair counts as absent (no t: the show
//   1e3, 1:30, 90S)                    plays live from its start, as without a moment)
//   negative                           0
//   above kMaxMomentSeconds            kMaxMomentSeconds (the page draws every frame
//                                      up to the moment, about 18,000 of them there)

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace app {

inline constexpr int kMomentFps = 60;                // frames per second of the fixed clock
inline constexpr double kMaxMomentSeconds = 300.0;   // the latest moment a page opens on

struct PageMoment {
    double seconds = 0.0;  // the moment, 0..kMaxMomentSeconds
    double exitAt = -1.0;  // seconds of the exit request, 0..kMaxMomentSeconds; -1: none
};

// The moment the fragment names, or nothing (no usable t). Each fallback
// taken appends one line to `warnings`.
std::optional<PageMoment> ParsePageMoment(std::string_view fragment, std::string& warnings);

// The index of the frame that shows `seconds` on the fixed clock: frame k is
// drawn at (k + 1) / 60 s, and this is the first one at or after `seconds`
// (a millionth of a frame's rounding allowed, so 0.5 s is frame 29 exactly).
std::int64_t MomentFrame(double seconds);

}  // namespace app
