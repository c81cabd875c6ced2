// Channel state and the voice update: envelopes, automatic vibrato, the
// instrument reload and UpdateVoice's exact arithmetic, on channels and
// voices set up by hand.
#include <vector>

#include <gtest/gtest.h>

#include "music/channel.h"
#include "music/mixer.h"
#include "music/playback.h"

namespace {

using namespace music;

struct Envelope {
    std::vector<EnvelopePoint> points;
    std::int32_t sustain = 0, loopStart = 0, loopEnd = 0;
    std::uint8_t type = kEnvelopeOn;
};

// Steps the envelope `ticks` times and returns its output after each step.
std::vector<std::int32_t> StepTicks(Channel& channel, EnvelopeState& state, const Envelope& e, int ticks) {
    std::vector<std::int32_t> outputs;
    for (int i = 0; i < ticks; ++i) {
        channel.updateFlags = 0;
        StepEnvelope(channel, state, e.points.data(), static_cast<std::int32_t>(e.points.size()), e.sustain,
                     e.loopStart, e.loopEnd, e.type, UpdateVolume);
        EXPECT_EQ(channel.updateFlags, UpdateVolume) << "tick " << i;
        outputs.push_back(state.output);
    }
    return outputs;
}

TEST(StepEnvelope, SlopesAreTruncatedAndTheLastPointFinishes) {
    Channel channel;
    EnvelopeState state;
    const Envelope e{{{0, 64}, {10, 0}}};
    EXPECT_EQ(StepTicks(channel, state, e, 13), (std::vector<std::int32_t>{64, 57, 51, 44, 38, 32, 25, 19, 12, 6, 0, 0, 0}));
    EXPECT_EQ(state.finished, 1);
    EXPECT_EQ(state.slope, -419430);  // -64 x 65,536 / 10, truncated
    EXPECT_EQ(state.tick, 10);        // the last point does not advance the tick
}

TEST(StepEnvelope, HoldsAtTheSustainPointUntilTheKeyIsReleased) {
    Channel channel;
    EnvelopeState state;
    const Envelope e{{{0, 0}, {2, 40}, {4, 20}}, 1, 0, 0, kEnvelopeOn | kEnvelopeSustain};
    EXPECT_EQ(StepTicks(channel, state, e, 6), (std::vector<std::int32_t>{0, 20, 40, 40, 40, 40}));
    EXPECT_EQ(state.tick, 2);  // held: the tick stays at the sustain point
    channel.keyReleased = 1;
    EXPECT_EQ(StepTicks(channel, state, e, 4), (std::vector<std::int32_t>{40, 30, 20, 20}));
    EXPECT_EQ(state.finished, 1);
}

TEST(StepEnvelope, LoopsBackBeforeTestingTheEnd) {
    Channel channel;
    EnvelopeState state;
    // Loop from point 1 to point 3, which is also the last point: the loop wins.
    const Envelope e{{{0, 0}, {1, 64}, {3, 0}, {5, 64}}, 0, 1, 3, kEnvelopeOn | kEnvelopeLoop};
    EXPECT_EQ(StepTicks(channel, state, e, 12), (std::vector<std::int32_t>{0, 64, 32, 0, 32, 64, 32, 0, 32, 64, 32, 0}));
    EXPECT_EQ(state.finished, 0);
}

TEST(StepEnvelope, SustainInsideALoopHoldsThenTheLoopRunsAfterRelease) {
    Channel channel;
    EnvelopeState state;
    const Envelope e{{{0, 64}, {2, 32}, {4, 0}}, 1, 1, 2, kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop};
    EXPECT_EQ(StepTicks(channel, state, e, 5), (std::vector<std::int32_t>{64, 48, 32, 32, 32}));
    channel.keyReleased = 1;
    EXPECT_EQ(StepTicks(channel, state, e, 5), (std::vector<std::int32_t>{32, 16, 32, 16, 32}));
}

TEST(StepEnvelope, TwoPointsAtTheSameTickDoNotStallIt) {
    // The loader turns points that go back in time into points at the same
    // tick. The envelope jumps to the second one a tick late and goes on,
    // instead of staying at the first for ever.
    Channel channel;
    EnvelopeState state;
    const Envelope e{{{0, 64}, {2, 32}, {2, 8}, {4, 0}}};
    EXPECT_EQ(StepTicks(channel, state, e, 7), (std::vector<std::int32_t>{64, 48, 32, 8, 0, 0, 0}));
    EXPECT_EQ(state.finished, 1);
}

TEST(StepEnvelope, BeforeAFirstPointAboveZeroTheValueStays) {
    Channel channel;
    EnvelopeState state;
    state.value = 20 << 16;
    const Envelope e{{{2, 64}, {4, 0}}};
    EXPECT_EQ(StepTicks(channel, state, e, 5), (std::vector<std::int32_t>{20, 20, 64, 32, 0}));
}

TEST(AutoVibrato, WavesOfTheFourTypes) {
    struct Case {
        std::uint8_t type;
        std::int32_t position, wave;
    } const cases[] = {
        {0, 0, 0},    {0, 1, 1},     {0, 32, 45},   {0, 64, 64},  {0, 128, 0}, {0, 129, -1}, {0, 192, -64},
        {0, 255, -1}, {1, 0, 64},    {1, 127, 64},  {1, 128, -64}, {1, 255, -64}, {2, 0, 0},  {2, 127, -64},
        {2, 128, 64}, {2, 255, 0},   {3, 0, 0},     {3, 128, 64}, {3, 129, -64}, {3, 255, -1},
        // Types above 3 (not in valid files) play the sine.
        {4, 64, 64},  {7, 32, 45},   {255, 192, -64},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AutoVibratoWave(c.type, c.position), c.wave) << "type " << int(c.type) << " position " << c.position;
    }
}

