// The patch tool's reading of executables and text files, on bytes made here.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tools/textpatch/textpatch.h"
#include "tools/textpatch/web_page.h"

namespace {

using textpatch::BlockPlace;
using textpatch::Page;

void Put(std::vector<std::uint8_t>& file, std::size_t at, std::string_view text) {
    if (file.size() < at + text.size() + 1) file.resize(at + text.size() + 1);
    std::copy(text.begin(), text.end(), file.begin() + static_cast<long>(at));
    file[at + text.size()] = 0;
}

void PutU32(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Some bytes, a header at 100 (its marker at 105, the offset table as
// shipped at 116) and a line area at 700.
std::vector<std::uint8_t> FakeExe() {
    std::vector<std::uint8_t> file(700 + 20 + 4480 + 64, 0xCC);
    Put(file, 105, "!QUANDRIX!");
    for (std::uint32_t k = 0; k < 140; ++k) PutU32(file, 116 + 4 * k, 20 + 32 * k);
    Put(file, 700, "--TEXT START HERE--");
    return file;
}

std::string Locate(const std::vector<std::uint8_t>& file, BlockPlace* place = nullptr) {
    BlockPlace p;
    std::string error;
    const bool ok = textpatch::LocateBlock(file, p, error);
    if (place) *place = p;
    return ok ? "" : error;
}

TEST(TextPatchLocate, FindsCountAndSlotsAndNamesEveryProblem) {
    BlockPlace place;
    EXPECT_EQ(Locate(FakeExe(), &place), "");
    EXPECT_EQ(place.countAt, 104u);
    EXPECT_EQ(place.slotAt[0], 720u);
    EXPECT_EQ(place.slotAt[139], 720u + 139 * 32);

    auto missing = FakeExe();
    missing[110] = 'x';
    EXPECT_NE(Locate(missing).find("\"!QUANDRIX!\" not found"), std::string::npos);

    auto twice = FakeExe();
    Put(twice, 5000, "--TEXT START HERE--");
    EXPECT_NE(Locate(twice).find("\"--TEXT START HERE--\" found 2 times (at byte offsets 700 5000)"), std::string::npos);

    auto first = FakeExe();
    Put(first, 0, "!QUANDRIX!");
    first[105] = 0;
    EXPECT_NE(Locate(first).find("no page-count byte"), std::string::npos);

    auto cut = FakeExe();
    cut.resize(720 + 4479);
    EXPECT_NE(Locate(cut).find("cut off"), std::string::npos);

    // The slots are where the header's table puts them, as the intro reads
    // them, not at a fixed stride.
    auto moved = FakeExe();
    PutU32(moved, 116 + 4 * 15, 20);
    ASSERT_EQ(Locate(moved, &place), "");
    EXPECT_EQ(place.slotAt[15], 720u);
    PutU32(moved, 116 + 4 * 15, 4500 - 31);
    EXPECT_NE(Locate(moved).find("sends page 2 line 2 to 4469, outside the line area"), std::string::npos);
}

std::string Parse(std::string_view text, std::vector<Page>& pages) {
    std::string error;
    return textpatch::ParsePages(text, "t.txt", pages, error) ? "" : error;
}

TEST(TextPatchParse, PagesLinesCommentsAndPadding) {
    std::vector<Page> pages;
    ASSERT_EQ(Parse("; a comment\n\n\nhello, world\n \r\nx   \n\n\n; page 2\nsecond page\n", pages), "");
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0][0], "HELLO, WORLD                   ");
    EXPECT_EQ(pages[0][1], std::string(31, ' '));
    EXPECT_EQ(pages[0][2], "X" + std::string(30, ' '));
    EXPECT_EQ(pages[0][13], std::string(31, ' '));
    EXPECT_EQ(pages[1][0], "SECOND PAGE                    ");
    // Spaces past the 31st character never draw and do not count.
    ASSERT_EQ(Parse(std::string(31, 'A') + "      \n", pages), "");
    EXPECT_EQ(pages[0][0], std::string(31, 'A'));
    ASSERT_EQ(Parse("", pages), "");
    EXPECT_TRUE(pages.empty());
}

TEST(TextPatchParse, RefusalsSayWhere) {
    std::vector<Page> pages;
    EXPECT_EQ(Parse("OK\nTAB\there\n", pages), "t.txt:2:4: character byte 0x09 has no glyph in the page font");
    EXPECT_EQ(Parse("a/b\n", pages), "t.txt:1:2: character '/' has no glyph in the page font");
    EXPECT_EQ(Parse("caf\xc3\xa9\n", pages), "t.txt:1:4: character byte 0xC3 has no glyph in the page font");
    EXPECT_EQ(Parse("\n" + std::string(32, 'B') + "\n", pages), "t.txt:2: line is 32 characters long: a page line holds 31");
    std::string fifteen;
    for (int i = 0; i < 15; ++i) fifteen += "L\n";
    EXPECT_NE(Parse(fifteen, pages).find("t.txt:15: a fifteenth line on page 1"), std::string::npos);
    std::string eleven;
    for (int i = 0; i < 11; ++i) eleven += "P\n\n";
    EXPECT_NE(Parse(eleven, pages).find("t.txt:21: an eleventh page"), std::string::npos);
}

TEST(TextPatchApply, ShowReadsBackWhatSetWrote) {
    auto file = FakeExe();
    BlockPlace place;
    ASSERT_EQ(Locate(file, &place), "");
    Page blank;
    blank.fill(std::string(31, ' '));
    std::string error;
    ASSERT_TRUE(textpatch::ApplyPages(file, place, std::vector<Page>(10, blank), std::nullopt, error));
    std::vector<Page> pages;
    ASSERT_EQ(Parse("one\n\ntwo\n", pages), "");
    ASSERT_TRUE(textpatch::ApplyPages(file, place, pages, 2, error));
    const std::string shown = textpatch::ShowBlock(file, place);
    EXPECT_EQ(shown.substr(0, 30), "; page count 2\n; page 1\nONE\n \n");
    std::vector<Page> again;
    ASSERT_EQ(Parse(shown, again), "");
    ASSERT_EQ(again.size(), 10u);
    EXPECT_EQ(again[0], pages[0]);
    EXPECT_EQ(again[1], pages[1]);
    EXPECT_EQ(again[9], blank);
    file[place.countAt] = 0xF0;
    EXPECT_EQ(textpatch::ShowBlock(file, place).substr(0, 38), "; page count -16 (the intro shows 1)\n;");
}

// ApplyPages is public: what its caller's parser would have refused, it
// refuses too, and writes nothing.
TEST(TextPatchApply, RefusesWhatDoesNotFitTheBlock) {
    const auto original = FakeExe();
    auto file = original;
    BlockPlace place;
    ASSERT_EQ(Locate(file, &place), "");
    Page page;
    page.fill("");
    std::string error;
    EXPECT_FALSE(textpatch::ApplyPages(file, place, std::vector<Page>(11, page), std::nullopt, error));
    EXPECT_NE(error.find("11 pages"), std::string::npos) << error;
    page[13] = std::string(32, 'A');
    EXPECT_FALSE(textpatch::ApplyPages(file, place, {page}, 1, error));
    EXPECT_NE(error.find("32 characters on page 1"), std::string::npos) << error;
    page[13] = "A";
    EXPECT_FALSE(textpatch::ApplyPages(file, place, {page}, 11, error));
    EXPECT_FALSE(textpatch::ApplyPages(file, place, {page}, 0, error));
    BlockPlace outside = place;
    outside.slotAt[139] = file.size() - 31;
    EXPECT_FALSE(textpatch::ApplyPages(file, outside, {page}, 1, error));
    EXPECT_EQ(file, original);
    // A short line is padded, not left with the old bytes behind it.
    ASSERT_TRUE(textpatch::ApplyPages(file, place, {page}, 1, error)) << error;
    EXPECT_EQ(textpatch::ShowBlock(file, place).substr(0, 52), "; page count 1\n; page 1\n \n \n \n \n \n \n \n \n \n \n \n \n \nA\n");
}

// A folder where a file belongs is refused with the system's words, as the
// other tools do, for each file the tool reads.
TEST(TextPatchMain, AFolderNamedAsAFileIsRefused) {
    const auto dir = std::filesystem::temp_directory_path();
    const auto exe = dir / "textpatch_folder_test.exe";
    std::ofstream(exe, std::ios::binary) << "not an intro";
    std::string out, err;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"show", dir.string()},
                                                {"set", dir.string(), exe.string()},
                                                {"set", exe.string(), dir.string()}}) {
        const std::vector<std::string_view> views(args.begin(), args.end());
        EXPECT_EQ(textpatch::Main(views, out, err), 2) << args[1];
        EXPECT_NE(err.find(": cannot open: Is a directory"), std::string::npos) << err;
    }
    std::filesystem::remove(exe);
}

