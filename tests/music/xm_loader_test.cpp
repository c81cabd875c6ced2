// The format rules of the XM loader, on files built in the test.
#include <set>

#include <gtest/gtest.h>

#include "music/resource_stream.h"
#include "music/xm_loader.h"
#include "tests/music/module_invariants.h"
#include "tests/music/xm_builder.h"

namespace {

using namespace xmtest;
using music::KeyOffNote;

// One pattern of the given cells on a song of `channels` channels.
XmSpec OnePattern(unsigned channels, unsigned rows, Bytes packed) {
    XmSpec layout;
    layout.channels = channels;
    layout.patterns.push_back({rows, std::move(packed), {}});
    return layout;
}

ModulePtr LoadOk(const Bytes& bytes, music::LoadReport* report = nullptr) {
    music::LoadReport local;
    ModulePtr module = Load(bytes, report ? report : &local);
    EXPECT_TRUE(module) << music::DescribeLoadFailure(report ? *report : local);
    if (module) {
        EXPECT_EQ(BrokenInvariant(*module), "");
    }
    return module;
}

// ---- Header and signature --------------------------------------------------

TEST(XmHeader, TheFirstPatternStartsAtSixtyPlusTheHeaderSize) {
    // A header 8 bytes longer than usual: the pattern follows the padding.
    XmSpec layout = OnePattern(1, 1, {0x80 | 0x01, 12});
    layout.headerSize = 284;
    const ModulePtr m = LoadOk(BuildXm(layout));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->patterns[0].cells[0].note, 12);
}

TEST(XmHeader, AnythingButTheSignatureFails) {
    Bytes good = BuildXm(OnePattern(1, 1, {}));
    Bytes lower = good;
    lower[0] = 'e';
    Bytes noSpace = good;
    noSpace[16] = '\0';
    for (const Bytes& bytes : {lower, noSpace, Bytes(good.begin(), good.begin() + 16), Bytes{}}) {
        music::LoadReport report;
        EXPECT_FALSE(Load(bytes, &report));
        EXPECT_EQ(report.failure, music::LoadFailure::NotXm);
        EXPECT_EQ(music::DescribeLoadFailure(report), "not an XM module (no \"Extended Module: \" signature)");
    }
    EXPECT_TRUE(Load(good));
}

TEST(XmHeader, WithoutAStreamTableNothingOpens) {
    music::RegisterStreamOps(nullptr, nullptr, nullptr, nullptr, nullptr);
    music::LoadReport report;
    EXPECT_EQ(music::LoadModule("XM", &report), nullptr);
    EXPECT_EQ(report.failure, music::LoadFailure::CannotOpen);
    EXPECT_FALSE(music::FreeModule(nullptr));
}

// ---- Pattern cells ----------------------------------------------------------

TEST(XmCells, PackedCellsCarryOnlyTheFlaggedFields) {
    // 0x83: note and instrument follow; the rest is zero.
    const ModulePtr m = LoadOk(BuildXm(OnePattern(1, 1, {0x83, 0x31, 0x09})));
    ASSERT_TRUE(m);
    const music::PatternCell& c = m->patterns[0].cells[0];
    EXPECT_EQ(c.note, 0x31);
    EXPECT_EQ(c.instrument, 9);
    EXPECT_EQ(c.volume, 0);
    EXPECT_EQ(c.effect, 0);
    EXPECT_EQ(c.parameter, 0);
}

