// The mixer: block geometry and rings, segments to the loop boundary,
// forward and ping-pong loops, interpolation, gain ramps, idle voices, the
// conversion to 16 bits and the split of ticks across blocks.
#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "music/mixer.h"
#include "music/playback.h"
#include "tests/music/replay_harness.h"

namespace {

using namespace music;

constexpr std::int64_t kOne = std::int64_t{1} << 32;

// A sample of the given values (the guard values after them zero).
Sample MakeSample(std::vector<std::int16_t> values, std::uint8_t loopType = kLoopNone, std::uint32_t loopStart = 0,
                  std::uint32_t loopLength = 0) {
    Sample s;
    s.length = static_cast<std::uint32_t>(values.size());
    s.loopType = loopType;
    s.loopStart = loopType == kLoopNone ? 0 : loopStart;
    s.loopLength = loopType == kLoopNone ? s.length : loopLength;
    s.data = std::move(values);
    s.data.resize(s.length + kSampleGuardValues, 0);
    const std::uint32_t end = s.loopStart + s.loopLength;
    if (loopType == kLoopForward) s.data[end] = s.data[s.loopStart];
    if (loopType == kLoopPingPong) s.data[end] = s.data[end - 1];
    s.bits = 16;
    return s;
}

std::vector<std::int16_t> Count(int n, int scale = 1) {
    std::vector<std::int16_t> v;
    for (int i = 0; i < n; ++i) v.push_back(static_cast<std::int16_t>(i * scale));
    return v;
}

// Slot 0 playing `sample` at a constant gain (no ramp pending).
Voice& Play(const Sample& sample, std::int32_t leftTarget, std::int32_t rightTarget, std::int64_t step = kOne) {
    Voice& v = voiceTable[0];
    v.sample = &sample;
    v.leftTarget = v.lastLeftTarget = leftTarget;
    v.rightTarget = v.lastRightTarget = rightTarget;
    v.currentLeftGain = leftTarget * 256;
    v.currentRightGain = rightTarget * 256;
    v.stepInteger = static_cast<std::int32_t>(step >> 32);
    v.stepFraction = static_cast<std::uint32_t>(step);
    return v;
}

class MixerTest : public ::testing::Test {
protected:
    void SetUp() override { SetUpVoiceTable(kOutputRate); }
    void TearDown() override { StopOfflinePlayback(); }
};

TEST_F(MixerTest, GeometryAndVoiceTableAt44100) {
    EXPECT_EQ(mixer.blockFrames, 884);
    EXPECT_EQ(mixer.ringFrames, 88400);
    EXPECT_EQ(mixer.blockCount, 100);
    EXPECT_EQ(mixer.rampLength, 128);
    EXPECT_EQ(mixer.rampReciprocal, 1.0f / 128.0f);
    EXPECT_EQ(BlockFramesForRate(22050), 444);
    EXPECT_EQ(RampLengthForRate(22050), 64);
    EXPECT_EQ(RampLengthForRate(100), 1);
    for (int i = 0; i < kVoiceCount; ++i) {
        EXPECT_EQ(voiceTable[i].slotIndex, i);
        EXPECT_EQ(voiceTable[i].sample, nullptr);
        EXPECT_EQ(VoiceStep(voiceTable[i]), kOne);
    }
}

TEST_F(MixerTest, RingsAreZeroedAndTheMixRingAligned) {
    ASSERT_TRUE(AllocateOutputRing());
    ASSERT_TRUE(AllocateMixRing());
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(mixer.mixRing) % 16, 0u);
    EXPECT_EQ(mixer.writeIndex, 0);
    for (int i = 0; i < mixer.ringFrames * 2; ++i) {
        ASSERT_EQ(mixer.mixRing[i], 0.0f);
        ASSERT_EQ(mixer.outputRing[i], 0);
    }
    ReleaseMixRing();
    EXPECT_EQ(mixer.mixRing, nullptr);
}

