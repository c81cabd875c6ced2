// The script machine: decoding, dispatch, pass drivers, the choices for
// fields outside the machine, and the optimised kernels against the pass
// drivers.
#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/texgen/texgen_test_support.h"
#include "texgen/kernels.h"
#include "texgen/texgen.h"

namespace texgen {
namespace {

using test::Checksum;
using test::Op;
using test::Make;
using test::Script;

class Machine : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(layers); }
    const Layer& Run(const std::vector<std::uint8_t>& script) { return RunScript(*layers, script); }
    const Layer& L(int i) const { return layers->layers[static_cast<std::size_t>(i)]; }
    static bool IsBlack(const Layer& layer) {
        return std::all_of(layer.begin(), layer.end(), [](const Pixel& p) { return p == Pixel{}; });
    }
    std::unique_ptr<TextureLayers> layers = CreateTextureLayers();
};

TEST_F(Machine, EmptyScriptsGiveBlackLayersEvenAfterAnotherRun) {
    Run(Script({{0x01, 0x00, 9}, {0x01, 0x31, 9}}));
    EXPECT_FALSE(IsBlack(L(0)));
    EXPECT_TRUE(IsBlack(Run(Script({}))));
    for (int i = 1; i < 4; ++i) EXPECT_TRUE(IsBlack(L(i)));
    Run(Script({{0x01, 0x00, 9}}));
    EXPECT_TRUE(IsBlack(RunScript(*layers, std::span<const std::uint8_t>())));
}

TEST_F(Machine, UnknownOpcodesConsumeTheirNineBytes) {
    // The bytes after 0x05 would paint if misread as an instruction start.
    const auto& out = Run(Script({{0x01, 0x00, 10},
                                  {0x00, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01},
                                  {0x05, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01},
                                  {0x14, 0x00, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01},
                                  {0xff, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01},
                                  {0x01, 0x02, 30}}));
    for (const Pixel& p : out) ASSERT_EQ(p, (Pixel{10, 0, 30}));
}

TEST_F(Machine, GeneratorsWriteOneChannelAndKeepTheOthers) {
    const auto& out = Run(Script({{0x01, 0x00, 11}, {0x01, 0x02, 33}, {0x02, 0x01, 1}}));
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const Pixel& p = At(out, x, y);
            ASSERT_EQ(p.r, 11);
            ASSERT_EQ(p.g, NoiseByte(x, y, 1, 0)) << x << "," << y;
            ASSERT_EQ(p.b, 33);
        }
    }
}

TEST_F(Machine, FiltersAndWarpsIgnoreTheChannelNibble) {
    // Destination 0x02 on a filter or warp is the whole of layer 0.
    const auto& out = Run(Script({{0x01, 0x00, 10}, {0x01, 0x01, 20}, {0x01, 0x02, 30}, {0x11, 0x02, 137}}));
    for (const Pixel& p : out) ASSERT_EQ(p, (Pixel{29, 39, 49}));
    Run(Script({{0x03, 0x00, 255}, {0x03, 0x01, 255}, {0x21, 0x02, 64, 0}}));
    EXPECT_EQ(At(L(0), 64, 128).r, 255);
    EXPECT_EQ(At(L(0), 64, 128).g, 255);
}

TEST_F(Machine, CombinersOnOneLayer) {
    const auto paint = Script({{0x01, 0x10, 100}, {0x01, 0x11, 200}, {0x01, 0x12, 0}});
    auto with = [&](Op op) {
        std::vector<std::uint8_t> s = paint;
        s[0] = static_cast<std::uint8_t>(s[0] + 1);
        s.insert(s.end(), op.bytes, op.bytes + instructionBytes);
        Run(s);
        return At(L(1), 17, 99);
    };
    EXPECT_EQ(with({0x31, 0x10, 0x10}), (Pixel{200, 255, 0}));  // doubles, saturating
    EXPECT_EQ(with({0x32, 0x10, 0x10}), (Pixel{0, 0, 0}));      // black
    EXPECT_EQ(with({0x36, 0x10, 0x10}), (Pixel{100, 200, 0}));  // Copy, Min, Max change nothing
    EXPECT_EQ(with({0x34, 0x10, 0x10}), (Pixel{100, 200, 0}));
    EXPECT_EQ(with({0x35, 0x10, 0x10}), (Pixel{100, 200, 0}));
}

