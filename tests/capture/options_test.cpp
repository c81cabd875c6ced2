// quandrix-capture's options and frame arithmetic, and the offline reading
// of what the sound device plays, which the tool's sound comes from.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "music/mixer.h"
#include "music/offline_render.h"
#include "music/playback.h"
#include "music/resource_stream.h"
#include "music/xm_loader.h"
#include "tools/capture/frame_files.h"
#include "tools/capture/options.h"
#include "tools/cli/command_line.h"

namespace {

using capture::Options;

bool Parse(const std::vector<std::string>& words, Options& options, std::string& error) {
    const std::vector<std::string_view> args(words.begin(), words.end());
    options = Options{};
    const cli::Reading reading = cli::Read(capture::CommandLine(options), args);
    error = reading.error;
    return reading.outcome != cli::Outcome::Refused;
}

TEST(CaptureOptions, BothSpellingsOfEveryOption) {
    Options o;
    std::string error;
    ASSERT_TRUE(Parse({"--out", "d", "--video=v.mp4", "--seconds", "2.5", "--start=1", "--exit-at", "3", "--fps=30"}, o,
                      error))
        << error;
    EXPECT_EQ(o.outDir, "d");
    EXPECT_EQ(o.video, "v.mp4");
    EXPECT_EQ(o.seconds, 2.5);
    EXPECT_EQ(o.start, 1.0);
    EXPECT_EQ(o.exitAt, 3.0);
    EXPECT_EQ(o.fps, 30);
    ASSERT_TRUE(Parse({"--video", "v.mp4", "--frames=7"}, o, error)) << error;
    EXPECT_EQ(o.frames, 7);
    EXPECT_EQ(o.fps, 60);  // the default
    EXPECT_EQ(o.start, 0.0);
    ASSERT_TRUE(Parse({"--out", "d", "--exit-at", "0"}, o, error)) << error;  // ends with the intro
}

TEST(CaptureOptions, RefusalsSayWhatIsWrong) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--out", "d"}, "no end"},
        {{"--frames", "3"}, "nothing to write"},
        {{"--out", "d", "--frames", "3", "--seconds", "1"}, "give one"},
        {{"--out", "d", "--frames", "0"}, "--frames needs a whole number from 1"},
        {{"--out", "d", "--frames", "2.5"}, "--frames needs a whole number"},
        {{"--out", "d", "--frames", "99999999999999999999"}, "--frames needs a whole number"},
        {{"--out", "d", "--frames"}, "--frames needs a value"},
        {{"--out", "d", "--seconds", "0"}, "more than 0"},
        {{"--out", "d", "--seconds", "-1"}, "--seconds needs a number of seconds from 0 to 86400"},
        {{"--out", "d", "--seconds", "nan"}, "--seconds needs"},
        {{"--out", "d", "--seconds", "inf"}, "--seconds needs"},
        {{"--out", "d", "--seconds", "1e9"}, "--seconds needs"},
        {{"--out", "d", "--frames", "3", "--start", "x"}, "--start needs"},
        {{"--out", "d", "--frames", "3", "--exit-at", "-0.5"}, "--exit-at needs"},
        {{"--out", "d", "--frames", "3", "--fps", "0"}, "--fps needs a whole number from 1 to 1000"},
        {{"--out", "d", "--frames", "3", "--fps", "1001"}, "--fps needs"},
        {{"--out", "d", "--frames", "3", "--fps", "59.94"}, "--fps needs"},
        {{"--out", "", "--frames", "3"}, "--out needs a path"},
        {{"--out", "d", "--frames", "3", "--loud"}, "unknown option --loud"},
        {{"--out", "d", "--frames", "3", "extra"}, "unexpected argument \"extra\""},
        {{"--out", "d", "--frames", "3", "--size", "1920x1080"}, "give --video OUT.mp4 too"},
        {{"--video", "v.mp4", "--frames", "3", "--size", "1080p"}, "--size needs WIDTHxHEIGHT"},
    };
    for (const auto& [words, expected] : cases) {
        Options o;
        std::string error;
        std::string joined;
        for (const std::string& w : words) joined += w + " ";
        EXPECT_FALSE(Parse(words, o, error)) << joined;
        EXPECT_NE(error.find(expected), std::string::npos) << joined << "-> " << error;
    }
}

