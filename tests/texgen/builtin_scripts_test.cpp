// The five built-in scripts: the properties their images must have, the
// checksums of the images (recorded after looking at them), and the
// independence of the run order.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "data/texture_scripts.h"
#include "gfx/texture_slots.h"
#include "tests/texgen/texgen_test_support.h"
#include "texgen/kernels.h"
#include "texgen/texgen.h"

namespace texgen {
namespace {

using test::Checksum;

class BuiltInScripts : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(layers); }
    const Layer& Run(std::span<const std::uint8_t> script) { return RunScript(*layers, script); }
    std::unique_ptr<TextureLayers> layers = CreateTextureLayers();
};

TEST_F(BuiltInScripts, AreWholeScriptsInRunOrder) {
    const char* slots[] = {"texGenUnusedGreen", "texGenSpotsRGB", "texGenFire", "texGenSpot", "texGenWarpGrey"};
    const std::size_t sizes[] = {55, 55, 145, 28, 82};
    for (std::size_t i = 0; i < gfx::generatedSlots.size(); ++i) {
        const gfx::TextureSlotInfo& s = gfx::generatedSlots[i];
        EXPECT_STREQ(s.name, slots[i]);
        EXPECT_EQ(s.script.size(), sizes[i]);
        EXPECT_EQ(s.script.size(), 1u + instructionBytes * s.script[0]);
        for (std::size_t k = 0; k < s.script[0]; ++k) {
            const Instruction in = DecodeInstruction(s.script.data() + 1 + k * instructionBytes);
            const OpcodeEntry* e = FindOpcode(in.opcode);
            ASSERT_NE(e, nullptr) << s.name << " instruction " << k;
            EXPECT_TRUE(InstructionFits(in, e->pass));
        }
    }
}

TEST_F(BuiltInScripts, SpotIsAnExactlyGreyRadialGradient) {
    const Layer& image = Run(data::spotScript);
    for (const Pixel& p : image) {
        ASSERT_EQ(p.r, p.g);
        ASSERT_EQ(p.g, p.b);
    }
    EXPECT_EQ(At(image, 128, 128).r, 255);
    EXPECT_EQ(At(image, 192, 128).r, 127);
    for (int x : {0, 255}) {
        for (int y : {0, 255}) EXPECT_EQ(At(image, x, y).r, 0);
    }
    EXPECT_EQ(At(image, 128, 0).r, 0);  // radius 128
}

TEST_F(BuiltInScripts, FireRampNeverLetsGreenPassRedOrBluePassGreen) {
    const Layer& image = Run(data::fireScript);
    int black = 0, yellowish = 0;
    for (const Pixel& p : image) {
        ASSERT_GE(p.r, p.g);
        ASSERT_GE(p.g, p.b);
        black += p.r == 0;
        yellowish += p.r == 255 && p.g > 128;
    }
    // The whole ramp is used: black, red through yellow.
    EXPECT_GT(black, 1000);
    EXPECT_GT(yellowish, 1000);
}

TEST_F(BuiltInScripts, ThreeSpotsSitWhereTheShiftsMoveThem) {
    const Layer& image = Run(data::threeSpotScript);
    EXPECT_EQ(At(image, 64, 96).r, 255);   // red, moved once by (64, 32)
    EXPECT_EQ(At(image, 0, 64).g, 255);    // green, moved twice by (64, 32)
    EXPECT_EQ(At(image, 208, 48).b, 255);  // blue, by (48, 16) and twice (64, 32)
    // The discs overlap and wrap: (64, 96) lies 121.9 pixels from the blue
    // centre across the edge, where the blue falloff has reached 12.
    EXPECT_EQ(At(image, 64, 96).b, Spot(240, 176, DecodeInstruction(data::threeSpotScript.data() + 1)));
    EXPECT_EQ(At(image, 64, 96).b, 12);
}

TEST_F(BuiltInScripts, GreenWaveIsDarkGreenWithFaintBlueAndLessRed) {
    const Layer& image = Run(data::greenWaveScript);
    for (const Pixel& p : image) {
        // Green 255 lowered by 191 and then resampled: 61..64.
        ASSERT_GE(p.g, 61);
        ASSERT_LE(p.g, 64);
        // Red holds only what of spot plus noise exceeded the blue channel.
        ASSERT_LE(p.r, p.b);
        ASSERT_LE(p.b, 64);
    }
}

TEST_F(BuiltInScripts, GreyWaveIsGrey) {
    for (const Pixel& p : Run(data::greyWaveScript)) {
        ASSERT_EQ(p.r, p.g);
        ASSERT_EQ(p.g, p.b);
    }
}

// FNV-1a of layer 0, one per script in run order. Recorded after the images
// were looked at and checked against the properties above.
constexpr std::array<std::uint64_t, 5> expectedChecksums = {
    0xf719364d9e714391ull,  // texGenUnusedGreen
    0x035184ebb627bdf4ull,  // texGenSpotsRGB
    0xaeeac870acc4b955ull,  // texGenFire
    0x02c28cdee472e6d4ull,  // texGenSpot
    0xdc08df9dc573aeaeull,  // texGenWarpGrey
};

TEST_F(BuiltInScripts, ImagesMatchTheirChecksumsOnEveryPath) {
    const kernels::VectorPath saved = kernels::SelectedVectorPath();
    for (auto path : {kernels::VectorPath::Portable, kernels::VectorPath::Sse2, kernels::VectorPath::Avx2}) {
        if (!kernels::SelectVectorPath(path)) continue;
        for (std::size_t i = 0; i < gfx::generatedSlots.size(); ++i) {
            EXPECT_EQ(Checksum(Run(gfx::generatedSlots[i].script)), expectedChecksums[i])
                << gfx::generatedSlots[i].name << " path " << static_cast<int>(path);
        }
    }
    kernels::SelectVectorPath(saved);
    for (std::size_t i = 0; i < gfx::generatedSlots.size(); ++i) {
        EXPECT_EQ(Checksum(RunScriptReference(*layers, gfx::generatedSlots[i].script)), expectedChecksums[i])
            << gfx::generatedSlots[i].name << " reference";
    }
}

TEST_F(BuiltInScripts, AnyRunOrderGivesTheSameImages) {
    // Every rotation of the run order, forward and backward: each script
    // follows every other one at least once.
    for (std::size_t start = 0; start < 5; ++start) {
        for (int step : {1, 4}) {
            for (std::size_t k = 0; k < 5; ++k) {
                const std::size_t i = (start + k * static_cast<std::size_t>(step)) % 5;
                ASSERT_EQ(Checksum(Run(gfx::generatedSlots[i].script)), expectedChecksums[i]) << start << "," << step;
            }
        }
    }
}

}  // namespace
}  // namespace texgen