TEST(XmCells, EveryFlagCombinationReadsItsFieldsInOrder) {
    // Two channels x 16 rows: row r carries flags r on channel 0 with the
    // fields 1..5 for the bits set; channel 1 is a plain five-byte cell.
    Bytes packed;
    for (unsigned r = 0; r < 16; ++r) {
        const unsigned flags = r | ((r & 1) ? 0x10 : 0);  // bit 4 too on odd rows
        Put8(packed, 0x80 | flags);
        for (unsigned bit = 0; bit < 5; ++bit) {
            if (flags & (1u << bit)) Put8(packed, bit + 1);
        }
        for (unsigned v : {50u, 3u, 0x40u, 0x0Fu, 0x20u}) Put8(packed, v);
    }
    const ModulePtr m = LoadOk(BuildXm(OnePattern(2, 16, packed)));
    ASSERT_TRUE(m);
    for (unsigned r = 0; r < 16; ++r) {
        const unsigned flags = r | ((r & 1) ? 0x10 : 0);
        const music::PatternCell& c = m->patterns[0].cells[r * 2];
        EXPECT_EQ(c.note, (flags & 1) ? 1 : 0) << r;
        EXPECT_EQ(c.instrument, (flags & 2) ? 2 : 0) << r;
        EXPECT_EQ(c.volume, (flags & 4) ? 3 : 0) << r;
        EXPECT_EQ(c.effect, (flags & 8) ? 4 : 0) << r;
        EXPECT_EQ(c.parameter, (flags & 16) ? 5 : 0) << r;
        const music::PatternCell& plain = m->patterns[0].cells[r * 2 + 1];
        EXPECT_EQ(plain.note, 50);
        EXPECT_EQ(plain.instrument, 3);
        EXPECT_EQ(plain.volume, 0x40);
        EXPECT_EQ(plain.effect, 0x0F);
        EXPECT_EQ(plain.parameter, 0x20);
    }
}

TEST(XmCells, KeyOffBecomes255AndInstrumentsAbove128BecomeNone) {
    const Bytes packed = {0x80 | 0x03, 97, 200,  // packed key-off, instrument 200
                          97, 128, 0, 0, 0,       // plain key-off, instrument 128 (kept)
                          0x80 | 0x02, 129};      // instrument 129
    const ModulePtr m = LoadOk(BuildXm(OnePattern(3, 1, packed)));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->patterns[0].cells[0].note, KeyOffNote);
    EXPECT_EQ(m->patterns[0].cells[0].instrument, 0);
    EXPECT_EQ(m->patterns[0].cells[1].note, KeyOffNote);
    EXPECT_EQ(m->patterns[0].cells[1].instrument, 128);
    EXPECT_EQ(m->patterns[0].cells[2].instrument, 0);
}

TEST(XmCells, NotesBeyondKeyOffAreNoNote) {
    // 98..127 come as plain cells, 128..255 only packed; all would index the
    // 96-entry note map past its end.
    const Bytes packed = {98, 1, 0, 0, 0, 127, 1, 0, 0, 0, 0x81, 128, 0x81, 255, 0x81, 96};
    music::LoadReport report;
    const ModulePtr m = LoadOk(BuildXm(OnePattern(5, 1, packed)), &report);
    ASSERT_TRUE(m);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(m->patterns[0].cells[c].note, 0) << c;
    EXPECT_EQ(m->patterns[0].cells[0].instrument, 1);  // the rest of the cell stays
    EXPECT_EQ(m->patterns[0].cells[4].note, 96);
    EXPECT_TRUE(report.repairs & music::kRepairCellNote);
}

TEST(XmCells, AnEmptyPatternTakesOnlyItsNineHeaderBytes) {
    XmSpec layout;
    layout.channels = 2;
    layout.patterns.push_back({64, {}, 0});
    layout.patterns.push_back({1, {0x81, 40, 0x81, 41}, {}});
    const ModulePtr m = LoadOk(BuildXm(layout));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->patterns[0].rows, 64);
    for (const music::PatternCell& c : m->patterns[0].cells) EXPECT_EQ(c.note, 0);
    EXPECT_EQ(m->patterns[1].cells[0].note, 40);
    EXPECT_EQ(m->patterns[1].cells[1].note, 41);
}

