// The replay engine, tick by tick: timing and the order list, notes and
// periods, the volume column, each effect, and the choices made for 1xx,
// tone portamento and the Amiga table. Songs are built in the test and
// loaded through the real loader.
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/music/replay_harness.h"

namespace {

using namespace music;
using namespace replaytest;

// ---- Timing and the order list ----------------------------------------------

TEST(Timing, FramesPerTickFollowTheBpm) {
    Module module;
    const std::pair<std::int32_t, std::int32_t> cases[] = {{125, 882}, {160, 689}, {32, 3445}, {255, 432}, {0, 110250}};
    for (const auto& [bpm, frames] : cases) {
        SetTempo(module, bpm);
        EXPECT_EQ(module.framesPerTick, frames) << bpm;
    }
}

TEST(Timing, StartPlaybackResetsTheSongAtItsDefaults) {
    Player player(Song({{}}, 1, 3, 160));
    ASSERT_TRUE(player.Loaded());
    Module& m = player.Song();
    EXPECT_EQ(m.speed, 3);
    EXPECT_EQ(m.bpm, 160);
    EXPECT_EQ(m.framesPerTick, 689);  // 2,067 frames per row
    EXPECT_EQ(m.globalVolume, 64);
    EXPECT_EQ(m.nextRow, -1);
    EXPECT_EQ(m.nextOrderPosition, -1);
    EXPECT_EQ(m.tickOperation, &PlayTick);
    EXPECT_EQ(player.Channel(0).voice, &voiceTable[0]);
}

// (order position, row) after each of `ticks` ticks.
std::vector<std::pair<int, int>> Walk(Player& player, int ticks) {
    std::vector<std::pair<int, int>> out;
    for (int i = 0; i < ticks; ++i) {
        player.Tick();
        out.emplace_back(player.Song().orderPosition, player.Song().row);
    }
    return out;
}

TEST(OrderList, RowsThenOrderPositionsThenTheRestartPosition) {
    xmtest::XmSpec layout = Song({{}, {}}, 1, 2);
    layout.patterns.push_back({3, PackRows({{}, {}, {}}, 1), {}});
    layout.songLength = 3;
    layout.restart = 1;
    layout.order[0] = 0;
    layout.order[1] = 1;
    layout.order[2] = 0;
    Player player(layout);
    ASSERT_TRUE(player.Loaded());
    const std::vector<std::pair<int, int>> expected = {
        {0, 0}, {0, 0}, {0, 1}, {0, 1}, {1, 0}, {1, 0}, {1, 1}, {1, 1}, {1, 2}, {1, 2},
        {2, 0}, {2, 0}, {2, 1}, {2, 1}, {1, 0}, {1, 0}};
    EXPECT_EQ(Walk(player, 16), expected);
}

TEST(OrderList, SpeedZeroMakesEveryTickARow) {
    Player player(Song({{{0, 0, 0, 0x0F, 0x00}}, {}, {}, {}}, 1, 6));
    EXPECT_EQ(Walk(player, 5), (std::vector<std::pair<int, int>>{{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 0}}));
    EXPECT_EQ(player.Song().tick, 0);
}

TEST(OrderList, SpeedChangesTakeEffectOnTheirRow) {
    Player player(Song({{{0, 0, 0, 0x0F, 0x02}}, {}, {}}, 1, 4));
    EXPECT_EQ(Walk(player, 5), (std::vector<std::pair<int, int>>{{0, 0}, {0, 0}, {0, 1}, {0, 1}, {0, 2}}));
}

TEST(OrderList, BpmEffectGovernsItsOwnTick) {
    Player player(Song({{{0, 0, 0, 0x0F, 0x20}}}));
    player.Tick();
    EXPECT_EQ(player.Song().bpm, 32);
    EXPECT_EQ(player.Song().framesPerTick, 3445);
    EXPECT_EQ(player.Song().speed, 3);  // 0x20 and above: BPM only
}

// ---- Pattern loop ------------------------------------------------------------

std::vector<int> RowsPlayed(Player& player, int rowCount) {
    std::vector<int> rows;
    const int speed = player.Song().speed;
    for (int i = 0; i < rowCount; ++i) {
        player.Tick(speed);
        rows.push_back(player.Song().row);
    }
    return rows;
}

TEST(PatternLoop, E60AndE62PlayTheMarkedRowsThreeTimes) {
    std::vector<Row> rows(20);
    rows[8] = {{0, 0, 0, 0x0E, 0x60}};
    rows[15] = {{0, 0, 0, 0x0E, 0x62}};
    Player player(Song(rows, 1, 1));
    std::vector<int> expected;
    for (int r = 0; r < 8; ++r) expected.push_back(r);
    for (int pass = 0; pass < 3; ++pass) {
        for (int r = 8; r <= 15; ++r) expected.push_back(r);
    }
    for (int r = 16; r < 20; ++r) expected.push_back(r);
    expected.push_back(0);
    EXPECT_EQ(RowsPlayed(player, static_cast<int>(expected.size())), expected);
}

TEST(PatternLoop, TheLoopEndRowPlaysItsOwnEffectsBeforeTheJump) {
    // Channel 1 slides its volume down on row 3 (the loop end) and up on row
    // 0. The jump comes after row 3, so its later ticks still slide down.
    std::vector<Row> rows(5);
    rows[0] = {{0, 0, 0, 0x0E, 0x60}, {C4, 1, 0x30, 0x0A, 0x20}};
    rows[3] = {{0, 0, 0, 0x0E, 0x61}, {0, 0, 0, 0x0A, 0x01}};
    Player player(Song(rows, 2, 3));
    player.Tick(9);  // row 0: +2 on its two later ticks
    EXPECT_EQ(player.Channel(1).volume, 0x20 + 4);
    player.Tick();
    EXPECT_EQ(player.Song().row, 3);
    player.Tick(2);
    EXPECT_EQ(player.Song().row, 3);
    EXPECT_EQ(player.Channel(1).volume, 0x20 + 4 - 2);
    player.Tick();
    EXPECT_EQ(player.Song().row, 0);  // the loop
}

TEST(PatternLoop, ALoopToRowZeroAndOneBeyondAShorterPatternAreSafe) {
    // E60 marks row 0 of a 4-row pattern: the loop goes back to row 0.
    // Then a loop row 6 marked in an 8-row pattern is asked for in a 2-row
    // pattern: the song moves on to the next order position instead.
    xmtest::XmSpec layout = Song({{{0, 0, 0, 0x0E, 0x60}}, {{0, 0, 0, 0x0E, 0x61}}, {}, {}}, 1, 1);
    std::vector<Row> longRows(8);
    longRows[6] = {{0, 0, 0, 0x0E, 0x60}};
    layout.patterns.push_back({8, PackRows(longRows, 1), {}});
    layout.patterns.push_back({2, PackRows({{}, {{0, 0, 0, 0x0E, 0x61}}}, 1), {}});
    layout.songLength = 3;
    layout.order[1] = 1;
    layout.order[2] = 2;
    Player player(layout);
    const std::vector<std::pair<int, int>> expected = {
        {0, 0}, {0, 1}, {0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 6},
        {1, 7}, {2, 0}, {2, 1}, {0, 0}};
    EXPECT_EQ(Walk(player, static_cast<int>(expected.size())), expected);
}

// ---- Notes and periods -------------------------------------------------------

TEST(Notes, PeriodsOfTheLinearTable) {
    struct Case {
        unsigned note;
        std::int8_t relative, finetune;
        std::int32_t period;
    } const cases[] = {
        {49, 0, 0, 4608}, {61, 0, 0, 3840}, {49, 0, -41, 4628}, {49, 0, 41, 4588}, {49, 12, 0, 3840},
        {1, 0, 0, 7680},  {96, 0, 0, 1600}, {49, -48, 0, 7680},
        {96, 127, 0, -6528},  // real notes wrap at 256: (95 + 127) mod 256 = 222
        {10, -20, 0, -8000},  // (9 - 20) mod 256 = 245
    };
    for (const Case& c : cases) {
        xmtest::XmSpec layout = Song({{{c.note, 1}}});
        layout.instruments[0].samples[0].relativeNote = c.relative;
        layout.instruments[0].samples[0].finetune = c.finetune;
        Player player(layout);
        player.Tick();
        EXPECT_EQ(player.Channel().period, c.period) << c.note << " " << int(c.relative) << " " << int(c.finetune);
        EXPECT_EQ(player.Channel().notePeriod, c.period);
        EXPECT_EQ(player.Channel().note, c.note - 1);
    }
}

TEST(Notes, CFourPlaysAt8363Hz) {
    Player player(Song({{{C4, 1}}}));
    player.Tick();
    const Voice& voice = player.Voice();
    EXPECT_EQ(voice.sample, &player.Song().instruments[0].ownedSamples[0]);
    EXPECT_EQ(voice.stepInteger, 0);
    EXPECT_EQ(voice.stepFraction, 814485521u);
    EXPECT_EQ(voice.finalVolume, 127);
    EXPECT_EQ(voice.leftTarget, 63);
    EXPECT_EQ(voice.rightTarget, 63);
}

TEST(Notes, ANoteWithoutInstrumentRestartsTheSampleButNotTheEnvelopes) {
    xmtest::XmSpec layout = Song({{{C4, 1}}, {{0, 0, 0x20}}, {{C4 + 2}}});
    Player player(layout);
    player.Tick(3);
    player.Voice().positionInteger = 99;
    player.Tick(3);
    EXPECT_EQ(player.Channel().volume, 0x10);
    player.Tick();
    EXPECT_EQ(player.Channel().volume, 0x10);  // no instrument: the volume stays
    EXPECT_EQ(player.Channel().period, 4608 - 128);
    EXPECT_EQ(player.Voice().positionInteger, 0);
    EXPECT_EQ(player.Channel().voice, &voiceTable[32]);  // the sounding voice handed over
}

TEST(Notes, AnInstrumentBeyondTheSongAndAnEmptyMapSlotPlayNothing) {
    xmtest::XmSpec layout = Song({{{C4, 5}, {C4, 1}}}, 2);
    layout.instruments[0].noteMap[48] = 16;  // C-4 maps beyond the 16 slots
    Player player(layout);
    player.Tick();
    EXPECT_EQ(player.Voice(0).sample, &EmptySample);
    EXPECT_EQ(player.Voice(1).sample, &EmptySample);
    EXPECT_EQ(player.Channel(0).instrument, 4);
    float mix[64] = {};
    MixVoices(mix, 32);
    EXPECT_EQ(player.Voice(0).sample, nullptr);  // idle at once, adding nothing
    EXPECT_EQ(player.Voice(1).sample, nullptr);
    for (float v : mix) EXPECT_EQ(v, 0.0f);
}

TEST(Notes, KeyOffWithoutVolumeEnvelopeSilencesOnItsRow) {
    Player player(Song({{{C4, 1}}, {{KeyOff}}, {{0, 0, 0, 0x0A, 0x10}}}));
    player.Tick(3);
    EXPECT_EQ(player.Voice().finalVolume, 127);
    player.Tick();
    EXPECT_EQ(player.Channel().keyReleased, 1);
    EXPECT_EQ(player.Channel().volumeEnvelope.output, 0);
    EXPECT_EQ(player.Voice().finalVolume, 0);
    player.Tick(4);
    EXPECT_EQ(player.Voice().finalVolume, 0);  // stays silent
}

TEST(Notes, KeyOffReleasesTheSustainAndStartsTheFadeout) {
    xmtest::XmSpec layout = Song({{{C4, 1}}, {}, {{0, 0, 0, 0x14, 0x00}}, {}});
    auto& ins = layout.instruments[0];
    ins.volume.points = {{0, 64}, {2, 32}, {6, 0}};
    ins.volume.sustain = 1;
    ins.volume.type = kEnvelopeOn | kEnvelopeSustain;
    ins.fadeout = 0x1000;  // 8,192 per tick once doubled
    Player player(layout);
    std::vector<std::int32_t> envelope, fadeout, finalVolume;
    for (int tick = 0; tick < 12; ++tick) {
        player.Tick();
        envelope.push_back(player.Channel().volumeEnvelope.output);
        fadeout.push_back(player.Channel().fadeoutVolume);
        finalVolume.push_back(player.Voice().finalVolume);
    }
    EXPECT_EQ(envelope, (std::vector<std::int32_t>{64, 48, 32, 32, 32, 32, 32, 24, 16, 8, 0, 0}));
    EXPECT_EQ(fadeout, (std::vector<std::int32_t>{65536, 65536, 65536, 65536, 65536, 65536, 57344, 49152, 40960,
                                                  32768, 24576, 16384}));
    EXPECT_EQ(finalVolume, (std::vector<std::int32_t>{127, 95, 63, 63, 63, 63, 55, 35, 19, 7, 0, 0}));
}

// ---- Volume column -----------------------------------------------------------

TEST(VolumeColumn, EachRangeOnTheFirstAndTheOtherTicks) {
    struct Case {
        unsigned byte;
        std::int32_t volume[3], panning[3];
    } const cases[] = {
        {0x10, {0, 0, 0}, {128, 128, 128}},    {0x30, {32, 32, 32}, {128, 128, 128}},
        {0x50, {64, 64, 64}, {128, 128, 128}}, {0x51, {40, 40, 40}, {128, 128, 128}},
        {0x5F, {40, 40, 40}, {128, 128, 128}}, {0x62, {38, 36, 34}, {128, 128, 128}},
        {0x72, {42, 44, 46}, {128, 128, 128}}, {0x6F, {25, 10, 0}, {128, 128, 128}},
        {0x7F, {55, 64, 64}, {128, 128, 128}}, {0x82, {38, 38, 38}, {128, 128, 128}},
        {0x92, {42, 42, 42}, {128, 128, 128}}, {0xA5, {40, 40, 40}, {128, 128, 128}},
        {0xB5, {40, 40, 40}, {128, 128, 128}}, {0xC3, {40, 40, 40}, {48, 48, 48}},
        {0xCF, {40, 40, 40}, {240, 240, 240}}, {0xD4, {40, 40, 40}, {124, 120, 116}},
        {0xE4, {40, 40, 40}, {132, 136, 140}}, {0x05, {40, 40, 40}, {128, 128, 128}},
    };
    for (const Case& c : cases) {
        xmtest::XmSpec layout = Song({{{C4, 1, c.byte}}});
        layout.instruments[0].samples[0].volume = 40;
        Player player(layout);
        for (int tick = 0; tick < 3; ++tick) {
            player.Tick();
            EXPECT_EQ(player.Channel().volume, c.volume[tick]) << std::hex << c.byte << " tick " << tick;
            EXPECT_EQ(player.Channel().panning, c.panning[tick]) << std::hex << c.byte << " tick " << tick;
        }
    }
}

TEST(VolumeColumn, PanSlidesMayLeaveTheRangeOnlyTheFinalPanningIsClamped) {
    std::vector<Row> rows(4, Row{{0, 0, 0xEF}});
    rows[0] = {{C4, 1, 0xCF}};
    Player player(Song(rows));
    player.Tick(12);
    EXPECT_EQ(player.Channel().panning, 240 + 9 * 15);  // three rows of three ticks
    EXPECT_EQ(player.Voice().finalPanning, 255);
}

TEST(VolumeColumn, FxTakesTheNotesPeriodWithoutRestartingTheSample) {
    Player player(Song({{{C4, 1}}, {{C4 + 12, 0, 0xF0}}}));
    player.Tick(3);
    player.Voice().positionInteger = 77;
    player.Tick();
    EXPECT_EQ(player.Channel().period, 3840);
    EXPECT_EQ(player.Channel().voice, &voiceTable[0]);
    EXPECT_EQ(player.Voice().positionInteger, 77);
    EXPECT_EQ(player.Voice().stepFraction, 1628971042u);
}

// ---- Effects -----------------------------------------------------------------

TEST(Effects, ArpeggioCyclesThroughTheNoteAndTwoSemitonesAbove) {
    Player player(Song({{{C4, 1, 0, 0x00, 0x37}}}, 1, 6));
    std::vector<std::int32_t> deltas;
    std::vector<std::uint32_t> steps;
    for (int tick = 0; tick < 6; ++tick) {
        player.Tick();
        deltas.push_back(player.Channel().periodDelta);
        steps.push_back(player.Voice().stepFraction);
    }
    EXPECT_EQ(deltas, (std::vector<std::int32_t>{0, 192, 448, 0, 192, 448}));
    // C-4, D#4 (9,945 Hz), G-4 (12,530 Hz).
    EXPECT_EQ(steps, (std::vector<std::uint32_t>{814485521, 968558951, 1220316104, 814485521, 968558951,
                                                1220316104}));
    EXPECT_EQ(player.Channel().period, 4608);  // the base period never moves
}

TEST(Effects, ArpeggioZeroDoesNothing) {
    Player player(Song({{{C4, 1, 0, 0x00, 0x00}}}, 1, 6));
    player.Tick(3);
    EXPECT_EQ(player.Channel().periodDelta, 0);
}

TEST(Effects, PortamentoDownSlidesFourPerUnitAndRemembers) {
    Player player(Song({{{C4, 1, 0, 0x02, 0x08}}, {{0, 0, 0, 0x02, 0x00}}, {}}));
    std::vector<std::int32_t> periods;
    for (int tick = 0; tick < 9; ++tick) {
        player.Tick();
        periods.push_back(player.Channel().period);
    }
    EXPECT_EQ(periods, (std::vector<std::int32_t>{4608, 4640, 4672, 4672, 4704, 4736, 4736, 4736, 4736}));
}

TEST(Effects, PortamentoUpMirrorsDownWithItsOwnMemoryAndStopsAtOne) {
    // Played although the engine could ignore it: a tune that slides up expects to be heard sliding.
    std::vector<Row> rows(10, Row{{0, 0, 0, 0x01, 0xFF}});
    rows[0] = {{C4, 1, 0, 0x02, 0x08}};
    rows[1] = {{0, 0, 0, 0x01, 0x10}};
    rows[2] = {{0, 0, 0, 0x01, 0x00}};
    rows[3] = {{0, 0, 0, 0x02, 0x00}};
    Player player(Song(rows));
    std::vector<std::int32_t> periods;
    for (int row = 0; row < 4; ++row) {
        player.Tick(3);
        periods.push_back(player.Channel().period);
    }
    EXPECT_EQ(periods, (std::vector<std::int32_t>{4672, 4544, 4416, 4480}));
    for (int i = 0; i < 6; ++i) player.Tick(3);
    EXPECT_EQ(player.Channel().period, 1);
}

TEST(Effects, SetPanning) {
    Player player(Song({{{C4, 1, 0, 0x08, 0xFF}}}));
    player.Tick();
    EXPECT_EQ(player.Channel().panning, 255);
    EXPECT_EQ(player.Voice().leftTarget, 127);
    EXPECT_EQ(player.Voice().rightTarget, 0);
}

TEST(Effects, VolumeSlideUpWinsAndTheMemoryCarriesOn) {
    Player player(Song({{{C4, 1, 0x30, 0x0A, 0x23}}, {{0, 0, 0, 0x0A, 0x00}}, {{0, 0, 0, 0x0A, 0x04}},
                        {{0, 0, 0, 0x0A, 0x00}}}));
    std::vector<std::int32_t> volumes;
    for (int tick = 0; tick < 12; ++tick) {
        player.Tick();
        volumes.push_back(player.Channel().volume);
    }
    EXPECT_EQ(volumes, (std::vector<std::int32_t>{32, 34, 36, 36, 38, 40, 40, 36, 32, 32, 28, 24}));
}

TEST(Effects, NoteCutOnItsTickAndEc0DoesNothing) {
    Player player(Song({{{C4, 1, 0, 0x0E, 0xC2}}, {{C4, 1, 0, 0x0E, 0xC0}}}));
    std::vector<std::int32_t> volumes;
    for (int tick = 0; tick < 6; ++tick) {
        player.Tick();
        volumes.push_back(player.Voice().finalVolume);
    }
    EXPECT_EQ(volumes, (std::vector<std::int32_t>{127, 127, 0, 127, 127, 127}));
}

TEST(Effects, GlobalVolumeIsClampedAndReachesOtherChannelsOnTheNextRow) {
    Player player(Song({{{C4, 1}, {C4, 1, 0, 0x10, 0x20}}, {}, {{0, 0, 0, 0x10, 0x50}}}, 2));
    player.Tick();
    EXPECT_EQ(player.Song().globalVolume, 32);
    EXPECT_EQ(player.Voice(0).finalVolume, 127);  // channel 0 came first
    EXPECT_EQ(player.Voice(1).finalVolume, 63);
    player.Tick(3);
    EXPECT_EQ(player.Voice(0).finalVolume, 63);
    player.Tick(3);
    EXPECT_EQ(player.Song().globalVolume, 64);
}

TEST(Effects, GlobalVolumeSlideUsesTheSongsMemory) {
    Player player(Song({{{C4, 1, 0, 0x11, 0x04}}, {{0, 0, 0, 0x11, 0x00}}, {{0, 0, 0, 0x11, 0x30}}}));
    std::vector<std::int32_t> global;
    for (int tick = 0; tick < 9; ++tick) {
        player.Tick();
        global.push_back(player.Song().globalVolume);
    }
    EXPECT_EQ(global, (std::vector<std::int32_t>{64, 60, 56, 56, 52, 48, 48, 51, 54}));
    EXPECT_EQ(player.Voice().finalVolume, 95);  // recomputed on row 2's first tick, at 48
}

TEST(Effects, EffectsOutsideTheSetChangeNothing) {
    // Set volume, fine portamento, retrigger, vibrato, tremolo, sample offset,
    // position jump, pattern break: what the song's own rows hold is ignored.
    const std::pair<unsigned, unsigned> ignored[] = {{0x0C, 0x04}, {0x0E, 0x12}, {0x0E, 0x22}, {0x0E, 0x93},
                                                     {0x04, 0x48}, {0x07, 0x48}, {0x09, 0x10}, {0x0B, 0x00},
                                                     {0x0D, 0x00}, {0x06, 0x04}, {0x21, 0x12}};
    Player plain(Song({{{C4, 1}}, {}, {}}));
    plain.Tick(9);
    for (const auto& [effect, parameter] : ignored) {
        Player player(Song({{{C4, 1, 0, effect, parameter}}, {}, {}}));
        player.Tick(9);
        EXPECT_EQ(player.Channel().period, plain.Channel().period) << std::hex << effect;
        EXPECT_EQ(player.Channel().volume, plain.Channel().volume) << std::hex << effect;
        EXPECT_EQ(player.Song().row, plain.Song().row) << std::hex << effect;
        EXPECT_EQ(player.Song().orderPosition, plain.Song().orderPosition) << std::hex << effect;
    }
}

// ---- Tone portamento (a choice) ---------------------------------------------

TEST(TonePortamento, ANoteSlidesTheSoundingSampleTowardsItAndStops) {
    Player player(Song({{{C4, 1}}, {{C4 + 1, 0, 0, 0x03, 0x05}}, {{0, 0, 0, 0x03, 0x00}}, {}}));
    player.Tick(3);
    player.Voice().positionInteger = 50;
    std::vector<std::int32_t> periods;
    for (int tick = 0; tick < 9; ++tick) {
        player.Tick();
        periods.push_back(player.Channel().period);
    }
    // C-4 to C#4 (64 lower) at 20 per later tick, stopping there; the
    // memory carries on into row 2.
    EXPECT_EQ(periods, (std::vector<std::int32_t>{4608, 4588, 4568, 4568, 4548, 4544, 4544, 4544, 4544}));
    EXPECT_EQ(player.Channel().voice, &voiceTable[0]);  // no restart: the same voice plays on
    EXPECT_EQ(player.Voice().positionInteger, 50);
    EXPECT_EQ(player.Channel().note, C4 - 1);  // not latched
}

TEST(TonePortamento, TheInstrumentIsNotTakenButItsSettingsAreReloaded) {
    xmtest::XmSpec layout = Song({{{C4, 1, 0x20}}, {{C4 - 12, 2, 0, 0x03, 0xFF}}});
    xmtest::SampleSpec second = LoopingSample();
    second.volume = 50;
    second.relativeNote = 12;
    layout.instruments.push_back(xmtest::OneSample(second));
    Player player(layout);
    player.Tick(3);
    player.Tick();
    EXPECT_EQ(player.Channel().instrument, 0);
    EXPECT_EQ(player.Channel().volume, 64);  // the playing instrument's sample volume
    EXPECT_EQ(player.Channel().tonePortamentoTarget, 4608 + 768);  // with the playing sample's relative note
    player.Tick(2);
    EXPECT_EQ(player.Channel().period, 4608 + 768);
}

TEST(TonePortamento, FiveXYSlidesAndSlidesTheVolume) {
    Player player(Song({{{C4, 1, 0x40}}, {{C4 - 1, 0, 0, 0x03, 0x04}}, {{0, 0, 0, 0x05, 0x02}}}));
    player.Tick(6);
    EXPECT_EQ(player.Channel().period, 4608 + 32);
    player.Tick(3);
    EXPECT_EQ(player.Channel().period, 4608 + 64);
    EXPECT_EQ(player.Channel().volume, 0x30 - 4);
}

// ---- Amiga frequency table (a choice) ---------------------------------------

TEST(AmigaTable, NotesPlayAtTheLinearTablesPitches) {
    for (unsigned realNote = 12; realNote < 96; realNote += 7) {
        for (std::int8_t finetune : {std::int8_t{-128}, std::int8_t{-41}, std::int8_t{0}, std::int8_t{90}}) {
            const auto linear = static_cast<double>(
                PeriodFrequency(true, NotePeriod(true, static_cast<std::uint8_t>(realNote), finetune), 0));
            const auto amiga = static_cast<double>(
                PeriodFrequency(false, NotePeriod(false, static_cast<std::uint8_t>(realNote), finetune), 0));
            // Within one period unit of rounding: under 0.5 % up to B-7.
            EXPECT_NEAR(amiga / linear, 1.0, 0.005) << realNote << " " << int(finetune);
        }
    }
    EXPECT_EQ(NotePeriod(false, 48, 0), 1712);
    EXPECT_EQ(NotePeriod(false, 60, 0), 856);
    EXPECT_EQ(NotePeriod(false, 36, 0), 3424);
    EXPECT_EQ(NotePeriod(false, 49, 0), 1616);
    EXPECT_EQ(NotePeriod(false, 255, 0), 1);  // wrapped absurd notes stay playable
}

TEST(AmigaTable, ASongPlaysItsNotesArpeggioAndSlides) {
    xmtest::XmSpec layout = Song({{{C4, 1, 0, 0x00, 0x0C}}, {{0, 0, 0, 0x02, 0x10}}}, 1, 3);
    layout.flags = 0;
    Player player(layout);
    player.Tick();
    EXPECT_EQ(player.Channel().period, 1712);
    EXPECT_EQ(player.Voice().stepFraction, 814388129u);  // 8,362 Hz: 14,317,056 / 1712, truncated
    player.Tick(2);
    EXPECT_EQ(player.Channel().periodDelta, -856);  // an octave up: half the period
    EXPECT_EQ(player.Voice().stepFraction, 1628873651u);  // 16,725 Hz
    player.Tick(3);
    EXPECT_EQ(player.Channel().period, 1712 + 128);
}

}  // namespace