TEST_F(MixerTest, WithoutASongABlockIsSilenceAndTheVoicesStay) {
    ASSERT_TRUE(AllocateOutputRing());
    ASSERT_TRUE(AllocateMixRing());
    const Sample s = MakeSample(Count(100, 100));
    Play(s, 100, 100);
    mixer.outputRing[5] = 1234;
    RenderBlock();
    EXPECT_EQ(mixer.writeIndex, 1);
    EXPECT_EQ(mixer.outputRing[5], 0);
    EXPECT_EQ(voiceTable[0].positionInteger, 0);
    mixer.writeIndex = 99;
    RenderBlock();
    EXPECT_EQ(mixer.writeIndex, 0);
}

TEST_F(MixerTest, WithoutRingsNothingHappens) {
    mixer.writeIndex = 3;
    RenderBlock();
    EXPECT_EQ(mixer.writeIndex, 3);
}

// ---- Segments, loops and idle voices -----------------------------------------

TEST_F(MixerTest, StepOneWithoutLoopMixesEveryValueOnceThenGoesIdle) {
    const Sample s = MakeSample(Count(10, 1000));
    Play(s, 255, 0);
    std::vector<float> out(2 * 16, 0.0f);
    MixVoices(out.data(), 16);
    for (int j = 0; j < 16; ++j) {
        EXPECT_EQ(out[2 * j], j < 10 ? 1000.0f * static_cast<float>(j) : 0.0f) << j;
        EXPECT_EQ(out[2 * j + 1], 0.0f);
    }
    EXPECT_EQ(voiceTable[0].sample, nullptr);
    EXPECT_EQ(VoicePosition(voiceTable[0]), 0);
}

TEST_F(MixerTest, EmptySampleGoesIdleAtOnceAddingNothing) {
    Play(EmptySample, 127, 127);
    std::vector<float> out(2 * 8, 0.0f);
    MixVoices(out.data(), 8);
    EXPECT_EQ(voiceTable[0].sample, nullptr);
    for (float v : out) EXPECT_EQ(v, 0.0f);
}

TEST_F(MixerTest, InterpolationIsExactAtTheNamedFractions) {
    const Sample s = MakeSample({0, 1000, -1000, 32767, -32768, 0}, kLoopNone);
    struct Case {
        std::int64_t position;
        float value;
    } const cases[] = {
        {kOne / 4, 250.0f},                     // t = 0.25
        {kOne + kOne / 2, 0.0f},                // halfway from 1000 to -1000
        {kOne - 1, 1000.0f},                    // t rounds to 1.0 in single precision
        {3 * kOne + kOne / 2, -0.5f},           // halfway from 32,767 to -32,768
        {2 * kOne + 3 * (kOne / 4), 24325.25f}, // -1000 + 0.75 x 33,767
    };
    for (const Case& c : cases) {
        Voice& v = Play(s, 255, 255);
        SetVoicePosition(v, c.position);
        float out[2] = {0.0f, 0.0f};
        MixVoices(out, 1);
        EXPECT_EQ(out[0], c.value) << c.position;
        EXPECT_EQ(out[1], c.value);
    }
}

TEST_F(MixerTest, ForwardLoopKeepsTheFraction) {
    const Sample s = MakeSample(Count(150), kLoopForward, 100, 50);
    Voice& v = Play(s, 255, 255);
    SetVoicePosition(v, 149 * kOne + kOne / 4);
    float out[2] = {};
    MixVoices(out, 1);  // to 150.25, the boundary
    EXPECT_EQ(VoicePosition(v), 100 * kOne + kOne / 4);
    EXPECT_EQ(v.sample, &s);
    // A step of more than a loop length wraps by whole loop lengths.
    SetVoicePosition(v, 140 * kOne);
    v.stepInteger = 123;
    MixVoices(out, 1);  // 263 -> 113
    EXPECT_EQ(VoicePosition(v), 113 * kOne);
}

