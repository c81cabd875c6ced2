// The output thread and playback control against a fake device whose play
// position the test sets: the ring discipline, the stop handshake, and the
// start-up and shutdown of the intro's music.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "music/mixer.h"
#include "music/music.h"
#include "music/offline_render.h"
#include "music/output.h"
#include "music/playback.h"
#include "music/resource_stream.h"
#include "music/stream.h"
#include "music/underruns.h"
#include "tools/xmrender/xmrender.h"

namespace {

using namespace std::chrono_literals;

// A device that plays nothing: the test moves its position by hand.
struct FakeDevice {
    static inline bool refuse = false;
    static inline int opens = 0;
    static inline int resets = 0;
    static inline int closes = 0;
    static inline const std::int16_t* ring = nullptr;
    static inline std::size_t ringFrames = 0;
    static inline std::atomic<std::uint64_t> bytes{0};

    static bool Open(int) {
        ++opens;
        return !refuse;
    }
    static void Play(const std::int16_t* r, std::size_t frames) {
        ring = r;
        ringFrames = frames;
        bytes = 0;
    }
    static std::uint64_t Position() { return bytes.load(); }
    static void Reset() {
        ++resets;
        ring = nullptr;
    }
    static void Close() { ++closes; }

    static void Clear() {
        refuse = false;
        opens = resets = closes = 0;
        ring = nullptr;
        ringFrames = 0;
        bytes = 0;
    }
};

const platform::AudioDeviceOps fakeOps{FakeDevice::Open, FakeDevice::Play, FakeDevice::Position, FakeDevice::Reset,
                                       FakeDevice::Close, nullptr};

// The same device as one without threads, which refills from its callback.
std::uint64_t (*refill)() = nullptr;
const platform::AudioDeviceOps callbackOps{FakeDevice::Open, FakeDevice::Play, FakeDevice::Position, FakeDevice::Reset,
                                           FakeDevice::Close, [](std::uint64_t (*r)()) { refill = r; }};

constexpr std::uint64_t kBlockBytes = 884 * 4;  // 3,536
constexpr std::uint64_t kRingBytes = 88400 * 4;  // 353,600

const char* SongPath() {
    static const std::string path = std::string(QUANDRIX_SOURCE_DIR) + "/data/music/glasstube.xm";
    return path.c_str();
}

// Waits until `done` holds, up to a generous limit (a hang fails the test
// instead of blocking it).
template <typename Predicate>
bool WaitFor(Predicate done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

std::uint64_t Rendered() { return music::RenderedBlockCount(); }

class OutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        FakeDevice::Clear();
        music::SetAudioDevice(&fakeOps);
        song = xmrender::LoadSongFile(SongPath(), stderr);
        ASSERT_NE(song, nullptr);
        music::RegisterResourceStreamOps();  // the file loader installs its own
        ASSERT_TRUE(music::OpenAudio(music::kOutputRate));
    }
    void TearDown() override {
        music::StopPlayback(song);
        music::FreeModule(song);
        music::ResetMusicState();
    }

    // The 16-bit ring block `index` as it is now.
    std::vector<std::int16_t> Block(int index) const {
        const std::int16_t* start = music::mixer.outputRing.get() + index * 884 * 2;
        return {start, start + 884 * 2};
    }

    music::Module* song = nullptr;
};

// The sequence the worker must produce: blocks 0..n-1 of an offline render
// from the start, made with the same pieces.
std::vector<std::vector<std::int16_t>> OfflineBlocks(int count) {
    music::Module* copy = xmrender::LoadSongFile(SongPath(), stderr);
    std::vector<std::vector<std::int16_t>> blocks;
    music::SetUpVoiceTable(music::kOutputRate);
    music::StartOfflinePlayback(*copy);
    for (int i = 0; i < 100; ++i) {
        const std::int16_t* start = music::mixer.outputRing.get() + i * 884 * 2;
        blocks.emplace_back(start, start + 884 * 2);
    }
    while (static_cast<int>(blocks.size()) < count) {
        const int index = music::mixer.writeIndex;
        music::RenderBlock();
        const std::int16_t* start = music::mixer.outputRing.get() + index * 884 * 2;
        blocks.emplace_back(start, start + 884 * 2);
    }
    music::StopOfflinePlayback();
    music::FreeModule(copy);
    return blocks;
}

