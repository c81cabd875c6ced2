// The four pass drivers: how an operator is walked over a layer. These are
// the plain statement of the machine; the optimised kernels must match them.
#include <algorithm>
#include <cstring>
#include <new>

#include "texgen/texgen.h"

namespace texgen {
namespace {

// One corner's share of a bilinear sample: each channel times the weight,
// truncated and clamped on its own.
Pixel Weighted(const Pixel& p, float weight) {
    auto term = [weight](std::uint8_t c) {
        return static_cast<std::uint8_t>(std::clamp(static_cast<int>(static_cast<float>(c) * weight), 0, 255));
    };
    Pixel out;
    out.Set(term(p.r), term(p.g), term(p.b));
    return out;
}

}  // namespace

std::unique_ptr<TextureLayers> CreateTextureLayers() {
    // Value-initialised, so every pixel starts black.
    return std::unique_ptr<TextureLayers>(new (std::nothrow) TextureLayers());
}

WarpScratch& GetWarpScratch() {
    // Static storage, zero from the start; shared by every warp.
    static WarpScratch scratch;
    return scratch;
}

Instruction DecodeInstruction(const std::uint8_t* bytes) {
    Instruction in;
    std::memcpy(&in, bytes, sizeof in);
    return in;
}

bool InstructionFits(const Instruction& in, Pass pass) {
    if (in.LayerIndex() >= layerCount) return false;
    if (pass == Pass::Generator && in.ChannelIndex() > 2) return false;
    if (pass == Pass::Combine && in.SourceLayerIndex() >= layerCount) return false;
    return true;
}

void GeneratorPass(TextureLayers& layers, GeneratorFunction generator, const Instruction& in) {
    if (!InstructionFits(in, Pass::Generator)) return;
    Layer& layer = layers.layers[static_cast<std::size_t>(in.LayerIndex())];
    const int channel = in.ChannelIndex();
    for (int y = 0; y < layerSize; ++y) {
        for (int x = 0; x < layerSize; ++x) At(layer, x, y).Channel(channel) = generator(x, y, in);
    }
}

void FilterPass(TextureLayers& layers, FilterFunction filter, const Instruction& in) {
    if (!InstructionFits(in, Pass::Filter)) return;
    Layer& layer = layers.layers[static_cast<std::size_t>(in.LayerIndex())];
    for (int y = 0; y < layerSize; ++y) {
        for (int x = 0; x < layerSize; ++x) filter(x, y, in, At(layer, x, y));
    }
}

void WarpPass(TextureLayers& layers, DisplacementFunction displacement, const Instruction& in) {
    struct Call {
        DisplacementFunction displacement;
        const Instruction* in;
    } call{displacement, &in};
    WarpPassAt(layers, in, [](int x, int y, const void* context) {
        const auto* c = static_cast<const Call*>(context);
        return c->displacement(x, y, *c->in);
    }, &call);
}

void WarpPassAt(TextureLayers& layers, const Instruction& in, PositionFunction positionAt, const void* context) {
    if (!InstructionFits(in, Pass::Warp)) return;
    Layer& layer = layers.layers[static_cast<std::size_t>(in.LayerIndex())];
    // Reads come from the copy, writes go to the layer: no feedback.
    Layer& source = GetWarpScratch().layer;
    source = layer;
    for (int y = 0; y < layerSize; ++y) {
        for (int x = 0; x < layerSize; ++x) {
            const SourcePosition position = positionAt(x, y, context);
            // The offset of 256 keeps every position a byte can produce
            // positive, so truncation is the floor.
            const float u = position.u + 256.0f;
            const float v = position.v + 256.0f;
            const int iu = static_cast<int>(u);
            const int iv = static_cast<int>(v);
            const float fu = u - static_cast<float>(iu);
            const float fv = v - static_cast<float>(iv);
            const float w00 = (1.0f - fu) * (1.0f - fv);
            const float w10 = fu * (1.0f - fv);
            const float w01 = (1.0f - fu) * fv;
            const float w11 = fu * fv;
            const int c0 = iu & 255;
            const int c1 = (iu + 1) & 255;
            const int r0 = iv & 255;
            const int r1 = (iv + 1) & 255;
            Pixel out;
            out.AddSaturated(Weighted(At(source, c0, r0), w00));
            out.AddSaturated(Weighted(At(source, c1, r0), w10));
            out.AddSaturated(Weighted(At(source, c0, r1), w01));
            out.AddSaturated(Weighted(At(source, c1, r1), w11));
            At(layer, x, y) = out;
        }
    }
}

void CombinePass(TextureLayers& layers, CombinerFunction combiner, const Instruction& in) {
    if (!InstructionFits(in, Pass::Combine)) return;
    Layer& destination = layers.layers[static_cast<std::size_t>(in.LayerIndex())];
    const Layer& source = layers.layers[static_cast<std::size_t>(in.SourceLayerIndex())];
    for (std::size_t i = 0; i < destination.size(); ++i) combiner(destination[i], source[i], in);
}

}  // namespace texgen
