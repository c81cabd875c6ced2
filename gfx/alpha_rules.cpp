#include "gfx/alpha_rules.h"

namespace gfx {

Texel ApplyAlphaRule(std::uint8_t r, std::uint8_t g, std::uint8_t b, AlphaRule rule) {
    const int sum = r + g + b;
    switch (rule) {
        case AlphaRule::Logo: {
            if (r == 0 && b == 0 && g != 0) return {0, 0, 0, 0};
            int alpha = 225;
            if (sum <= 60) {
                // trunc(s x 4.5) = (9 s) / 2 in integers; 57..60 overflow a
                // byte and are stored as fully opaque instead of wrapping.
                alpha = (sum * 9) / 2;
                if (alpha > 255) alpha = 255;
            }
            return {r, g, b, static_cast<std::uint8_t>(alpha)};
        }
        case AlphaRule::Clear:
            return {r, g, b, 0};
        case AlphaRule::Font:
            return {r, g, b, static_cast<std::uint8_t>(sum > 0 ? 255 : 0)};
        case AlphaRule::Rock:
            return {r, g, b, static_cast<std::uint8_t>(r == 0 && g == 255 && b == 0 ? 0 : 255)};
    }
    return {r, g, b, 255};
}

std::vector<std::uint8_t> ConvertPicture(const platform::DecodedPicture& picture, AlphaRule rule) {
    std::vector<std::uint8_t> rgba(picture.pixels.size());
    for (std::size_t i = 0; i + 3 < picture.pixels.size(); i += 4) {
        const Texel t = ApplyAlphaRule(picture.pixels[i + 2], picture.pixels[i + 1], picture.pixels[i], rule);
        rgba[i] = t.r;
        rgba[i + 1] = t.g;
        rgba[i + 2] = t.b;
        rgba[i + 3] = t.a;
    }
    return rgba;
}

}  // namespace gfx