TEST(OutputGeometry, PositionToPlayingBlock) {
    EXPECT_EQ(music::PlayingBlock(0, 88400, 884), 0);
    EXPECT_EQ(music::PlayingBlock(kBlockBytes - 1, 88400, 884), 0);
    EXPECT_EQ(music::PlayingBlock(kBlockBytes, 88400, 884), 1);
    EXPECT_EQ(music::PlayingBlock(kRingBytes - 1, 88400, 884), 99);
    EXPECT_EQ(music::PlayingBlock(kRingBytes, 88400, 884), 0);
    // Past 2^32 bytes (6.8 hours) the mapping goes on without a jump.
    const std::uint64_t late = 12150ull * kRingBytes + 7 * kBlockBytes;
    EXPECT_GT(late, 1ull << 32);
    EXPECT_EQ(music::PlayingBlock(late, 88400, 884), 7);
    EXPECT_EQ(music::PlayingBlock(late + kBlockBytes, 88400, 884), 8);
    EXPECT_EQ(music::PlayingBlock(123, 0, 884), 0);
}

TEST_F(OutputTest, RingDisciplineAgainstThePlayPosition) {
    const auto expected = OfflineBlocks(205);
    ASSERT_TRUE(music::StartPlayback(song));
    // The prefill: the song's first 100 blocks, queued from frame 0.
    ASSERT_EQ(FakeDevice::ring, music::mixer.outputRing.get());
    EXPECT_EQ(FakeDevice::ringFrames, 88400u);
    EXPECT_EQ(music::mixer.writeIndex, 0);
    EXPECT_EQ(Rendered(), 100u);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(Block(i), expected[i]) << "prefill block " << i;

    // Below 3,536 bytes the cursor is still in block 0: nothing to do.
    FakeDevice::bytes = kBlockBytes - 1;
    std::this_thread::sleep_for(60ms);  // a dozen looks of the worker
    EXPECT_EQ(Rendered(), 100u);
    EXPECT_EQ(music::mixer.writeIndex, 0);

    // At 3,536 block 0 has been played: it is rendered again, once, with the
    // song's 101st block.
    FakeDevice::bytes = kBlockBytes;
    ASSERT_TRUE(WaitFor([] { return Rendered() == 101; }));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(Rendered(), 101u);
    EXPECT_EQ(music::mixer.writeIndex, 1);
    EXPECT_EQ(Block(0), expected[100]);

    // A whole ring later the cursor is in block 0 again: blocks 1..99 are
    // rendered in order.
    FakeDevice::bytes = kRingBytes;
    ASSERT_TRUE(WaitFor([] { return Rendered() == 200; }));
    EXPECT_EQ(music::mixer.writeIndex, 0);
    for (int i = 1; i < 100; ++i) ASSERT_EQ(Block(i), expected[100 + i]) << "block " << i;

    // Several blocks behind at once: all of them, in order, at the next look.
    FakeDevice::bytes = kRingBytes + 5 * kBlockBytes + 17;
    ASSERT_TRUE(WaitFor([] { return Rendered() == 205; }));
    EXPECT_EQ(music::mixer.writeIndex, 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Block(i), expected[200 + i]) << "block " << i;
}

TEST_F(OutputTest, BlocksPlayedBeforeTheyWereRenderedAgainAreCountedAsLate) {
    ASSERT_TRUE(music::StartPlayback(song));
    const auto playTo = [](std::uint64_t block, std::uint64_t rendered) {
        FakeDevice::bytes = block * kBlockBytes;
        return WaitFor([rendered] { return Rendered() == rendered; });
    };
    for (std::uint64_t block = 1; block <= 150; ++block) ASSERT_TRUE(playTo(block, 100 + block));
    EXPECT_EQ(music::CurrentUnderruns().lateBlocks, 0u);
    // The worker misses three seconds: of blocks 151..300 the first 99 still
    // hold what was rendered for them; block 250 (the one playing at the last
    // look) and the 50 after it hold the sound of a ring pass before.
    ASSERT_TRUE(playTo(300, 300));
    EXPECT_EQ(music::CurrentUnderruns().longestRun, 51u);
    // The catch-up renders only the blocks behind the position, so 301..349
    // come late too; block 350 was rendered at the look at 300.
    ASSERT_TRUE(playTo(310, 310));
    ASSERT_TRUE(playTo(350, 350));
    EXPECT_EQ(music::CurrentUnderruns().lateBlocks, 100u);
    EXPECT_EQ(music::CurrentUnderruns().longestRun, 100u);
    for (std::uint64_t block = 351; block <= 460; ++block) ASSERT_TRUE(playTo(block, block));
    EXPECT_EQ(music::CurrentUnderruns().lateBlocks, 100u);
    ASSERT_TRUE(music::StartPlayback(song));  // a new playback, a new count
    EXPECT_EQ(music::CurrentUnderruns().lateBlocks, 0u);
}

