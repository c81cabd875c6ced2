#include "tools/textpatch/web_page.h"

#include <algorithm>
#include <array>

namespace textpatch {

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kDataPrefix = "data:application/octet-stream;base64,";
constexpr std::array<std::uint8_t, 4> kWasmMagic{0x00, 0x61, 0x73, 0x6D};  // "\0asm"

constexpr std::array<std::int8_t, 256> DecodeTable() {
    std::array<std::int8_t, 256> table{};
    table.fill(-1);
    for (std::size_t i = 0; i < kAlphabet.size(); ++i) table[static_cast<std::uint8_t>(kAlphabet[i])] = static_cast<std::int8_t>(i);
    return table;
}
constexpr std::array<std::int8_t, 256> kDecode = DecodeTable();

bool IsBase64Char(std::uint8_t c) { return kDecode[c] >= 0 || c == '='; }

}  // namespace

bool DecodeBase64(std::string_view text, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    if (text.size() % 4 != 0) return false;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        std::uint32_t group = 0;
        int padding = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const auto c = static_cast<std::uint8_t>(text[i + k]);
            if (c == '=' && last && k >= 2) {
                ++padding;
                group <<= 6;
                continue;
            }
            // Padding only at the very end, and nothing after it.
            if (kDecode[c] < 0 || padding > 0) return false;
            group = group << 6 | static_cast<std::uint32_t>(kDecode[c]);
        }
        bytes.push_back(static_cast<std::uint8_t>(group >> 16));
        if (padding < 2) bytes.push_back(static_cast<std::uint8_t>(group >> 8));
        if (padding < 1) bytes.push_back(static_cast<std::uint8_t>(group));
    }
    return true;
}

std::string EncodeBase64(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = static_cast<std::uint32_t>(bytes[i]) << 16;
        if (n > 1) group |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
        if (n > 2) group |= bytes[i + 2];
        text += kAlphabet[group >> 18 & 63];
        text += kAlphabet[group >> 12 & 63];
        text += n > 1 ? kAlphabet[group >> 6 & 63] : '=';
        text += n > 2 ? kAlphabet[group & 63] : '=';
    }
    return text;
}

PageSearch FindEmbeddedModule(std::span<const std::uint8_t> page, EmbeddedModule& where, std::string& error) {
    int found = 0;
    auto it = page.begin();
    while ((it = std::search(it, page.end(), kDataPrefix.begin(), kDataPrefix.end())) != page.end()) {
        const auto begin = it + static_cast<std::ptrdiff_t>(kDataPrefix.size());
        const auto end = std::find_if_not(begin, page.end(), IsBase64Char);
        it = end;
        // The first four bytes come from the first eight characters.
        std::vector<std::uint8_t> head;
        if (end - begin < 8 || !DecodeBase64(std::string_view(reinterpret_cast<const char*>(&*begin), 8), head) ||
            !std::equal(kWasmMagic.begin(), kWasmMagic.end(), head.begin())) {
            continue;
        }
        if (++found > 1) {
            error = "the page holds more than one WebAssembly module: cannot tell which one is the intro";
            return PageSearch::Refused;
        }
        where.begin = static_cast<std::size_t>(begin - page.begin());
        where.end = static_cast<std::size_t>(end - page.begin());
    }
    return found == 1 ? PageSearch::Found : PageSearch::NotAPage;
}

}  // namespace textpatch
