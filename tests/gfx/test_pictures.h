#pragma once
// Small pictures built in memory for the decoding tests.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/picture.h"

namespace gfxtest {

struct Rgb {
    std::uint8_t r, g, b;
};

// An uncompressed palette BMP (bits 1, 4 or 8) with a 40-byte info header;
// indices are given top row first. topDown writes a negative height.
std::vector<std::byte> PaletteBmp(int width, int height, int bits, const std::vector<Rgb>& palette,
                                  const std::vector<std::uint8_t>& indices, bool topDown = false);

// Just the headers of an 8-bit BMP claiming the given size, no pixels.
std::vector<std::byte> BmpHeaderOnly(std::int32_t width, std::int32_t height);

// The file's bytes from the source tree.
std::vector<std::byte> ReadSourceFile(const std::string& relative);

// Pixel (x, y) of a decoded picture, y counted from the bottom row.
Rgb PixelAt(const platform::DecodedPicture& picture, int x, int yFromBottom);

inline std::span<const std::byte> Span(const std::vector<std::byte>& v) { return {v.data(), v.size()}; }

}  // namespace gfxtest
