// The opcode table: which operator an opcode names and which pass runs it.
// Dispatch is a look-up in a 256-entry index built from the table at compile
// time; every opcode not in the table is a no-operation.
#include <array>

#include "texgen/kernels.h"
#include "texgen/texgen.h"

namespace texgen {
namespace {

constexpr OpcodeEntry MakeGenerator(std::uint8_t opcode, const char* name, GeneratorFunction f, KernelFunction k) {
    return {opcode, name, Pass::Generator, f, nullptr, nullptr, nullptr, k};
}
constexpr OpcodeEntry MakeFilter(std::uint8_t opcode, const char* name, FilterFunction f, KernelFunction k) {
    return {opcode, name, Pass::Filter, nullptr, f, nullptr, nullptr, k};
}
constexpr OpcodeEntry MakeWarp(std::uint8_t opcode, const char* name, DisplacementFunction f, KernelFunction k) {
    return {opcode, name, Pass::Warp, nullptr, nullptr, f, nullptr, k};
}
constexpr OpcodeEntry MakeCombiner(std::uint8_t opcode, const char* name, CombinerFunction f, KernelFunction k) {
    return {opcode, name, Pass::Combine, nullptr, nullptr, nullptr, f, k};
}

// Stable ids: the high nibble is the family (0 generators, 1 filters,
// 2 warps, 3 combiners). Scripts are bytes, so an id never changes meaning.
constexpr std::array<OpcodeEntry, 16> opcodeTable{{
    // Generators: paint one channel from (x, y).
    MakeGenerator(0x01, "Fill", &Fill, &kernels::Fill),
    MakeGenerator(0x02, "Noise", &Noise, &kernels::Noise),
    MakeGenerator(0x03, "Spot", &Spot, &kernels::Spot),
    MakeGenerator(0x04, "SmoothNoise", &SmoothNoise, &kernels::SmoothNoise),
    // Filters: each pixel from its own three channels.
    MakeFilter(0x11, "Brightness", &Brightness, &kernels::Brightness),
    MakeFilter(0x12, "SumRamp", &SumRamp, &kernels::SumRamp),
    MakeFilter(0x13, "Grey", &Grey, &kernels::Grey),
    // Warps: resample the layer at displaced positions.
    MakeWarp(0x21, "Shift", &Shift, &kernels::Shift),
    MakeWarp(0x22, "SineWarp", &SineWarp, &kernels::SineWarp),
    // Combiners: merge a source layer into the destination.
    MakeCombiner(0x31, "Add", &Add, &kernels::Add),
    MakeCombiner(0x32, "Subtract", &Subtract, &kernels::Subtract),
    MakeCombiner(0x33, "Multiply", &Multiply, &kernels::Multiply),
    MakeCombiner(0x34, "Min", &Min, &kernels::Min),
    MakeCombiner(0x35, "Max", &Max, &kernels::Max),
    MakeCombiner(0x36, "Copy", &Copy, &kernels::Copy),
    MakeCombiner(0x37, "Mix", &Mix, &kernels::Mix),
}};

// opcode -> position in opcodeTable + 1, 0 for "no operation".
constexpr std::array<std::uint8_t, 256> opcodeIndex = [] {
    std::array<std::uint8_t, 256> index{};
    for (std::size_t i = 0; i < opcodeTable.size(); ++i) index[opcodeTable[i].opcode] = static_cast<std::uint8_t>(i + 1);
    return index;
}();

constexpr bool TableIsConsistent() {
    for (std::size_t i = 0; i < opcodeTable.size(); ++i) {
        const OpcodeEntry& e = opcodeTable[i];
        if (opcodeIndex[e.opcode] != i + 1) return false;  // duplicate id
        if (static_cast<int>(e.pass) != (e.opcode >> 4)) return false;  // family nibble
        const int set = (e.generator != nullptr) + (e.filter != nullptr) + (e.displacement != nullptr) +
                        (e.combiner != nullptr);
        if (set != 1 || e.kernel == nullptr) return false;
    }
    return true;
}
static_assert(TableIsConsistent(), "each opcode once, in its family, with one operator and a kernel");

}  // namespace

std::span<const OpcodeEntry> OpcodeTable() { return opcodeTable; }

const OpcodeEntry* FindOpcode(std::uint8_t opcode) {
    const std::uint8_t i = opcodeIndex[opcode];
    return i == 0 ? nullptr : &opcodeTable[i - 1u];
}

}  // namespace texgen