TEST_F(MixerTest, AnUnrolledShortLoopMixesAsTheWrappedLoopDoes) {
    // Loops of 1, 3 and 50 values, entered from before the loop, at steps
    // from far below to far above the loop's length, silent and sounding, in
    // requests of odd sizes: the floats and positions with the unrolled copy
    // are those without it.
    std::mt19937 random(25);
    for (const std::uint32_t loopLength : {1u, 3u, 50u}) {
        std::vector<std::int16_t> values(120);
        for (auto& x : values) x = static_cast<std::int16_t>(random() % 65536 - 32768);
        Sample plain = MakeSample(values, kLoopForward, 60, loopLength);
        Sample unrolled = plain;
        UnrollShortLoop(unrolled);
        ASSERT_FALSE(unrolled.unrolledLoop.empty());
        for (const std::int64_t step : {kOne / 7 + 3, kOne + 12345, 2 * kOne + 1, 3 * kOne - 5, 150 * kOne + 77}) {
            for (const std::int32_t target : {0, 90}) {
                std::vector<float> outputs[2];
                std::int64_t positions[2];
                for (const int k : {0, 1}) {
                    Voice& v = Play(k == 0 ? plain : unrolled, target, target / 3, step);
                    SetVoicePosition(v, 55 * kOne + 0x9E3779B9LL);
                    outputs[k].assign(2 * 6000, 0.0f);
                    for (int n = 0; n < 6000; n += 883) MixVoices(outputs[k].data() + 2 * n, std::min(883, 6000 - n));
                    positions[k] = VoicePosition(v);
                }
                EXPECT_EQ(outputs[1], outputs[0]) << loopLength << " " << step << " " << target;
                EXPECT_EQ(positions[1], positions[0]) << loopLength << " " << step << " " << target;
            }
        }
    }
    // Only short forward loops get a copy.
    Sample pingPong = MakeSample(Count(100), kLoopPingPong, 10, 50);
    Sample longLoop = MakeSample(std::vector<std::int16_t>(kUnrolledLoopValues + 10), kLoopForward, 10,
                                 kUnrolledLoopValues);
    UnrollShortLoop(pingPong);
    UnrollShortLoop(longLoop);
    EXPECT_TRUE(pingPong.unrolledLoop.empty());
    EXPECT_TRUE(longLoop.unrolledLoop.empty());
}

TEST_F(MixerTest, PingPongMirrorsJustInsideTheLoopEnd) {
    const Sample s = MakeSample(Count(150), kLoopPingPong, 100, 50);
    Voice& v = Play(s, 255, 255);
    SetVoicePosition(v, 149 * kOne + kOne / 2);
    float out[2] = {};
    MixVoices(out, 1);  // to 150.5
    EXPECT_EQ(VoicePosition(v), 149 * kOne + kOne / 2 - 1);
    EXPECT_EQ(v.direction, kBackward);
    // Backward across the loop start: 100.25 - 1 = 99.25 -> 100.75 - 2^-32.
    SetVoicePosition(v, 100 * kOne + kOne / 4);
    MixVoices(out, 1);
    EXPECT_EQ(VoicePosition(v), 100 * kOne + 3 * (kOne / 4) - 1);
    EXPECT_EQ(v.direction, kForward);
}

TEST_F(MixerTest, PingPongLandingOnTheLoopStartStaysInside) {
    // From 1.0 backward by exactly 1.0 to 0.0, the loop start: the mirror
    // there gives -2^-32, outside, and the second mirror brings it back to
    // 0.0 moving forward, so no value before the loop is ever read.
    const Sample s = MakeSample(Count(110), kLoopPingPong, 0, 10);
    Voice& v = Play(s, 255, 255);
    SetVoicePosition(v, 1 * kOne);
    v.direction = kBackward;
    std::vector<float> out(2 * 40, 0.0f);
    MixVoices(out.data(), 40);
    // Forward 0 to 9; at 10 the mirror gives 10 - 2^-32, which reads 9 (the
    // guard value), and backward positions k - 2^-32 read k (t rounds to 1.0
    // in single precision) down to 1, until -2^-32 turns to 0.0 again.
    const std::vector<float> expected = {1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3};
    for (std::size_t j = 0; j < expected.size(); ++j) EXPECT_EQ(out[2 * j], expected[j]) << j;
}

