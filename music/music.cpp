#include "music/music.h"

#include "music/mixer.h"
#include "music/output.h"
#include "music/playback.h"
#include "music/resource_stream.h"
#include "music/xm_loader.h"

namespace music {

namespace {

Module* song = nullptr;  // the embedded song, from StartMusic to StopMusic

}  // namespace

bool StartMusic() {
    RegisterResourceStreamOps();
    if (!OpenAudio(kOutputRate)) return false;
    song = LoadModule("XM");
    if (!song) return false;  // the device stays open; StopMusic closes it
    return StartPlayback(song);
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
