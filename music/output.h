#pragma once
// The player and the sound device: the device is opened once, the song's
// first two seconds are rendered into a looping ring (the prefill), the ring
// is queued, and a worker thread at time-critical priority keeps rendering
// each 884-frame block again as soon as the play position has left it, so
// the sound is written about two seconds ahead of what is heard.
//
// Threads: OpenAudio, CloseAudio, StartPlayback and StopPlayback on the main
// thread. AudioWorker runs on its own thread from StartPlayback to
// StopPlayback and is then the only code touching the song's playback state,
// the channels, the voices and the rings. The two meet through an atomic
// stop request and the device position, which the device publishes
// atomically; StopPlayback raises the request and joins the worker.
//
// A device without threads (the browser's, which plays from a callback on
// the program's own thread) gets the worker's loop body instead: the device
// runs it after each callback, so that blocks are rendered as they are
// played even while nothing else runs (a hidden tab draws no frames).

#include <cstdint>

#include "music/module.h"
#include "platform/audio_device.h"

namespace music {

// The device the player uses: the system's device unless a test installs a fake.
// Main thread, while nothing plays. nullptr restores the system's device.
void SetAudioDevice(const platform::AudioDeviceOps* device);

// Opens the device for 16-bit stereo at `rate` (or at the device's own rate,
// where it has one) and sets up the block geometry and the voice table for
// the rate it plays at. False, with nothing opened, when the stream
// table is incomplete or the device refuses.
bool OpenAudio(std::int32_t rate);

// Stops the device and closes it; safe when it was never opened.
void CloseAudio();

// Plays `song` from block `fromBlock` of it on (0: its start): stops any
// playback, resets the song, renders its first fromBlock blocks into nothing
// (SkipSongBlocks), renders the ring's 100 blocks (the prefill), queues the
// ring and starts the worker (or hands the loop body to a device without
// threads). False for no song, when the rings cannot be allocated or the
// worker cannot be started (nothing plays then).
bool StartPlayback(Module* song, std::uint64_t fromBlock = 0);

// Raises the stop request, waits for a block in progress, joins the worker,
// releases the mix ring and detaches the song; the device keeps playing the
// ring until CloseAudio. False for no song.
bool StopPlayback(Module* song);

// Forgets what an earlier playback left behind: the rendered-block count,
// the block starts and a fake device. Main thread, with no worker running
// and the device closed (it does nothing otherwise); ResetMusicState calls it.
void ResetOutput();

// The worker thread's entry: every 5 ms it asks the device for its position
// and renders, in order, each block the position has left. At each look it
// first counts the blocks the position entered before the worker had
// rendered them again (music/underruns.h; reset by StartPlayback). Returns 0.
int AudioWorker(void* unused);

// Blocks rendered since StartPlayback, the prefill's 100 included. Any
// thread; whoever reads a count also sees those blocks in the rings.
std::uint64_t RenderedBlockCount();

// What is being heard: the order position and row at the start of the block
// the device is playing, and the seconds played since StartPlayback. Any
// thread; for display (the song itself runs two seconds ahead).
struct HeardPosition {
    std::int32_t orderPosition = 0;
    std::int32_t row = 0;
    double seconds = 0.0;
};
HeardPosition CurrentHeardPosition();

// The block the device is playing for a position in bytes:
// ((bytes / 4) mod ringFrames) / blockFrames. 64-bit bytes, so the mapping
// never jumps as a 32-bit position would after 6.8 hours.
std::int32_t PlayingBlock(std::uint64_t bytes, std::int32_t ringFrames, std::int32_t blockFrames);

}  // namespace music
