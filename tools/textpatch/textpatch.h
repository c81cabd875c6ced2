#pragma once
// quandrix-textpatch: re-texts a built intro. It finds the text block by its
// markers (the page-count byte just before "!QUANDRIX!", the 140 line slots
// just after "--TEXT START HERE--" and its NUL), shows what the pages hold,
// and writes new pages from a text file. The program is rewritten through
// platform::WriteFileAtomically (its mode kept, a symbolic link followed), so
// it is either the old file or the new one.
// The web build's page is a program too: the block lies in the module it
// carries as base64 (web_page.h).
//
// Text file format, one text line per line:
//   - a line starting with ';' is a comment and is ignored;
//   - an empty line ends a page (several in a row count as one);
//   - any other line is a page line: letters are upper-cased, the line is
//     padded with spaces to 31 characters; a line of only spaces is a blank
//     page line; spaces at the end of a line do not count toward the 31;
//   - a page gives at most 14 lines (the rest of it become blank), the file
//     at most 10 pages; pages after the last one given are left as they are.
// `show` prints the block in this format, so its output can be edited and
// set back.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/text_block.h"

namespace textpatch {

// Where the block's two parts are in the file.
struct BlockPlace {
    std::size_t countAt = 0;   // byte offset of the page-count byte
    std::size_t slotsAt = 0;   // byte offset of slot 0
};

// Finds the markers, each exactly once, with room for the count byte and
// all 140 slots. Otherwise false and a message naming the problem.
bool LocateBlock(std::span<const std::uint8_t> file, BlockPlace& place, std::string& error);

using Page = std::array<std::string, data::kTextLinesPerPage>;  // 31 characters each

// Reads the text file format above. `name` prefixes messages, which give the
// line (and the column of a character without a glyph), 1-based.
bool ParsePages(std::string_view text, std::string_view name, std::vector<Page>& pages, std::string& error);

// The block in the file format, with its page count in a comment.
std::string ShowBlock(std::span<const std::uint8_t> file, const BlockPlace& place);

// Writes pages 1..pages.size() (and the count, when given) into the file's bytes.
void ApplyPages(std::vector<std::uint8_t>& file, const BlockPlace& place, const std::vector<Page>& pages,
                std::optional<int> pageCount);

// The whole tool; returns the exit code: 0 done, 1 a file could not be read
// or written, 2 refused (bad usage, block not found, bad text, bad count).
int Main(std::span<const std::string_view> args, std::string& out, std::string& err);

}  // namespace textpatch