TEST(AutoVibrato, SquareOfDepthEightMovesThePeriodByEight) {
    Instrument instrument;
    instrument.autoVibratoType = 1;
    instrument.autoVibratoDepth = 8;
    instrument.autoVibratoRate = 64;
    Channel channel;
    std::vector<std::int32_t> deltas;
    for (int tick = 0; tick < 6; ++tick) {
        channel.periodDelta = 0;
        channel.updateFlags = 0;
        StepAutoVibrato(channel, instrument);
        EXPECT_EQ(channel.updateFlags, UpdateFrequency);
        deltas.push_back(channel.periodDelta);
    }
    EXPECT_EQ(deltas, (std::vector<std::int32_t>{8, 8, -8, -8, 8, 8}));
}

TEST(AutoVibrato, SweepGrowsTheDepthFromNothing) {
    Instrument instrument;
    instrument.autoVibratoType = 1;
    instrument.autoVibratoDepth = 64;
    instrument.autoVibratoSweep = 40;
    instrument.autoVibratoRate = 0;  // position stays at 0: +64
    Channel channel;
    std::vector<std::int32_t> deltas;
    for (int tick = 0; tick < 45; ++tick) {
        channel.periodDelta = 0;
        StepAutoVibrato(channel, instrument);
        deltas.push_back(channel.periodDelta);
    }
    // a = counter x 4096 / 40, then >> 6.
    EXPECT_EQ(deltas[0], 0);
    EXPECT_EQ(deltas[1], 1);    // 102 >> 6
    EXPECT_EQ(deltas[10], 16);  // 1024 >> 6
    EXPECT_EQ(deltas[39], 62);  // 3993 >> 6
    EXPECT_EQ(deltas[40], 64);
    EXPECT_EQ(deltas[44], 64);
    EXPECT_EQ(channel.autoVibratoSweep, 40);
}

TEST(AutoVibrato, PositionWrapsAtAFullWave) {
    Instrument instrument;
    instrument.autoVibratoRate = 200;
    Channel channel;
    StepAutoVibrato(channel, instrument);
    EXPECT_EQ(channel.autoVibratoPosition, 200);
    StepAutoVibrato(channel, instrument);
    EXPECT_EQ(channel.autoVibratoPosition, 144);
}