// The ping-pong rule as written: mirror at the boundary crossed, then at
// whichever boundary the position is beyond, until it is inside.
void LiteralMirror(std::int64_t& p, std::int32_t& direction, std::int64_t start, std::int64_t end) {
    if (direction == kForward) {
        p = 2 * end - 1 - p;
        direction = kBackward;
    } else {
        p = 2 * start - 1 - p;
        direction = kForward;
    }
    while ((p >> 32) < (start >> 32) || (p >> 32) >= (end >> 32)) {
        if ((p >> 32) >= (end >> 32)) {
            p = 2 * end - 1 - p;
            direction = kBackward;
        } else {
            p = 2 * start - 1 - p;
            direction = kForward;
        }
    }
}

TEST_F(MixerTest, PingPongAgreesWithTheMirrorRuleForLargeSteps) {
    std::mt19937 random(2005);
    for (int i = 0; i < 20000; ++i) {
        const auto loopStart = static_cast<std::uint32_t>(random() % 50);
        const auto loopLength = static_cast<std::uint32_t>(1 + random() % 20);
        const Sample s = MakeSample(Count(static_cast<int>(loopStart + loopLength)), kLoopPingPong, loopStart,
                                    loopLength);
        const std::int64_t start = std::int64_t{loopStart} * kOne;
        const std::int64_t end = start + std::int64_t{loopLength} * kOne;
        const std::int64_t position = start + static_cast<std::int64_t>(random() % (std::uint64_t(loopLength) << 32));
        const std::int32_t direction = random() % 2 ? kForward : kBackward;
        const std::int64_t distance = direction == kForward ? end - position : position - start;
        if (distance == 0) continue;
        // A step that reaches the boundary within the one frame mixed.
        const std::int64_t step = distance + static_cast<std::int64_t>(random() % (std::uint64_t(loopLength) * 40 << 32));
        Voice& v = Play(s, 0, 0, step);
        SetVoicePosition(v, position);
        v.direction = direction;
        float out[2] = {};
        MixVoices(out, 1);
        std::int64_t expected = direction == kForward ? position + step : position - step;
        std::int32_t expectedDirection = direction;
        LiteralMirror(expected, expectedDirection, start, end);
        ASSERT_EQ(VoicePosition(v), expected) << loopStart << "+" << loopLength << " at " << position << " by " << step;
        ASSERT_EQ(v.direction, expectedDirection);
    }
}

// 16 frames whose last one lies on a sample's last value (forward, at steps
// for each way the vector loops load) or that run down from just inside a
// ping-pong loop's end, at constant gain and along a ramp, from data
// allocated to the guard's exact end: every path gives the portable floats,
// and the address sanitizer sees any read past the guard.
TEST_F(MixerTest, GroupsOfFramesAtASamplesVeryEndStayInsideItsGuard) {
    const MixPath chosen = SelectedMixPath();
    for (const std::int64_t step : {kOne / 16, kOne * 7 / 10, kOne, kOne * 3 / 2, 2 * kOne - 1, kOne * 29 / 4}) {
        for (const int kind : {0, 1, 2, 3}) {  // bit 0: ping-pong backward, bit 1: ramp
            Sample s = MakeSample(Count(300, 100), kind & 1 ? kLoopPingPong : kLoopNone, 100, 200);
            s.data = std::vector<std::int16_t>(s.data.begin(), s.data.end());
            ASSERT_EQ(s.data.capacity(), 300u + kSampleGuardValues);
            std::vector<std::vector<float>> outs;
            for (const MixPath path : {MixPath::Portable, MixPath::Sse2, MixPath::Avx2}) {
                if (!SelectMixPath(path)) continue;
                Voice& v = Play(s, 127, 60, step);
                SetVoicePosition(v, 300 * kOne - 1 - (kind & 1 ? 0 : 15 * step));
                if (kind & 1) v.direction = kBackward;
                if (kind & 2) v.lastLeftTarget = v.currentLeftGain = 0;
                outs.emplace_back(2 * 16, 0.0f);
                MixVoices(outs.back().data(), 16);
                ASSERT_EQ(outs.back(), outs[0]) << step << " " << kind;
            }
        }
    }
    SelectMixPath(chosen);
}

