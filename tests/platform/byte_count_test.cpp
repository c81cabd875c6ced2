// The play position widened from waveOut's 32-bit byte count: the ring's
// block mapping must go on smoothly across the wrap after 2^32 bytes.
#include "platform/byte_count.h"

#include <gtest/gtest.h>

namespace {

using platform::ExtendByteCount;

TEST(ByteCount, FollowsTheReadingBeforeTheWrap) {
    EXPECT_EQ(ExtendByteCount(0, 0), 0u);
    EXPECT_EQ(ExtendByteCount(0, 3536), 3536u);
    EXPECT_EQ(ExtendByteCount(3536, 3536), 3536u);  // no movement
    EXPECT_EQ(ExtendByteCount(3536, 353600), 353600u);
}

TEST(ByteCount, CarriesAcrossEveryWrap) {
    constexpr std::uint64_t wrap = std::uint64_t{1} << 32;
    // Just before the first wrap, then a reading past it.
    EXPECT_EQ(ExtendByteCount(wrap - 100, 60), wrap + 60);
    EXPECT_EQ(ExtendByteCount(wrap - 4, 0), wrap);
    // Several wraps on: the high part is kept and carried again.
    EXPECT_EQ(ExtendByteCount(5 * wrap + 0xFFFFFF00u, 0x10), 6 * wrap + 0x10);
    EXPECT_EQ(ExtendByteCount(5 * wrap + 0x10, 0x2000), 5 * wrap + 0x2000);
}

TEST(ByteCount, TheRingBlockNeverJumpsAtTheWrap) {
    // 884-frame blocks of 4 bytes in a 100-block ring, read every 5 ms
    // (882 bytes at 176,400 bytes a second) across the first wrap.
    constexpr std::uint64_t blockBytes = 884 * 4;
    constexpr std::uint64_t ringBytes = 100 * blockBytes;
    std::uint64_t count = (std::uint64_t{1} << 32) - 50 * 882;
    std::uint64_t lastBlock = (count % ringBytes) / blockBytes;
    for (int reading = 0; reading < 100; ++reading) {
        const std::uint64_t device = count + 882;  // what the device has really played
        count = ExtendByteCount(count, static_cast<std::uint32_t>(device));
        ASSERT_EQ(count, device);
        const std::uint64_t block = (count % ringBytes) / blockBytes;
        EXPECT_TRUE(block == lastBlock || block == (lastBlock + 1) % 100) << "reading " << reading;
        lastBlock = block;
    }
}

}  // namespace
