#pragma once
// Playback control: the only interface between the intro and its song.
// Main thread only.

namespace music {

// Loads the embedded song and starts playing it from the first frame on.
// False when there is no device or no song: the intro then runs silently.
bool StartMusic();

// Stops playback, frees the song and closes the device; safe after a failed
// StartMusic.
void StopMusic();

// Back to the state before any StartMusic (tests): StopMusic, then the
// rendered-block count and the block starts forgotten and the system's device
// in place again.
void ResetMusicState();

}  // namespace music
