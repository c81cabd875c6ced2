// Songs nobody here wrote: the XM files that Debian's bomberclone-data and
// vodovod packages install. Each must load, through the file stream of
// quandrix-xminfo, with facts that agree with the file's own headers, walked
// here independently by their declared sizes; or be rejected with a reason.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "music/xm_loader.h"
#include "tests/music/module_invariants.h"
#include "tests/music/xm_builder.h"
#include "music/stream.h"
#include "tools/songfile/song_file.h"

namespace {

namespace fs = std::filesystem;
using xmtest::Bytes;

const char* const kSongDirectories[] = {"/usr/share/games/bomberclone", "/usr/share/games/vodovod"};

std::vector<fs::path> RealSongs() {
    std::vector<fs::path> songs;
    for (const char* dir : kSongDirectories) {
        std::error_code error;
        if (!fs::is_directory(dir, error)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(dir, error)) {
            std::string ext = entry.path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
            if (entry.is_regular_file() && ext == ".xm") songs.push_back(entry.path());
        }
    }
    std::sort(songs.begin(), songs.end());
    return songs;
}

// The file's own statements, read by their declared sizes.
struct DeclaredSample {
    std::uint32_t length, loopStart, loopLength;
    std::uint8_t volume, type, panning;
    std::int8_t finetune, relativeNote;
};
struct DeclaredInstrument {
    unsigned sampleCount = 0;
    unsigned volumePoints = 0, fadeout = 0;
    std::vector<DeclaredSample> samples;
};
struct Declared {
    unsigned songLength, restart, channels, patterns, instruments, flags, speed, bpm;
    std::vector<unsigned> rows;
    std::vector<DeclaredInstrument> instrumentList;
    std::size_t end = 0;  // where the last sample's data ends
};

class Walker {
public:
    explicit Walker(const Bytes& b) : b_(b) {}
    unsigned U8(std::size_t at) const { return at < b_.size() ? b_[at] : 0; }
    unsigned U16(std::size_t at) const { return U8(at) | (U8(at + 1) << 8); }
    std::uint32_t U32(std::size_t at) const { return U16(at) | (std::uint32_t{U16(at + 2)} << 16); }