TEST_F(MixerTest, ASilentVoiceStillMovesAndEnds) {
    const Sample s = MakeSample(Count(1000));
    Voice& v = Play(s, 0, 0, kOne + kOne / 3);
    std::vector<float> out(2 * 600, 0.0f);
    MixVoices(out.data(), 600);
    // The same position as 600 single steps.
    EXPECT_EQ(VoicePosition(v), 600 * (kOne + kOne / 3));
    for (float x : out) EXPECT_EQ(x, 0.0f);
    MixVoices(out.data(), 200);
    EXPECT_EQ(v.sample, nullptr);
}

// ---- Gain ramps --------------------------------------------------------------

TEST_F(MixerTest, ARampReachesItsTargetAfterExactly128Frames) {
    const Sample s = MakeSample(std::vector<std::int16_t>(2000, 25500), kLoopNone);
    Voice& v = Play(s, 0, 0);
    v.leftTarget = 100;  // right stays 0
    std::vector<float> out(2 * 200, 0.0f);
    MixVoices(out.data(), 200);
    EXPECT_EQ(v.currentLeftGain, 100 * 256);
    EXPECT_EQ(v.rampFramesLeft, 0);
    EXPECT_EQ(v.leftSlope, 0.0f);
    // The slope, bit-exact: 100 / 255 / 128 in single precision.
    const float slope = 100.0f / 255.0f / 128.0f;
    float gain = 0.0f;
    for (int j = 0; j < 128; ++j) {
        ASSERT_EQ(out[2 * j], 25500.0f * gain) << j;
        gain += slope;
    }
    for (int j = 128; j < 200; ++j) ASSERT_EQ(out[2 * j], 25500.0f * (100.0f / 255.0f)) << j;
    for (int j = 0; j < 200; ++j) ASSERT_EQ(out[2 * j + 1], 0.0f);
}

TEST_F(MixerTest, AChangeMidRampStartsANewRampFromTheGainReached) {
    const Sample s = MakeSample(std::vector<std::int16_t>(2000, 1000), kLoopNone);
    Voice& v = Play(s, 0, 0);
    v.leftTarget = 100;
    std::vector<float> out(2 * 256, 0.0f);
    MixVoices(out.data(), 64);
    EXPECT_EQ(v.rampFramesLeft, 64);
    EXPECT_EQ(v.currentLeftGain, 12800);  // halfway, rounded from the float gain
    v.leftTarget = 20;
    MixVoices(out.data(), 1);
    EXPECT_EQ(v.rampFramesLeft, 127);
    EXPECT_EQ(v.leftSlope, -30.0f / 255.0f / 128.0f);  // from 50 to 20
    MixVoices(out.data(), 127);
    EXPECT_EQ(v.currentLeftGain, 20 * 256);
    EXPECT_EQ(v.rampFramesLeft, 0);
}

TEST_F(MixerTest, ARampContinuesAcrossMixingRequests) {
    const Sample s = MakeSample(std::vector<std::int16_t>(2000, 1000), kLoopNone);
    Voice& v = Play(s, 0, 0);
    v.leftTarget = v.rightTarget = 60;
    std::vector<float> out(2 * 100, 0.0f);
    MixVoices(out.data(), 100);
    EXPECT_EQ(v.rampFramesLeft, 28);
    MixVoices(out.data(), 50);
    EXPECT_EQ(v.rampFramesLeft, 0);
    EXPECT_EQ(v.currentLeftGain, 60 * 256);
    EXPECT_EQ(v.currentRightGain, 60 * 256);
}

