// Exact values of the operators for named inputs and pixels.
#include <cmath>
#include <cstdint>

#include <gtest/gtest.h>

#include "tests/texgen/texgen_test_support.h"
#include "texgen/texgen.h"

namespace texgen {
namespace {

using test::Make;

Pixel P(int r, int g, int b) {
    Pixel p;
    p.Set(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b));
    return p;
}

Pixel Filtered(FilterFunction filter, const Instruction& in, Pixel p) {
    filter(0, 0, in, p);
    return p;
}

Pixel Combined(CombinerFunction combiner, const Instruction& in, Pixel d, const Pixel& s) {
    combiner(d, s, in);
    return d;
}

TEST(Spot, FalloffOf255FallsByTwoPerPixel) {
    const Instruction in = Make({0x03, 0x00, 255});
    EXPECT_EQ(Spot(128, 128, in), 255);
    EXPECT_EQ(Spot(192, 128, in), 127);
    EXPECT_EQ(Spot(128, 192, in), 127);
    EXPECT_EQ(Spot(64, 128, in), 127);
    EXPECT_EQ(Spot(255, 128, in), 1);
    EXPECT_EQ(Spot(128, 0, in), 0);  // distance 128: t = 256 > 255
    EXPECT_EQ(Spot(0, 0, in), 0);
    EXPECT_EQ(Spot(255, 255, in), 0);
}

TEST(Spot, SmallerFalloffWidensTheSpot) {
    const Instruction half = Make({0x03, 0x00, 128});
    EXPECT_EQ(Spot(192, 128, half), 191);  // 64 * 0.50196 * 2 = 64.25
    EXPECT_EQ(Spot(128, 0, half), 127);    // 128.5 truncated
    const Instruction flat = Make({0x03, 0x00, 0});
    for (int y = 0; y < 256; y += 17) {
        for (int x = 0; x < 256; x += 13) EXPECT_EQ(Spot(x, y, flat), 255);
    }
    // Falloff 1 reaches zero only from distance 32512.5, beyond the layer.
    EXPECT_EQ(Spot(0, 0, Make({0x03, 0x00, 1})), 254);
}

TEST(SmoothNoise, InterpolatesTheLatticeValues) {
    const Instruction in = Make({0x04, 0x00, 5, 32, 0, 0, 0, 0, 31});
    EXPECT_EQ(SmoothNoise(0, 0, in), 165);
    EXPECT_EQ(SmoothNoise(16, 0, in), 109);
    EXPECT_EQ(SmoothNoise(0, 16, in), 101);
    EXPECT_EQ(SmoothNoise(16, 16, in), 82);
    // On the lattice points the value is the lattice value itself: column i,
    // row j is NoiseByte(j, i), the row the added coordinate.
    for (int j = 0; j < 8; ++j) {
        for (int i = 0; i < 8; ++i) EXPECT_EQ(SmoothNoise(32 * i, 32 * j, in), NoiseByte(j, i, 5, 31)) << i << "," << j;
    }
}

TEST(SmoothNoise, CellSizeExtremes) {
    // Cell 1: every fraction is 0, the lattice itself (transposed noise).
    const Instruction one = Make({0x04, 0x00, 2, 1, 0, 0, 0, 0, 77});
    for (int y = 0; y < 256; y += 15) {
        for (int x = 0; x < 256; x += 11) EXPECT_EQ(SmoothNoise(x, y, one), NoiseByte(y, x, 2, 77));
    }
    // Cell 0 has no lattice; this machine takes it as cell 1.
    const Instruction zero = Make({0x04, 0x00, 2, 0, 0, 0, 0, 0, 77});
    for (int y = 0; y < 256; y += 15) {
        for (int x = 0; x < 256; x += 11) EXPECT_EQ(SmoothNoise(x, y, zero), SmoothNoise(x, y, one));
    }
    // Above 128 there is one cell, so all four corners hold the one lattice
    // value L. The four terms are still truncated one by one, so the channel
    // is L only where the fractions are whole and L - 1 to L - 3 elsewhere:
    // nearly, not exactly, constant.
    const Instruction wide = Make({0x04, 0x00, 3, 200, 0, 0, 0, 0, 9});
    const int lattice = NoiseByte(0, 0, 3, 9);
    ASSERT_EQ(lattice, 186);
    EXPECT_EQ(SmoothNoise(0, 0, wide), 186);
    EXPECT_EQ(SmoothNoise(100, 100, wide), 184);  // fx = fy = 0.5: 4 x trunc(46.5)
    for (int y = 0; y < 256; y += 3) {
        for (int x = 0; x < 256; x += 5) {
            ASSERT_LE(SmoothNoise(x, y, wide), lattice);
            ASSERT_GE(SmoothNoise(x, y, wide), lattice - 3);
        }
    }
}

TEST(SmoothNoise, DividingCellSizesWrapTheLastCellIntoTheFirst) {
    // Cell 32, column 255: u = 255 / 32 + 256 = 263.96875, so the pixel
    // blends lattice column 263 mod 8 = 7 with column 264 mod 8 = 0, which
    // is what makes the repeated texture seamless.
    const Instruction in = Make({0x04, 0x00, 5, 32, 0, 0, 0, 0, 31});
    const float fx = 0.96875f;
    const int expected = static_cast<int>(static_cast<float>(NoiseByte(0, 7, 5, 31)) * (1.0f - fx) * 1.0f) +
                         static_cast<int>(static_cast<float>(NoiseByte(0, 0, 5, 31)) * fx * 1.0f);
    EXPECT_EQ(SmoothNoise(255, 0, in), expected);
}

TEST(Fill, WritesItsValue) {
    EXPECT_EQ(Fill(3, 200, Make({0x01, 0x00, 0})), 0);
    EXPECT_EQ(Fill(3, 200, Make({0x01, 0x00, 77})), 77);
}

TEST(Filters, Brightness) {
    EXPECT_EQ(Filtered(&Brightness, Make({0x11, 0, 0}), P(255, 128, 3)), P(0, 0, 0));
    EXPECT_EQ(Filtered(&Brightness, Make({0x11, 0, 255}), P(0, 128, 252)), P(255, 255, 255));
    EXPECT_EQ(Filtered(&Brightness, Make({0x11, 0, 128}), P(0, 0, 0)), P(1, 1, 1));
    EXPECT_EQ(Filtered(&Brightness, Make({0x11, 0, 127}), P(0, 0, 0)), P(0, 0, 0));
    EXPECT_EQ(Filtered(&Brightness, Make({0x11, 0, 32}), P(255, 200, 191)), P(64, 9, 0));
}

TEST(Filters, SumRampFillsOneChannelThenOverflowsIntoTheNext) {
    EXPECT_EQ(Filtered(&SumRamp, Make({0x12, 0, 0}), P(100, 100, 100)), P(255, 45, 0));
    EXPECT_EQ(Filtered(&SumRamp, Make({0x12, 0, 0}), P(0, 0, 200)), P(200, 0, 0));
    EXPECT_EQ(Filtered(&SumRamp, Make({0x12, 0, 3}), P(200, 0, 0)), P(0, 200, 0));
    // Sum 600 in every order: first 255, second 255, third 90.
    const Pixel expected[6] = {P(255, 255, 90), P(255, 90, 255), P(255, 255, 90),
                               P(90, 255, 255), P(255, 90, 255), P(90, 255, 255)};
    for (int order = 0; order < 6; ++order) {
        EXPECT_EQ(Filtered(&SumRamp, Make({0x12, 0, order}), P(200, 200, 200)), expected[order]) << order;
    }
    // Sum 300 names the first and second channel of each order.
    EXPECT_EQ(Filtered(&SumRamp, Make({0x12, 0, 4}), P(100, 100, 100)), P(45, 0, 255));
    EXPECT_EQ(Filtered(&SumRamp, Make({0x12, 0, 5}), P(100, 100, 100)), P(0, 45, 255));
    // Orders above 5 leave the pixel as it is.
    EXPECT_EQ(Filtered(&SumRamp, Make({0x12, 0, 6}), P(1, 2, 3)), P(1, 2, 3));
    EXPECT_EQ(Filtered(&SumRamp, Make({0x12, 0, 255}), P(1, 2, 3)), P(1, 2, 3));
}

TEST(Filters, Grey) {
    EXPECT_EQ(Filtered(&Grey, Make({0x13}), P(10, 20, 31)), P(20, 20, 20));
    EXPECT_EQ(Filtered(&Grey, Make({0x13}), P(255, 255, 254)), P(254, 254, 254));
}

TEST(Combiners, ArithmeticPerChannel) {
    const Instruction none = Make({0x30});
    EXPECT_EQ(Combined(&Add, none, P(200, 10, 0), P(100, 20, 0)), P(255, 30, 0));
    EXPECT_EQ(Combined(&Subtract, none, P(200, 10, 5), P(100, 20, 5)), P(100, 0, 0));
    EXPECT_EQ(Combined(&Multiply, none, P(128, 255, 77), P(128, 255, 0)), P(64, 255, 0));
    EXPECT_EQ(Combined(&Min, none, P(1, 200, 7), P(2, 100, 7)), P(1, 100, 7));
    EXPECT_EQ(Combined(&Max, none, P(1, 200, 7), P(2, 100, 7)), P(2, 200, 7));
    EXPECT_EQ(Combined(&Copy, none, P(1, 200, 7), P(2, 100, 8)), P(2, 100, 8));
}

TEST(Combiners, MixDividesBothSides) {
    EXPECT_EQ(Combined(&Mix, Make({0x37, 0, 0x10, 1, 4}), P(200, 255, 0), P(100, 255, 3)), P(225, 255, 0));
    EXPECT_EQ(Combined(&Mix, Make({0x37, 0, 0x10, 2, 2}), P(200, 255, 1), P(100, 255, 1)), P(150, 254, 0));
    // A divisor of 0 has no result; this machine takes it as 1.
    EXPECT_EQ(Combined(&Mix, Make({0x37, 0, 0x10, 0, 4}), P(200, 7, 0), P(100, 8, 0)), P(225, 9, 0));
    EXPECT_EQ(Combined(&Mix, Make({0x37, 0, 0x10, 4, 0}), P(200, 7, 0), P(100, 8, 0)), P(150, 9, 0));
    EXPECT_EQ(Combined(&Mix, Make({0x37, 0, 0x10, 0, 0}), P(200, 7, 0), P(100, 8, 0)), P(255, 15, 0));
}

TEST(Combiners, SourceMayBeTheDestinationItself) {
    const Instruction none = Make({0x30});
    Pixel p = P(100, 200, 0);
    Add(p, p, none);
    EXPECT_EQ(p, P(200, 255, 0));
    p = P(100, 200, 3);
    Subtract(p, p, none);
    EXPECT_EQ(p, P(0, 0, 0));
    p = P(100, 200, 3);
    Multiply(p, p, none);
    EXPECT_EQ(p, P(39, 156, 0));
}

TEST(Displacements, ShiftAndSineWarpPositions) {
    const SourcePosition s = Shift(10, 20, Make({0x21, 0, 48, 16}));
    EXPECT_EQ(s.u, 58.0f);
    EXPECT_EQ(s.v, 36.0f);
    // Frequencies 0: constant displacement by amplitude x sin(phase).
    const SourcePosition w = SineWarp(10, 20, Make({0x22, 0, 0, 0, 100, 50, 11, 2}));
    EXPECT_EQ(w.u, static_cast<float>(10.0 + 100.0 * std::sin(11.0)));
    EXPECT_EQ(w.v, static_cast<float>(20.0 + 50.0 * std::sin(2.0)));
    // Amplitudes 0: whole numbers, no displacement.
    const SourcePosition z = SineWarp(10, 20, Make({0x22, 0, 5, 3, 0, 0, 32, 64}));
    EXPECT_EQ(z.u, 10.0f);
    EXPECT_EQ(z.v, 20.0f);
}

}  // namespace
}  // namespace texgen