    Declared Walk() const {
        Declared d{};
        d.songLength = U16(64);
        d.restart = U16(66);
        d.channels = U16(68);
        d.patterns = U16(70);
        d.instruments = U16(72);
        d.flags = U16(74);
        d.speed = U16(76);
        d.bpm = U16(78);
        std::size_t at = 60 + U32(60);
        for (unsigned p = 0; p < d.patterns; ++p) {
            d.rows.push_back(U16(at + 5));
            at += U32(at) + U16(at + 7);
        }
        for (unsigned i = 0; i < d.instruments; ++i) {
            DeclaredInstrument ins;
            const std::size_t headerSize = U32(at);
            ins.sampleCount = U16(at + 27);
            std::size_t sampleHeaderSize = 40;
            if (ins.sampleCount > 0) {
                sampleHeaderSize = U32(at + 29);
                ins.volumePoints = U8(at + 225);
                ins.fadeout = U16(at + 239);
            }
            std::size_t next = at + headerSize;
            std::size_t data = next + ins.sampleCount * sampleHeaderSize;
            for (unsigned s = 0; s < ins.sampleCount; ++s) {
                const std::size_t h = next + s * sampleHeaderSize;
                ins.samples.push_back({U32(h), U32(h + 4), U32(h + 8), static_cast<std::uint8_t>(U8(h + 12)),
                                       static_cast<std::uint8_t>(U8(h + 14)), static_cast<std::uint8_t>(U8(h + 15)),
                                       static_cast<std::int8_t>(U8(h + 13)), static_cast<std::int8_t>(U8(h + 16))});
                data += U32(h);
            }
            d.instrumentList.push_back(ins);
            at = data;
        }
        d.end = at;
        return d;
    }

private:
    const Bytes& b_;
};

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(XmRealFiles, EveryInstalledSongAgreesWithItsOwnHeaders) {
    const std::vector<fs::path> songs = RealSongs();
    if (songs.empty()) {
        GTEST_SKIP() << "no XM files under /usr/share/games/bomberclone or /usr/share/games/vodovod; "
                        "install Debian's bomberclone-data and vodovod packages to run this test";
    }
    for (const fs::path& path : songs) {
        SCOPED_TRACE(path.string());
        const Bytes bytes = ReadFile(path);
        music::LoadReport report;
        ASSERT_EQ(tools::InstallSongFile(path.string()), 0);
        xmtest::ModulePtr m(music::LoadModule(path.string().c_str(), &report));
        tools::RemoveSongFile();
        if (!m) {
            // A refusal is allowed, but it must say why.
            EXPECT_NE(report.failure, music::LoadFailure::None);
            std::printf("%s rejected: %s\n", path.string().c_str(), music::DescribeLoadFailure(report).c_str());
            continue;
        }
        EXPECT_EQ(xmtest::BrokenInvariant(*m), "");
        const Declared d = Walker(bytes).Walk();
        // The strict front-to-back reading ends where the declared sizes do.
        EXPECT_EQ(report.streamSize, static_cast<std::int32_t>(bytes.size()));
        EXPECT_EQ(report.bytesUsed, static_cast<std::int32_t>(d.end));
        EXPECT_EQ(report.repairs, 0u) << music::DescribeRepairs(report.repairs);

        EXPECT_EQ(m->songLength, static_cast<int>(d.songLength));
        EXPECT_EQ(m->restartPosition, static_cast<int>(d.restart));
        EXPECT_EQ(m->channelCount, static_cast<int>(d.channels));
        EXPECT_EQ(m->storedPatternCount, static_cast<int>(d.patterns));
        EXPECT_EQ(m->instrumentCount, static_cast<int>(d.instruments));
        EXPECT_EQ(m->flags, d.flags);
        EXPECT_EQ(m->defaultSpeed, static_cast<int>(d.speed));
        EXPECT_EQ(m->defaultBpm, static_cast<int>(d.bpm));
        EXPECT_TRUE(std::equal(m->orderTable.begin(), m->orderTable.end(), bytes.begin() + 80));
        for (unsigned p = 0; p < d.patterns; ++p) EXPECT_EQ(m->patterns[p].rows, static_cast<int>(d.rows[p])) << p;

        for (unsigned i = 0; i < d.instruments; ++i) {
            const DeclaredInstrument& want = d.instrumentList[i];
            const music::Instrument& got = m->instruments[i];
            ASSERT_EQ(got.sampleCount, static_cast<int>(want.sampleCount)) << "instrument " << i;
            if (want.sampleCount == 0) continue;
            EXPECT_EQ(got.volumePointCount, want.volumePoints) << "instrument " << i;
            EXPECT_EQ(got.fadeout, static_cast<std::uint16_t>(want.fadeout * 2)) << "instrument " << i;
            for (unsigned s = 0; s < want.sampleCount; ++s) {
                const DeclaredSample& ws = want.samples[s];
                const music::Sample& gs = *got.samples[s];
                const unsigned width = (ws.type & 0x10) ? 2 : 1;
                EXPECT_EQ(gs.length, ws.length / width) << i << "/" << s;
                EXPECT_EQ(gs.volume, ws.volume) << i << "/" << s;
                EXPECT_EQ(gs.finetune, ws.finetune) << i << "/" << s;
                EXPECT_EQ(gs.relativeNote, ws.relativeNote) << i << "/" << s;
                EXPECT_EQ(gs.panning, ws.panning) << i << "/" << s;
                if ((ws.type & 3) != 0 && ws.loopLength / width > 0) {
                    EXPECT_EQ(gs.loopStart, ws.loopStart / width) << i << "/" << s;
                    EXPECT_EQ(gs.loopLength, ws.loopLength / width) << i << "/" << s;
                    EXPECT_EQ(gs.loopType, (ws.type & 2) ? music::kLoopPingPong : music::kLoopForward);
                } else {
                    EXPECT_EQ(gs.loopType, music::kLoopNone) << i << "/" << s;
                }
            }
        }
    }
}

// ---- The song file of the tools ----------------------------------------------

class FileStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = fs::temp_directory_path() / ("quandrix_file_stream_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".bin");
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 100; ++i) out.put(static_cast<char>(i));
    }
    void TearDown() override { fs::remove(path); }
    fs::path path;
};

TEST_F(FileStreamTest, BehavesLikeTheResourceStream) {
    ASSERT_EQ(tools::InstallSongFile(path.string()), 0);
    music::ModuleStream* stream = music::OpenModuleStream("any name");
    ASSERT_NE(stream, nullptr);
    std::uint8_t buffer[20];
    std::fill(std::begin(buffer), std::end(buffer), 0xEE);
    music::StreamSeek(stream, -10, music::kSeekEnd);
    EXPECT_EQ(music::StreamRead(buffer, 20, stream), 10);
    EXPECT_EQ(buffer[0], 90);
    EXPECT_EQ(buffer[10], 0xEE);
    EXPECT_EQ(music::StreamTell(stream), 100);
    music::StreamSeek(stream, 500, music::kSeekSet);
    EXPECT_EQ(music::StreamTell(stream), 100);
    music::StreamSeek(stream, -500, music::kSeekCurrent);
    EXPECT_EQ(music::StreamTell(stream), 0);
    music::StreamSeek(stream, 7, 9);
    EXPECT_EQ(music::StreamTell(stream), 0);
    music::StreamSeek(stream, 42, music::kSeekCurrent);
    EXPECT_EQ(music::StreamRead(buffer, 1, stream), 1);
    EXPECT_EQ(buffer[0], 42);
    EXPECT_EQ(music::StreamRead(buffer, -1, stream), 0);
    music::CloseModuleStream(stream);
    tools::RemoveSongFile();
    EXPECT_FALSE(music::StreamOpsInstalled());

    // A file that cannot be read installs nothing and says why.
    EXPECT_EQ(tools::InstallSongFile(path.string() + ".missing"), ENOENT);
    EXPECT_FALSE(music::StreamOpsInstalled());
    EXPECT_EQ(tools::InstallSongFile(fs::temp_directory_path().string()), EISDIR);
    EXPECT_FALSE(music::StreamOpsInstalled());
}

}  // namespace
