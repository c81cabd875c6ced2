#include "music/offline_render.h"

#include <algorithm>
#include <cstring>

#include "music/mixer.h"
#include "music/playback.h"

namespace music {

namespace {

struct OfflineRender {
    bool running = false;
    std::uint64_t played = 0;    // frames handed out since the start
    std::uint64_t rendered = 0;  // frames the rings hold from the start on; played..rendered are in the ring
};

OfflineRender render;

}  // namespace

bool StartOfflineRender(Module& song) {
    render = OfflineRender{};
    SetUpVoiceTable(kOutputRate);
    if (!StartOfflinePlayback(song)) return false;
    render.running = true;
    render.rendered = static_cast<std::uint64_t>(mixer.ringFrames);
    return true;
}

void ReadPlayedFrames(std::int16_t* destination, std::uint64_t frames) {
    if (!render.running) return;
    const auto ringFrames = static_cast<std::uint64_t>(mixer.ringFrames);
    const auto blockFrames = static_cast<std::uint64_t>(mixer.blockFrames);
    while (frames > 0) {
        // The device has played everything rendered: the block it has just
        // left is rendered again, as the output thread does. It is the block
        // at writeIndex, since blocks are rendered in ring order.
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

std::uint64_t PlayedFrameCount() { return render.played; }

void StopOfflineRender() {
    StopOfflinePlayback();
    render = OfflineRender{};
}

}  // namespace music
