// The SDL sound device on SDL's disk driver: what the callback played is in
// the file, byte for byte.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/audio_device.h"
#include "platform/thread.h"

namespace {

std::string TempPath(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/quandrix_" + name + "_" + std::to_string(::getpid()) + ".raw";
}

std::vector<std::int16_t> ReadSamples(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

TEST(SdlAudioDevice, PlaysTheRingInALoopAndCountsBytes) {
    const std::string path = TempPath("ring");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);  // unthrottled
    const auto& device = platform::SdlAudioDevice();
    ASSERT_TRUE(device.open(44100));
    EXPECT_EQ(device.position(), 0u);

    // 3,000 frames, no sample 0, so the start of the ring in the file is
    // unmistakable after the silence played before Play.
    constexpr std::size_t frames = 3000;
    std::vector<std::int16_t> ring(frames * 2);
    for (std::size_t i = 0; i < ring.size(); ++i) ring[i] = static_cast<std::int16_t>(1 + i % 20000);
    device.play(ring.data(), frames);
    std::uint64_t last = 0;
    while (device.position() < 10 * frames * 4) {
        const std::uint64_t now = device.position();
        EXPECT_GE(now, last);  // only grows
        EXPECT_EQ(now % 4, 0u);
        last = now;
        platform::SleepMilliseconds(1);
    }
    device.reset();
    device.close();
    EXPECT_EQ(device.position(), 0u);

    const std::vector<std::int16_t> written = ReadSamples(path);
    std::remove(path.c_str());
    std::size_t start = 0;
    while (start < written.size() && written[start] == 0) ++start;
    ASSERT_GE(written.size() - start, 10 * frames * 2);
    for (std::size_t i = 0; i < 10 * frames * 2; ++i) {
        ASSERT_EQ(written[start + i], ring[i % ring.size()]) << "sample " << i;
    }
}

TEST(SdlAudioDevice, MissingDriverIsARefusal) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    const auto& device = platform::SdlAudioDevice();
    EXPECT_FALSE(device.open(44100));
    EXPECT_EQ(device.position(), 0u);
    device.reset();  // harmless when not open
    device.close();
}

int ReturnArgument(void* argument) { return *static_cast<int*>(argument); }

TEST(Thread, StartsAndJoinsWithTheResult) {
    int value = 42;
    platform::ThreadHandle* thread = platform::StartTimeCriticalThread("test", ReturnArgument, &value);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(platform::JoinThread(thread), 42);
    EXPECT_EQ(platform::JoinThread(nullptr), 0);
}

}  // namespace