TEST(XmCells, ThePackedSizeNeitherBoundsNorSkipsTheCells) {
    // The first pattern claims 1 byte but holds two cells; the second claims
    // 50 bytes and holds one. Cells decide: each pattern starts where the
    // previous one's cells ended.
    XmSpec layout;
    layout.channels = 2;
    layout.patterns.push_back({1, {0x81, 10, 0x81, 11}, 1});
    layout.patterns.push_back({1, {0x81, 12, 0x80}, 50});
    layout.patterns.push_back({1, {0x81, 13, 0x80}, {}});
    const ModulePtr m = LoadOk(BuildXm(layout));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->patterns[0].cells[1].note, 11);
    EXPECT_EQ(m->patterns[1].cells[0].note, 12);
    EXPECT_EQ(m->patterns[2].cells[0].note, 13);
}

// ---- Referenced patterns ----------------------------------------------------

TEST(XmPatterns, OrdersNamingUnstoredPatternsGetEmpty64RowSlots) {
    XmSpec layout;
    layout.channels = 4;
    for (int p = 0; p < 11; ++p) layout.patterns.push_back({8, {}, 0});
    layout.songLength = 3;
    layout.order[0] = 3;
    layout.order[1] = 20;
    layout.order[2] = 1;
    layout.order[3] = 200;  // beyond the song length: not counted
    const ModulePtr m = LoadOk(BuildXm(layout));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->referencedPatternCount, 21);
    EXPECT_EQ(m->patternSlotCount, 21);
    ASSERT_EQ(m->patterns.size(), 21u);
    EXPECT_EQ(m->patterns[10].rows, 8);
    for (int p = 11; p <= 20; ++p) {
        EXPECT_EQ(m->patterns[p].rows, 64) << p;
        EXPECT_EQ(m->patterns[p].cells.size(), 64u * 4) << p;
    }
}

TEST(XmPatterns, MoreStoredThanReferencedKeepsThemAll) {
    XmSpec layout;
    layout.channels = 1;
    for (int p = 0; p < 5; ++p) layout.patterns.push_back({2, {}, 0});
    layout.songLength = 2;  // orders 0, 0
    const ModulePtr m = LoadOk(BuildXm(layout));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->referencedPatternCount, 1);
    EXPECT_EQ(m->patternSlotCount, 5);
}

// ---- Instruments -------------------------------------------------------------

TEST(XmInstruments, NoteMapEnvelopesAndSettingsAreRead) {
    InstrumentSpec ins = OneSample({.data = {0}});
    for (int n = 0; n < 96; ++n) ins.noteMap[n] = static_cast<std::uint8_t>(n % 7);
    ins.volume = {{{0, 64}, {10, 32}, {20, 0}}, {}, 1, 0, 2, 1 | 2 | 4};
    ins.panning = {{{0, 32}, {5, 64}}, {}, 0, 0, 1, 1 | 4};
    ins.vibratoType = 2;
    ins.vibratoSweep = 40;
    ins.vibratoDepth = 8;
    ins.vibratoRate = 30;
    ins.fadeout = 0x1234;
    XmSpec layout = OnePattern(1, 1, {});
    layout.instruments.push_back(ins);
    const ModulePtr m = LoadOk(BuildXm(layout));
    ASSERT_TRUE(m);
    const music::Instrument& i = m->instruments[0];
    for (int n = 0; n < 96; ++n) EXPECT_EQ(i.noteMap[n], n % 7);
    EXPECT_EQ(i.volumePointCount, 3);
    EXPECT_EQ(i.volumeEnvelope[1].x, 10);
    EXPECT_EQ(i.volumeEnvelope[1].y, 32);
    EXPECT_EQ(i.volumeSustainPoint, 1);
    EXPECT_EQ(i.volumeLoopStartPoint, 0);
    EXPECT_EQ(i.volumeLoopEndPoint, 2);
    EXPECT_EQ(i.volumeEnvelopeType, 7);
    EXPECT_EQ(i.panningPointCount, 2);
    EXPECT_EQ(i.panningEnvelope[1].y, 64);
    EXPECT_EQ(i.panningEnvelopeType, 5);
    EXPECT_EQ(i.autoVibratoType, 2);
    EXPECT_EQ(i.autoVibratoSweep, 40);
    EXPECT_EQ(i.autoVibratoDepth, 8);
    EXPECT_EQ(i.autoVibratoRate, 30);
    EXPECT_EQ(i.fadeout, 0x2468);

    // The doubling is done in 16 bits.
    layout.instruments[0].fadeout = 0x8001;
    EXPECT_EQ(LoadOk(BuildXm(layout))->instruments[0].fadeout, 0x0002);
}

