// Fuzz target: loads any bytes as an XM song through the stream table, checks
// what the loaded song promises the engine, and frees it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "music/xm_loader.h"
#include "tests/music/xm_builder.h"
#include "tests/music/module_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    music::LoadReport report;
    music::Module* module = xmtest::LoadBytes(data, size, &report);
    if (module) {
        const std::string broken = xmtest::BrokenInvariant(*module);
        if (!broken.empty()) {
            std::fprintf(stderr, "loaded song breaks an invariant: %s\n", broken.c_str());
            std::abort();
        }
    } else if (report.failure == music::LoadFailure::None || music::DescribeLoadFailure(report).empty()) {
        std::fprintf(stderr, "rejected without a reason\n");
        std::abort();
    }
    music::FreeModule(module);
    return 0;
}
