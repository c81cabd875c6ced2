// The text patcher's scanner over any bytes, as `show` and `set` meet a
// file: the search for a page's embedded module and its base64, the search
// for the block's markers and its offset table, the display and a patch.
// Besides reading and writing nothing out of bounds: a module encodes back
// to the length it was read from (the page keeps its size and nothing
// moves), and a block that was found takes any page that fits it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tools/textpatch/textpatch.h"
#include "tools/textpatch/web_page.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    std::vector<std::uint8_t> program(bytes, bytes + size);
    textpatch::EmbeddedModule where;
    std::string error;
    switch (textpatch::FindEmbeddedModule(program, where, error)) {
    case textpatch::PageSearch::Refused:
        return 0;
    case textpatch::PageSearch::NotAPage:
        break;
    case textpatch::PageSearch::Found: {
        if (where.begin > where.end || where.end > size) std::abort();
        const std::string_view text(reinterpret_cast<const char*>(bytes) + where.begin, where.end - where.begin);
        if (!textpatch::DecodeBase64(text, program)) return 0;
        if (textpatch::EncodeBase64(program).size() != text.size()) std::abort();
        break;
    }
    }
    textpatch::BlockPlace place;
    if (!textpatch::LocateBlock(program, place, error)) return 0;
    const std::string shown = textpatch::ShowBlock(program, place);
    textpatch::Page page;
    page.fill(std::string(data::kTextLineChars, 'A'));
    if (!textpatch::ApplyPages(program, place, {page}, 3, error)) std::abort();
    return 0;
}