TEST_F(Machine, CombinerSourceIsTheHighNibbleOfP1) {
    Run(Script({{0x01, 0x20, 7}, {0x01, 0x30, 50}, {0x31, 0x00, 0x2f}, {0x31, 0x00, 0x3a}}));
    EXPECT_EQ(At(L(0), 0, 0), (Pixel{57, 0, 0}));
}

TEST_F(Machine, ShiftMovesWholePixelsWithWrapAround) {
    Run(Script({{0x02, 0x10, 0, 0, 0, 0, 0, 0, 1}, {0x02, 0x11, 1, 0, 0, 0, 0, 0, 2}, {0x36, 0x00, 0x10}}));
    const Layer before = L(1);
    Run(Script({{0x02, 0x00, 0, 0, 0, 0, 0, 0, 1}, {0x02, 0x01, 1, 0, 0, 0, 0, 0, 2}, {0x21, 0x00, 48, 16}}));
    EXPECT_EQ(At(L(0), 0, 0), At(before, 48, 16));
    EXPECT_EQ(At(L(0), 208, 240), At(before, 0, 0));
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) ASSERT_EQ(At(L(0), x, y), At(before, (x + 48) & 255, (y + 16) & 255));
    }
    Run(Script({{0x02, 0x00, 0, 0, 0, 0, 0, 0, 1}, {0x02, 0x01, 1, 0, 0, 0, 0, 0, 2}, {0x21, 0x00, 0, 0}}));
    EXPECT_EQ(Checksum(L(0)), Checksum(before));
    // 255 is one pixel toward larger x and y.
    Run(Script({{0x02, 0x00, 0, 0, 0, 0, 0, 0, 1}, {0x02, 0x01, 1, 0, 0, 0, 0, 0, 2}, {0x21, 0x00, 255, 255}}));
    EXPECT_EQ(At(L(0), 1, 1), At(before, 0, 0));
    EXPECT_EQ(At(L(0), 0, 0), At(before, 255, 255));
}

TEST_F(Machine, SineWarpWithoutAmplitudeReproducesTheLayer) {
    const auto paint = {Op{0x02, 0x00, 3, 0, 0, 0, 0, 0, 5}, Op{0x04, 0x01, 1, 16}};
    Run(Script(paint));
    const std::uint64_t before = Checksum(L(0));
    Run(Script({{0x02, 0x00, 3, 0, 0, 0, 0, 0, 5}, {0x04, 0x01, 1, 16}, {0x22, 0x00, 5, 3, 0, 0, 32, 64}}));
    EXPECT_EQ(Checksum(L(0)), before);
}

TEST_F(Machine, SineWarpWithoutFrequencyShiftsByAConstant) {
    // One lit pixel at (100, 50) (painted by hand: no generator lights a
    // single pixel). U = x + 100 sin(11) = x - 99.99902: the output at x
    // reads column x + 156 with weight 0.99902 and x + 157 with 0.00098, so
    // only x = 200 gets a term of 1 or more: trunc(255 * 0.99902) = 254.
    Run(Script({}));
    At(layers->layers[0], 100, 50).r = 255;
    WarpPass(*layers, &SineWarp, Make({0x22, 0x00, 0, 0, 100, 0, 11, 0}));
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const int expected = (x == 200 && y == 50) ? 254 : 0;
            ASSERT_EQ(At(L(0), x, y).r, expected) << x << "," << y;
        }
    }
}

TEST_F(Machine, FractionalWarpOfAFlatLayerTruncatesEachCorner) {
    const auto& out = Run(Script({{0x01, 0x00, 64}, {0x01, 0x01, 64}, {0x01, 0x02, 64}, {0x22, 0x00, 5, 3, 48, 32, 32, 64}}));
    std::set<int> seen;
    for (const Pixel& p : out) {
        ASSERT_GE(p.r, 61);
        ASSERT_LE(p.r, 64);
        ASSERT_EQ(p.r, p.g);
        ASSERT_EQ(p.r, p.b);
        seen.insert(p.r);
    }
    EXPECT_GE(seen.size(), 2u);
    EXPECT_TRUE(seen.count(61) + seen.count(62) > 0);
}