TEST(XmInstruments, AnEnvelopeOfFewerThanTwoPointsIsOff) {
    InstrumentSpec ins = OneSample({.data = {0}});
    ins.volume = {{{0, 64}}, {}, 0, 0, 0, 7};
    ins.panning = {{}, {}, 0, 0, 0, 1};
    XmSpec layout = OnePattern(1, 1, {});
    layout.instruments.push_back(ins);
    const ModulePtr m = LoadOk(BuildXm(layout));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->instruments[0].volumeEnvelopeType, 0);
    EXPECT_EQ(m->instruments[0].panningEnvelopeType, 0);
}

TEST(XmInstruments, WithoutSamplesOnlyTheHeaderSizeIsFollowed) {
    // Sample-less instruments of 29, 33 and 263 header bytes, then one with
    // a sample: each starts where the previous header size says.
    XmSpec layout = OnePattern(1, 1, {});
    for (std::uint32_t size : {29u, 33u, 263u}) {
        InstrumentSpec empty;
        empty.headerSize = size;
        layout.instruments.push_back(empty);
    }
    layout.instruments.push_back(OneSample({.data = {5, 5}}));
    const ModulePtr m = LoadOk(BuildXm(layout));
    ASSERT_TRUE(m);
    for (int i = 0; i < 3; ++i) {
        const music::Instrument& ins = m->instruments[i];
        EXPECT_EQ(ins.sampleCount, 0);
        for (const music::Sample* s : ins.samples) EXPECT_EQ(s, &music::EmptySample);
        for (std::uint8_t n : ins.noteMap) EXPECT_EQ(n, 0);
        EXPECT_EQ(ins.volumePointCount, 0);
        EXPECT_EQ(ins.volumeEnvelope[0].y, 0);
    }
    ASSERT_EQ(m->instruments[3].sampleCount, 1);
    EXPECT_EQ(m->instruments[3].samples[0]->data[1], 10 * 256);
}

TEST(XmInstruments, SamplesFollowAPaddedInstrumentHeader) {
    InstrumentSpec ins = OneSample({.volume = 33, .data = {1}});
    ins.headerSize = 300;
    XmSpec layout = OnePattern(1, 1, {});
    layout.instruments.push_back(ins);
    const ModulePtr m = LoadOk(BuildXm(layout));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->instruments[0].samples[0]->volume, 33);
    EXPECT_EQ(m->instruments[0].samples[0]->data[0], 256);
}

