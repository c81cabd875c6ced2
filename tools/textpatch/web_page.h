#pragma once
// The web build's page carries the program inside itself: the WebAssembly
// module as base64 in a data: address (data:application/octet-stream;base64,
// ...), so that one file holds everything. The text block lies in the
// module's bytes; to reach it the patcher decodes the module, patches it and
// encodes it back into the same place. Base64 of the same number of bytes
// has the same length, so the page keeps its size and nothing else moves.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace textpatch {

// Where the module's base64 text lies in the page.
struct EmbeddedModule {
    std::size_t begin = 0;  // byte offset of the first base64 character
    std::size_t end = 0;    // byte offset just past the last one
};

enum class PageSearch {
    NotAPage,  // no embedded module: the file is a program (or a .wasm) itself
    Found,     // exactly one embedded WebAssembly module
    Refused,   // more than one, or a data: address that does not decode
};

// Looks for data: addresses of base64 bytes that hold a WebAssembly module
// (they begin with "\0asm"). Addresses holding anything else are passed by.
PageSearch FindEmbeddedModule(std::span<const std::uint8_t> page, EmbeddedModule& where, std::string& error);

// Standard base64 with padding. Decoding refuses any other character and a
// length that is not a multiple of four.
bool DecodeBase64(std::string_view text, std::vector<std::uint8_t>& bytes);
std::string EncodeBase64(std::span<const std::uint8_t> bytes);

}  // namespace textpatch