TEST(ResetChannelForInstrument, PutsEverythingBackToTheStart) {
    Sample sample;
    sample.volume = 40;
    sample.panning = 200;
    Channel channel;
    channel.volumeEnvelope = {12, 3, 5 << 16, 5, 7, 1};
    channel.panningEnvelope = {12, 3, 5 << 16, 5, 7, 1};
    channel.keyReleased = 1;
    channel.fadeoutVolume = 100;
    channel.autoVibratoPosition = 99;
    channel.autoVibratoSweep = 9;
    ResetChannelForInstrument(channel, sample);
    EXPECT_EQ(channel.volume, 40);
    EXPECT_EQ(channel.panning, 200);
    EXPECT_EQ(channel.volumeEnvelope.output, 64);
    EXPECT_EQ(channel.panningEnvelope.output, 32);
    for (const EnvelopeState* e : {&channel.volumeEnvelope, &channel.panningEnvelope}) {
        EXPECT_EQ(e->tick, 0);
        EXPECT_EQ(e->pointIndex, 0);
        EXPECT_EQ(e->slope, 0);
        EXPECT_EQ(e->finished, 0);
    }
    EXPECT_EQ(channel.keyReleased, 0);
    EXPECT_EQ(channel.fadeoutVolume, 65536);
    EXPECT_EQ(channel.autoVibratoPosition, 0);
    EXPECT_EQ(channel.autoVibratoSweep, 0);
    EXPECT_EQ(channel.updateFlags, UpdateVolume | UpdatePanning);
}

// ---- UpdateVoice -------------------------------------------------------------

class UpdateVoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetUpVoiceTable(kOutputRate);
        channel = Channel{};
        channel.voice = &voiceTable[3];
        channel.volume = 64;
        channel.panning = 128;
        channel.volumeEnvelope.output = 64;
        channel.panningEnvelope.output = 32;
        channel.fadeoutVolume = kFullFadeout;
        module.globalVolume = 64;
        module.flags = 1;
        sample.length = 100;
        sample.loopLength = 100;
        sample.loopType = kLoopNone;
    }
    void Update(std::uint8_t flags) {
        channel.updateFlags = flags;
        UpdateVoice(channel, sample, module);
    }
    Channel channel;
    Module module;
    Sample sample;
};

TEST_F(UpdateVoiceTest, FullVolumeAtTheCentreGives127And63Each) {
    Update(UpdateVolume | UpdatePanning);
    EXPECT_EQ(voiceTable[3].finalVolume, 127);
    EXPECT_EQ(voiceTable[3].finalPanning, 128);
    EXPECT_EQ(voiceTable[3].leftTarget, 63);
    EXPECT_EQ(voiceTable[3].rightTarget, 63);
}

TEST_F(UpdateVoiceTest, FinalVolumeIsTheFlooredProductOverTwoToThe35) {
    struct Case {
        std::int32_t volume, envelope, fadeout, global, finalVolume;
    } const cases[] = {
        {64, 64, 65536, 64, 127}, {32, 64, 65536, 64, 63}, {1, 64, 65536, 64, 1}, {1, 1, 65536, 64, 0},
        {64, 64, 32768, 64, 63},  {64, 64, 65536, 0, 0},    {40, 50, 60000, 30, 26},
    };
    for (const Case& c : cases) {
        channel.volume = c.volume;
        channel.volumeEnvelope.output = c.envelope;
        channel.fadeoutVolume = c.fadeout;
        module.globalVolume = c.global;
        Update(UpdateVolume);
        EXPECT_EQ(voiceTable[3].finalVolume, c.finalVolume) << c.volume << " " << c.envelope << " " << c.fadeout;
    }
}

TEST_F(UpdateVoiceTest, PanningFullLeftIsTheLeftTarget) {
    channel.panning = 255;
    Update(UpdateVolume | UpdatePanning);
    EXPECT_EQ(voiceTable[3].leftTarget, 127);
    EXPECT_EQ(voiceTable[3].rightTarget, 0);
    channel.panning = 0;
    Update(UpdatePanning);
    EXPECT_EQ(voiceTable[3].leftTarget, 0);
    EXPECT_EQ(voiceTable[3].rightTarget, 127);
    channel.panning = 100;
    Update(UpdatePanning);
    EXPECT_EQ(voiceTable[3].leftTarget, 49);   // 127 x 100 / 255
    EXPECT_EQ(voiceTable[3].rightTarget, 77);  // 127 x 155 / 255
}

