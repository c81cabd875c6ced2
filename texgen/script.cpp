// Running a script: clear the layers, then one pass per instruction.
#include <algorithm>

#include "texgen/texgen.h"

namespace texgen {
namespace {

void ClearLayers(TextureLayers& layers) {
    for (Layer& layer : layers.layers) layer.fill(Pixel{});
}

// Calls run(entry, instruction) for every instruction of the script that is
// wholly present, names a known opcode and fits the machine.
template <typename Run>
void ForEachInstruction(std::span<const std::uint8_t> script, Run run) {
    if (script.empty()) return;
    // Trusted scripts are exactly 1 + 9N bytes; a shorter byte string runs
    // only the instructions it holds in full.
    const std::size_t present = (script.size() - 1) / instructionBytes;
    const std::size_t count = std::min<std::size_t>(script[0], present);
    for (std::size_t i = 0; i < count; ++i) {
        const Instruction in = DecodeInstruction(script.data() + 1 + i * instructionBytes);
        const OpcodeEntry* entry = FindOpcode(in.opcode);
        if (entry == nullptr || !InstructionFits(in, entry->pass)) continue;
        run(*entry, in);
    }
}

}  // namespace

const Layer& RunScript(TextureLayers& layers, std::span<const std::uint8_t> script) {
    ClearLayers(layers);
    ForEachInstruction(script, [&](const OpcodeEntry& entry, const Instruction& in) { entry.kernel(layers, in); });
    return layers.layers[0];
}

const Layer& RunScriptReference(TextureLayers& layers, std::span<const std::uint8_t> script) {
    ClearLayers(layers);
    ForEachInstruction(script, [&](const OpcodeEntry& entry, const Instruction& in) {
        switch (entry.pass) {
            case Pass::Generator: GeneratorPass(layers, entry.generator, in); break;
            case Pass::Filter: FilterPass(layers, entry.filter, in); break;
            case Pass::Warp: WarpPass(layers, entry.displacement, in); break;
            case Pass::Combine: CombinePass(layers, entry.combiner, in); break;
        }
    });
    return layers.layers[0];
}

}  // namespace texgen
