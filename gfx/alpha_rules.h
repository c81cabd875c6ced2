#pragma once
// The alpha rules: how each image resource gets an alpha channel from its
// colours. Pure functions, no GL.
//
//   rule     texel from a decoded pixel (R, G, B)
//   Logo     pure green of any intensity (R = 0, B = 0, G != 0) -> (0, 0, 0, 0);
//            otherwise s = R + G + B: s <= 60 -> A = trunc(s x 4.5), so dark
//            edges fade out and black is clear; s > 60 -> A = 225.
//            s from 57 to 60 would give 256.5 to 270, which does not fit a
//            byte: those store A = 255 (the shipped logo has no such pixel).
//   Clear    (R, G, B, 0): the credits picture and the caustics
//   Font     A = 255 where R + G + B > 0, else 0 (only pure black is clear)
//   Rock     A = 0 for pure green (0, 255, 0), else 255

#include <cstdint>
#include <vector>

#include "platform/picture.h"

namespace gfx {

enum class AlphaRule {
    Logo,
    Clear,
    Font,
    Rock,
};

struct Texel {
    std::uint8_t r = 0;  // 0..255
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 0;  // 0..255
};

// One pixel through the rule.
Texel ApplyAlphaRule(std::uint8_t r, std::uint8_t g, std::uint8_t b, AlphaRule rule);

// Every pixel of a decoded picture (blue, green, red, unused) through the
// rule, into red, green, blue, alpha, keeping the row order (row 0 is t = 0).
std::vector<std::uint8_t> ConvertPicture(const platform::DecodedPicture& picture, AlphaRule rule);

}  // namespace gfx