TEST_F(MixerTest, ARampThatEndsBeforeTheBoundaryContinuesAtConstantGain) {
    // The ramp cuts the segment at 128 frames; mixing goes on in the same
    // request at the target gain up to the sample's end.
    const Sample s = MakeSample(std::vector<std::int16_t>(300, 255), kLoopNone);
    Voice& v = Play(s, 0, 0);
    v.leftTarget = 255;
    std::vector<float> out(2 * 400, 0.0f);
    MixVoices(out.data(), 400);
    EXPECT_EQ(out[2 * 200], 255.0f);
    EXPECT_EQ(out[2 * 299], 255.0f);
    EXPECT_EQ(out[2 * 300], 0.0f);
    EXPECT_EQ(v.sample, nullptr);
}

TEST_F(MixerTest, ANewNoteOnItsPartnerFadesTheOldOneOutInOneRamp) {
    const Sample s = MakeSample(std::vector<std::int16_t>(4000, 10000), kLoopForward, 0, 4000);
    Voice& old = Play(s, 63, 63);
    old.leftTarget = old.rightTarget = 0;  // what a takeover leaves behind
    std::vector<float> out(2 * 300, 0.0f);
    MixVoices(out.data(), 300);
    EXPECT_GT(out[0], 2400.0f);
    EXPECT_EQ(out[2 * 128], 0.0f);
    EXPECT_EQ(old.currentLeftGain, 0);
    EXPECT_EQ(old.sample, &s);  // runs on silently
}

// ---- Conversion --------------------------------------------------------------

TEST_F(MixerTest, ConversionRoundsHalfToEvenAndClamps) {
    const std::vector<std::pair<float, std::int16_t>> cases = {
        {40000.4f, 32767}, {-40000.0f, -32768}, {2.5f, 2},    {3.5f, 4},        {-2.5f, -2},
        {-3.5f, -4},       {0.4999f, 0},        {-0.5f, 0},   {32767.4f, 32767}, {32767.5f, 32767},
        {-32768.5f, -32768}, {1e30f, 32767},    {-1e30f, -32768}, {1.5f, 2},    {-0.0f, 0},
    };
    // Every case at every place in a block of 9 frames, so that the vector
    // loops (sixteen values with AVX2, eight with SSE2) and the scalar tail
    // see each one, on every path the processor has.
    const MixPath chosen = SelectedMixPath();
    for (const MixPath path : {MixPath::Portable, MixPath::Sse2, MixPath::Avx2}) {
        if (!SelectMixPath(path)) continue;
        for (std::size_t place = 0; place < 18; ++place) {
            for (const auto& [value, expected] : cases) {
                std::vector<float> source(18, 7.0f);
                source[place] = value;
                std::vector<std::int16_t> out(18, 0);
                ConvertBlock(out.data(), source.data(), 9);
                ASSERT_EQ(out[place], expected) << value << " at " << place;
                ASSERT_EQ(out[(place + 1) % 18], 7);
            }
        }
    }
    SelectMixPath(chosen);
}

TEST_F(MixerTest, ConversionIgnoresMissingBuffersAndEmptyBlocks) {
    std::int16_t out[2] = {5, 5};
    const float in[2] = {1.0f, 1.0f};
    ConvertBlock(out, in, 0);
    ConvertBlock(nullptr, in, 1);
    ConvertBlock(out, nullptr, 1);
    EXPECT_EQ(out[0], 5);
    MixVoices(nullptr, 10);
}

// ---- Ticks across blocks -----------------------------------------------------

int ticksPlayed = 0;
void CountingTick(Module& module) {
    ++ticksPlayed;
    PlayTick(module);
}

TEST_F(MixerTest, TicksRunOnExactFrameCountsAcrossBlocks) {
    replaytest::Player player(replaytest::Song({{{replaytest::C4, 1}}}, 1, 3, 160));
    Module& song = player.Song();
    song.tickOperation = CountingTick;
    ticksPlayed = 0;
    AttachSong(&song);
    ASSERT_TRUE(AllocateOutputRing());
    ASSERT_TRUE(AllocateMixRing());
    RenderBlock();  // tick 1 whole, 195 frames of tick 2
    EXPECT_EQ(ticksPlayed, 2);
    EXPECT_EQ(song.framesLeftInTick, 494);
    RenderBlock();  // the other 494 frames of tick 2, then 390 of tick 3
    EXPECT_EQ(ticksPlayed, 3);
    EXPECT_EQ(song.framesLeftInTick, 299);
}

