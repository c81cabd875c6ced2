#include "music/underruns.h"

#include <atomic>
#include <cstdio>

#include "music/mixer.h"

namespace music {

namespace {

// Relaxed atomics: the reader wants a recent count, not an order with the
// rings; the counting thread alone writes.
std::atomic<std::uint64_t> lateBlocks{0};
std::atomic<std::uint64_t> longestRun{0};
std::atomic<std::uint64_t> currentRun{0};

}  // namespace

void CountPlayedBlocks(std::uint64_t blocks, bool late) {
    if (blocks == 0) return;
    if (!late) {
        currentRun.store(0, std::memory_order_relaxed);
        return;
    }
    lateBlocks.fetch_add(blocks, std::memory_order_relaxed);
    const std::uint64_t run = currentRun.load(std::memory_order_relaxed) + blocks;
    currentRun.store(run, std::memory_order_relaxed);
    if (run > longestRun.load(std::memory_order_relaxed)) longestRun.store(run, std::memory_order_relaxed);
}

Underruns CurrentUnderruns() {
    return Underruns{lateBlocks.load(std::memory_order_relaxed), longestRun.load(std::memory_order_relaxed)};
}

void ResetUnderruns() {
    lateBlocks.store(0, std::memory_order_relaxed);
    longestRun.store(0, std::memory_order_relaxed);
    currentRun.store(0, std::memory_order_relaxed);
}

std::string DescribeUnderruns(const Underruns& underruns) {
    const auto seconds = [](std::uint64_t blocks) {
        return static_cast<double>(blocks) * kBlockMilliseconds / 1000.0;
    };
    char text[160];
    std::snprintf(text, sizeof text, "%llu block%s (%.2f s) of sound played before %s rendered, the longest run %.2f s",
                  static_cast<unsigned long long>(underruns.lateBlocks), underruns.lateBlocks == 1 ? "" : "s",
                  seconds(underruns.lateBlocks), underruns.lateBlocks == 1 ? "it was" : "they were",
                  seconds(underruns.longestRun));
    return text;
}

}  // namespace music