TEST_F(Machine, OnlyLayerZeroIsTheImage) {
    const auto& out = Run(Script({{0x01, 0x10, 255}, {0x03, 0x21, 255}, {0x02, 0x32, 1}, {0x11, 0x10, 200}}));
    EXPECT_TRUE(IsBlack(out));
    EXPECT_FALSE(IsBlack(L(1)));
}

TEST_F(Machine, FieldsOutsideTheMachineRejectTheInstruction) {
    // Layer indices 4..15, channel 3..15 and a combiner source 4..15 name
    // nothing: the instruction is skipped, nothing is masked into range, and
    // the next instruction still runs.
    const auto& out = Run(Script({{0x01, 0x40, 200},
                                  {0x01, 0xf2, 200},
                                  {0x01, 0x03, 200},
                                  {0x01, 0x0f, 200},
                                  {0x11, 0x50, 255},
                                  {0x21, 0x90, 3, 3},
                                  {0x31, 0x70, 0x00},
                                  {0x01, 0x11, 9},
                                  {0x31, 0x00, 0x40},
                                  {0x31, 0x00, 0x10},
                                  {0x01, 0x02, 5}}));
    for (const Pixel& p : out) ASSERT_EQ(p, (Pixel{0, 9, 5}));
    for (int i = 2; i < 4; ++i) EXPECT_TRUE(IsBlack(L(i)));
}

TEST_F(Machine, ShortByteStringsRunOnlyWholeInstructions) {
    std::vector<std::uint8_t> s = Script({{0x01, 0x00, 10}, {0x01, 0x01, 20}, {0x01, 0x02, 30}});
    s.resize(s.size() - 1);  // the third instruction lacks its seed byte
    for (const Pixel& p : Run(s)) ASSERT_EQ(p, (Pixel{10, 20, 0}));
    s[0] = 255;  // a count far beyond the bytes
    for (const Pixel& p : Run(s)) ASSERT_EQ(p, (Pixel{10, 20, 0}));
    EXPECT_TRUE(IsBlack(Run({5})));
    EXPECT_TRUE(IsBlack(Run({1, 0x01, 0x00, 10, 0, 0, 0, 0, 0})));  // 8 of 9 bytes
}

TEST(OpcodeTable, SixteenOperatorsInFourFamilies) {
    const std::span<const OpcodeEntry> table = OpcodeTable();
    ASSERT_EQ(table.size(), 16u);
    const std::string names[] = {"Fill", "Noise",    "Spot",     "SmoothNoise", "Brightness", "SumRamp",
                                 "Grey", "Shift",    "SineWarp", "Add",         "Subtract",   "Multiply",
                                 "Min",  "Max",      "Copy",     "Mix"};
    const int opcodes[] = {0x01, 0x02, 0x03, 0x04, 0x11, 0x12, 0x13, 0x21,
                           0x22, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37};
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].opcode, opcodes[i]);
        EXPECT_EQ(table[i].name, names[i]);
    }
    int found = 0;
    for (int op = 0; op < 256; ++op) {
        const OpcodeEntry* e = FindOpcode(static_cast<std::uint8_t>(op));
        if (e == nullptr) continue;
        ++found;
        EXPECT_EQ(e->opcode, op);
    }
    EXPECT_EQ(found, 16);
}

// ---------------------------------------------------------------------------
// Optimised kernels against the pass drivers, byte for byte (the warp on
// every vector path the processor has).
// ---------------------------------------------------------------------------

