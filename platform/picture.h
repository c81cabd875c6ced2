#pragma once
// Picture decoding: the bytes of a BMP or JPEG file to a decoded picture in
// the layout the texture code converts from. Pure CPU, no GL; any thread.
//
// Decoded picture layout: width x height pixels of 4 bytes each, in the
// order blue, green, red and a fourth byte that is unused (always 0); rows
// run from the bottom of the picture to its top, so row 0 is texture
// coordinate t = 0. Width and height are the target sizes of TargetSize().
//
// Formats: BMP (1-, 4-, 8-bit palette pictures come out in their palette
// colours; 16-, 24- and 32-bit are read as stored; RLE compression is not
// supported) and JPEG (baseline and progressive, standard decoding). A 32-bit
// BMP's alpha channel is ignored, as the picture is read for its colours.
//
// Untrusted input: the header is read first and a picture wider or taller
// than maxPictureSide, or with more than maxPicturePixels pixels, is refused
// before anything is allocated for it. Truncated or corrupt data yields
// nothing or a picture; it never reads outside the given bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace platform {

struct DecodedPicture {
    int width = 0;                     // pixels, see TargetSize
    int height = 0;                    // pixels, see TargetSize
    std::vector<std::uint8_t> pixels;  // width x height x 4: blue, green, red, unused; bottom row first
};

// Largest natural size accepted, per side and in total. The intro's largest
// picture is 1024 x 256; these bound what a corrupt header can make us
// allocate (a 2048 x 2048 picture needs 16 MiB decoded).
inline constexpr int maxPictureSide = 4096;
inline constexpr std::int64_t maxPicturePixels = std::int64_t{2048} * 2048;

// The texture size for a natural size n >= 1 (pixels), one axis at a time:
// n itself clamped to maxTextureSize when n is larger than that, otherwise
// the power of two nearest to n on a logarithmic scale, 2^floor(log2(n) +
// 0.5) (from about 0.71 x 2^k up to below 1.42 x 2^k gives 2^k), and never
// more than maxTextureSize. Computed in integers, so the boundaries are
// exact. Returns 0 when n < 1 or maxTextureSize < 1.
int TargetSize(int natural, int maxTextureSize);

// Decodes the picture and, where its natural size is not the target size,
// stretches it to the target by nearest-neighbour sampling at pixel centres
// (which keeps every colour exact, as the alpha rules key on exact colours).
// maxTextureSize is the GL implementation's GL_MAX_TEXTURE_SIZE. Nothing when
// the data is not a picture of a known format, is refused (see above), or
// cannot be decoded.
std::optional<DecodedPicture> DecodePicture(std::span<const std::byte> bytes, int maxTextureSize);

}  // namespace platform