TEST(CaptureOptions, FramesAreCountedOnTheFixedClock) {
    // Frame k is drawn at (k + 1) / fps.
    EXPECT_EQ(capture::FrameTime(0, 60), 1.0 / 60.0);
    EXPECT_EQ(capture::FirstFrameAtOrAfter(0.0, 60), 0);
    EXPECT_EQ(capture::FirstFrameAtOrAfter(0.001, 60), 0);
    EXPECT_EQ(capture::FirstFrameAtOrAfter(0.5, 60), 29);   // exactly 30/60, despite 0.5 x 60 rounding
    EXPECT_EQ(capture::FirstFrameAtOrAfter(0.501, 60), 30);
    EXPECT_EQ(capture::FirstFrameAtOrAfter(0.1, 30), 2);    // 0.1 x 30 is 3.0000000000000004
    EXPECT_EQ(capture::FirstFrameAtOrAfter(10.0, 1), 9);

    Options o;
    o.fps = 60;
    o.seconds = 2.5;
    o.start = 1.0;
    capture::FramePlan plan = capture::PlanFrames(o);
    EXPECT_EQ(plan.firstWritten, 59);
    EXPECT_EQ(plan.count, 150);
    EXPECT_EQ(plan.exitFrame, -1);
    o.seconds = 0.0001;  // less than a frame still writes one
    EXPECT_EQ(capture::PlanFrames(o).count, 1);
    o.seconds = 0.1;
    o.fps = 30;  // 3.0000000000000004 frames are 3
    EXPECT_EQ(capture::PlanFrames(o).count, 3);
    o.seconds = -1.0;
    o.exitAt = 2.0;
    plan = capture::PlanFrames(o);
    EXPECT_EQ(plan.count, -1);
    EXPECT_EQ(plan.exitFrame, 59);

    // Frame k's sound starts at song frame floor((k + 1) x rate / fps).
    EXPECT_EQ(capture::SoundFrameOf(0, 60, 44100), 735);
    EXPECT_EQ(capture::SoundFrameOf(59, 60, 44100), 44100);
    EXPECT_EQ(capture::SoundFrameOf(0, 7, 44100), 6300);
    EXPECT_EQ(capture::SoundFrameOf(1, 7, 44100), 12600);
    EXPECT_EQ(capture::SoundFrameOf(99, 48, 44100), 91875);  // 100 x 44100 / 48, exact in integers

    EXPECT_EQ(capture::FrameFileName(0), "frame_00000.png");
    EXPECT_EQ(capture::FrameFileName(123456), "frame_123456.png");
}

// The device's feed built block by block, as the output thread renders it.
std::vector<std::int16_t> DeviceFeed(music::Module& song, std::size_t frames) {
    music::SetUpVoiceTable(music::kOutputRate);
    EXPECT_TRUE(music::StartOfflinePlayback(song));
    const std::size_t ring = static_cast<std::size_t>(music::mixer.ringFrames) * 2;
    std::vector<std::int16_t> feed(music::mixer.outputRing.get(), music::mixer.outputRing.get() + ring);
    const std::size_t block = static_cast<std::size_t>(music::mixer.blockFrames) * 2;
    while (feed.size() < frames * 2) {
        const std::size_t at = static_cast<std::size_t>(music::mixer.writeIndex) * block;
        music::RenderBlock();
        feed.insert(feed.end(), music::mixer.outputRing.get() + at, music::mixer.outputRing.get() + at + block);
    }
    music::StopOfflinePlayback();
    feed.resize(frames * 2);
    return feed;
}

TEST(OfflineRender, ReadsAndSkipsWhatTheDevicePlaysInAnyPortions) {
    music::RegisterResourceStreamOps();
    music::Module* song = music::LoadModule("XM");
    ASSERT_NE(song, nullptr);
    const std::size_t total = 300000;  // past three laps of the 88,400-frame ring
    const std::vector<std::int16_t> feed = DeviceFeed(*song, total);

    ASSERT_TRUE(music::StartOfflineRender(*song));
    // Portions that straddle block (884) and ring (88,400) boundaries; the
    // skipped ones are read as nullptr and stay 0 here.
    struct Portion {
        std::size_t frames;
        bool skipped;
    };
    const Portion portions[] = {{1, false},      {883, false}, {2, false},     {88400 - 886, false},
                                {1, false},      {12345, true}, {100000, true}, {7, false},
                                {50000, false}};
    std::vector<std::int16_t> read(total * 2, 0);
    std::vector<std::int16_t> expected = feed;
    std::size_t at = 0;
    for (const Portion& p : portions) {
        music::ReadPlayedFrames(p.skipped ? nullptr : read.data() + at * 2, p.frames);
        if (p.skipped) std::fill_n(expected.begin() + static_cast<long>(at * 2), p.frames * 2, std::int16_t{0});
        at += p.frames;
    }
    music::ReadPlayedFrames(read.data() + at * 2, total - at);
    EXPECT_EQ(music::PlayedFrameCount(), total);
    music::StopOfflineRender();
    music::FreeModule(song);
    EXPECT_EQ(read, expected);
    // And the song is not silent there, so the comparison means something.
    EXPECT_NE(std::count(feed.begin() + 400000, feed.end(), std::int16_t{0}), static_cast<long>(feed.size() - 400000));
}

TEST(OfflineRender, FramesReadInPlaceAreWhatTheDevicePlays) {
    music::RegisterResourceStreamOps();
    music::Module* song = music::LoadModule("XM");
    ASSERT_NE(song, nullptr);
    const std::size_t total = 300000;
    const std::vector<std::int16_t> feed = DeviceFeed(*song, total);
    ASSERT_TRUE(music::StartOfflineRender(*song));
    // Pieces larger than the ring, straddling blocks and laps, some copied
    // in between, so that the blocks rendered ahead meet ordinary reads.
    std::vector<std::int16_t> read;
    const std::uint64_t asks[] = {1, 883, 100000, 5, 32768, 32768, 90000};
    for (std::size_t i = 0; read.size() < total * 2; ++i) {
        std::uint64_t n = std::min<std::uint64_t>(asks[i % std::size(asks)], total - read.size() / 2);
        if (i % 3 == 2) {
            std::vector<std::int16_t> copy(n * 2);
            music::ReadPlayedFrames(copy.data(), n);
            read.insert(read.end(), copy.begin(), copy.end());
            continue;
        }
        const std::int16_t* frames = music::ReadPlayedFramesInPlace(n);
        ASSERT_GE(n, 1u);
        read.insert(read.end(), frames, frames + n * 2);
    }
    EXPECT_EQ(music::PlayedFrameCount(), total);
    music::StopOfflineRender();
    music::FreeModule(song);
    EXPECT_EQ(read, feed);
}

}  // namespace
