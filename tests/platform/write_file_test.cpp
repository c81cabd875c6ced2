// Whole-file writes: replacing, unique temporary names, the kept mode and
// link, and failures that leave nothing behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/write_file.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Write(const fs::path& path, std::string_view text, std::string& error,
           platform::WriteMode mode = platform::WriteMode::Create) {
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    return platform::WriteFileAtomically(path, bytes, error, mode);
}

std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class WriteFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("write_file_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST_F(WriteFile, CreatesReplacesAndLeavesOnlyTheFile) {
    std::string error;
    // A leftover of another writer under the old fixed name is no obstacle.
    std::ofstream(dir / "a.png.tmp") << "stale";
    ASSERT_TRUE(Write(dir / "a.png", "first", error)) << error;
    ASSERT_TRUE(Write(dir / "a.png", "second", error)) << error;
    EXPECT_EQ(Read(dir / "a.png"), "second");
    ASSERT_TRUE(Write(dir / "a.png", "third", error, platform::WriteMode::KeepExisting)) << error;
    EXPECT_EQ(Read(dir / "a.png"), "third");
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"a.png", "a.png.tmp"}));

    // Two temporary files of one path never share a name.
    const fs::path one = platform::CreateTemporaryBeside(dir / "v.mp4", error);
    const fs::path two = platform::CreateTemporaryBeside(dir / "v.mp4", error);
    ASSERT_FALSE(one.empty() || two.empty()) << error;
    EXPECT_NE(one, two);
    ASSERT_TRUE(platform::RenameOver(one, dir / "a.png", error)) << error;
    EXPECT_EQ(Read(dir / "a.png"), "");
}

TEST_F(WriteFile, FailuresNameThePathAndLeaveNothing) {
    std::string error;
    EXPECT_FALSE(Write(dir / "missing" / "a.png", "x", error));
    EXPECT_EQ(error.rfind("cannot write " + (dir / "missing" / "a.png").string() + ": ", 0), 0u) << error;
    EXPECT_FALSE(Write(dir / "gone.exe", "x", error, platform::WriteMode::KeepExisting));
    EXPECT_NE(error.find("gone.exe is unchanged"), std::string::npos) << error;
    fs::create_directory(dir / "folder");
    EXPECT_FALSE(Write(dir / "folder", "x", error));
    EXPECT_EQ(Names(dir), std::vector<std::string>{"folder"});
}

// Whatever is not a file to replace is written into as it stands: devices,
// and the file a shell's redirection opened for standard output, at its
// position. A read-only file is replaced like any other, and stays
// read-only when kept.
TEST_F(WriteFile, DevicesAndStandardStreamsAreWrittenStraightReadOnlyFilesReplaced) {
    std::string error;
#ifdef _WIN32
    for (const char* device : {"NUL", "nul.txt", "CON", "COM1", "\\\\.\\NUL"}) {
#else
    for (const char* device : {"/dev/null", "/dev/stdout", "/proc/self/fd/1", "/dev/shm/new.wav"}) {
#endif
        EXPECT_TRUE(platform::WrittenStraight(device)) << device;
        EXPECT_TRUE(platform::CreateTemporaryBeside(device, error).empty()) << device;
    }
    EXPECT_TRUE(Write(platform::WrittenStraight("NUL") ? "NUL" : "/dev/null", "into nothing", error)) << error;
    EXPECT_FALSE(platform::WrittenStraight(dir / "missing.wav"));

    ASSERT_TRUE(Write(dir / "out", "", error)) << error;
    std::fflush(stdout);
    const int saved = dup(1);
    std::FILE* redirected = std::fopen((dir / "out").string().c_str(), "wb");
    dup2(fileno(redirected), 1);
    std::fclose(redirected);
    std::fputs("before ", stdout);
    std::fflush(stdout);
    EXPECT_TRUE(platform::WrittenStraight(dir / "out"));
    EXPECT_TRUE(Write(dir / "out", "after", error)) << error;
    dup2(saved, 1);
    close(saved);
    EXPECT_EQ(Read(dir / "out"), "before after");
    EXPECT_FALSE(platform::WrittenStraight(dir / "out"));

    ASSERT_TRUE(Write(dir / "exe", "old", error)) << error;
    fs::permissions(dir / "exe", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ASSERT_TRUE(Write(dir / "exe", "new", error, platform::WriteMode::KeepExisting)) << error;
    EXPECT_EQ(fs::status(dir / "exe").permissions() & fs::perms::owner_write, fs::perms::none);
    ASSERT_TRUE(Write(dir / "exe", "newer", error)) << error;
    EXPECT_EQ(Read(dir / "exe"), "newer");
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"exe", "out"}));
}

#ifndef _WIN32
TEST_F(WriteFile, KeepingAFileKeepsItsModeAndFollowsItsLink) {
    std::string error;
    ASSERT_TRUE(Write(dir / "exe", "old", error)) << error;
    fs::permissions(dir / "exe", static_cast<fs::perms>(0751));
    fs::create_symlink("exe", dir / "link");
    ASSERT_TRUE(Write(dir / "link", "new", error, platform::WriteMode::KeepExisting)) << error;
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(Read(dir / "exe"), "new");
    EXPECT_EQ(static_cast<int>(fs::status(dir / "exe").permissions()), 0751);
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"exe", "link"}));
}
#endif

}  // namespace
