#include "platform/audio_device.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include <SDL.h>

namespace platform {

namespace {

struct SdlDevice {
    SDL_AudioDeviceID id = 0;
    bool audioUp = false;
    // Written under SDL_LockAudioDevice, read by the callback.
    const std::int16_t* ring = nullptr;  // interleaved stereo frames
    std::size_t ringFrames = 0;          // frames in the ring
    std::size_t cursor = 0;              // next frame the callback reads, 0..ringFrames-1
    std::atomic<std::uint64_t> played{0};  // bytes handed to SDL since Play
};

SdlDevice device;

void Callback(void*, Uint8* stream, int length) {
    auto* out = stream;
    std::size_t bytesLeft = static_cast<std::size_t>(length);
    if (!device.ring || device.ringFrames == 0) {
        std::memset(out, 0, bytesLeft);
        return;
    }
    std::uint64_t bytesDone = 0;
    while (bytesLeft >= 4) {
        const std::size_t frames = std::min(bytesLeft / 4, device.ringFrames - device.cursor);
        std::memcpy(out, device.ring + device.cursor * 2, frames * 4);
        out += frames * 4;
        bytesLeft -= frames * 4;
        bytesDone += frames * 4;
        device.cursor = (device.cursor + frames) % device.ringFrames;
    }
    std::memset(out, 0, bytesLeft);
    device.played.fetch_add(bytesDone, std::memory_order_release);
}

bool Open(int rate) {
    if (!device.audioUp) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        device.audioUp = true;
    }
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    // 1024 frames per callback: the disk driver writes whole callbacks, and a
    // ring of 88,400 frames leaves ample room behind the cursor.
    want.samples = 1024;
    want.callback = Callback;
    SDL_AudioSpec have{};
    device.id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device.id == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        device.audioUp = false;
        return false;
    }
    SDL_PauseAudioDevice(device.id, 0);
    return true;
}

void Play(const std::int16_t* ring, std::size_t frames) {
    if (device.id == 0) return;
    SDL_LockAudioDevice(device.id);
    device.ring = ring;
    device.ringFrames = frames;
    device.cursor = 0;
    device.played.store(0, std::memory_order_release);
    SDL_UnlockAudioDevice(device.id);
}

std::uint64_t Position() { return device.played.load(std::memory_order_acquire); }

void Reset() {
    if (device.id == 0) return;
    SDL_LockAudioDevice(device.id);
    device.ring = nullptr;
    device.ringFrames = 0;
    device.cursor = 0;
    SDL_UnlockAudioDevice(device.id);
}

void Close() {
    if (device.id != 0) {
        Reset();
        SDL_CloseAudioDevice(device.id);
        device.id = 0;
    }
    if (device.audioUp) {
        // The next Open starts afresh and picks the driver named then.
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        device.audioUp = false;
    }
    device.played.store(0, std::memory_order_release);
}

const AudioDeviceOps sdlOps{Open, Play, Position, Reset, Close};

}  // namespace

const AudioDeviceOps& SdlAudioDevice() { return sdlOps; }

}  // namespace platform