TEST_F(OutputTest, ADeviceWithoutThreadsRefillsFromItsCallback) {
    const auto expected = OfflineBlocks(105);
    music::CloseAudio();
    music::SetAudioDevice(&callbackOps);
    music::RegisterResourceStreamOps();  // the file loader installs its own
    ASSERT_TRUE(music::OpenAudio(music::kOutputRate));
    ASSERT_TRUE(music::StartPlayback(song));
    ASSERT_NE(refill, nullptr);
    // No worker looks at the position: only the callback's refill renders.
    FakeDevice::bytes = 5 * kBlockBytes + 17;
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(Rendered(), 100u);
    EXPECT_EQ(refill(), 105u * 884);  // frames rendered since the ring was queued
    EXPECT_EQ(Rendered(), 105u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Block(i), expected[100 + i]) << "block " << i;
    for (int i = 5; i < 100; ++i) ASSERT_EQ(Block(i), expected[i]) << "block " << i;
    refill();
    EXPECT_EQ(Rendered(), 105u);
    EXPECT_TRUE(music::StopPlayback(song));
    EXPECT_EQ(refill, nullptr);
}

// The song's tick operation, made to wait inside a block until released, so
// that a stop request can be placed while a block is being rendered.
struct TickGate {
    static inline std::mutex mutex;
    static inline std::condition_variable changed;
    static inline bool inside = false;
    static inline bool open = true;
    static inline music::TickOperation realTick = nullptr;

    static void Tick(music::Module& module) {
        std::unique_lock lock(mutex);
        if (!open) {
            inside = true;
            changed.notify_all();
            changed.wait(lock, [] { return open; });
        }
        lock.unlock();
        realTick(module);
    }
};

TEST_F(OutputTest, StopDuringARenderTakesEffectAfterThatBlock) {
    ASSERT_TRUE(music::StartPlayback(song));
    TickGate::realTick = song->tickOperation;
    TickGate::inside = false;
    TickGate::open = false;
    song->tickOperation = TickGate::Tick;

    // Ten blocks behind; the worker starts the first and waits in it.
    FakeDevice::bytes = 10 * kBlockBytes;
    {
        std::unique_lock lock(TickGate::mutex);
        ASSERT_TRUE(TickGate::changed.wait_for(lock, 10s, [] { return TickGate::inside; }));
    }
    std::atomic<bool> calling{false}, stopped{false};
    std::thread stopper([&] {
        calling = true;
        music::StopPlayback(song);
        stopped = true;
    });
    // The request must be up before the gate opens, or the worker would
    // rightly go on with the blocks behind: wait until the stopper is about
    // to raise it (a loaded machine can leave a new thread unscheduled for a
    // long while), then give it time for the few instructions to the store.
    while (!calling) std::this_thread::yield();
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(stopped) << "StopPlayback returned while a block was being rendered";
    {
        std::lock_guard lock(TickGate::mutex);
        TickGate::open = true;
    }
    TickGate::changed.notify_all();
    stopper.join();
    EXPECT_TRUE(stopped);
    // The block in progress was finished; none of the nine behind it.
    EXPECT_EQ(Rendered(), 101u);
    EXPECT_EQ(music::mixer.writeIndex, 1);
    EXPECT_EQ(music::mixer.song, nullptr);
    EXPECT_EQ(music::mixer.mixRing, nullptr);
    song->tickOperation = TickGate::realTick;
}

TEST_F(OutputTest, StartAndStopManyTimes) {
    // Under the thread sanitizer this is the race check of the handshake.
    for (int cycle = 0; cycle < 1000; ++cycle) {
        ASSERT_TRUE(music::StartPlayback(song));
        FakeDevice::bytes = static_cast<std::uint64_t>(cycle % 7) * kBlockBytes;
        ASSERT_TRUE(music::StopPlayback(song));
        ASSERT_EQ(music::mixer.song, nullptr);
    }
    // Start passes through stop: starting twice leaves one worker.
    ASSERT_TRUE(music::StartPlayback(song));
    ASSERT_TRUE(music::StartPlayback(song));
    FakeDevice::bytes = kBlockBytes;
    ASSERT_TRUE(WaitFor([] { return Rendered() == 101; }));
}

