#include "music/offline_render.h"

#include <algorithm>
#include <cstring>

#include "music/mixer.h"
#include "music/playback.h"

namespace music {

namespace {

// The prefill is not rendered ahead: the ring's blocks are rendered when the
// reader reaches them, first block 0 to the last, then each again, which is
// the order StartPlayback and the output thread render them in. So a short
// render costs no more than the frames it hands out.
struct OfflineRender {
    bool running = false;
    std::uint64_t played = 0;    // frames handed out since the start
    std::uint64_t rendered = 0;  // frames rendered from the start on; played..rendered are in the ring
};

OfflineRender render;

}  // namespace

bool StartOfflineRender(Module& song, std::int32_t rate) {
    render = OfflineRender{};
    SetUpVoiceTable(rate);
    if (!PrepareOfflinePlayback(song)) return false;
    render.running = true;
    return true;
}

void ReadPlayedFrames(std::int16_t* destination, std::uint64_t frames) {
    if (!render.running) return;
    const auto ringFrames = static_cast<std::uint64_t>(mixer.ringFrames);
    const auto blockFrames = static_cast<std::uint64_t>(mixer.blockFrames);
    while (frames > 0) {
        // Everything rendered has been handed out: the next block in ring
        // order, which is the block at writeIndex (at first the prefill's,
        // then the one the device has just left, as the output thread does).
        if (render.played == render.rendered) {
            RenderBlock();
            render.rendered += blockFrames;
        }
        const std::uint64_t at = render.played % ringFrames;
        const std::uint64_t n = std::min({frames, render.rendered - render.played, ringFrames - at});
        if (destination) {
            std::memcpy(destination, mixer.outputRing.get() + at * 2, static_cast<std::size_t>(n) * 2 * sizeof(std::int16_t));
            destination += n * 2;
        }
        render.played += n;
        frames -= n;
    }
}

const std::int16_t* ReadPlayedFramesInPlace(std::uint64_t& frames) {
    if (!render.running || frames == 0) {
        frames = 0;
        return nullptr;
    }
    const auto ringFrames = static_cast<std::uint64_t>(mixer.ringFrames);
    const auto blockFrames = static_cast<std::uint64_t>(mixer.blockFrames);
    const std::uint64_t at = render.played % ringFrames;
    // Up to the ring's end at most: the blocks rendered ahead then lie
    // between the frames being read and the end, where the frames they
    // replace have been read one lap ago.
    frames = std::min(frames, ringFrames - at);
    while (render.rendered - render.played < frames) {
        RenderBlock();
        render.rendered += blockFrames;
    }
    render.played += frames;
    return mixer.outputRing.get() + at * 2;
}

std::uint64_t PlayedFrameCount() { return render.played; }

void StopOfflineRender() {
    StopOfflinePlayback();
    render = OfflineRender{};
}

}  // namespace music
