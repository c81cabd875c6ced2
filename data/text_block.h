#pragma once
// TextBlock: the texts of the pages, kept as two records of initialised data
// that a tool can find by their markers and overwrite inside the built
// executable (tools/textpatch). The layout below is therefore a contract with
// files already out there: every offset is fixed, integers are 32-bit little
// endian, nothing is padded.
//
// Header record (576 bytes):
//     0   4  offset of the marker "--TEXT START HERE--" from the start of the
//            line area (0)
//     4   1  page count, signed 8-bit (2 as shipped)
//     5  11  "!QUANDRIX!" and a NUL
//    16 560  140 slot offsets from the start of the line area, page-major:
//            line l (0..13) of page p (0..9) is entry 14 * p + l; as shipped
//            entry k is 20 + 32 * k, slot k
// Line area (4500 bytes):
//     0  20  "--TEXT START HERE--" and a NUL
//    20 4480 140 slots of 32 bytes: 31 characters padded with spaces, a NUL
//
// The fields at 0 and 16 would hold absolute 32-bit addresses in a 32-bit
// program. A 64-bit address does not fit there, so they hold offsets from
// the line area instead: the fields keep their size and place, and the
// program reaches a slot as line area + offset.
//
// The program reads the page count once at start-up and the lines every
// frame, always from the records themselves (volatile reads, so a patched
// file shows its new text and the compiler cannot fold the shipped one in).

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace data {

inline constexpr int kTextPages = 10;                           // pages in the block
inline constexpr int kTextLinesPerPage = 14;                    // lines per page
inline constexpr int kTextSlots = kTextPages * kTextLinesPerPage;  // 140
inline constexpr int kTextLineChars = 31;                       // characters per line
inline constexpr int kTextSlotBytes = 32;                       // characters and the NUL

// The two markers, spelled here only; the block stores each with its NUL.
inline constexpr char kHeaderMarkerText[] = "!QUANDRIX!";
inline constexpr char kLineMarkerText[] = "--TEXT START HERE--";
inline constexpr int kHeaderMarkerBytes = sizeof kHeaderMarkerText;  // 11, the NUL included
inline constexpr int kLineMarkerBytes = sizeof kLineMarkerText;      // 20, the NUL included

struct TextBlockHeader {
    std::uint32_t lineMarkerOffset;              // bytes from the line area to its marker: 0
    std::int8_t pageCount;                       // pages in use; 2 as shipped
    char marker[kHeaderMarkerBytes];             // "!QUANDRIX!"
    std::uint32_t lineOffsets[kTextSlots];       // bytes from the line area to each page line's slot
};

struct TextLineArea {
    char marker[kLineMarkerBytes];                   // "--TEXT START HERE--"
    char slots[kTextSlots][kTextSlotBytes];          // 31 characters, space padded, NUL
};

static_assert(std::endian::native == std::endian::little, "the block's integers are little endian in the file");
static_assert(sizeof(TextBlockHeader) == 576);
static_assert(offsetof(TextBlockHeader, lineMarkerOffset) == 0);
static_assert(offsetof(TextBlockHeader, pageCount) == 4);
static_assert(offsetof(TextBlockHeader, marker) == 5);
static_assert(offsetof(TextBlockHeader, lineOffsets) == 16);
static_assert(sizeof(TextLineArea) == 4500);
static_assert(offsetof(TextLineArea, marker) == 0);
static_assert(offsetof(TextLineArea, slots) == 20);

// The two records, one after the other in the executable's writable
// initialised data, so that the tool also finds them at a fixed distance
// (the line area's marker 571 bytes after the header's). Read them through
// the functions below, never directly.
struct TextBlock {
    TextBlockHeader header;
    TextLineArea lines;
};
static_assert(sizeof(TextBlock) == 576 + 4500 && offsetof(TextBlock, lines) == 576);

extern TextBlock textBlock;

// Whether an entry of the header's offset table leaves a whole slot inside
// the line area. The program reads a line whose entry does not as empty;
// the patch tool refuses such a block.
constexpr bool SlotOffsetFits(std::uint32_t offset) { return offset <= sizeof(TextLineArea) - kTextSlotBytes; }

// The pages the program shows for a stored page count: the count kept
// inside 1..kTextPages (a patch may have stored anything in the byte).
constexpr int ClampPageCount(int stored) { return stored < 1 ? 1 : stored > kTextPages ? kTextPages : stored; }

// The page-count byte as stored, sign-extended; not checked.
int ReadTextPageCount();

// Copies line `line` (0..13) of page `page` (0..9) into out, reached through
// the header's offset table: at most 31 characters, up to the first NUL.
// Returns the length. An offset that does not leave a whole slot inside the
// line area (a damaged block) reads as an empty line, and out of range page
// or line numbers do too.
int ReadTextLine(int page, int line, char (&out)[kTextSlotBytes]);

}  // namespace data
