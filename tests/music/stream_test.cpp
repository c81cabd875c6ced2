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
    std::ifstream in(std::string(QUANDRIX_SOURCE_DIR) + "/data/music/standin.xm", std::ios::binary);
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

// A stream table whose operations count their calls.
struct Recorder {
    static inline int opens = 0, closes = 0, reads = 0, seeks = 0, tells = 0;
    static inline bool openFails = false;
    static inline int token = 0;
    static inline std::int32_t lastOffset = 0;
    static inline std::uint8_t lastOrigin = 0;

    static void Reset() {
        opens = closes = reads = seeks = tells = 0;
        openFails = false;
    }
    static void* Open(const char*) {
        ++opens;
        return openFails ? nullptr : &token;
    }
    static void Close(void* source) {
        EXPECT_EQ(source, &token);
        ++closes;
    }
    static std::int32_t Read(void*, std::int32_t count, void* source) {
        EXPECT_EQ(source, &token);
        ++reads;
        return count / 2;
    }
    static void Seek(void* source, std::int32_t offset, std::uint8_t origin) {
        EXPECT_EQ(source, &token);
        ++seeks;
        lastOffset = offset;
        lastOrigin = origin;
    }
    static std::int32_t Tell(void* source) {
        EXPECT_EQ(source, &token);
        ++tells;
        return 77;
    }
};

class StreamTableTest : public ::testing::Test {
protected:
    void SetUp() override { Recorder::Reset(); }
    void TearDown() override { music::RegisterStreamOps(nullptr, nullptr, nullptr, nullptr, nullptr); }
    static void InstallRecorder() {
        music::RegisterStreamOps(Recorder::Open, Recorder::Close, Recorder::Read, Recorder::Seek, Recorder::Tell);
    }
};

TEST_F(StreamTableTest, ATableWithAnyMissingSlotIsClearedWhole) {
    for (int missing = 0; missing < 5; ++missing) {
        InstallRecorder();
        ASSERT_TRUE(music::StreamOpsInstalled());
        music::RegisterStreamOps(missing == 0 ? nullptr : Recorder::Open, missing == 1 ? nullptr : Recorder::Close,
                                 missing == 2 ? nullptr : Recorder::Read, missing == 3 ? nullptr : Recorder::Seek,
                                 missing == 4 ? nullptr : Recorder::Tell);
        const music::StreamOps& ops = music::InstalledStreamOps();
        EXPECT_FALSE(music::StreamOpsInstalled()) << "slot " << missing;
        EXPECT_TRUE(!ops.open && !ops.close && !ops.read && !ops.seek && !ops.tell) << "slot " << missing;
    }
}

TEST_F(StreamTableTest, ModuleStreamForwardsToTheInstalledOperations) {
    InstallRecorder();
    music::ModuleStream* stream = music::OpenModuleStream("XM");
    ASSERT_NE(stream, nullptr);
    std::array<std::uint8_t, 8> buffer{};
    EXPECT_EQ(music::StreamRead(buffer.data(), 8, stream), 4);
    music::StreamSeek(stream, -3, music::kSeekEnd);
    EXPECT_EQ(Recorder::lastOffset, -3);
    EXPECT_EQ(Recorder::lastOrigin, music::kSeekEnd);
    EXPECT_EQ(music::StreamTell(stream), 77);
    music::CloseModuleStream(stream);
    EXPECT_EQ(Recorder::opens, 1);
    EXPECT_EQ(Recorder::reads, 1);
    EXPECT_EQ(Recorder::seeks, 1);
    EXPECT_EQ(Recorder::tells, 1);
    EXPECT_EQ(Recorder::closes, 1);
}

TEST_F(StreamTableTest, OpenFailsWhenTheSourceOrTheTableIsMissing) {
    InstallRecorder();
    Recorder::openFails = true;
    EXPECT_EQ(music::OpenModuleStream("XM"), nullptr);
    EXPECT_EQ(Recorder::closes, 0);  // nothing to close: the handle is released by OpenModuleStream

    music::RegisterStreamOps(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(music::OpenModuleStream("XM"), nullptr);
}

TEST_F(StreamTableTest, AMissingStreamIsIgnored) {
    InstallRecorder();
    std::uint8_t out = 5;
    EXPECT_EQ(music::StreamRead(&out, 1, nullptr), 0);
    EXPECT_EQ(out, 5);
    music::StreamSeek(nullptr, 10, music::kSeekSet);
    EXPECT_EQ(music::StreamTell(nullptr), 0);
    music::CloseModuleStream(nullptr);
    EXPECT_EQ(Recorder::reads + Recorder::seeks + Recorder::tells + Recorder::closes, 0);
}

}  // namespace
