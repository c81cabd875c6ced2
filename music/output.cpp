#include "music/output.h"

#include <algorithm>
#include <array>
#include <atomic>

#include "music/mixer.h"
#include "music/playback.h"
#include "music/stream.h"
#include "music/underruns.h"
#include "platform/thread.h"

namespace music {

namespace {

// The worker's look at the play position: every 5 ms.
constexpr unsigned kWorkerSleepMilliseconds = 5;
// Blocks in the ring: two buffers of 1000 ms in 20 ms blocks, at any rate.
constexpr std::size_t kMaxBlocks = 2 * kBufferMilliseconds / kBlockMilliseconds;

struct Output {
    const platform::AudioDeviceOps* device = &platform::SystemAudioDevice();
    bool deviceOpen = false;
    platform::ThreadHandle* worker = nullptr;
    // Of the three flags the worker and StopPlayback once shared (stop
    // request, busy, finished), only the stop request is still read: the
    // worker looks at it before each block and each sleep. StopPlayback
    // joins the worker, which waits for the block in progress and for the
    // worker's end, so neither a busy nor a finished flag has a reader.
    // Atomic, since a plain byte shared by two threads is a data race in C++.
    std::atomic<bool> stopRequest{false};
    std::atomic<std::uint64_t> renderedBlocks{0};
    // For display: order position << 16 | row at the start of each ring block.
    std::array<std::atomic<std::uint32_t>, kMaxBlocks> blockStarts{};
    // The late-block watch, touched only by whoever renders (the main thread
    // until the worker starts, then the worker): the block the play position
    // was in at the last look, counted from StartPlayback, and which ring
    // blocks hold sound rendered since the device last entered them.
    std::uint64_t seenBlock = 0;
    std::array<bool, kMaxBlocks> fresh{};
};

Output output;

void RenderOneBlock() {
    if (mixer.song && static_cast<std::size_t>(mixer.writeIndex) < kMaxBlocks) {
        const auto start = static_cast<std::uint32_t>(mixer.song->orderPosition & 0xFFFF) << 16 |
                           static_cast<std::uint32_t>(mixer.song->row & 0xFFFF);
        output.blockStarts[static_cast<std::size_t>(mixer.writeIndex)].store(start, std::memory_order_relaxed);
        output.fresh[static_cast<std::size_t>(mixer.writeIndex)] = true;
    }
    RenderBlock();
    // Release: whoever sees the count also sees the block and the write index.
    output.renderedBlocks.fetch_add(1, std::memory_order_release);
}

// Counts the blocks the play position entered since the last look: each is
// late when it still holds the sound of one ring pass earlier, and entering
// it uses up what was rendered into it. The ring's blocks come around in
// order, so of more than a ring's worth of entries in one look only the
// first ring's worth can find anything rendered; the rest are all late.
void CountEnteredBlocks(std::uint64_t bytes) {
    const auto blocks = static_cast<std::uint64_t>(mixer.blockCount);
    if (blocks == 0 || blocks > kMaxBlocks || mixer.blockFrames < 1) return;
    const std::uint64_t now = bytes / 4 / static_cast<std::uint64_t>(mixer.blockFrames);
    if (now <= output.seenBlock) return;
    const std::uint64_t entered = now - output.seenBlock;
    const std::uint64_t once = std::min(entered, blocks);
    for (std::uint64_t block = output.seenBlock + 1; block <= output.seenBlock + once; ++block) {
        bool& fresh = output.fresh[static_cast<std::size_t>(block % blocks)];
        CountPlayedBlocks(1, !fresh);
        fresh = false;
    }
    CountPlayedBlocks(entered - once, true);
    output.seenBlock = now;
}

// The worker's loop body: each block, in order, that the play position has
// left, and not a block more once a stop is requested.
void RenderBlocksBehind() {
    const std::uint64_t bytes = output.device->position();
    CountEnteredBlocks(bytes);
    const std::int32_t playing = PlayingBlock(bytes, mixer.ringFrames, mixer.blockFrames);
    while (mixer.writeIndex != playing && !output.stopRequest.load()) RenderOneBlock();
}

// The refill of a device without threads: the worker's loop body, then the
// frames rendered since the ring was queued (the prefill's and each block's
// since, in the order they play).
std::uint64_t RefillBehind() {
    RenderBlocksBehind();
    return RenderedBlockCount() * static_cast<std::uint64_t>(mixer.blockFrames);
}

}  // namespace

void SetAudioDevice(const platform::AudioDeviceOps* device) {
    output.device = device ? device : &platform::SystemAudioDevice();
}

void ResetOutput() {
    if (output.worker || output.deviceOpen) return;
    output.device = &platform::SystemAudioDevice();
    output.stopRequest.store(false);
    output.renderedBlocks.store(0);
    for (auto& start : output.blockStarts) start.store(0, std::memory_order_relaxed);
    ResetUnderruns();
}

std::int32_t PlayingBlock(std::uint64_t bytes, std::int32_t ringFrames, std::int32_t blockFrames) {
    if (ringFrames < 1 || blockFrames < 1) return 0;
    return static_cast<std::int32_t>(((bytes / 4) % static_cast<std::uint64_t>(ringFrames)) /
                                     static_cast<std::uint64_t>(blockFrames));
}

bool OpenAudio(std::int32_t rate) {
    if (!StreamOpsInstalled()) return false;
    CloseAudio();
    if (!output.device->open(rate)) return false;
    output.deviceOpen = true;
    SetUpVoiceTable(output.device->ownRate ? output.device->ownRate() : rate);
    return true;
}

void CloseAudio() {
    // Reset first: the device lets go of the ring before anyone frees it.
    output.device->reset();
    output.device->close();
    output.deviceOpen = false;
}

bool StartPlayback(Module* song, std::uint64_t fromBlock) {
    if (!song) return false;
    StopPlayback(song);
    ResetPlayback(*song);
    AttachSong(song);
    if (!AllocateOutputRing() || !AllocateMixRing()) {
        ReleaseMixRing();
        DetachSong();
        return false;
    }
    SkipSongBlocks(fromBlock);
    // The prefill: every block once, until the write index is back at 0.
    output.renderedBlocks.store(0, std::memory_order_relaxed);
    do {
        RenderOneBlock();
    } while (mixer.writeIndex != 0);
    // The device starts in block 0, using up its first rendering.
    ResetUnderruns();
    output.seenBlock = 0;
    output.fresh[0] = false;
    output.device->play(mixer.outputRing.get(), static_cast<std::size_t>(mixer.ringFrames));

    output.stopRequest.store(false);
    if (output.device->setRefill) {
        // No thread: the device's own callback renders what it has played.
        output.device->setRefill(RefillBehind);
        return true;
    }
    output.worker = platform::StartTimeCriticalThread("AudioWorker", AudioWorker, nullptr);
    if (!output.worker) {
        // Without the worker the ring would repeat its first two seconds.
        output.device->reset();
        ReleaseMixRing();
        DetachSong();
        return false;
    }
    return true;
}

bool StopPlayback(Module* song) {
    if (!song) return false;
    output.stopRequest.store(true);
    if (output.device->setRefill) output.device->setRefill(nullptr);
    if (output.worker) {
        // The block in progress is finished first; the join returns as soon
        // as the worker has ended, and the thread is released.
        platform::JoinThread(output.worker);
        output.worker = nullptr;
    }
    ReleaseMixRing();
    DetachSong();
    return true;
}

int AudioWorker(void*) {
    while (!output.stopRequest.load()) {
        // A stop request takes effect after the block in progress, not after
        // every block the worker is behind.
        RenderBlocksBehind();
        platform::SleepMilliseconds(kWorkerSleepMilliseconds);
    }
    return 0;
}

std::uint64_t RenderedBlockCount() { return output.renderedBlocks.load(std::memory_order_acquire); }

HeardPosition CurrentHeardPosition() {
    const std::uint64_t bytes = output.device->position();
    const auto block = static_cast<std::size_t>(PlayingBlock(bytes, mixer.ringFrames, mixer.blockFrames));
    const std::uint32_t start = block < kMaxBlocks ? output.blockStarts[block].load(std::memory_order_relaxed) : 0;
    return HeardPosition{static_cast<std::int32_t>(start >> 16), static_cast<std::int32_t>(start & 0xFFFF),
                         static_cast<double>(bytes / 4) / static_cast<double>(mixer.rate)};
}

}  // namespace music
