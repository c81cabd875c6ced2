#pragma once
// The replay engine: advances a loaded song one tick at a time. On the first
// tick of a row it reads the row's cells, starts notes and applies the row
// effects; on the other ticks it applies the continuing effects. On every
// tick it steps each channel's envelopes, fadeout and automatic vibrato and
// has UpdateVoice (music/channel.h) turn the channel into its voice's gains
// and step. PlayTick is the song's tick operation; the block renderer
// (music/mixer.h) calls it on the output thread.
//
// The song never ends: after its last order position it continues at the
// restart position.
//
// Effects played (x the high, y the low nibble of the parameter; every other
// effect and volume-column value is ignored; music/effects.h holds the same
// as a table, for the tools that tell a musician what will not be heard):
//   0xy arpeggio             +x and +y semitones on ticks 1 and 2 of every 3
//   1xx portamento up        period - 4 x xx per tick (memory), not below 1
//   2xx portamento down      period + 4 x xx per tick (memory)
//   3xx tone portamento      slide towards the row's note by 4 x xx per tick (memory)
//   5xy tone portamento      continue the slide, plus an Axy volume slide (memory shared with A)
//   8xx set panning          xx, 255 fully left
//   Axy volume slide         +x or -y per tick (memory)
//   E6y pattern loop         E60 marks, E6y plays the marked rows y + 1 times
//   ECy note cut             volume 0 on tick y (EC0 does nothing)
//   Fxx speed / BPM          below 32 speed (F00: every tick a row), else BPM
//   Gxx global volume        at most 64
//   Hxy global volume slide  +x or -y per tick (memory in the song)
//   Kxx key off              as a key-off note
// Volume column: 10-50 set volume, 6x/7x slide down/up on every tick,
// 8x/9x fine slide down/up, Cx set panning x x 16, Dx/Ex pan slide left/right
// on every tick, Fx: a note in the row takes its period without restarting
// the sample.
//
// Choices where the format leaves room, as a tracker musician expects:
// - 1xx slides the period up, mirroring 2xx, with its own memory (ignoring
//   it would silence every upward slide), and stops at period 1.
// - A row with 3xx or 5xy and a note does not restart the sample and does not
//   take the note's instrument or note — it sets the
//   note's period, computed with the playing sample's relative note and
//   finetune, as the target of a slide of 4 x speed per tick on the row's
//   other ticks, stopping at the target. (Restarting the sample at its old
//   pitch would turn every glide into a retrigger.)
// - Songs with the Amiga frequency table play their notes at the same
//   pitches as linear ones: a note's period is 14,317,056 / the linear
//   table's frequency for it, rounded (C-4: 1712), and arpeggio scales the
//   period by 2^(-semitones / 12). Slides move the period in Amiga units, as
//   on the Amiga. (Without Amiga periods such songs would play no pitch
//   changes at all.)
// - Automatic vibrato types above 3 play the sine (see AutoVibratoWave).
// - E6y jumps after the row: the rest of the loop-end row plays its own
//   effects, and a loop row 0 or one beyond a shorter pattern is safe
//   (moving the row at once would make the row's later ticks read another
//   row's cells, or row -1).

#include <cstdint>

#include "music/channel.h"
#include "music/module.h"

namespace music {

// Plays one tick of the song: on tick 0 the next row (ProcessRow), else the
// continuing effects (ProcessEffectTick); then advances the tick counter.
// The song's tick operation.
void PlayTick(Module& module);

// Stores the BPM and sets the frames per tick to floor(5 x rate / (2 x
// BPM)) at the mixer's rate: at 44,100 Hz 882 at 125, 689 at 160, 3,445 at
// 32, 432 at 255. A BPM below 1 is taken as 1.
void SetTempo(Module& module, std::int32_t bpm);

// The first tick of a row, over all channels.
void ProcessRow(Module& module);

// Any other tick of a row, over all channels.
void ProcessEffectTick(Module& module);

// The first-tick part of the volume-column byte.
void ApplyVolumeColumn(Channel& channel, std::uint8_t volumeByte);

// A note's period: the linear formula 7680 - 64 x realNote - finetune / 2,
// or the Amiga period above (at least 1; double precision). realNote is
// 0-based, wrapping at 256.
std::int32_t NotePeriod(bool linear, std::uint8_t realNote, std::int8_t finetune);

}  // namespace music