TEST_F(UpdateVoiceTest, PanningEnvelopeSwingsByTheDistanceToTheNearerEdge) {
    struct Case {
        std::int32_t panning, envelope, finalPanning;
    } const cases[] = {
        {128, 64, 255},  // 128 + 32 x 4 = 256, clamped
        {128, 0, 0},     // 128 - 32 x 4
        {0, 64, 0},      // q = 0: the envelope does nothing
        {255, 0, 255},   // q = 0
        {200, 48, 216},  // q = (128 - 72) / 32 = 1, truncated before the product
        {60, 40, 68},    // q = (128 - 68) / 32 = 1
        {100, 0, 4},     // q = 100 / 32 = 3
        {300, 32, 255},  // outside the range (volume-column slides): clamped
        {-20, 32, 0},
    };
    for (const Case& c : cases) {
        channel.panning = c.panning;
        channel.panningEnvelope.output = c.envelope;
        Update(UpdatePanning);
        EXPECT_EQ(voiceTable[3].finalPanning, c.finalPanning) << c.panning << " with envelope " << c.envelope;
    }
}

TEST_F(UpdateVoiceTest, LinearFrequencyAndStep) {
    struct Case {
        std::int32_t period, delta;
        std::int64_t frequency;
        std::int32_t stepInteger;
        std::uint32_t stepFraction;
    } const cases[] = {
        {4608, 0, 8363, 0, 814485521},      // C-4
        {3840, 0, 16726, 0, 1628971042},    // one octave up
        {4608, 768, 16726, 0, 1628971042},  // a positive delta raises the pitch
        {4608, -768, 4181, 0, 407194064},   // floor(4181.5)
        {2304, 0, 66904, 1, 2220916875},    // 8,363 x 8: above the output rate
        {1536, 0, 133808, 3, 146866455},
        {20000, 0, 100, 0, 9739154},        // below 100 Hz: raised to 100
    };
    for (const Case& c : cases) {
        if (c.frequency > 100) {
            EXPECT_EQ(PeriodFrequency(true, c.period, c.delta), c.frequency) << c.period;
        }
        channel.period = c.period;
        channel.periodDelta = c.delta;
        Update(UpdateFrequency);
        EXPECT_EQ(voiceTable[3].stepInteger, c.stepInteger) << c.period << " " << c.delta;
        EXPECT_EQ(voiceTable[3].stepFraction, c.stepFraction) << c.period << " " << c.delta;
    }
}

TEST_F(UpdateVoiceTest, AmigaFrequencyIsTheClockOverThePeriod) {
    module.flags = 0;
    EXPECT_EQ(PeriodFrequency(false, 1712, 0), 8362);  // 8,362.77 truncated
    EXPECT_EQ(PeriodFrequency(false, 856, 0), 16725);
    EXPECT_EQ(PeriodFrequency(false, 1000, 7), 14217);  // 14,217.53 truncated
    EXPECT_EQ(PeriodFrequency(false, 10, -20), -1431705);
    channel.period = 10;
    channel.periodDelta = -20;
    Update(UpdateFrequency);
    EXPECT_EQ(voiceTable[3].stepFraction, 9739154u);  // a negative frequency is raised to 100 Hz
}

TEST_F(UpdateVoiceTest, APeriodSumOfZeroKeepsTheStep) {
    channel.period = 100;
    channel.periodDelta = -100;
    Update(UpdateFrequency);
    EXPECT_EQ(voiceTable[3].stepInteger, 1);  // the 1.0 every voice starts with
    EXPECT_EQ(voiceTable[3].stepFraction, 0u);
    EXPECT_EQ(channel.updateFlags, 0);
    module.flags = 0;  // Amiga: the same, and no division by zero
    Update(UpdateFrequency);
    EXPECT_EQ(voiceTable[3].stepInteger, 1);
}