class KernelsMatchPassDrivers : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fast && reference); }

    void ExpectSame(const std::vector<std::uint8_t>& script) {
        RunScript(*fast, script);
        RunScriptReference(*reference, script);
        for (int i = 0; i < layerCount; ++i) {
            const auto& a = fast->layers[static_cast<std::size_t>(i)];
            const auto& b = reference->layers[static_cast<std::size_t>(i)];
            if (std::memcmp(a.data(), b.data(), layerBytes) == 0) continue;
            for (int p = 0; p < layerPixels; ++p) {
                if (a[static_cast<std::size_t>(p)] == b[static_cast<std::size_t>(p)]) continue;
                ADD_FAILURE() << "layer " << i << " differs first at (" << p % 256 << ", " << p / 256 << ")";
                return;
            }
        }
    }

    // One instruction from a given start: the table's kernel against the
    // pass driver with the table's operator.
    void ExpectInstructionSame(const TextureLayers& start, Op op) {
        const Instruction in = DecodeInstruction(op.bytes);
        const OpcodeEntry* entry = FindOpcode(in.opcode);
        ASSERT_NE(entry, nullptr);
        *fast = start;
        *reference = start;
        entry->kernel(*fast, in);
        switch (entry->pass) {
            case Pass::Generator: GeneratorPass(*reference, entry->generator, in); break;
            case Pass::Filter: FilterPass(*reference, entry->filter, in); break;
            case Pass::Warp: WarpPass(*reference, entry->displacement, in); break;
            case Pass::Combine: CombinePass(*reference, entry->combiner, in); break;
        }
        for (int i = 0; i < layerCount; ++i) {
            ASSERT_EQ(std::memcmp(fast->layers[static_cast<std::size_t>(i)].data(), reference->layers[static_cast<std::size_t>(i)].data(), layerBytes), 0)
                << entry->name << " p1 " << int(in.p1) << " p2 " << int(in.p2) << " p3 " << int(in.p3) << ", layer " << i;
        }
    }

    std::unique_ptr<TextureLayers> fast = CreateTextureLayers();
    std::unique_ptr<TextureLayers> reference = CreateTextureLayers();
};

// The warp kernel has one path per instruction set; each must agree.
class VectorPaths : public KernelsMatchPassDrivers, public ::testing::WithParamInterface<kernels::VectorPath> {
protected:
    void SetUp() override {
        KernelsMatchPassDrivers::SetUp();
        saved = kernels::SelectedVectorPath();
        // A processor without the path must refuse it and keep the current
        // one; the comparisons below then check that path once more.
        const bool selected = kernels::SelectVectorPath(GetParam());
        ASSERT_EQ(selected, kernels::VectorPathSupported(GetParam()));
        if (!selected) {
            ASSERT_EQ(kernels::SelectedVectorPath(), saved);
        }
    }
    void TearDown() override { kernels::SelectVectorPath(saved); }
    kernels::VectorPath saved = kernels::SelectedVectorPath();
};

TEST_P(VectorPaths, Generators) {
    for (int p1 : {0, 1, 2, 3, 4, 5, 9, 128, 254, 255}) {
        for (int seed : {0, 31, 255}) {
            ExpectSame(Script({{0x01, 0x00, p1}, {0x02, 0x01, p1, 0, 0, 0, 0, 0, seed}, {0x03, 0x02, p1}}));
        }
    }
    for (int cell : {0, 1, 2, 3, 4, 5, 7, 8, 32, 100, 128, 129, 255}) {
        ExpectSame(Script({{0x04, 0x00, 5, cell, 0, 0, 0, 0, 31}, {0x04, 0x21, 2, cell, 0, 0, 0, 0, 7}}));
    }
}

