// The sound device on the web: Web Audio, through the AudioContext the page
// made (Module.quandrixAudio, running at 44,100 Hz so that the song's own
// samples reach the context unchanged; the browser resamples to the
// hardware after that). A page without one (no Web Audio, a moment in the
// address, a rate it would not give) has no device, and the intro runs
// silently.
//
// The looping ring is played by a ScriptProcessorNode. Its callback runs on
// the page's own thread, where the module and the song live, and browsers
// keep calling it in a hidden tab while the frames stop; so after copying
// the frames it plays it runs the player's refill, which renders the blocks
// the play position has left, as the worker thread does on the desktop. An
// AudioWorklet would run on the audio thread instead, which can reach the
// module's memory only through SharedArrayBuffer, and that needs
// cross-origin isolation, which neither a file opened from disk nor a plain
// web host gives.
#include "platform/audio_device.h"

#include <emscripten/emscripten.h>

namespace platform {

namespace {

// Frames per callback: 93 ms at 44,100 Hz, well inside the two-second ring,
// and long enough that a busy frame on the page's thread does not starve it.
constexpr int kCallbackFrames = 4096;

struct WebAudio {
    bool open = false;
    const std::int16_t* ring = nullptr;  // 2 x int16 per frame, from Play to Reset
    std::size_t ringFrames = 0;
    std::uint64_t played = 0;            // frames played since Play
    void (*refill)() = nullptr;
    float left[kCallbackFrames] = {};    // one callback's frames, for the node to copy
    float right[kCallbackFrames] = {};
};

WebAudio audio;

EM_JS(int, OpenNode, (int rate, float* left, float* right, int frames), {
    var context = Module['quandrixAudio'];
    if (!context || context.sampleRate !== rate || !context.createScriptProcessor) return 0;
    var node = context.createScriptProcessor(frames, 0, 2);
    node.onaudioprocess = function(event) {
        var output = event.outputBuffer;
        var count = Math.min(output.length, frames);
        _QuandrixAudioProcess(count);
        output.getChannelData(0).set(HEAPF32.subarray(left >> 2, (left >> 2) + count));
        output.getChannelData(1).set(HEAPF32.subarray(right >> 2, (right >> 2) + count));
    };
    Module['quandrixAudioNode'] = node;
    return 1;
});

EM_JS(void, ConnectNode, (int connect), {
    var node = Module['quandrixAudioNode'];
    if (!node) return;
    if (connect) {
        node.connect(Module['quandrixAudio'].destination);
    } else {
        node.disconnect();
    }
});

EM_JS(void, CloseNode, (), {
    var node = Module['quandrixAudioNode'];
    if (!node) return;
    node.onaudioprocess = null;
    node.disconnect();
    delete Module['quandrixAudioNode'];
});

bool Open(int rate) {
    if (audio.open) return true;
    audio.open = OpenNode(rate, audio.left, audio.right, kCallbackFrames) != 0;
    return audio.open;
}

void Play(const std::int16_t* ring, std::size_t frames) {
    if (!audio.open) return;
    audio.ring = ring;
    audio.ringFrames = frames;
    audio.played = 0;
    ConnectNode(1);
}

std::uint64_t Position() { return audio.played * 4; }

void Reset() {
    if (!audio.open) return;
    ConnectNode(0);
    audio.ring = nullptr;
    audio.ringFrames = 0;
}

void Close() {
    Reset();
    if (audio.open) CloseNode();
    audio.open = false;
}

void SetRefill(void (*refill)()) { audio.refill = refill; }

const AudioDeviceOps webAudio{Open, Play, Position, Reset, Close, SetRefill};

}  // namespace

const AudioDeviceOps& SystemAudioDevice() { return webAudio; }

}  // namespace platform

// The node's callback: the next `frames` frames of the ring into the two
// channel buffers (silence while nothing plays), then the player renders
// what was just played.
extern "C" EMSCRIPTEN_KEEPALIVE void QuandrixAudioProcess(int frames) {
    using platform::audio;
    for (int i = 0; i < frames; ++i) {
        if (audio.ring && audio.ringFrames > 0) {
            const std::size_t at = static_cast<std::size_t>(audio.played % audio.ringFrames) * 2;
            audio.left[i] = static_cast<float>(audio.ring[at]) / 32768.0f;
            audio.right[i] = static_cast<float>(audio.ring[at + 1]) / 32768.0f;
            ++audio.played;
        } else {
            audio.left[i] = 0.0f;
            audio.right[i] = 0.0f;
        }
    }
    if (audio.refill) audio.refill();
}
