#pragma once
// Video frames larger than the intro's 640 x 480, for video sites: they give
// a larger frame a higher bitrate, and at 640 x 480 their re-encoding smears
// the scroller and the page text. The picture is scaled by the largest whole
// factor that fits, each source pixel becoming a factor x factor block
// (nearest neighbour: texels and glyphs stay crisp), and centred with black
// bars. Pure: no GL, no files.
//
// Pixels are RGB, 3 bytes, rows top down, no padding between rows.

#include <cstdint>
#include <string>

namespace capture {

inline constexpr int kMaxVideoWidth = 7680;   // 8K UHD: beyond it no video site takes the file
inline constexpr int kMaxVideoHeight = 4320;

struct VideoSize {
    int width = 0;   // pixels, even
    int height = 0;  // pixels, even
};

// Where the scaled picture lies in the video frame.
struct Placement {
    int factor = 1;  // each source pixel is factor x factor video pixels
    int left = 0;    // pixels of black bar left of the picture
    int top = 0;     // pixels of black bar above it
};

// Reads "WIDTHxHEIGHT" (digits only, lower-case or upper-case x). The size
// must hold the source picture at least once (width >= sourceWidth, height
// >= sourceHeight), be even both ways (yuv420p halves the colour planes) and
// stay within kMaxVideoWidth x kMaxVideoHeight. False with the reason in
// `error` otherwise.
bool ParseVideoSize(const std::string& text, int sourceWidth, int sourceHeight, VideoSize& size,
                    std::string& error);

// The largest whole factor whose picture fits the frame, centred. The bars'
// widths are rounded down to even numbers, so that with an even factor
// every source pixel covers whole 2 x 2 colour blocks of yuv420p and no
// colour bleeds between neighbours; the picture then sits at most one pixel
// left of or above the exact centre.
Placement PlaceFrame(int sourceWidth, int sourceHeight, VideoSize frame);

// Writes the whole video frame (frame.width x frame.height x 3 bytes) into
// `out`: black bars, and the source scaled by place.factor at place.left,
// place.top. The frame must hold the source at least once (ParseVideoSize
// ensures it) and `place` must come from PlaceFrame for these sizes.
void ScaleFrame(const std::uint8_t* source, int sourceWidth, int sourceHeight, VideoSize frame,
                const Placement& place, std::uint8_t* out);

}  // namespace capture
