#include "music/music.h"

#include <cmath>
#include <cstdint>

#include "music/mixer.h"
#include "music/output.h"
#include "music/playback.h"
#include "music/resource_stream.h"
#include "music/xm_loader.h"

namespace music {

namespace {

Module* song = nullptr;  // the embedded song, from StartMusic to StopMusic

}  // namespace

bool StartMusic(double fromSeconds) {
    RegisterResourceStreamOps();
    if (!OpenAudio(kOutputRate)) return false;
    song = LoadModule("XM");
    if (!song) return false;  // the device stays open; StopMusic closes it
    // In blocks at the rate the device plays at, which OpenAudio has set;
    // anything but a finite positive time is the start.
    const bool later = fromSeconds > 0.0 && std::isfinite(fromSeconds);
    const double blocks = later ? std::nearbyint(fromSeconds * mixer.rate / mixer.blockFrames) : 0.0;
    return StartPlayback(song, static_cast<std::uint64_t>(blocks));
}

void StopMusic() {
    if (song) {
        StopPlayback(song);
        FreeModule(song);
        song = nullptr;
    }
    CloseAudio();
    // Only now that the device has let go of it.
    ReleaseOutputRing();
}

void ResetMusicState() {
    StopMusic();
    ResetOutput();
}

}  // namespace music