TEST_F(OutputTest, StopWithoutASongIsRefused) {
    EXPECT_FALSE(music::StartPlayback(nullptr));
    EXPECT_FALSE(music::StopPlayback(nullptr));
}

TEST(OutputDevice, IncompleteStreamTableRefusesTheDevice) {
    FakeDevice::Clear();
    music::SetAudioDevice(&fakeOps);
    music::RegisterStreamOps(music::ResourceStreamOpen, music::ResourceStreamClose, music::ResourceStreamRead,
                             music::ResourceStreamSeek, nullptr);
    EXPECT_FALSE(music::OpenAudio(music::kOutputRate));
    EXPECT_EQ(FakeDevice::opens, 0);
    music::RegisterResourceStreamOps();
    EXPECT_TRUE(music::OpenAudio(music::kOutputRate));
    EXPECT_EQ(FakeDevice::opens, 1);
    music::CloseAudio();
    music::SetAudioDevice(nullptr);
}

TEST(Music, RefusedDeviceLeavesTheIntroSilentAndStopOnlyClosesIt) {
    FakeDevice::Clear();
    FakeDevice::refuse = true;
    music::SetAudioDevice(&fakeOps);
    EXPECT_FALSE(music::StartMusic());
    EXPECT_EQ(FakeDevice::opens, 1);
    music::StopMusic();
    EXPECT_GE(FakeDevice::resets, 1);
    EXPECT_GE(FakeDevice::closes, 1);
    EXPECT_EQ(music::mixer.song, nullptr);
    EXPECT_EQ(music::mixer.outputRing, nullptr);
    music::SetAudioDevice(nullptr);
}

TEST(Music, EmbeddedSongPlaysFromTheFirstFrame) {
    FakeDevice::Clear();
    music::SetAudioDevice(&fakeOps);
    ASSERT_TRUE(music::StartMusic());
    ASSERT_NE(FakeDevice::ring, nullptr);
    const std::vector<std::int16_t> queued(FakeDevice::ring, FakeDevice::ring + 88400 * 2);
    FakeDevice::bytes = 3 * kBlockBytes;
    ASSERT_TRUE(WaitFor([] { return Rendered() == 103; }));
    music::StopMusic();
    EXPECT_EQ(FakeDevice::ring, nullptr);  // the device let go before the ring was freed
    EXPECT_EQ(music::mixer.outputRing, nullptr);
    music::SetAudioDevice(nullptr);

    // The embedded song is data/music/glasstube.xm: what was queued is its
    // first 100 blocks, exactly as the offline renderer makes them.
    const auto expected = OfflineBlocks(100);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(std::memcmp(queued.data() + i * 884 * 2, expected[i].data(), 884 * 4), 0) << "block " << i;
    }
}

// A browser's context at 48 kHz and a page opened at 20.255 s: the player
// mixes at the device's own rate, and what it queues is the offline render at
// that rate from the nearest block's start on (block 1,013 of 960 frames).
TEST(Music, ADeviceWithItsOwnRateHearsTheSongFromALaterMoment) {
    const platform::AudioDeviceOps ownRateOps{FakeDevice::Open, FakeDevice::Play, FakeDevice::Position,
                                              FakeDevice::Reset, FakeDevice::Close, nullptr, [] { return 48000; }};
    FakeDevice::Clear();
    music::SetAudioDevice(&ownRateOps);
    ASSERT_TRUE(music::StartMusic(20.255));
    ASSERT_EQ(FakeDevice::ringFrames, static_cast<std::size_t>(music::RingFramesForRate(48000)));
    const std::vector<std::int16_t> queued(FakeDevice::ring, FakeDevice::ring + FakeDevice::ringFrames * 2);
    music::StopMusic();
    music::SetAudioDevice(nullptr);

    music::Module* copy = xmrender::LoadSongFile(SongPath(), stderr);
    ASSERT_TRUE(music::StartOfflineRender(*copy, 48000));
    music::ReadPlayedFrames(nullptr, 1013 * 960);
    std::vector<std::int16_t> expected(queued.size());
    music::ReadPlayedFrames(expected.data(), queued.size() / 2);
    music::StopOfflineRender();
    music::FreeModule(copy);
    EXPECT_EQ(queued, expected);
}

}  // namespace