TEST_F(MixerTest, ABpmSetDuringATickGovernsThatTicksFrames) {
    replaytest::Player player(replaytest::Song({{{replaytest::C4, 1, 0, 0x0F, 0x20}}}));
    AttachSong(&player.Song());
    ASSERT_TRUE(AllocateOutputRing());
    ASSERT_TRUE(AllocateMixRing());
    RenderBlock();
    EXPECT_EQ(player.Song().framesLeftInTick, 3445 - 884);
}

TEST_F(MixerTest, ThePrefillFillsTheRingAndTheNextBlockContinuesTheSong) {
    const xmtest::XmSpec layout = replaytest::Song({{{replaytest::C4, 1}}, {}, {{replaytest::C4 + 7, 1}}, {}}, 1, 6);
    replaytest::Player reference(layout);
    ASSERT_TRUE(AllocateOutputRing());
    ASSERT_TRUE(AllocateMixRing());
    AttachSong(&reference.Song());
    std::vector<std::int16_t> expected;
    for (int b = 0; b < 101; ++b) {
        const std::int32_t block = mixer.writeIndex;
        RenderBlock();
        expected.insert(expected.end(), mixer.outputRing.get() + block * 884 * 2,
                        mixer.outputRing.get() + (block + 1) * 884 * 2);
    }
    StopOfflinePlayback();

    replaytest::Player player(layout);
    ASSERT_TRUE(StartOfflinePlayback(player.Song()));
    EXPECT_EQ(mixer.writeIndex, 0);
    EXPECT_EQ(mixer.song, &player.Song());
    std::vector<std::int16_t> ring(mixer.outputRing.get(), mixer.outputRing.get() + 88400 * 2);
    RenderBlock();  // block 0 again, with the song's frames 88,400 on
    ring.insert(ring.end(), mixer.outputRing.get(), mixer.outputRing.get() + 884 * 2);
    EXPECT_EQ(ring, expected);
    EXPECT_NE(std::count(ring.begin(), ring.end(), 0), static_cast<std::ptrdiff_t>(ring.size()));
}

TEST_F(MixerTest, DetachingSilencesAndIdlesTheVoices) {
    replaytest::Player player(replaytest::Song({{{replaytest::C4, 1}}}));
    ASSERT_TRUE(StartOfflinePlayback(player.Song()));
    EXPECT_NE(voiceTable[0].sample, nullptr);
    const std::int64_t step = VoiceStep(voiceTable[0]);
    StopOfflinePlayback();
    EXPECT_EQ(mixer.song, nullptr);
    EXPECT_EQ(mixer.outputRing, nullptr);
    EXPECT_EQ(mixer.mixRing, nullptr);
    EXPECT_EQ(voiceTable[0].sample, nullptr);
    EXPECT_EQ(voiceTable[0].leftTarget, 0);
    EXPECT_EQ(VoiceStep(voiceTable[0]), step);
    EXPECT_EQ(voiceTable[0].slotIndex, 0);
}

TEST_F(MixerTest, ANoteWithPeriodZeroPlaysAtTheVoicesPreviousStep) {
    // C-8 (note 97 is key-off, so B-7 + a relative note of 25) is real note
    // 120: period 7680 - 64 x 120 = 0, which has no frequency.
    xmtest::XmSpec layout = replaytest::Song({{{96, 1}}});
    layout.instruments[0].samples[0].relativeNote = 25;
    replaytest::Player player(layout);
    player.Tick();
    EXPECT_EQ(player.Channel().period, 0);
    EXPECT_EQ(VoiceStep(player.Voice()), kOne);
}

}  // namespace
