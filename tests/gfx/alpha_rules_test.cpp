// The per-pixel alpha rules and the power-of-two size rule: pure functions.
#include <gtest/gtest.h>

#include "gfx/alpha_rules.h"
#include "platform/picture.h"

namespace {

using gfx::AlphaRule;
using gfx::ApplyAlphaRule;

void ExpectTexel(gfx::Texel t, int r, int g, int b, int a) {
    EXPECT_EQ(t.r, r);
    EXPECT_EQ(t.g, g);
    EXPECT_EQ(t.b, b);
    EXPECT_EQ(t.a, a);
}

TEST(AlphaRules, LogoKeysGreenAndFadesDarkEdges) {
    // The key colour and any other pure green vanish to transparent black.
    ExpectTexel(ApplyAlphaRule(0, 255, 0, AlphaRule::Logo), 0, 0, 0, 0);
    ExpectTexel(ApplyAlphaRule(0, 1, 0, AlphaRule::Logo), 0, 0, 0, 0);
    // Dark texels fade with their sum (4.5 per step, truncated); black is clear.
    ExpectTexel(ApplyAlphaRule(10, 10, 10, AlphaRule::Logo), 10, 10, 10, 135);
    ExpectTexel(ApplyAlphaRule(0, 0, 0, AlphaRule::Logo), 0, 0, 0, 0);
    EXPECT_EQ(ApplyAlphaRule(1, 0, 0, AlphaRule::Logo).a, 4);   // 4.5 -> 4
    EXPECT_EQ(ApplyAlphaRule(9, 20, 21, AlphaRule::Logo).a, 225);  // sum 50
    EXPECT_EQ(ApplyAlphaRule(0, 0, 56, AlphaRule::Logo).a, 252);
    // Anything brighter keeps the logo's alpha, including dark colours that
    // are not pure green.
    ExpectTexel(ApplyAlphaRule(100, 0, 0, AlphaRule::Logo), 100, 0, 0, 225);
    EXPECT_EQ(ApplyAlphaRule(0, 61, 0, AlphaRule::Logo).a, 0);
    EXPECT_EQ(ApplyAlphaRule(1, 60, 0, AlphaRule::Logo).a, 225);
    EXPECT_EQ(ApplyAlphaRule(255, 255, 255, AlphaRule::Logo).a, 225);
}

TEST(AlphaRules, LogoSumsThatOverflowAByteAreOpaque) {
    // 57..60 x 4.5 is 256.5..270: stored as 255 rather than wrapped round.
    for (int s = 57; s <= 60; ++s) {
        EXPECT_EQ(ApplyAlphaRule(static_cast<std::uint8_t>(s - 40), 20, 20, AlphaRule::Logo).a, 255) << s;
    }
}

TEST(AlphaRules, ClearFontAndRock) {
    ExpectTexel(ApplyAlphaRule(200, 100, 50, AlphaRule::Clear), 200, 100, 50, 0);
    ExpectTexel(ApplyAlphaRule(255, 255, 255, AlphaRule::Clear), 255, 255, 255, 0);
    // Only pure black is transparent in a font, however dark the rest.
    EXPECT_EQ(ApplyAlphaRule(0, 0, 0, AlphaRule::Font).a, 0);
    EXPECT_EQ(ApplyAlphaRule(0, 0, 1, AlphaRule::Font).a, 255);
    EXPECT_EQ(ApplyAlphaRule(1, 0, 0, AlphaRule::Font).a, 255);
    // The rock keys on exactly (0, 255, 0).
    ExpectTexel(ApplyAlphaRule(0, 255, 0, AlphaRule::Rock), 0, 255, 0, 0);
    EXPECT_EQ(ApplyAlphaRule(0, 254, 0, AlphaRule::Rock).a, 255);
    EXPECT_EQ(ApplyAlphaRule(1, 255, 0, AlphaRule::Rock).a, 255);
    EXPECT_EQ(ApplyAlphaRule(0, 0, 0, AlphaRule::Rock).a, 255);
}

TEST(AlphaRules, ConvertPictureSwapsToRgbaAndKeepsRows) {
    platform::DecodedPicture picture;
    picture.width = 2;
    picture.height = 2;
    // Blue, green, red, unused; bottom row first.
    picture.pixels = {0, 255, 0, 0, 25, 20, 10, 0,    // bottom: key green, dark
                      1, 2, 3, 77, 200, 150, 100, 0};  // top: dark, bright (unused byte ignored)
    const std::vector<std::uint8_t> rgba = gfx::ConvertPicture(picture, AlphaRule::Logo);
    const std::vector<std::uint8_t> expected = {0, 0, 0, 0, 10, 20, 25, 247,   //
                                                3, 2, 1, 27, 100, 150, 200, 225};
    EXPECT_EQ(rgba, expected);
}

TEST(TargetSize, NearestPowerOfTwoOnALogScale) {
    EXPECT_EQ(platform::TargetSize(1000, 4096), 1024);
    EXPECT_EQ(platform::TargetSize(300, 4096), 256);
    EXPECT_EQ(platform::TargetSize(1, 4096), 1);
    EXPECT_EQ(platform::TargetSize(2, 4096), 2);
    EXPECT_EQ(platform::TargetSize(3, 4096), 4);
    EXPECT_EQ(platform::TargetSize(5, 4096), 4);
    EXPECT_EQ(platform::TargetSize(6, 4096), 8);
    // 2^7.5 = 181.02: the boundary between 128 and 256.
    EXPECT_EQ(platform::TargetSize(181, 4096), 128);
    EXPECT_EQ(platform::TargetSize(182, 4096), 256);
    // Powers of two stay as they are.
    for (int p = 1; p <= 4096; p *= 2) EXPECT_EQ(platform::TargetSize(p, 4096), p);
}

TEST(TargetSize, ClampedToTheLargestTextureSize) {
    EXPECT_EQ(platform::TargetSize(5000, 4096), 4096);
    EXPECT_EQ(platform::TargetSize(2049, 2048), 2048);
    // Not larger than the limit, but rounding up would pass it.
    EXPECT_EQ(platform::TargetSize(1000, 1000), 1000);
    EXPECT_EQ(platform::TargetSize(900, 1000), 1000);
    EXPECT_EQ(platform::TargetSize(0, 4096), 0);
    EXPECT_EQ(platform::TargetSize(10, 0), 0);
}

}  // namespace
