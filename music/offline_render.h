#pragma once
// What the sound device plays, frame after frame from the start of playback,
// without a device: first the prefilled ring (the song's first RingFrames
// frames, block 0 first), then each block again as the output thread renders
// it once the device has left it. quandrix-xmrender and quandrix-capture
// take the song's sound from here, so a render is what the intro plays.
//
// Uses the player's process-wide state (music/playback.h): main thread only,
// while no output thread runs (not between StartMusic and StopMusic).

#include <cstdint>

#include "music/mixer.h"
#include "music/module.h"

namespace music {

// Sets up the voice table for `rate` (the intro's 44,100 unless a tool asks
// for another) and starts offline playback of `song`
// (PrepareOfflinePlayback: the prefill's blocks are rendered as they are
// read); the next frame read is the first frame the device plays. False
// when the rings cannot be allocated.
bool StartOfflineRender(Module& song, std::int32_t rate = kOutputRate);

// The next `frames` frames, as interleaved 16-bit left and right values,
// into destination (frames x 2 values); nullptr skips them. Renders blocks
// as they are needed; nothing without a StartOfflineRender.
void ReadPlayedFrames(std::int16_t* destination, std::uint64_t frames);

// The next frames the device plays, at most `frames` of them, handed out
// where they lie in OutputRing instead of copied: returns their start and sets
// `frames` to how many there are (fewer than asked where the ring wraps; at
// least 1 when any were asked for). Renders the blocks as needed, ahead of
// what has been read but never over frames not yet read. They count as read,
// and stay valid until the next call here or to ReadPlayedFrames. nullptr
// and 0 frames without a StartOfflineRender.
const std::int16_t* ReadPlayedFramesInPlace(std::uint64_t& frames);

// Frames handed out (or skipped) since StartOfflineRender.
std::uint64_t PlayedFrameCount();

// Ends offline playback and releases the rings (StopOfflinePlayback).
void StopOfflineRender();

}  // namespace music
