#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "music/resource_stream.h"
#include "music/stream.h"
#include "platform/resources.h"

namespace {

using music::ResourceStream;

std::vector<std::uint8_t> Counting(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i);
    return bytes;
}

class ResourceStreamTest : public ::testing::Test {
protected:
    void Make(std::size_t size) {
        bytes = Counting(size);
        stream = music::CreateResourceStream(bytes.data(), bytes.size());
    }
    void TearDown() override { music::ResourceStreamClose(stream); }
    std::int32_t Position() { return music::ResourceStreamTell(stream); }
    void Seek(std::int32_t offset, std::uint8_t origin) { music::ResourceStreamSeek(stream, offset, origin); }

    std::vector<std::uint8_t> bytes;
    ResourceStream* stream = nullptr;
};

TEST_F(ResourceStreamTest, ReadsCopyWhatRemainsAndLeaveTheRestOfTheDestination) {
    Make(10);
    std::array<std::uint8_t, 17> out;
    out.fill(0xEE);
    EXPECT_EQ(music::ResourceStreamRead(out.data(), 0, stream), 0);
    EXPECT_EQ(music::ResourceStreamRead(out.data(), -5, stream), 0);
    EXPECT_EQ(out[0], 0xEE);
    EXPECT_EQ(music::ResourceStreamRead(out.data(), 17, stream), 10);
    EXPECT_EQ(Position(), 10);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(out[i], i);
    for (int i = 10; i < 17; ++i) EXPECT_EQ(out[i], 0xEE) << "byte " << i << " past the copied ones";
    EXPECT_EQ(music::ResourceStreamRead(out.data(), 17, stream), 0);
    // Reading exactly the rest ends at the size.
    Seek(4, music::kSeekSet);
    EXPECT_EQ(music::ResourceStreamRead(out.data(), 6, stream), 6);
    EXPECT_EQ(out[5], 9);
    EXPECT_EQ(Position(), 10);
}

TEST_F(ResourceStreamTest, SeeksFollowTheirOriginAndStayInsideTheBytes) {
    Make(1000);
    struct Step {
        std::int32_t offset;
        std::uint8_t origin;
        std::int32_t want;
    } steps[] = {
        {0, music::kSeekEnd, 1000},    {5000, music::kSeekSet, 1000},  {100, music::kSeekSet, 100},
        {23, music::kSeekCurrent, 123}, {-23, music::kSeekEnd, 977},    {50, 3, 977},  // unknown origin: stays
        {-1, music::kSeekSet, 0},        {100, music::kSeekSet, 100},    {-200, music::kSeekCurrent, 0},
        {-2000, music::kSeekEnd, 0},     {900, music::kSeekSet, 900},
        // Extreme offsets cannot overflow the sum.
        {std::numeric_limits<std::int32_t>::max(), music::kSeekCurrent, 1000},
        {std::numeric_limits<std::int32_t>::min(), music::kSeekCurrent, 0},
        {std::numeric_limits<std::int32_t>::max(), music::kSeekEnd, 1000},
    };
    for (const Step& step : steps) {
        Seek(step.offset, step.origin);
        EXPECT_EQ(Position(), step.want) << step.offset << " from origin " << int(step.origin);
    }
}

TEST_F(ResourceStreamTest, NoDataIsAnEmptyStream) {
    stream = music::CreateResourceStream(nullptr, 50);
    EXPECT_EQ(stream->size, 0);
    std::uint8_t out = 7;
    EXPECT_EQ(music::ResourceStreamRead(&out, 1, stream), 0);
    Seek(10, music::kSeekSet);
    EXPECT_EQ(Position(), 0);
}

TEST(ResourceStreamOpen, FindsTheEmbeddedSongByNameUnderTypeMusic) {
    std::ifstream in(std::string(QUANDRIX_SOURCE_DIR) + "/data/music/glasstube.xm", std::ios::binary);
    const std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(file.empty());

    auto* stream = static_cast<ResourceStream*>(music::ResourceStreamOpen("XM"));
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->size, static_cast<std::int32_t>(file.size()));
    EXPECT_EQ(stream->position, 0);
    EXPECT_EQ(std::memcmp(stream->data, file.data(), file.size()), 0);
    music::ResourceStreamClose(stream);
}

TEST(ResourceStreamOpen, AnUnknownNameStillOpensAnEmptyStream) {
    for (const char* name : {"NOPE", "xm", "", static_cast<const char*>(nullptr)}) {
        auto* stream = static_cast<ResourceStream*>(music::ResourceStreamOpen(name));
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(stream->size, 0);
        EXPECT_EQ(stream->data, nullptr);
        music::ResourceStreamClose(stream);
    }
}

// Every loader test reads through ModuleStream over the resource stream, so
// forwarding is covered there; these are the table's own rules.
class StreamTableTest : public ::testing::Test {
protected:
    void TearDown() override { music::RegisterStreamOps(nullptr, nullptr, nullptr, nullptr, nullptr); }
};

TEST_F(StreamTableTest, ATableWithAnyMissingSlotIsClearedWhole) {
    using namespace music;
    for (int missing = 0; missing < 5; ++missing) {
        RegisterResourceStreamOps();
        ASSERT_TRUE(StreamOpsInstalled());
        RegisterStreamOps(missing == 0 ? nullptr : ResourceStreamOpen, missing == 1 ? nullptr : ResourceStreamClose,
                          missing == 2 ? nullptr : ResourceStreamRead, missing == 3 ? nullptr : ResourceStreamSeek,
                          missing == 4 ? nullptr : ResourceStreamTell);
        const StreamOps& ops = InstalledStreamOps();
        EXPECT_TRUE(!ops.open && !ops.close && !ops.read && !ops.seek && !ops.tell) << "slot " << missing;
        EXPECT_EQ(OpenModuleStream("XM"), nullptr) << "an empty table opens nothing";
    }
}

TEST_F(StreamTableTest, AFailedOpenGivesNoStreamAndAMissingStreamIsIgnored) {
    using namespace music;
    RegisterStreamOps([](const char*) -> void* { return nullptr; }, ResourceStreamClose, ResourceStreamRead,
                      ResourceStreamSeek, ResourceStreamTell);
    EXPECT_EQ(OpenModuleStream("XM"), nullptr);
    std::uint8_t out = 5;
    EXPECT_EQ(StreamRead(&out, 1, nullptr), 0);
    EXPECT_EQ(out, 5);
    StreamSeek(nullptr, 10, kSeekSet);
    EXPECT_EQ(StreamTell(nullptr), 0);
    CloseModuleStream(nullptr);
}

}  // namespace
