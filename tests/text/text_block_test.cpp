// The text block as the program reads it, and as a tool finds it in the
// built executable.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "data/text_block.h"

namespace {

std::string Line(int page, int line) {
    char out[data::kTextSlotBytes];
    const int n = data::ReadTextLine(page, line, out);
    return std::string(out, static_cast<std::size_t>(n));
}

TEST(TextBlock, ShippedPagesReadThroughTheOffsetTable) {
    EXPECT_EQ(data::ReadTextPageCount(), 2);
    EXPECT_EQ(Line(0, 7), "CRACKED BY ........ THE CRACKER");
    EXPECT_EQ(Line(0, 8), "SUPPLIED BY ...... THE SUPPLIER");
    EXPECT_EQ(Line(0, 9), "PACKED BY .......... THE PACKER");
    EXPECT_EQ(Line(0, 1), std::string(31, ' '));
    EXPECT_EQ(Line(2, 0), ".............PAGE 3............");
    EXPECT_EQ(Line(9, 13), ".............PAGE 10...........");
    for (int page = 0; page < data::kTextPages; ++page) {
        for (int line = 0; line < data::kTextLinesPerPage; ++line) EXPECT_EQ(Line(page, line).size(), 31u);
    }
}

TEST(TextBlock, DamagedOffsetsAndNumbersReadAsEmptyLines) {
    std::uint32_t& entry = data::textBlock.header.lineOffsets[3];
    const std::uint32_t kept = entry;
    entry = 4500 - 31;  // a slot that would run past the line area
    EXPECT_EQ(Line(0, 3), "");
    entry = 0xFFFFFFFFu;
    EXPECT_EQ(Line(0, 3), "");
    entry = 4500 - 32;  // the last whole slot is still read
    EXPECT_EQ(Line(0, 3), ".............PAGE 10...........");
    entry = kept;
    EXPECT_EQ(Line(-1, 0), "");
    EXPECT_EQ(Line(10, 0), "");
    EXPECT_EQ(Line(0, 14), "");

    // A slot without its NUL stops at 31 characters.
    char& nul = data::textBlock.lines.slots[0][31];
    nul = 'X';
    EXPECT_EQ(Line(0, 0).size(), 31u);
    nul = '\0';
}

// The bytes of the built intro, where the tool will look for the block.
std::vector<unsigned char> Executable() {
    std::ifstream in(QUANDRIX_EXE, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::size_t> FindAll(const std::vector<unsigned char>& bytes, std::string_view marker) {
    std::vector<std::size_t> at;
    auto it = bytes.begin();
    // The NUL belongs to the marker.
    const std::string needle(marker.data(), marker.size() + 1);
    while ((it = std::search(it, bytes.end(), needle.begin(), needle.end())) != bytes.end()) {
        at.push_back(static_cast<std::size_t>(it - bytes.begin()));
        ++it;
    }
    return at;
}

std::uint32_t U32(const std::vector<unsigned char>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(TextBlock, MarkersStandOnceInTheBuiltIntroWhereTheLayoutPutsThem) {
    const std::vector<unsigned char> exe = Executable();
    ASSERT_GT(exe.size(), 10000u) << QUANDRIX_EXE;
    const auto header = FindAll(exe, "!QUANDRIX!");
    const auto lines = FindAll(exe, "--TEXT START HERE--");
    ASSERT_EQ(header.size(), 1u);
    ASSERT_EQ(lines.size(), 1u);
    const std::size_t record = header[0] - 5;
    EXPECT_EQ(lines[0], record + 576);
    EXPECT_EQ(static_cast<signed char>(exe[header[0] - 1]), 2);  // the count byte, just before
    EXPECT_EQ(U32(exe, record), 0u);
    for (std::size_t k = 0; k < 140; ++k) EXPECT_EQ(U32(exe, record + 16 + 4 * k), 20 + 32 * k);
    const std::string first(exe.begin() + static_cast<long>(lines[0] + 20), exe.begin() + static_cast<long>(lines[0] + 52));
    EXPECT_EQ(first, Line(0, 0) + std::string(1, '\0'));
    const std::string last(exe.begin() + static_cast<long>(lines[0] + 20 + 32 * 139),
                           exe.begin() + static_cast<long>(lines[0] + 20 + 32 * 140));
    EXPECT_EQ(last, ".............PAGE 10..........." + std::string(1, '\0'));
}

}  // namespace
