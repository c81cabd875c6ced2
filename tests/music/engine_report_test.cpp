// What the engine will not play of a song: the command table against the
// replay engine itself, and the report over songs built here.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "music/effects.h"
#include "tests/music/replay_harness.h"
#include "tools/songreport/engine_report.h"

namespace {

using music::CellCommand;
using music::EngineSupport;
using replaytest::C4;
using replaytest::Cell;
using replaytest::KeyOff;
using replaytest::Row;

// ---- The table against the engine ----------------------------------------------

// Everything a command could change, after every tick.
std::vector<std::int64_t> Snapshot(replaytest::Player& player) {
    const music::Channel& c = player.Channel();
    const music::Module& m = player.Song();
    const music::Voice& v = *c.voice;
    return {c.note, c.period, c.volume, c.panning, c.periodDelta, c.keyReleased, c.instrument, c.notePeriod,
            c.portamentoDownMemory, c.portamentoUpMemory, c.volumeSlideMemory, c.tonePortamentoSpeed,
            c.tonePortamentoTarget, c.patternLoopRow, c.patternLoopCounter, c.fadeoutVolume,
            c.volumeEnvelope.output, c.panningEnvelope.output, m.speed, m.bpm, m.globalVolume,
            m.globalVolumeSlideMemory, m.row, m.nextRow, m.orderPosition, m.nextOrderPosition, m.framesPerTick,
            v.slotIndex, v.finalVolume, v.finalPanning, v.leftTarget, v.rightTarget, v.stepInteger,
            v.stepFraction, v.positionInteger, v.sample != nullptr};
}

// Three rows at speed 3: a note at volume 32, the cell under test (with or
// without a note of its own), an empty row.
std::vector<std::vector<std::int64_t>> Play(const Cell& underTest) {
    const std::vector<Row> rows = {{{C4, 1, 0x30}}, {underTest}, {}};
    replaytest::Player player(replaytest::Song(rows, 1, 3));
    EXPECT_TRUE(player.Loaded());
    std::vector<std::vector<std::int64_t>> ticks;
    for (int t = 0; t < 9; ++t) {
        player.Tick();
        ticks.push_back(Snapshot(player));
    }
    return ticks;
}

// Whether the command changed anything, for some parameter and with or
// without a note in its row, compared with that row holding only the note.
std::map<CellCommand, bool> PlayEveryCommand() {
    std::map<CellCommand, bool> changed;
    const unsigned parameters[] = {0x00, 0x01, 0x03, 0x10, 0x21, 0x37, 0x80, 0xC1, 0xF3, 0xFF};
    for (unsigned note : {0u, C4 + 5}) {
        const auto baseline = Play(Cell{note});
        for (unsigned type = 0; type < 0x30; ++type) {
            for (unsigned xy : parameters) {
                const bool differs = Play(Cell{note, 0, 0, type, xy}) != baseline;
                changed[music::EffectCommand(static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(xy))] |=
                    differs;
            }
            if (type != music::kExtended && type != music::kExtraFinePortamento) continue;
            for (unsigned x = 0; x < 16; ++x) {
                for (unsigned y : {0u, 1u, 3u}) {
                    const auto parameter = static_cast<std::uint8_t>(x << 4 | y);
                    changed[music::EffectCommand(static_cast<std::uint8_t>(type), parameter)] |=
                        Play(Cell{note, 0, 0, type, parameter}) != baseline;
                }
            }
        }
        for (unsigned volume = 1; volume < 256; ++volume) {
            changed[music::VolumeColumnCommand(static_cast<std::uint8_t>(volume))] |=
                Play(Cell{note, 0, volume}) != baseline;
        }
    }
    return changed;
}

TEST(EngineCommandTable, WhatItCallsIgnoredTheEngineIgnoresAndWhatItCallsPlayedItPlays) {
    const auto changed = PlayEveryCommand();
    int played = 0, ignored = 0;
    for (const auto& [command, differs] : changed) {
        const EngineSupport support = music::SupportOf(command);
        const std::string name = music::CommandCode(command) + " " + music::CommandName(command);
        if (support == EngineSupport::Played || support == EngineSupport::OwnWay) {
            EXPECT_TRUE(differs) << name << " is listed as played but changes nothing";
            ++played;
        } else {
            EXPECT_FALSE(differs) << name << " is listed as not played but the engine plays it";
            ++ignored;
        }
    }
    // 0xy, 1, 2, 3, 5, 8, A, E6, EC, F, G, H, K00, Kxx; volume 10-50, 6x to 9x, Cx to Fx.
    EXPECT_EQ(played, 14 + 9);
    EXPECT_GT(ignored, 30);
}

TEST(EngineCommandTable, NamesFollowTheTrackersLetters) {
    const struct {
        CellCommand command;
        const char* code;
        const char* name;
        EngineSupport support;
    } cases[] = {
        {music::EffectCommand(0x0C, 0x20), "Cxx", "set volume", EngineSupport::Ignored},
        {music::EffectCommand(0x04, 0x48), "4xy", "vibrato", EngineSupport::Ignored},
        {music::EffectCommand(0x0E, 0x93), "E9y", "retrigger", EngineSupport::Ignored},
        {music::EffectCommand(0x1B, 0x13), "Rxy", "multi retrigger", EngineSupport::Ignored},
        {music::EffectCommand(0x21, 0x25), "X2y", "extra fine portamento down", EngineSupport::Ignored},
        {music::EffectCommand(0x21, 0x55), "X5y", "", EngineSupport::Unknown},
        {music::EffectCommand(0x23, 0x01), "Zxx", "", EngineSupport::Unknown},
        {music::EffectCommand(40, 0x01), "effect type 40", "", EngineSupport::Unknown},
        {music::EffectCommand(0x00, 0x00), "000", "", EngineSupport::NoEffect},
        {music::EffectCommand(0x14, 0x02), "Kxx (xx above 0)", "key off", EngineSupport::OwnWay},
        {music::EffectCommand(0x0E, 0x62), "E6y", "pattern loop", EngineSupport::OwnWay},
        {music::VolumeColumnCommand(0xB3), "volume column Bx", "vibrato", EngineSupport::Ignored},
        {music::VolumeColumnCommand(0x50), "volume column 10-50", "set volume", EngineSupport::Played},
        {music::VolumeColumnCommand(0x55), "volume column 01-0F/51-5F", "", EngineSupport::NoEffect},
        {music::VolumeColumnCommand(0xF2), "volume column Fx", "tone portamento", EngineSupport::OwnWay},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(music::CommandCode(c.command), c.code);
        EXPECT_EQ(music::CommandName(c.command), c.name) << c.code;
        EXPECT_EQ(music::SupportOf(c.command), c.support) << c.code;
    }
}

// ---- The report over built songs ------------------------------------------------

// Two patterns of four rows and three channels, the order 1 0 1; pattern 2 is
// stored but never played.
xmtest::XmSpec TwoPatterns(const std::vector<Row>& pattern0, const std::vector<Row>& pattern1) {
    xmtest::XmSpec layout = replaytest::Song(pattern0, 3);
    layout.patterns.push_back({static_cast<unsigned>(pattern1.size()), replaytest::PackRows(pattern1, 3), {}});
    const std::vector<Row> unplayed = {{{C4, 1, 0, 0x0C, 0x10}, {C4, 1, 0xB4}}};
    layout.patterns.push_back({1, replaytest::PackRows(unplayed, 3), {}});
    layout.songLength = 3;
    layout.order[0] = 1;
    layout.order[1] = 0;
    layout.order[2] = 1;
    return layout;
}

songreport::EngineReport Analyse(const xmtest::XmSpec& layout) {
    const xmtest::ModulePtr song = xmtest::Load(xmtest::BuildXm(layout));
    EXPECT_NE(song, nullptr);
    return song ? songreport::AnalyseSong(*song) : songreport::EngineReport{};
}

std::string Text(const songreport::EngineReport& report) {
    std::FILE* file = std::tmpfile();
    songreport::PrintEngineReport(report, file);
    std::rewind(file);
    std::string text;
    for (int ch; (ch = std::fgetc(file)) != EOF;) text += static_cast<char>(ch);
    std::fclose(file);
    return text;
}

TEST(EngineReport, EachIgnoredCommandIsCountedOncePerCellWithTheFirstPlaceItIsHeard) {
    const struct {
        Cell cell;
        const char* title;
    } cases[] = {
        {{0, 0, 0, 0x04, 0x48}, "4xy vibrato"},
        {{0, 0, 0, 0x06, 0x01}, "6xy vibrato and volume slide"},
        {{0, 0, 0, 0x07, 0x44}, "7xy tremolo"},
        {{0, 0, 0, 0x09, 0x10}, "9xx sample offset"},
        {{0, 0, 0, 0x0B, 0x00}, "Bxx position jump"},
        {{0, 0, 0, 0x0C, 0x04}, "Cxx set volume"},
        {{0, 0, 0, 0x0D, 0x00}, "Dxx pattern break"},
        {{0, 0, 0, 0x0E, 0x12}, "E1y fine portamento up"},
        {{0, 0, 0, 0x0E, 0x22}, "E2y fine portamento down"},
        {{0, 0, 0, 0x0E, 0x31}, "E3y glissando control"},
        {{0, 0, 0, 0x0E, 0x41}, "E4y vibrato waveform"},
        {{0, 0, 0, 0x0E, 0x52}, "E5y set finetune"},
        {{0, 0, 0, 0x0E, 0x71}, "E7y tremolo waveform"},
        {{0, 0, 0, 0x0E, 0x93}, "E9y retrigger"},
        {{0, 0, 0, 0x0E, 0xA1}, "EAy fine volume slide up"},
        {{0, 0, 0, 0x0E, 0xB1}, "EBy fine volume slide down"},
        {{0, 0, 0, 0x0E, 0xD1}, "EDy note delay"},
        {{0, 0, 0, 0x0E, 0xE2}, "EEy pattern delay"},
        {{0, 0, 0, 0x15, 0x04}, "Lxx set envelope position"},
        {{0, 0, 0, 0x19, 0x10}, "Pxy panning slide"},
        {{0, 0, 0, 0x1B, 0x13}, "Rxy multi retrigger"},
        {{0, 0, 0, 0x1D, 0x11}, "Txy tremor"},
        {{0, 0, 0, 0x21, 0x12}, "X1y extra fine portamento up"},
        {{0, 0, 0, 0x21, 0x22}, "X2y extra fine portamento down"},
        {{0, 0, 0, 0x22, 0x10}, "Yxx (no FastTracker 2 command)"},
        {{0, 0, 0xA3}, "volume column Ax set vibrato speed"},
        {{0, 0, 0xB3}, "volume column Bx vibrato"},
    };
    for (const auto& c : cases) {
        // Pattern 1 (order 0) has it on row 2, channel 2; pattern 0 (order 1)
        // on row 0, channel 3 and row 3, channel 1: three cells, first heard
        // at order 0. Pattern 2 is never played.
        const auto report = Analyse(TwoPatterns({{{}, {}, c.cell}, {}, {}, {c.cell}},
                                                {{{C4, 1}}, {}, {{}, c.cell}, {}}));
        ASSERT_EQ(report.notPlayed.size(), 1u) << c.title << "\n" << Text(report);
        const songreport::CommandUse& use = report.notPlayed[0];
        EXPECT_EQ(use.cells, 3) << c.title;
        EXPECT_EQ(use.first.order, 0) << c.title;
        EXPECT_EQ(use.first.pattern, 1) << c.title;
        EXPECT_EQ(use.first.row, 2) << c.title;
        EXPECT_EQ(use.first.channel, 2) << c.title;
        EXPECT_TRUE(report.ownWay.empty()) << c.title;
        EXPECT_EQ(report.patternsCounted, 2);
        EXPECT_EQ(report.patternsUnplayed, 1);
        EXPECT_NE(Text(report).find(std::string("  ") + c.title +
                                    ": 3 cells, first at order 0, pattern 1, row 2, channel 2\n"),
                  std::string::npos)
            << Text(report);
    }
}

TEST(EngineReport, TheEnginesOwnWaysAreListedWithHowTheyPlay) {
    xmtest::XmSpec layout =
        TwoPatterns({{{C4, 1, 0, 0x01, 0x04}, {C4, 1, 0x62}, {C4, 1, 0, 0x0E, 0x60}},
                     {{0, 0, 0x73, 0x03, 0x10}, {0, 0, 0xD1}, {0, 0, 0, 0x0E, 0x62}},
                     {{C4, 0, 0xF0, 0x05, 0x01}, {0, 0, 0xE2}, {0, 0, 0, 0x14, 0x02}},
                     {}},
                    {{}});
    layout.flags = 0;  // the Amiga table
    layout.instruments[0].volume = {{{0, 64}, {10, 32}, {10, 16}, {20, 0}}, {}, 0, 0, 0, 1};
    const auto report = Analyse(layout);
    EXPECT_TRUE(report.notPlayed.empty());
    std::vector<std::string> codes;
    for (const auto& use : report.ownWay) codes.push_back(music::CommandCode(use.command));
    EXPECT_EQ(codes, (std::vector<std::string>{"1xx", "3xx", "5xy", "E6y", "Kxx (xx above 0)", "volume column 6x",
                                               "volume column 7x", "volume column Dx", "volume column Ex",
                                               "volume column Fx"}));
    EXPECT_EQ(report.ownWay[3].cells, 2);  // E60 and E62
    EXPECT_EQ(report.ownWay[3].first.order, 1);
    EXPECT_EQ(report.ownWay[3].first.row, 0);
    EXPECT_EQ(report.ownWay[3].first.channel, 3);
    ASSERT_EQ(report.envelopeTies.size(), 1u);
    EXPECT_EQ(report.envelopeTies[0].instrument, 1);
    EXPECT_EQ(report.envelopeTies[0].point, 1);
    EXPECT_EQ(report.envelopeTies[0].tick, 10);
    EXPECT_TRUE(report.amigaTable);
    const std::string text = Text(report);
    EXPECT_NE(text.find("not played by this engine (cells of the 2 patterns the order plays, each counted once):\n"
                        "  nothing\nplayed in its own way:\n  1xx portamento up: 1 cell, first at order 1, "
                        "pattern 0, row 0, channel 1: the mirror of 2xx"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("  envelope points at the same tick: 1 envelope, first instrument 1 volume envelope points "
                        "1 and 2 at tick 10: "),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("  Amiga frequency table: "), std::string::npos) << text;
    EXPECT_EQ(songreport::SummaryLine(report).rfind("not played by this engine: nothing; played in its own way: "
                                                    "1xx portamento up (1 cell), 3xx tone portamento (1 cell)",
                                                    0),
              0u)
        << songreport::SummaryLine(report);
}

TEST(EngineReport, ASongOfPlayedCommandsOnlySaysSoInOneLine) {
    // Every command the engine plays as FastTracker 2 does, and empty cells.
    const auto report = Analyse(TwoPatterns({{{C4, 1, 0x40, 0x00, 0x37}, {C4, 1, 0x85, 0x02, 0x04}, {C4, 1, 0x95}},
                                             {{0, 0, 0xC4, 0x08, 0x80}, {0, 0, 0x05, 0x0A, 0x10}, {0, 0, 0x55}},
                                             {{0, 0, 0, 0x0E, 0xC2}, {0, 0, 0, 0x0F, 0x06}, {0, 0, 0, 0x10, 0x30}},
                                             {{0, 0, 0, 0x11, 0x01}, {KeyOff}, {0, 0, 0, 0x14, 0x00}},
                                             {{0, 0, 0, 0x0E, 0x01}, {0, 0, 0, 0x0F, 0x80}}},
                                            {{}}));
    EXPECT_TRUE(report.FullyPlayed()) << Text(report);
    EXPECT_EQ(Text(report), "not played by this engine: nothing; it plays every command of this song as "
                            "FastTracker 2 does\n");
    EXPECT_EQ(songreport::SummaryLine(report), "this engine plays every command of this song as FastTracker 2 does");
}

}  // namespace