TEST(XmInstruments, SeveralSamplesKeepTheirOrderAndUnusedSlotsAreEmpty) {
    InstrumentSpec ins;
    ins.samples.push_back({.length = 2, .volume = 10, .finetune = -41, .panning = 7, .relativeNote = -12,
                           .data = {1, 1}});
    ins.samples.push_back({.length = 4, .volume = 20, .type = 0x10, .data = {0x00, 0x01, 0x00, 0x01}});
    ins.samples.push_back({.length = 0, .volume = 30});
    ins.noteMap[0] = 1;
    ins.noteMap[1] = 15;
    XmSpec layout = OnePattern(1, 1, {});
    layout.instruments.push_back(ins);
    const ModulePtr m = LoadOk(BuildXm(layout));
    ASSERT_TRUE(m);
    const music::Instrument& i = m->instruments[0];
    ASSERT_EQ(i.sampleCount, 3);
    EXPECT_EQ(i.samples[0]->volume, 10);
    EXPECT_EQ(i.samples[0]->finetune, -41);
    EXPECT_EQ(i.samples[0]->panning, 7);
    EXPECT_EQ(i.samples[0]->relativeNote, -12);
    EXPECT_EQ(i.samples[0]->data[1], 512);
    EXPECT_EQ(i.samples[1]->length, 2u);
    EXPECT_EQ(i.samples[1]->data[1], 512);
    EXPECT_EQ(i.samples[2]->length, 0u);
    EXPECT_TRUE(i.samples[2]->data.empty());
    EXPECT_EQ(i.samples[2]->volume, 30);
    for (int s = 3; s < 16; ++s) EXPECT_EQ(i.samples[s], &music::EmptySample);
    EXPECT_EQ(i.noteMap[1], 15);  // kept; the engine gives slots without a sample EmptySample
}

// ---- Sample headers and loops ---------------------------------------------

const music::Sample& OnlySample(const ModulePtr& m) { return *m->instruments[0].samples[0]; }

ModulePtr LoadSample(SampleSpec sample, music::LoadReport* report = nullptr) {
    XmSpec layout = OnePattern(1, 1, {});
    layout.instruments.push_back(OneSample(std::move(sample)));
    return LoadOk(BuildXm(layout), report);
}

TEST(XmSamples, LoopTypeHalvingAndEmptyLoopRules) {
    struct Case {
        const char* what;
        SampleSpec header;
        std::uint8_t loopType;
        std::uint32_t length, loopStart, loopLength;
    } cases[] = {
        {"16-bit: bytes halved", {.length = 1000, .loopStart = 200, .loopLength = 600, .type = 0x11},
         music::kLoopForward, 500, 100, 300},
        {"ping-pong", {.length = 100, .loopStart = 10, .loopLength = 20, .type = 0x02}, music::kLoopPingPong, 100, 10, 20},
        {"both bits: ping-pong wins", {.length = 100, .loopStart = 10, .loopLength = 20, .type = 0x03},
         music::kLoopPingPong, 100, 10, 20},
        {"no loop covers the sample", {.length = 100, .loopStart = 10, .loopLength = 20, .type = 0xE4},
         music::kLoopNone, 100, 0, 100},
        {"loop of length 0 is none", {.length = 100, .loopStart = 40, .loopLength = 0, .type = 0x01},
         music::kLoopNone, 100, 0, 100},
        {"halving leaves no loop", {.length = 100, .loopStart = 40, .loopLength = 1, .type = 0x12},
         music::kLoopNone, 50, 0, 50},
    };
    for (const Case& c : cases) {
        const ModulePtr m = LoadSample(c.header);
        ASSERT_TRUE(m) << c.what;
        const music::Sample& s = OnlySample(m);
        EXPECT_EQ(s.loopType, c.loopType) << c.what;
        EXPECT_EQ(s.length, c.length) << c.what;
        EXPECT_EQ(s.loopStart, c.loopStart) << c.what;
        EXPECT_EQ(s.loopLength, c.loopLength) << c.what;
        EXPECT_EQ(s.bits, 16) << "every sample is 16-bit once loaded";
        EXPECT_EQ(s.data.size(), c.length + 8u) << c.what;
    }
}

// ---- Sample data -------------------------------------------------------------

TEST(XmSamples, EightBitDeltasAreScaledThenSummedIn16Bits) {
    const ModulePtr m = LoadSample({.data = {0x10, 0x10, 0xF0, 0x7F, 0x7F, 0x02}});
    ASSERT_TRUE(m);
    const auto& d = OnlySample(m).data;
    EXPECT_EQ(d[0], 4096);
    EXPECT_EQ(d[1], 8192);
    EXPECT_EQ(d[2], 4096);
    // 0x10 + 0x7F wraps in 8 bits to -113; the 16-bit sum wraps the same way.
    EXPECT_EQ(d[3], static_cast<std::int8_t>(0x8F) * 256);
    EXPECT_EQ(d[4], static_cast<std::int8_t>(0x0E) * 256);
    EXPECT_EQ(d[5], 0x10 * 256);
}

