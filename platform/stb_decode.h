#pragma once
// The three stb_image calls the picture decoder makes, compiled in
// stb_decode.cpp, the one file that builds stb_image (see there for why it
// is kept apart). For platform/picture.cpp only.

#include <cstdint>

namespace platform::stb {

// The header's width, height and channel count; false when it is not a BMP
// or JPEG header stb understands. Reads only the header.
bool Info(const std::uint8_t* data, int length, int* width, int* height);

// The whole picture as 8-bit red, green, blue, rows top to bottom, or null.
std::uint8_t* LoadRgb(const std::uint8_t* data, int length, int* width, int* height);

// Frees what LoadRgb returned.
void Free(std::uint8_t* pixels);

}  // namespace platform::stb
