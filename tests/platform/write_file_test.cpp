// Whole-file writes: replacing, unique temporary names, the kept mode and
// link, and failures that leave nothing behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
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
