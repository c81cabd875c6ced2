#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "platform/resources.h"

namespace {

std::string ReadSourceFile(const char* relative) {
    std::ifstream in(std::string(QUANDRIX_SOURCE_DIR) + "/" + relative, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Resources, FindsEmbeddedBytesByNameAndType) {
    const auto bytes = platform::FindResource("HELLO", "TEST");
    const std::string expected = ReadSourceFile("tests/platform/hello.txt");
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(bytes.size(), expected.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), expected);
    // Embedded data is aligned for readers that want to view it as wider words.
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bytes.data()) % 16, 0u);
}

TEST(Resources, NameAndTypeMustBothMatchExactly) {
    EXPECT_TRUE(platform::FindResource("HELLO", "TEST").data() != platform::FindResource("HELLO", "OTHER").data());
    EXPECT_TRUE(platform::FindResource("HELLO", "MUSIC").empty());
    EXPECT_TRUE(platform::FindResource("hello", "TEST").empty());
    EXPECT_TRUE(platform::FindResource("HELLO", "TES").empty());
    EXPECT_TRUE(platform::FindResource("", "").empty());
    EXPECT_EQ(platform::EmbeddedResources().size(), 2u);
}

}  // namespace
