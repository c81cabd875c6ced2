#pragma once
// Helpers shared by the texture generator tests: building scripts from
// instruction lists, reading and painting layers, and checksums.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "texgen/texgen.h"

namespace texgen::test {

// One instruction written as its 9 bytes; missing trailing bytes are 0.
struct Op {
    std::uint8_t bytes[instructionBytes] = {};
    Op(std::initializer_list<int> values) {
        int i = 0;
        for (int v : values) bytes[i++] = static_cast<std::uint8_t>(v);
    }
};

// Count byte + instructions.
inline std::vector<std::uint8_t> Script(std::initializer_list<Op> ops) {
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(ops.size())};
    for (const Op& op : ops) out.insert(out.end(), op.bytes, op.bytes + instructionBytes);
    return out;
}

// FNV-1a over the layer's 196,608 bytes.
inline std::uint64_t Checksum(const Layer& layer) {
    std::uint64_t h = 14695981039346656037ull;
    const std::uint8_t* p = Bytes(layer);
    for (int i = 0; i < layerBytes; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// An instruction from its leading bytes (opcode, destination, p1, ...).
inline Instruction Make(std::initializer_list<int> values) {
    Op op(values);
    return DecodeInstruction(op.bytes);
}

}  // namespace texgen::test
