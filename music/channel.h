#pragma once
// Channel state and the voice update: one Channel per pattern column, and the
// four per-channel operations the replay engine (music/replay.h) runs every
// tick — one step of each envelope, one step of the automatic vibrato, the
// reload when a cell names an instrument, and UpdateVoice, which turns the
// channel's volume, panning and period into the gain targets and step of its
// Voice (music/mixer.h) and starts new notes there.
//
// Periods: with the linear frequency table a period is 7680 - 64 x note -
// finetune / 2 (768 per octave, 4608 is C-4 = 8,363 Hz); with the Amiga table
// it is 14,317,056 / frequency (1712 is C-4). A period delta (arpeggio,
// automatic vibrato) lasts one tick.
//
// Output thread only (the main thread during the prefill); no locking.

#include <array>
#include <cstdint>

#include "music/mixer.h"
#include "music/module.h"

namespace music {

// Update flags, collected during a tick and consumed by UpdateVoice.
inline constexpr std::uint8_t UpdateFrequency = 1;
inline constexpr std::uint8_t UpdateVolume = 2;
inline constexpr std::uint8_t UpdatePanning = 4;
inline constexpr std::uint8_t TriggerNote = 8;

inline constexpr std::int32_t kFullFadeout = 65536;     // fadeout volume of a note not yet fading
inline constexpr std::int32_t kAmigaClock = 14317056;    // Amiga frequency = kAmigaClock / period
inline constexpr std::int32_t kMinFrequency = 100;       // Hz; a voice's step is never 0
inline constexpr std::int32_t kMaxPeriod = 1 << 20;      // slides stop here; both tables give 100 Hz long before

struct EnvelopeState {
    std::int32_t tick = 0;        // ticks since the note started, held at a sustain point
    std::int32_t pointIndex = 0;  // the point the envelope moves towards, 0..point count
    std::int32_t value = 0;       // 16.16 fixed point, 0..64
    std::int32_t output = 0;      // 0..64 (panning: 32 the centre)
    std::int32_t slope = 0;       // 16.16 per tick
    std::uint8_t finished = 0;    // 1 once the last point is reached
};

struct Channel {
    std::uint8_t note = 0;                  // 0..95, the cell's note - 1
    std::uint8_t updateFlags = 0;           // UpdateFrequency | UpdateVolume | UpdatePanning | TriggerNote
    Voice* voice = nullptr;                 // the voice the channel drives: slot c or c + 32
    std::int32_t period = 0;                // current period (not range-checked; slides stop at 1 and kMaxPeriod)
    std::int32_t volume = 0;                // 0..64
    std::int32_t panning = 0;               // nominally 0..255 (255 left); volume-column slides may leave it
    std::int32_t periodDelta = 0;           // added to the period for this tick's frequency
    EnvelopeState volumeEnvelope;           // output 0..64
    EnvelopeState panningEnvelope;          // output 0..64, 32 the centre
    std::int32_t fadeoutVolume = 0;         // 0..65,536 (full)
    std::int32_t autoVibratoPosition = 0;   // 0..255, 256 a full wave
    std::int32_t autoVibratoSweep = 0;      // ticks of sweep so far, 0..instrument sweep
    std::uint8_t keyReleased = 0;           // 1 after a key-off
    std::uint8_t instrument = 0;            // 0-based; beyond the instrument count plays nothing
    std::int32_t notePeriod = 0;            // period of the last note computed (0 at the start)
    std::uint8_t portamentoDownMemory = 0;  // last non-zero 2xx
    std::uint8_t volumeSlideMemory = 0;     // last non-zero Axy or 5xy
    std::int32_t patternLoopRow = 0;        // row marked by E60
    std::int32_t patternLoopCounter = 0;    // loops left, 0 when not looping
    // The memories of 1xx and of 3xx/5xy, which a tracker musician expects
    // to behave like those of 2xx (see music/replay.h).
    std::uint8_t portamentoUpMemory = 0;    // last non-zero 1xx
    std::uint8_t tonePortamentoSpeed = 0;   // last non-zero 3xx
    std::int32_t tonePortamentoTarget = 0;  // period a tone portamento slides to; 0: none
    // The last linear-table frequency, kept because every tick asks for the
    // frequency again (the automatic vibrato runs on every tick) and the
    // period mostly stays: the power of two is computed only when it moves.
    std::uint8_t frequencyKnown = 0;        // 1 once frequency and frequencyExponent hold a pair
    std::int64_t frequencyExponent = 0;     // 4608 - period + delta
    std::int64_t frequency = 0;             // PeriodFrequency(true, ...) at that exponent
};

// The channel table: channel c of the song is channelTable[c].
extern std::array<Channel, kMaxChannels> channelTable;

// One tick of one envelope of the channel's instrument; the update flag
// (UpdateVolume or UpdatePanning) is added to the channel's flags. Exact:
// integer 16.16 arithmetic, slopes truncated toward zero.
void StepEnvelope(Channel& channel, EnvelopeState& envelope, const EnvelopePoint* points, std::int32_t pointCount,
                  std::int32_t sustainPoint, std::int32_t loopStartPoint, std::int32_t loopEndPoint,
                  std::uint8_t envelopeType, std::uint8_t updateFlag);

// One tick of the instrument's automatic vibrato: adds to the period delta
// and raises UpdateFrequency, whether or not a note plays.
void StepAutoVibrato(Channel& channel, const Instrument& instrument);

// The wave of the automatic vibrato at position 0..255, -64..64. Types 0 sine,
// 1 square, 2 ramp down, 3 ramp up; other types (not in valid files) play the
// sine, the wave a musician gets by default.
std::int32_t AutoVibratoWave(std::uint8_t type, std::int32_t position);

// Reloads a channel whose cell names an instrument: the sample's volume and
// panning, envelopes from their start, no key-off, full fadeout, vibrato from
// its start; raises UpdateVolume and UpdatePanning.
void ResetChannelForInstrument(Channel& channel, const Sample& sample);

// Applies the channel's update flags to its voice, in this order: a trigger
// (the sounding voice is handed to the partner slot to fade out, the channel
// moves there... see the .cpp), then the volume, the panning and the frequency.
// `sample` is what a trigger starts; the module gives the global volume and
// the frequency table.
void UpdateVoice(Channel& channel, const Sample& sample, const Module& module);

// The frequency of a period sum in Hz, before the 100 Hz floor: linear table
// floor(8363 x 2^((4608 - period + delta) / 768)), else 14,317,056 / (period +
// delta) truncated. Double precision. Clamped to the 32-bit range.
std::int64_t PeriodFrequency(bool linear, std::int32_t period, std::int32_t periodDelta);

// The 32.32 step for a frequency at the mixer's rate (mixer.rate, 44,100
// unless SetUpVoiceTable chose another): integer part frequency div rate,
// fraction floor((frequency mod rate) x 2^32 / rate), in 64-bit integers.
void SetVoiceStep(Voice& voice, std::int64_t frequency);

}  // namespace music
