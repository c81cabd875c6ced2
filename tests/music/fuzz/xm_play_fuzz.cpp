// Fuzz target: loads any bytes as an XM song and, when the loader takes it,
// plays half a second of it through the replay engine and the mixer as the
// output thread would (ticks across blocks, voices handed over, loops, the
// conversion), then checks that every sounding voice stays inside its sample.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "music/mixer.h"
#include "music/playback.h"
#include "music/xm_loader.h"
#include "tests/music/xm_builder.h"

namespace {

constexpr int kBlocks = 25;  // half a second

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    music::Module* song = xmtest::LoadBytes(data, size);
    if (!song) return 0;

    // The rings once for the whole run; the voice table afresh for each song.
    static const bool rings = [] {
        music::SetUpVoiceTable(music::kOutputRate);
        return music::AllocateOutputRing() && music::AllocateMixRing();
    }();
    if (!rings) std::abort();
    music::SetUpVoiceTable(music::kOutputRate);
    music::ResetPlayback(*song);
    music::AttachSong(song);
    for (int b = 0; b < kBlocks; ++b) {
        music::RenderBlock();
        for (const music::Voice& v : music::voiceTable) {
            if (!v.sample) continue;
            const std::uint32_t end = v.sample->loopStart + v.sample->loopLength;
            if (v.positionInteger < 0 || static_cast<std::uint32_t>(v.positionInteger) > end) {
                std::fprintf(stderr, "voice %d at %d outside its sample (loop end %u)\n", v.slotIndex,
                             v.positionInteger, end);
                std::abort();
            }
        }
    }
    music::DetachSong();
    music::FreeModule(song);
    return 0;
}
