#include "platform/audio_device.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include <SDL.h>
#include <dlfcn.h>

namespace platform {

namespace {

// SDL's audio functions, looked up in the SDL library at the first Open
// instead of linked: a program that never opens the device (the offline
// renderer) then does not load SDL and the fifty libraries it depends on,
// which costs more than rendering a minute of song. In the intro SDL is
// already loaded and the look-up finds the same library.
struct SdlAudioApi {
    bool loaded = false;
    decltype(&SDL_InitSubSystem) InitSubSystem = nullptr;
    decltype(&SDL_QuitSubSystem) QuitSubSystem = nullptr;
    decltype(&SDL_OpenAudioDevice) OpenAudioDevice = nullptr;
    decltype(&SDL_PauseAudioDevice) PauseAudioDevice = nullptr;
    decltype(&SDL_LockAudioDevice) LockAudioDevice = nullptr;
    decltype(&SDL_UnlockAudioDevice) UnlockAudioDevice = nullptr;
    decltype(&SDL_CloseAudioDevice) CloseAudioDevice = nullptr;
};

SdlAudioApi sdl;

template <typename Function>
bool Find(void* library, const char* name, Function& out) {
    out = reinterpret_cast<Function>(dlsym(library, name));
    return out != nullptr;
}

bool LoadSdlAudio() {
    if (sdl.loaded) return true;
    void* library = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_GLOBAL);
    if (!library) return false;
    // Kept loaded for the rest of the program: its audio thread may run.
    sdl.loaded = Find(library, "SDL_InitSubSystem", sdl.InitSubSystem) &&
                 Find(library, "SDL_QuitSubSystem", sdl.QuitSubSystem) &&
                 Find(library, "SDL_OpenAudioDevice", sdl.OpenAudioDevice) &&
                 Find(library, "SDL_PauseAudioDevice", sdl.PauseAudioDevice) &&
                 Find(library, "SDL_LockAudioDevice", sdl.LockAudioDevice) &&
                 Find(library, "SDL_UnlockAudioDevice", sdl.UnlockAudioDevice) &&
                 Find(library, "SDL_CloseAudioDevice", sdl.CloseAudioDevice);
    return sdl.loaded;
}

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
    if (!LoadSdlAudio()) return false;
    if (!device.audioUp) {
        if (sdl.InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
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
    device.id = sdl.OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device.id == 0) {
        sdl.QuitSubSystem(SDL_INIT_AUDIO);
        device.audioUp = false;
        return false;
    }
    sdl.PauseAudioDevice(device.id, 0);
    return true;
}

void Play(const std::int16_t* ring, std::size_t frames) {
    if (device.id == 0) return;
    sdl.LockAudioDevice(device.id);
    device.ring = ring;
    device.ringFrames = frames;
    device.cursor = 0;
    device.played.store(0, std::memory_order_release);
    sdl.UnlockAudioDevice(device.id);
}

std::uint64_t Position() { return device.played.load(std::memory_order_acquire); }

void Reset() {
    if (device.id == 0) return;
    sdl.LockAudioDevice(device.id);
    device.ring = nullptr;
    device.ringFrames = 0;
    device.cursor = 0;
    sdl.UnlockAudioDevice(device.id);
}

void Close() {
    if (device.id != 0) {
        Reset();
        sdl.CloseAudioDevice(device.id);
        device.id = 0;
    }
    if (device.audioUp) {
        // The next Open starts afresh and picks the driver named then.
        sdl.QuitSubSystem(SDL_INIT_AUDIO);
        device.audioUp = false;
    }
    device.played.store(0, std::memory_order_release);
}

const AudioDeviceOps sdlOps{Open, Play, Position, Reset, Close, nullptr};

}  // namespace

const AudioDeviceOps& SdlAudioDevice() { return sdlOps; }

const AudioDeviceOps& SystemAudioDevice() { return sdlOps; }

}  // namespace platform
