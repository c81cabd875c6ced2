#include "data/text_block.h"

#include <array>

namespace data {
namespace {

using Page = std::array<std::string_view, kTextLinesPerPage>;

// Page 1: the announcement.
constexpr Page kAnnouncement = {
    "*** HELLO AND WELCOME BACK ***",
    "",
    "   THE QUIET RASTER SOCIETY",
    "       PROUDLY PRESENTS",
    "",
    "       - QUANDRIX 2OO5 -",
    "",
    "CRACKED BY ........ THE CRACKER",
    "SUPPLIED BY ...... THE SUPPLIER",
    "PACKED BY .......... THE PACKER",
    "",
    "EVERY FRAME DRAWN, NONE FAKED",
    "",
    "  ...SO LEAN BACK AND WATCH!",
};

// Page 2: who made it.
constexpr Page kCredits = {
    "   THE SOCIETY IS, THIS TIME",
    "",
    "CODE .............. GRUMBLEFISH",
    "TEXTURES ............... OXALIS",
    "MUSIC .................. TINPAN",
    "LOGO AND FONTS ....... MOTHWING",
    "POINT SETS ........... KESTRAAN",
    "MORAL SUPPORT ...... SPROCKET 9",
    "",
    " NO PIXELS WERE HARMED IN THE",
    "  MAKING OF THIS LITTLE INTRO",
    "",
    "",
    "   SEE YOU AT THE NEXT ONE!",
};

constexpr void PutLine(char (&slot)[kTextSlotBytes], std::string_view text) {
    for (int i = 0; i < kTextLineChars; ++i) {
        slot[i] = i < static_cast<int>(text.size()) ? text[static_cast<std::size_t>(i)] : ' ';
    }
    slot[kTextLineChars] = '\0';
}

constexpr bool FitsALine(const Page& page) {
    for (std::string_view line : page) {
        if (line.size() > static_cast<std::size_t>(kTextLineChars)) return false;
    }
    return true;
}
static_assert(FitsALine(kAnnouncement) && FitsALine(kCredits), "a page line holds 31 characters");

// ".............PAGE 3............": 13 dots, the page number, dots to 31.
constexpr void PutPlaceholder(char (&slot)[kTextSlotBytes], int pageNumber) {
    char text[kTextLineChars] = {};
    int n = 0;
    for (; n < 13; ++n) text[n] = '.';
    for (char c : std::string_view("PAGE ")) text[n++] = c;
    if (pageNumber >= 10) text[n++] = static_cast<char>('0' + pageNumber / 10);
    text[n++] = static_cast<char>('0' + pageNumber % 10);
    while (n < kTextLineChars) text[n++] = '.';
    PutLine(slot, std::string_view(text, kTextLineChars));
}

constexpr void PutMarker(char* out, std::string_view text) {
    std::size_t i = 0;
    for (; i < text.size(); ++i) out[i] = text[i];
    out[i] = '\0';
}

constexpr TextLineArea MakeLineArea() {
    TextLineArea area{};
    PutMarker(area.marker, kLineMarkerText);
    for (int line = 0; line < kTextLinesPerPage; ++line) {
        PutLine(area.slots[line], kAnnouncement[static_cast<std::size_t>(line)]);
        PutLine(area.slots[kTextLinesPerPage + line], kCredits[static_cast<std::size_t>(line)]);
    }
    for (int page = 2; page < kTextPages; ++page) {
        for (int line = 0; line < kTextLinesPerPage; ++line) {
            PutPlaceholder(area.slots[page * kTextLinesPerPage + line], page + 1);
        }
    }
    return area;
}

constexpr TextBlockHeader MakeHeader() {
    TextBlockHeader header{};
    header.lineMarkerOffset = offsetof(TextLineArea, marker);
    header.pageCount = 2;
    PutMarker(header.marker, kHeaderMarkerText);
    for (int k = 0; k < kTextSlots; ++k) {
        header.lineOffsets[k] = static_cast<std::uint32_t>(offsetof(TextLineArea, slots) + kTextSlotBytes * k);
    }
    return header;
}

}  // namespace

// Writable, constant-initialised and kept even though nothing in the program
// names their markers: the tool finds them in the file, and the program
// reads what the file holds.
[[gnu::used]] constinit TextBlock textBlock = {MakeHeader(), MakeLineArea()};

int ReadTextPageCount() {
    const volatile std::int8_t& count = textBlock.header.pageCount;
    return count;
}

int ReadTextLine(int page, int line, char (&out)[kTextSlotBytes]) {
    out[0] = '\0';
    if (page < 0 || page >= kTextPages || line < 0 || line >= kTextLinesPerPage) return 0;
    const volatile std::uint32_t* offsets = textBlock.header.lineOffsets;
    const std::uint32_t offset = offsets[page * kTextLinesPerPage + line];
    if (!SlotOffsetFits(offset)) return 0;
    const volatile char* slot = reinterpret_cast<const volatile char*>(&textBlock.lines) + offset;
    int n = 0;
    while (n < kTextLineChars && slot[n] != '\0') {
        out[n] = slot[n];
        ++n;
    }
    out[n] = '\0';
    return n;
}

}  // namespace data
