// The sound device on native Win32: waveOut with one looping buffer. The
// whole ring is one header with WHDR_BEGINLOOP | WHDR_ENDLOOP and an endless
// loop count, queued once; the play position is waveOutGetPosition in
// bytes, widened to 64 bits (byte_count.h).
#include "platform/audio_device.h"

#include <mutex>

#include "platform/byte_count.h"
#include "platform/win32/win32.h"

#include <mmsystem.h>

namespace platform {

namespace {

// Position may be asked from any thread while the main thread opens and
// closes the device, so the handle is set and cleared under the lock that
// Position reads it under; the main thread's own reads need no lock.
struct WaveDevice {
    HWAVEOUT handle = nullptr;  // guarded by lock for writes and for Position
    WAVEHDR header{};
    bool queued = false;
    std::mutex lock;
    std::uint64_t played = 0;  // bytes since Play, widened; guarded by lock
};

WaveDevice device;

bool Open(int rate) {
    if (device.handle) return true;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = static_cast<DWORD>(rate) * 4;
    format.cbSize = 0;
    HWAVEOUT handle = nullptr;
    if (waveOutOpen(&handle, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return false;
    const std::lock_guard<std::mutex> lock(device.lock);
    device.handle = handle;
    return true;
}

void Reset() {
    if (!device.handle) return;
    // The device gives the buffer back only once reset; unpreparing it
    // before would be refused while it plays.
    waveOutReset(device.handle);
    if (device.queued) {
        waveOutUnprepareHeader(device.handle, &device.header, sizeof device.header);
        device.header.dwFlags &= ~static_cast<DWORD>(WHDR_PREPARED);
        device.queued = false;
    }
}

void Play(const std::int16_t* ring, std::size_t frames) {
    if (!device.handle) return;
    Reset();
    {
        const std::lock_guard<std::mutex> lock(device.lock);
        device.played = 0;
    }
    device.header = WAVEHDR{};
    device.header.lpData = reinterpret_cast<LPSTR>(const_cast<std::int16_t*>(ring));
    device.header.dwBufferLength = static_cast<DWORD>(frames * 4);
    device.header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    device.header.dwLoops = 0xFFFFFFFFu;
    if (waveOutPrepareHeader(device.handle, &device.header, sizeof device.header) != MMSYSERR_NOERROR) return;
    device.queued = true;
    waveOutWrite(device.handle, &device.header, sizeof device.header);
}

std::uint64_t Position() {
    const std::lock_guard<std::mutex> lock(device.lock);
    if (!device.handle) return 0;
    MMTIME time{};
    time.wType = TIME_BYTES;
    if (waveOutGetPosition(device.handle, &time, sizeof time) == MMSYSERR_NOERROR && time.wType == TIME_BYTES) {
        device.played = ExtendByteCount(device.played, time.u.cb);
    }
    return device.played;
}

void Close() {
    if (!device.handle) return;
    Reset();
    // Under the lock: a Position on another thread never asks a closed handle.
    const std::lock_guard<std::mutex> lock(device.lock);
    waveOutClose(device.handle);
    device.handle = nullptr;
    device.played = 0;
}

const AudioDeviceOps waveOps{Open, Play, Position, Reset, Close, nullptr};

}  // namespace

const AudioDeviceOps& SystemAudioDevice() { return waveOps; }

}  // namespace platform
