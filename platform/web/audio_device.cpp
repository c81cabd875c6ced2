// The sound device on the web: the page's sound (Module.quandrixSound, made
// by platform/web/quandrix.html around the page's one AudioContext) plays
// the frames the module sends it, in order, and reports how many it has
// played. A page without one (no Web Audio) has no device, and the intro
// runs silently. The context runs at the rate the browser chose (44,100 Hz
// where it takes the page's wish, so that the song's samples reach it
// unchanged); the player mixes at that rate.
//
// The looping ring stays where the player renders it; this device plays it
// by sending its frames on as soon as they are rendered: the whole prefilled
// ring at the start, then each block the refill renders again, so that the
// page's audio path holds about two seconds of rendered sound, as the
// desktop's ring does. Where
// the browser has AudioWorklet that queue lives on the audio thread, and a
// stall of the page's own thread (a slow frame, garbage collection) makes no
// gap; elsewhere a ScriptProcessorNode plays it from the page's thread.
// Each report of frames played runs the player's refill, which renders the
// blocks the play position has left, as the worker thread does on the
// desktop: reports are messages, which browsers keep delivering to a hidden
// tab whose frames have stopped.
#include "platform/audio_device.h"

#include <algorithm>

#include <emscripten/emscripten.h>

#include "platform/web/web.h"

namespace platform {

namespace {

struct WebAudio {
    bool open = false;
    const std::int16_t* ring = nullptr;  // 2 x int16 per frame, from Play to Reset
    std::size_t ringFrames = 0;
    std::uint64_t played = 0;            // frames the page reports played since Play
    std::uint64_t sent = 0;              // frames sent to the page since Play
    std::uint64_t (*refill)() = nullptr;  // renders what was played; frames rendered since Play
};

WebAudio audio;

EM_JS(int, HasSound, (), { return Module['quandrixSound'] ? 1 : 0; });

EM_JS(int, SoundRate, (), { return Module['quandrixSound'].rate(); });

// A new output for this playback; its reports of frames played come back
// through QuandrixAudioPlayed.
EM_JS(void, StartOutput, (), {
    Module['quandrixOutput'] = Module['quandrixSound'].play(function(played) { _QuandrixAudioPlayed(played); });
});

// A copy of `count` interleaved frames, handed to the output.
EM_JS(void, SendFrames, (const std::int16_t* frames, int count), {
    var output = Module['quandrixOutput'];
    if (output) output.push(HEAP16.slice(frames >> 1, (frames >> 1) + 2 * count));
});

EM_JS(void, StopOutput, (), {
    var output = Module['quandrixOutput'];
    if (!output) return;
    output.stop();
    delete Module['quandrixOutput'];
});

// Sends the ring's frames from the last one sent up to `until` (frames since Play).
void Send(std::uint64_t until) {
    if (!audio.ring || audio.ringFrames < 2) return;
    while (audio.sent < until) {
        const std::uint64_t at = audio.sent % audio.ringFrames;
        const std::uint64_t count = std::min<std::uint64_t>(until - audio.sent, audio.ringFrames - at);
        SendFrames(audio.ring + at * 2, static_cast<int>(count));
        audio.sent += count;
    }
}

bool Open(int) {
    web::Mark("quandrix-song");
    if (!audio.open) audio.open = HasSound() != 0;
    return audio.open;
}

int OwnRate() { return SoundRate(); }

void Play(const std::int16_t* ring, std::size_t frames) {
    if (!audio.open) return;
    audio.ring = ring;
    audio.ringFrames = frames;
    audio.played = 0;
    audio.sent = 0;
    StartOutput();
    Send(frames);  // the prefill: every frame of the ring is the song's
    web::Mark("quandrix-sound");
}

std::uint64_t Position() { return audio.played * 4; }

void Reset() {
    if (!audio.open) return;
    StopOutput();
    audio.ring = nullptr;
    audio.ringFrames = 0;
}

void Close() {
    Reset();
    audio.open = false;
}

void SetRefill(std::uint64_t (*refill)()) { audio.refill = refill; }

const AudioDeviceOps webAudio{Open, Play, Position, Reset, Close, SetRefill, OwnRate};

}  // namespace

const AudioDeviceOps& SystemAudioDevice() { return webAudio; }

}  // namespace platform

// The page's report: `frames` frames played since Play in all. The player
// renders what was played, and the frames now rendered go out.
extern "C" EMSCRIPTEN_KEEPALIVE void QuandrixAudioPlayed(double frames) {
    using platform::audio;
    if (!audio.ring || !audio.refill) return;
    const auto played = static_cast<std::uint64_t>(std::max(frames, 0.0));
    audio.played = std::clamp(played, audio.played, audio.sent);
    // Never more than a ring ahead of what was played, whatever the refill says.
    platform::Send(std::min(audio.refill(), audio.played + audio.ringFrames));
}
