#pragma once
// The sound device as the music player needs it: one looping stereo 16-bit
// buffer that plays over and over from its first frame, and the number of
// bytes played so far. The player keeps the buffer filled behind the play
// position from its own thread.
//
// Threads: Open, Play, Reset and Close on one thread (the main thread);
// Position from any thread. The buffer given to Play is read by the device's
// own thread; the bytes of a frame may be rewritten once Position has passed
// them (Position is published with release order after the frame was read).

#include <cstddef>
#include <cstdint>

namespace platform {

// The operations, as a table so that tests can put a fake device in their place.
struct AudioDeviceOps {
    // Opens the default output for 16-bit stereo at `rate` frames per second.
    // False when there is no device or it refuses the format.
    bool (*open)(int rate);
    // Starts playing `frames` frames at `ring` (2 x int16 each) in a loop from
    // frame 0. The buffer must stay valid until Reset.
    void (*play)(const std::int16_t* ring, std::size_t frames);
    // Bytes played since Play (4 per frame); only grows, 64 bits so that it
    // never wraps. 0 before Play.
    std::uint64_t (*position)();
    // Stops playing and lets go of the buffer; the device stays open.
    void (*reset)();
    // Closes the device (after a Reset if still playing). Safe when not open.
    void (*close)();
    // Only for a device that plays from a callback on the program's own
    // thread, where no worker thread can run (the browser's): the player
    // hands over the function that renders the blocks the play position has
    // left, and the device calls it after each callback; nullptr takes it
    // back. The refill returns how many frames, counted from the first one
    // Play queued, are rendered now: a device that hands the ring's frames
    // on ahead of playing them may hand on that many. nullptr for every
    // device that has a thread of its own.
    void (*setRefill)(std::uint64_t (*refill)()) = nullptr;
    // Only for a device whose rate is not the program's to choose (a
    // browser's audio context runs at the rate the browser picked): the rate
    // it plays at once open, whatever Open asked for, so that the player
    // mixes at that rate instead of going silent. nullptr for every device
    // that takes the rate it is asked for or refuses it.
    int (*ownRate)() = nullptr;
};

// The system's device: SdlAudioDevice() on SDL, waveOut with one looping
// buffer on native Win32.
const AudioDeviceOps& SystemAudioDevice();

// The SDL realisation (the callback copies from the ring). SDL_AUDIODRIVER
// picks the driver: `disk` with SDL_DISKAUDIOFILE writes exactly what was
// played to a file, `dummy` plays into nothing.
const AudioDeviceOps& SdlAudioDevice();

}  // namespace platform
