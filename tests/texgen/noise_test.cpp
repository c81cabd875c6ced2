// The hash noise under everything: exact byte values for named inputs.
#include <cmath>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "texgen/texgen.h"

namespace texgen {
namespace {

TEST(Noise1, KnownValuesAndRange) {
    EXPECT_NEAR(Noise1(0), -0.281791, 1e-6);
    EXPECT_NEAR(Noise1(1), -0.226373, 1e-6);
    // Set 1 scales by exactly 2^-30, so the value is a multiple of it.
    EXPECT_EQ(Noise1(12345), 1.0 - static_cast<double>(Hash(12345, 1)) / 1073741824.0);
    for (std::int32_t x = -5000; x < 5000; x += 7) {
        const double v = Noise1(x);
        EXPECT_GT(v, -1.0);
        EXPECT_LE(v, 1.0);
    }
    // Any 32-bit input is fine, the extremes included.
    EXPECT_TRUE(std::isfinite(Noise1(std::numeric_limits<std::int32_t>::min())));
    EXPECT_TRUE(std::isfinite(Noise1(std::numeric_limits<std::int32_t>::max())));
}

TEST(NoiseByte, KnownValuesPerVariant) {
    const int expected[5] = {165, 184, 165, 186, 187};
    for (int variant = 0; variant < 5; ++variant) {
        EXPECT_EQ(NoiseByte(0, 0, static_cast<std::uint8_t>(variant), 0), expected[variant]) << variant;
    }
    EXPECT_EQ(NoiseByte(1, 0, 1, 0), 199);
    EXPECT_EQ(NoiseByte(0, 1, 1, 0), 52);
}

TEST(NoiseByte, ValuesBelowMinusOneWrapAroundAsLowByte) {
    // Set 2's scale lets the noise overshoot -1: -1.076 * 256 = -275.5,
    // truncated -275, whose low byte is 237.
    EXPECT_NEAR(HashNoise2(0, 1, 2, 0), -1.076, 0.0005);
    EXPECT_LT(HashNoise2(0, 1, 2, 0), -1.0);
    EXPECT_EQ(NoiseByte(0, 1, 2, 0), 237);
}

TEST(NoiseByte, VariantIsTakenModuloFive) {
    for (int a = 0; a < 40; a += 3) {
        for (int b = 0; b < 40; b += 5) {
            for (int seed : {0, 31, 200, 255}) {
                const auto s = static_cast<std::uint8_t>(seed);
                EXPECT_EQ(HashNoise2(a, b, 5, s), HashNoise2(a, b, 0, s));
                EXPECT_EQ(HashNoise2(a, b, 9, s), HashNoise2(a, b, 4, s));
                EXPECT_EQ(NoiseByte(a, b, 255, s), NoiseByte(a, b, 0, s));  // 255 = 51 * 5
            }
        }
    }
}

TEST(HashNoise2, SeedAndCoordinatesMeetInOneHashPosition) {
    // n = a + b * (seed + offset): with set 1 (offset 57), (57, 0) and (0, 1)
    // with seed 0 hash the same position, and seed 1 moves (0, 1) to 58.
    EXPECT_EQ(HashNoise2(57, 0, 1, 0), HashNoise2(0, 1, 1, 0));
    EXPECT_EQ(HashNoise2(58, 0, 1, 0), HashNoise2(0, 1, 1, 1));
    // Extreme coordinates wrap in 32 bits instead of overflowing.
    EXPECT_TRUE(std::isfinite(HashNoise2(std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max(), 3, 255)));
}

}  // namespace
}  // namespace texgen
