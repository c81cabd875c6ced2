#pragma once
// quandrix-textpatch: re-texts a built intro. It finds the text block by its
// markers and reads it through the block's own layout (the page-count byte
// in the header around "!QUANDRIX!", the 140 line slots where the header's
// offset table puts them after "--TEXT START HERE--"), shows what the pages
// hold, and writes new pages from a text file. The program is rewritten through
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

// Where the block's parts are in the file.
struct BlockPlace {
    std::size_t countAt = 0;                              // byte offset of the page-count byte
    std::array<std::size_t, data::kTextSlots> slotAt{};   // byte offset of each line's slot, page-major
};

// Finds the markers, each exactly once, and reads the block through the
// layout of data/text_block.h, as the intro does: the header around its
// marker, the line area from its marker, each line's slot through the
// header's offset table. False with a message naming the problem when a
// marker is missing or doubled, a record is cut off by the end of the file,
// or an offset points outside the line area.
bool LocateBlock(std::span<const std::uint8_t> file, BlockPlace& place, std::string& error);

using Page = std::array<std::string, data::kTextLinesPerPage>;  // 31 characters each

// Reads the text file format above. `name` prefixes messages, which give the
// line (and the column of a character without a glyph), 1-based.
bool ParsePages(std::string_view text, std::string_view name, std::vector<Page>& pages, std::string& error);

// The block in the file format, with its page count in a comment.
std::string ShowBlock(std::span<const std::uint8_t> file, const BlockPlace& place);

// Writes pages 1..pages.size() (and the count, when given) into the file's
// bytes; shorter lines are padded with spaces. False with a message, and
// nothing written, for more than 10 pages, a line over 31 characters, a
// count outside 1..10 or a place outside the file.
bool ApplyPages(std::vector<std::uint8_t>& file, const BlockPlace& place, const std::vector<Page>& pages,
                std::optional<int> pageCount, std::string& error);

// The whole tool; returns the exit code: 0 done, 1 a file could not be read
// or written, 2 refused (bad usage, a folder named as a file, block not found
// or damaged, bad text, bad count).
int Main(std::span<const std::string_view> args, std::string& out, std::string& err);

}  // namespace textpatch
