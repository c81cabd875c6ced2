#pragma once
// The five constant sets of the lattice hash and the hash itself, inline so
// that the optimised kernels can run it in their loops. Internal to texgen.

#include <array>
#include <cstdint>

namespace texgen {

struct NoiseSet {
    std::uint32_t seedOffset;  // added to the instruction's seed
    std::uint32_t a;           // H = m * (m * m * a + b) - z, low 31 bits
    std::uint32_t b;
    std::uint32_t z;
    float scale;  // k: noise = 1 - H * k; a float constant, widened exactly
};

// Set 1 is the classic lattice-noise hash (2^-30 scale). The other scales
// are not 2^-30, so their values overshoot -1 a little (sets 0 and 2) or
// stop short of it (3 and 4); NoiseByte's wrap to a byte absorbs both.
inline constexpr std::array<NoiseSet, 5> noiseSets{{
    {53, 16139, 666427, 769476637, 9.864298e-10f},
    {57, 15731, 789221, 771171059, 9.313226e-10f},
    {59, 19051, 868121, 770472517, 9.844913e-10f},
    {61, 16787, 560249, 778450935, 9.302216e-10f},
    {47, 13553, 970031, 775392315, 9.275697e-10f},
}};

// Wrapping 32-bit arithmetic throughout: unsigned gives the same bits as the
// signed wrap the hash was designed with, without overflow.
inline std::uint32_t HashWith(const NoiseSet& s, std::uint32_t n) {
    const std::uint32_t m = n ^ (n << 13);
    return (m * (m * m * s.a + s.b) - s.z) & 0x7fffffffu;
}

inline double NoiseWith(const NoiseSet& s, std::uint32_t n) {
    return 1.0 - static_cast<double>(HashWith(s, n)) * static_cast<double>(s.scale);
}

// n = a + b * (seed + offset), the hash position of lattice point (a, b).
inline std::uint32_t NoisePosition(const NoiseSet& s, std::int32_t a, std::int32_t b, std::uint8_t seed) {
    return static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b) * (seed + s.seedOffset);
}

inline std::uint8_t NoiseByteWith(const NoiseSet& s, std::uint32_t n) {
    // 256 * noise lies in about (-287, 256], well inside int.
    const int t = static_cast<int>(256.0 * NoiseWith(s, n));
    return static_cast<std::uint8_t>(t & 255);
}

inline const NoiseSet& NoiseSetFor(unsigned variant) { return noiseSets[variant % noiseSets.size()]; }

}  // namespace texgen
