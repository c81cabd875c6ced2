// Fuzz target: any bytes through the picture decoder and the alpha rules.
// A picture either fails cleanly or comes out in the promised shape.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "gfx/alpha_rules.h"
#include "platform/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
    // Odd sizes get a small texture limit, so the clamp and the stretch run
    // too; one decode per input keeps the run fast.
    const int maxTextureSize = (size & 1) ? 64 : 8192;
    {
        const auto picture = platform::DecodePicture(bytes, maxTextureSize);
        if (!picture) return 0;
        const int w = picture->width;
        const int h = picture->height;
        if (w < 1 || h < 1 || w > maxTextureSize || h > maxTextureSize) std::abort();
        if (picture->pixels.size() != static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4) std::abort();
        if ((w & (w - 1)) != 0 && w != maxTextureSize) std::abort();
        if ((h & (h - 1)) != 0 && h != maxTextureSize) std::abort();
        const auto rgba = gfx::ConvertPicture(*picture, gfx::AlphaRule::Logo);
        if (rgba.size() != picture->pixels.size()) std::abort();
    }
    return 0;
}
