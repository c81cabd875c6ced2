// Hash noise: the integer lattice hash and the values built on it.
#include "texgen/noise_sets.h"
#include "texgen/texgen.h"

namespace texgen {

std::uint32_t Hash(std::int32_t n, int set) {
    return HashWith(NoiseSetFor(static_cast<unsigned>(set)), static_cast<std::uint32_t>(n));
}

double HashNoise2(std::int32_t a, std::int32_t b, std::uint8_t variant, std::uint8_t seed) {
    const NoiseSet& s = NoiseSetFor(variant);
    return NoiseWith(s, NoisePosition(s, a, b, seed));
}

std::uint8_t NoiseByte(std::int32_t a, std::int32_t b, std::uint8_t variant, std::uint8_t seed) {
    const NoiseSet& s = NoiseSetFor(variant);
    return NoiseByteWith(s, NoisePosition(s, a, b, seed));
}

double Noise1(std::int32_t x) {
    constexpr double twoToMinus30 = 1.0 / 1073741824.0;
    return 1.0 - static_cast<double>(Hash(x, 1)) * twoToMinus30;
}

}  // namespace texgen
