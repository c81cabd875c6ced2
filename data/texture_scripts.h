#pragma once
// The intro's five texture scripts (run by texgen::RunScript; the images are
// described in gfx/generated_textures.h, their slots and run order in
// gfx/texture_slots.h).

#include <array>
#include <cstdint>

namespace data {

extern const std::array<std::uint8_t, 55> greenWaveScript;   // dark green, faint blue-green wavy clouds
extern const std::array<std::uint8_t, 55> threeSpotScript;   // red, green, blue discs, wrapping
extern const std::array<std::uint8_t, 145> fireScript;       // cloudy noise in a fire ramp
extern const std::array<std::uint8_t, 28> spotScript;        // grey radial gradient
extern const std::array<std::uint8_t, 82> greyWaveScript;    // sine-bent grey bands

}  // namespace data