TEST(TextPatchWebPage, Base64BothWaysAndItsRefusals) {
    std::vector<std::uint8_t> bytes;
    for (const std::string_view text : {"", "f", "fo", "foo", "foob", "fooba", "foobar"}) {
        const std::vector<std::uint8_t> in(text.begin(), text.end());
        ASSERT_TRUE(textpatch::DecodeBase64(textpatch::EncodeBase64(in), bytes)) << text;
        EXPECT_EQ(bytes, in);
    }
    EXPECT_EQ(textpatch::EncodeBase64(std::vector<std::uint8_t>{'f', 'o'}), "Zm8=");
    for (const std::string_view bad : {"Zm8", "Zm=8", "Z===", "Zm8=Zm8=", "Zm 8", "Zm8\x80"}) {
        EXPECT_FALSE(textpatch::DecodeBase64(bad, bytes)) << bad;
    }
}

// A page as the web build writes it: the module as base64 in a data: address
// inside the script, another data: address that holds no module beside it.
TEST(TextPatchWebPage, ShowAndSetReachTheBlockInsideTheModule) {
    std::vector<std::uint8_t> module = FakeExe();
    const std::uint8_t magic[] = {0, 'a', 's', 'm', 1, 0, 0, 0};
    std::copy(std::begin(magic), std::end(magic), module.begin());
    const std::string head = "<!DOCTYPE html><script>var p='data:application/octet-stream;base64,';"
                             "var icon='data:application/octet-stream;base64,iVBORw0K';var w='"
                             "data:application/octet-stream;base64,";
    const std::string page = head + textpatch::EncodeBase64(module) + "';</script>\n";
    const auto path = std::filesystem::temp_directory_path() / "textpatch_page_test.html";
    const auto pagesPath = std::filesystem::temp_directory_path() / "textpatch_page_test.txt";
    std::ofstream(path, std::ios::binary) << page;
    std::ofstream(pagesPath) << "hello web\n";

    std::string out, err;
    const std::string_view set[] = {"set", path.c_str(), pagesPath.c_str(), "--pages", "1"};
    ASSERT_EQ(textpatch::Main(set, out, err), 0) << err;
    const std::string_view show[] = {"show", path.c_str()};
    ASSERT_EQ(textpatch::Main(show, out, err), 0) << err;
    EXPECT_EQ(out.substr(0, 34), "; page count 1\n; page 1\nHELLO WEB\n");
    // The page keeps its size and everything around the module.
    std::ifstream in(path, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written.size(), page.size());
    EXPECT_EQ(written.substr(0, head.size()), head);

    // Two modules: no way to tell which is the intro.
    std::ofstream(path, std::ios::binary) << page << page;
    EXPECT_EQ(textpatch::Main(show, out, err), 2);
    EXPECT_NE(err.find("more than one WebAssembly module"), std::string::npos) << err;
    std::filesystem::remove(path);
    std::filesystem::remove(pagesPath);
}

}  // namespace
