// stb_image is compiled here and nowhere else, with its functions static so
// that no other copy in a program can clash, and only the two formats the
// intro ships: less code facing untrusted bytes.
//
// This file gets its own compile flags (platform/CMakeLists.txt): on a
// corrupt JPEG stream stb's bit reader shifts by 32 or more and its
// coefficient sums can overflow. Neither touches memory, but both are
// undefined behaviour: signed overflow is made to wrap (-fwrapv), and under
// the sanitizers these two checks are off for this file alone while the
// address checks stay on. What stb does with memory is guarded in
// picture.cpp and by the fuzz target.
#include "platform/stb_decode.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_BMP
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
// stb's own guard against absurd headers, behind the checks of picture.cpp.
#define STBI_MAX_DIMENSIONS 4096
#include <stb/stb_image.h>

namespace platform::stb {

bool Info(const std::uint8_t* data, int length, int* width, int* height) {
    int channels = 0;
    return stbi_info_from_memory(data, length, width, height, &channels) != 0;
}

std::uint8_t* LoadRgb(const std::uint8_t* data, int length, int* width, int* height) {
    int channels = 0;
    return stbi_load_from_memory(data, length, width, height, &channels, 3);
}

void Free(std::uint8_t* pixels) { stbi_image_free(pixels); }

}  // namespace platform::stb
