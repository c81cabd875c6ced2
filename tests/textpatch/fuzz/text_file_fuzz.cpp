// The text patcher's reader of page files over any bytes. Besides reading
// nothing out of bounds, whatever it accepts must survive the way out and
// back: written into a block, shown in the file format and read again, it
// gives the same pages (what `show` prints can be edited and set back).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tools/textpatch/textpatch.h"

namespace {

// A bare text block as the intro ships it: the header, its offset table
// pointing at slot k for entry k, and the line area of blank slots.
std::vector<std::uint8_t> BareBlock() {
    std::vector<std::uint8_t> file(sizeof(data::TextBlock), 0);
    auto* block = reinterpret_cast<data::TextBlock*>(file.data());
    block->header.pageCount = 2;
    std::memcpy(block->header.marker, data::kHeaderMarkerText, data::kHeaderMarkerBytes);
    std::memcpy(block->lines.marker, data::kLineMarkerText, data::kLineMarkerBytes);
    for (std::uint32_t k = 0; k < data::kTextSlots; ++k) {
        block->header.lineOffsets[k] = offsetof(data::TextLineArea, slots) + k * data::kTextSlotBytes;
        std::memset(block->lines.slots[k], ' ', data::kTextLineChars);
    }
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    std::vector<textpatch::Page> pages;
    std::string error;
    if (!textpatch::ParsePages(text, "fuzz", pages, error)) return 0;

    static const std::vector<std::uint8_t> bare = BareBlock();
    std::vector<std::uint8_t> file = bare;
    textpatch::BlockPlace place;
    if (!textpatch::LocateBlock(file, place, error) || !textpatch::ApplyPages(file, place, pages, {}, error)) {
        std::abort();  // accepted pages always fit a sound block
    }
    const std::string shown = textpatch::ShowBlock(file, place);
    std::vector<textpatch::Page> again;
    if (!textpatch::ParsePages(shown, "shown", again, error) || again.size() < pages.size()) std::abort();
    for (std::size_t page = 0; page < pages.size(); ++page) {
        if (again[page] != pages[page]) std::abort();
    }
    return 0;
}
