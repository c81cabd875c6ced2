#pragma once
// The device-free pieces of starting and stopping playback: what OpenAudio
// does once the device is open, what StartPlayback does to the song, the
// channels and the rings before it queues the ring on the device, and what
// StopPlayback undoes. The output thread and the device calls sit on top of
// these (music/music.h); the renderer and the tests use them without any
// device, so a render is exactly what the device would be fed.
//
// Order of a start, as StartPlayback does it:
//   ResetPlayback(song); AttachSong(&song); AllocateOutputRing();
//   [device: prepare the ring header]  AllocateMixRing(); PrefillRing();
//   [device: queue the ring, start the output thread]
// and of a stop: [wait for the output thread]  ReleaseMixRing();
//   [device: unprepare the header]  DetachSong(); ... and, once the device
//   has been reset and closed, ReleaseOutputRing().
// StartOfflinePlayback and StopOfflinePlayback run the same sequences
// without the device steps.
//
// Main thread only, while no output thread runs.

#include <cstdint>

#include "music/mixer.h"
#include "music/module.h"

namespace music {

// Block and ring geometry for a rate: BlockFrames = rate x 20 / 1000 rounded
// up to a multiple of 4 (884 at 44,100 Hz, not 882, so that every block
// starts on a 16-byte boundary of the float ring); RingFrames =
// (1000 / 20) x BlockFrames x 2 (88,400 = 100 blocks, about 2 s);
// RampLength = rate x 128 / 44,100 (128), at least 1.
std::int32_t BlockFramesForRate(std::int32_t rate);
std::int32_t RingFramesForRate(std::int32_t rate);
std::int32_t RampLengthForRate(std::int32_t rate);

// What OpenAudio does after opening the device: computes BlockFrames,
// RingFrames, RampLength and its reciprocal for `rate` (44,100 for the intro;
// the steps and the tick length follow mixer.rate from then on), and zeroes
// the voice table, numbering the voices 0..63 and giving each a step of 1.0.
// The only place the voice table is reset. Rates below 1 are taken as 44,100.
void SetUpVoiceTable(std::int32_t rate);

// StartPlayback's reset of the song and the channels: speed = default speed,
// global volume = initial global volume, next row and next order position
// -1, row, order position, tick and frames left in the tick 0, then
// SetTempo(default BPM); the first channel-count channels zeroed, channel c
// driving voice slot c. The first PlayTick then plays row 0 of order
// position 0.
void ResetPlayback(Module& song);

// The song RenderBlock plays from now on (nullptr: none).
void AttachSong(Module* song);

// Detaches the song. Its voices are silenced and made idle (sample none,
// position 0; number and step kept): their samples belong to the song, which
// may be freed next, and a later start must not play on into the old notes.
void DetachSong();

// OutputRing: RingFrames x 2 zeroed 16-bit values. False (and no ring) when
// the memory cannot be had or SetUpVoiceTable has not run. Replaces any
// earlier ring.
bool AllocateOutputRing();
void ReleaseOutputRing();

// MixRing: RingFrames x 2 zeroed floats starting on a 16-byte boundary (256
// spare bytes allocated to move the start there); the write index becomes 0.
bool AllocateMixRing();
void ReleaseMixRing();

// Renders every block once (RenderBlock until the write index is back at 0),
// so that the ring holds the song's first RingFrames frames.
void PrefillRing();

// Renders the attached song's next `blocks` blocks into nothing, for a start
// from a later moment: the song, the channels and the voices then stand where
// playing those blocks would have left them, and a prefill that follows
// holds the song from there. Whole blocks, as the ring renders them: a gain
// ramp that spans a block's end is rounded there, so frames rendered in other
// pieces would differ by a level here and there. The write index is 0
// afterwards.
void SkipSongBlocks(std::uint64_t blocks);

// StartPlayback without the device: StopOfflinePlayback, then ResetPlayback,
// AttachSong, the two rings and the prefill. Needs SetUpVoiceTable first.
// False when a ring cannot be allocated (nothing is attached then).
bool StartOfflinePlayback(Module& song);

// StartOfflinePlayback without the prefill: the next RenderBlock renders the
// song's first block into block 0. For a reader that renders the blocks as it
// needs them, in the same order, and so gets the same frames.
bool PrepareOfflinePlayback(Module& song);

// StopPlayback without the device, with the ring release that follows the
// device's close: releases MixRing, detaches the song, releases OutputRing.
void StopOfflinePlayback();

}  // namespace music
