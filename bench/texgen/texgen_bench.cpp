// The five built-in scripts on the CPU: the straightforward pass drivers
// (per-pixel operator calls, a sine pair per warped pixel) against the
// optimised kernels, per script and for all five together as
// BuildGeneratedTextures runs them (working layers allocated once, five
// scripts). Target: all five under 3 ms on one core.
#include <string>

#include <benchmark/benchmark.h>

#include "data/texture_scripts.h"
#include "gfx/texture_slots.h"
#include "texgen/kernels.h"
#include "texgen/texgen.h"

namespace {

using texgen::kernels::VectorPath;

enum class Machine { Straightforward, Optimised };

struct Variant {
    const char* name;
    Machine machine;
    VectorPath path;  // for the optimised kernels
};

const Variant variants[] = {
    {"straightforward", Machine::Straightforward, VectorPath::Portable},
    {"optimised-portable", Machine::Optimised, VectorPath::Portable},  // the web page's path
    {"optimised-sse2", Machine::Optimised, VectorPath::Sse2},
    {"optimised-avx2", Machine::Optimised, VectorPath::Avx2},
};

const texgen::Layer& Run(const Variant& v, texgen::TextureLayers& layers, std::span<const std::uint8_t> script) {
    return v.machine == Machine::Straightforward ? texgen::RunScriptReference(layers, script)
                                                 : texgen::RunScript(layers, script);
}

void AllFive(benchmark::State& state, const Variant& v) {
    texgen::kernels::SelectVectorPath(v.path);
    for (auto _ : state) {
        auto layers = texgen::CreateTextureLayers();
        for (const gfx::TextureSlotInfo& script : gfx::generatedSlots) benchmark::DoNotOptimize(Bytes(Run(v, *layers, script.script)));
    }
}

void OneScript(benchmark::State& state, const Variant& v, std::size_t index) {
    texgen::kernels::SelectVectorPath(v.path);
    auto layers = texgen::CreateTextureLayers();
    for (auto _ : state) benchmark::DoNotOptimize(Bytes(Run(v, *layers, gfx::generatedSlots[index].script)));
}

}  // namespace

int main(int argc, char** argv) {
    for (const Variant& v : variants) {
        if (!texgen::kernels::VectorPathSupported(v.path)) continue;
        benchmark::RegisterBenchmark((std::string("AllFive/") + v.name).c_str(), AllFive, v)
            ->Unit(benchmark::kMillisecond);
    }
    for (std::size_t i = 0; i < gfx::generatedSlots.size(); ++i) {
        for (const Variant& v : variants) {
            if (!texgen::kernels::VectorPathSupported(v.path)) continue;
            benchmark::RegisterBenchmark((std::string(gfx::generatedSlots[i].name) + "/" + v.name).c_str(), OneScript, v, i)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
