#pragma once
// Playback control: the only interface between the intro and its song.
// Main thread only.

namespace music {

// Loads the embedded song and starts playing it from `fromSeconds` of it on
// (0: its first frame; a page opened at a moment of the show hears the song
// from that moment, the blocks before it rendered into nothing first): from
// the start of the block nearest to that time, so the frames are exactly the
// ones played from the start, at most half a block (10 ms) off the moment.
// False when there is no device or no song: the intro then runs silently.
bool StartMusic(double fromSeconds = 0.0);

// Stops playback, frees the song and closes the device; safe after a failed
// StartMusic.
void StopMusic();

// Back to the state before any StartMusic (tests): StopMusic, then the
// rendered-block count and the block starts forgotten and the system's device
// in place again.
void ResetMusicState();

}  // namespace music