TEST_F(KernelsMatchPassDrivers, FiltersAndCombinersOnAllBytePairs) {
    // Layer 0's red is x and layer 1's red is y, so a combiner from layer 1
    // into layer 0 meets every pair of bytes; the other channels hold noise.
    const std::vector<std::uint8_t> paint = Script({{0x04, 0x00, 0, 1}, {0x02, 0x01, 2, 0, 0, 0, 0, 0, 1}, {0x02, 0x02, 3, 0, 0, 0, 0, 0, 2},
                                                    {0x04, 0x10, 0, 1}, {0x02, 0x11, 4, 0, 0, 0, 0, 0, 3}, {0x02, 0x12, 0, 0, 0, 0, 0, 0, 4}});
    RunScript(*fast, paint);
    for (int i = 0; i < layerPixels; ++i) {
        fast->layers[0][static_cast<std::size_t>(i)].r = static_cast<std::uint8_t>(i & 255);
        fast->layers[1][static_cast<std::size_t>(i)].r = static_cast<std::uint8_t>(i >> 8);
    }
    const auto startLayers = std::make_unique<TextureLayers>(*fast);  // 786 KB: not on the stack
    const TextureLayers& start = *startLayers;
    for (int level : {0, 1, 32, 88, 127, 128, 200, 255}) ExpectInstructionSame(start, {0x11, 0x00, level});
    for (int order = 0; order < 8; ++order) ExpectInstructionSame(start, {0x12, 0x00, order});
    ExpectInstructionSame(start, {0x12, 0x00, 255});
    ExpectInstructionSame(start, {0x13, 0x00});
    for (int op = 0x31; op <= 0x36; ++op) {
        ExpectInstructionSame(start, {op, 0x00, 0x10});
        ExpectInstructionSame(start, {op, 0x00, 0x00});  // source = destination
    }
    for (int d = 0; d < 256; ++d) {
        ExpectInstructionSame(start, {0x37, 0x00, 0x10, d, (d * 37 + 11) & 255});
        ExpectInstructionSame(start, {0x37, 0x00, 0x10, (d * 53 + 5) & 255, d});
    }
}

TEST_P(VectorPaths, Warps) {
    const std::initializer_list<Op> paint = {{0x02, 0x00, 0, 0, 0, 0, 0, 0, 1}, {0x04, 0x01, 1, 8}, {0x03, 0x02, 200}};
    std::mt19937 random(1234);
    std::vector<std::vector<int>> cases = {{0, 0, 0, 0, 0, 0}, {5, 3, 48, 32, 32, 64}, {0, 0, 100, 50, 11, 2},
                                           {255, 255, 255, 255, 255, 255}, {8, 8, 4, 4, 17, 17}, {1, 2, 4, 4, 4, 2}};
    for (int i = 0; i < 24; ++i) {
        std::vector<int> c(6);
        for (int& v : c) v = static_cast<int>(random() & 255);
        cases.push_back(c);
    }
    for (const auto& c : cases) {
        std::vector<std::uint8_t> s = Script(paint);
        const Op warp{0x22, 0x00, c[0], c[1], c[2], c[3], c[4], c[5]};
        s[0] = static_cast<std::uint8_t>(s[0] + 1);
        s.insert(s.end(), warp.bytes, warp.bytes + instructionBytes);
        ExpectSame(s);
    }
    for (int dx : {0, 1, 48, 128, 255}) {
        for (int dy : {0, 16, 255}) {
            std::vector<std::uint8_t> s = Script(paint);
            const Op shift{0x21, 0x00, dx, dy};
            s[0] = static_cast<std::uint8_t>(s[0] + 1);
            s.insert(s.end(), shift.bytes, shift.bytes + instructionBytes);
            ExpectSame(s);
        }
    }
}

TEST_P(VectorPaths, RandomScripts) {
    // Scripts of known opcodes with random fields, layers and channels.
    std::mt19937 random(99);
    const std::span<const OpcodeEntry> table = OpcodeTable();
    for (int n = 0; n < 12; ++n) {
        std::vector<std::uint8_t> s{12};
        for (int i = 0; i < 12; ++i) {
            s.push_back(table[random() % table.size()].opcode);
            s.push_back(static_cast<std::uint8_t>((random() % 5) << 4 | (random() % 4)));
            s.push_back(static_cast<std::uint8_t>((random() % 5) << 4 | (random() & 15)));
            for (int k = 0; k < 6; ++k) s.push_back(static_cast<std::uint8_t>(random()));
        }
        ExpectSame(s);
    }
}

INSTANTIATE_TEST_SUITE_P(All, VectorPaths,
                         ::testing::Values(kernels::VectorPath::Portable, kernels::VectorPath::Sse2,
                                           kernels::VectorPath::Avx2),
                         [](const ::testing::TestParamInfo<kernels::VectorPath>& param) {
                             switch (param.param) {
                                 case kernels::VectorPath::Portable: return std::string("Portable");
                                 case kernels::VectorPath::Sse2: return std::string("Sse2");
                                 case kernels::VectorPath::Avx2: return std::string("Avx2");
                             }
                             return std::string("Unknown");
                         });

}  // namespace
}  // namespace texgen
