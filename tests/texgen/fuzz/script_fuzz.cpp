// Arbitrary bytes as a texture script, count byte included: no access
// outside the layers or the input, no undefined behaviour, and the optimised
// kernels agree with the pass drivers byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>

#include "texgen/kernels.h"
#include "texgen/texgen.h"

namespace {

std::unique_ptr<texgen::TextureLayers> fast = texgen::CreateTextureLayers();
std::unique_ptr<texgen::TextureLayers> reference = texgen::CreateTextureLayers();

void ExpectSameLayers(const char* what) {
    for (int i = 0; i < texgen::layerCount; ++i) {
        if (std::memcmp(fast->layers[static_cast<std::size_t>(i)].data(), reference->layers[static_cast<std::size_t>(i)].data(),
                        texgen::layerBytes) != 0) {
            std::fprintf(stderr, "%s: layer %d differs from the pass drivers\n", what, i);
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> script(data, size);
    texgen::RunScript(*fast, script);
    // The pass drivers are slow; compare on scripts of a few instructions,
    // which is where the fuzzer finds new paths fastest anyway.
    if (size <= 1 + 6 * texgen::instructionBytes) {
        texgen::RunScriptReference(*reference, script);
        ExpectSameLayers("best vector path");
        const texgen::kernels::VectorPath best = texgen::kernels::SelectedVectorPath();
        if (best != texgen::kernels::VectorPath::Sse2 && texgen::kernels::SelectVectorPath(texgen::kernels::VectorPath::Sse2)) {
            texgen::RunScript(*fast, script);
            texgen::kernels::SelectVectorPath(best);
            ExpectSameLayers("SSE2 path");
        }
    }
    return 0;
}