TEST_F(UpdateVoiceTest, AbsurdPeriodsStayWithinTheStepsRange) {
    // Real notes wrap at 256 and periods are not range-checked: the
    // frequency is capped where the 32.32 step still holds it.
    EXPECT_EQ(PeriodFrequency(true, -8703, 1215), 2147483647);
    channel.period = -8703;
    channel.periodDelta = 1215;
    Update(UpdateFrequency);
    EXPECT_EQ(voiceTable[3].stepInteger, 48695);
    EXPECT_EQ(PeriodFrequency(true, kMaxPeriod, 0), 0);
}

TEST_F(UpdateVoiceTest, ANoteOnAnIdleVoiceStartsItFromSilence) {
    Voice& voice = voiceTable[3];
    voice.positionInteger = 7;
    voice.direction = kBackward;
    voice.currentLeftGain = 5000;
    voice.rampFramesLeft = 17;
    Update(TriggerNote | UpdateVolume | UpdatePanning);
    EXPECT_EQ(channel.voice, &voice);
    EXPECT_EQ(voice.sample, &sample);
    EXPECT_EQ(voice.positionInteger, 0);
    EXPECT_EQ(voice.direction, kForward);
    EXPECT_EQ(voice.currentLeftGain, 0);
    EXPECT_EQ(voice.rampFramesLeft, 0);
    EXPECT_EQ(voice.leftTarget, 63);
}

TEST_F(UpdateVoiceTest, ANoteOnASoundingVoiceHandsItToThePartnerAndBack) {
    Sample other;
    Voice& first = voiceTable[3];
    Update(TriggerNote | UpdateVolume | UpdatePanning | UpdateFrequency);
    first.positionInteger = 42;
    first.currentLeftGain = first.currentRightGain = 63 * 256;

    // The second note: slot 35 gets a copy of the sounding voice (keeping its
    // own number) and starts the new note; the old voice plays on in slot 3
    // with zero targets, so the mixer fades it out.
    channel.volume = 32;
    channel.updateFlags = TriggerNote | UpdateVolume;
    UpdateVoice(channel, other, module);
    Voice& second = voiceTable[35];
    EXPECT_EQ(channel.voice, &second);
    EXPECT_EQ(second.slotIndex, 35);
    EXPECT_EQ(second.sample, &other);
    EXPECT_EQ(second.positionInteger, 0);
    EXPECT_EQ(second.currentLeftGain, 0);
    EXPECT_EQ(second.finalVolume, 63);
    EXPECT_EQ(second.finalPanning, 128);  // copied from the old voice
    EXPECT_EQ(second.stepInteger, first.stepInteger);  // copied: this tick sets no frequency of its own
    EXPECT_EQ(second.stepFraction, first.stepFraction);
    // The old voice goes on from where it was, towards silence.
    EXPECT_EQ(first.sample, &sample);
    EXPECT_EQ(first.positionInteger, 42);
    EXPECT_EQ(first.finalVolume, 0);
    EXPECT_EQ(first.leftTarget, 0);
    EXPECT_EQ(first.rightTarget, 0);
    EXPECT_EQ(first.currentLeftGain, 63 * 256);

    // A third note moves the channel back to slot 3, overwriting the copy.
    Update(TriggerNote | UpdateVolume);
    EXPECT_EQ(channel.voice, &first);
    EXPECT_EQ(first.slotIndex, 3);
    EXPECT_EQ(first.sample, &sample);
    EXPECT_EQ(first.positionInteger, 0);
    EXPECT_EQ(second.leftTarget, 0);
}

TEST_F(UpdateVoiceTest, SlotsAbove31HandOverDownwards) {
    channel.voice = &voiceTable[40];
    Update(TriggerNote);
    Update(TriggerNote);
    EXPECT_EQ(channel.voice, &voiceTable[8]);
}

TEST_F(UpdateVoiceTest, AChannelWithoutAVoiceIsIgnored) {
    channel.voice = nullptr;
    Update(TriggerNote | UpdateVolume | UpdatePanning | UpdateFrequency);
    for (const Voice& v : voiceTable) EXPECT_EQ(v.sample, nullptr);
}

}  // namespace