TEST(XmSamples, SixteenBitDeltasWrapAround) {
    const ModulePtr m = LoadSample({.type = 0x10, .data = {0xFF, 0x7F, 0x01, 0x00, 0xFE, 0xFF}});
    ASSERT_TRUE(m);
    const auto& d = OnlySample(m).data;
    ASSERT_EQ(OnlySample(m).length, 3u);
    EXPECT_EQ(d[0], 32767);
    EXPECT_EQ(d[1], -32768);
    EXPECT_EQ(d[2], 32766);
}

TEST(XmSamples, TheGuardValueFollowsTheLoop) {
    {
        const ModulePtr m = LoadSample({.loopStart = 0, .loopLength = 100, .type = 0x01, .data = Ramp(120)});
        ASSERT_TRUE(m);
        EXPECT_EQ(OnlySample(m).data[100], OnlySample(m).data[0]);
    }
    {
        const ModulePtr m = LoadSample({.loopStart = 0, .loopLength = 100, .type = 0x02, .data = Ramp(120)});
        ASSERT_TRUE(m);
        EXPECT_EQ(OnlySample(m).data[100], OnlySample(m).data[99]);
    }
    {
        // A loop that ends with the sample writes its guard into the padding.
        const ModulePtr m = LoadSample({.loopStart = 20, .loopLength = 30, .type = 0x01, .data = Ramp(50)});
        ASSERT_TRUE(m);
        const auto& d = OnlySample(m).data;
        ASSERT_EQ(d.size(), 58u);
        EXPECT_EQ(d[50], d[20]);
        for (int k = 51; k < 58; ++k) EXPECT_EQ(d[k], 0);
    }
    {
        const ModulePtr m = LoadSample({.data = Ramp(10)});
        ASSERT_TRUE(m);
        const auto& d = OnlySample(m).data;
        ASSERT_EQ(d.size(), 18u);
        EXPECT_EQ(d[9], 2560);
        for (int k = 10; k < 18; ++k) EXPECT_EQ(d[k], 0) << "no loop: the padding stays zero";
    }
}

TEST(XmSamples, AnOddSixteenBitLengthKeepsTheNextSampleInPlace) {
    // 5 bytes of 16-bit data are 2 values and a stray byte; the next sample's
    // data starts after the stray byte, where the file puts it.
    InstrumentSpec ins;
    ins.samples.push_back({.length = 5, .type = 0x10, .data = {0x00, 0x01, 0x00, 0x01, 0x77}});
    ins.samples.push_back({.length = 2, .data = {0x05, 0x05}});
    XmSpec layout = OnePattern(1, 1, {});
    layout.instruments.push_back(ins);
    music::LoadReport report;
    const ModulePtr m = LoadOk(BuildXm(layout), &report);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->instruments[0].samples[0]->length, 2u);
    EXPECT_EQ(m->instruments[0].samples[1]->data[0], 5 * 256);
    EXPECT_EQ(m->instruments[0].samples[1]->data[1], 10 * 256);
    EXPECT_EQ(report.bytesUsed, report.streamSize);
    EXPECT_EQ(report.repairs, 0u);
}

// ---- The embedded song ---------------------------------------------------

// The song's facts, and that its score reaches every part of the engine it
// is meant to exercise: each effect and volume-column kind occurs in some
// cell, each kind of envelope, loop and setting in some instrument.
TEST(XmEmbeddedSong, LoadsWithItsFactsAndUsesWhatTheEnginePlays) {
    music::RegisterResourceStreamOps();
    music::LoadReport report;
    ModulePtr m(music::LoadModule("XM", &report));
    music::RegisterStreamOps(nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(m) << music::DescribeLoadFailure(report);
    EXPECT_EQ(BrokenInvariant(*m), "");
    EXPECT_EQ(report.repairs, 0u);
    EXPECT_EQ(report.bytesUsed, report.streamSize);
    EXPECT_GE(report.streamSize, 60u * 1024);
    EXPECT_LE(report.streamSize, 100u * 1024);
    EXPECT_EQ(m->channelCount, 16);
    EXPECT_EQ(m->storedPatternCount, 11);
    EXPECT_EQ(m->patternSlotCount, 11);
    EXPECT_EQ(m->songLength, 13);
    EXPECT_EQ(m->restartPosition, 0);
    EXPECT_TRUE(music::UsesLinearFrequencies(*m));
    EXPECT_EQ(m->defaultSpeed, 3);
    EXPECT_EQ(m->defaultBpm, 160);
    ASSERT_EQ(m->instrumentCount, 11);

    bool forward = false, pingPong = false, sustain = false, loop = false, panning = false, fadeout = false,
         vibrato = false;
    for (int i = 0; i < m->instrumentCount; ++i) {
        const music::Instrument& ins = m->instruments[i];
        EXPECT_EQ(ins.sampleCount, 1) << i;
        ASSERT_GT(ins.samples[0]->length, 0u) << i;
        forward |= ins.samples[0]->loopType == music::kLoopForward;
        pingPong |= ins.samples[0]->loopType == music::kLoopPingPong;
        sustain |= (ins.volumeEnvelopeType & music::kEnvelopeSustain) != 0;
        loop |= (ins.volumeEnvelopeType & music::kEnvelopeLoop) != 0;
        panning |= (ins.panningEnvelopeType & music::kEnvelopeOn) != 0;
        fadeout |= ins.fadeout != 0;
        vibrato |= ins.autoVibratoDepth != 0 && ins.autoVibratoRate != 0;
    }
    EXPECT_TRUE(forward && pingPong && sustain && loop && panning && fadeout && vibrato);

    std::set<int> effects, volumeKinds;
    bool keyOffNote = false;
    for (int slot = 0; slot < m->patternSlotCount; ++slot) {
        for (const music::PatternCell& cell : m->patterns[slot].cells) {
            keyOffNote |= cell.note == music::KeyOffNote;
            if (cell.volume >= 0x10) volumeKinds.insert(cell.volume >= 0x60 ? cell.volume >> 4 : 1);
            if (cell.effect == 0 && cell.parameter != 0) effects.insert(0x00);
            if (cell.effect == 14) effects.insert(0xE0 | (cell.parameter >> 4));
            else if (cell.effect != 0) effects.insert(cell.effect);
        }
    }
    EXPECT_TRUE(keyOffNote);
    // 1 set volume; 6/7 slides; 8/9 fine slides; C panning; D/E panning slides.
    for (int kind : {1, 6, 7, 8, 9, 0xC, 0xD, 0xE}) EXPECT_TRUE(volumeKinds.count(kind)) << "volume column " << kind;
    // Arpeggio, portamento down, set panning, volume slide, pattern loop,
    // note cut, speed and tempo, global volume and its slide, key off.
    for (int effect : {0x00, 0x02, 0x08, 0x0A, 0xE6, 0xEC, 0x0F, 0x10, 0x11, 0x14}) {
        EXPECT_TRUE(effects.count(effect)) << "effect " << effect;
    }
}

TEST(XmEmbeddedSong, AMissingResourceIsRejectedByItsSignature) {
    music::RegisterResourceStreamOps();
    music::LoadReport report;
    EXPECT_EQ(music::LoadModule("NOSUCHSONG", &report), nullptr);
    music::RegisterStreamOps(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(report.failure, music::LoadFailure::NotXm);
}

}  // namespace
