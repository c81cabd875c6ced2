#pragma once
// The song in memory: the records the XM loader (music/xm_loader.h) fills and
// the replay engine and mixer read.
//
// Two kinds of data live here and are kept apart on purpose:
// - the loaded song (patterns, instruments, samples and the module header):
//   written only by the loader, read-only afterwards, so every fact in it is
//   one the loader has checked (see the policy table in xm_loader.h);
// - the playback state (the Module's tick, row, order, tempo and global
//   volume): reset when playback starts and advanced tick by tick on the
//   output thread, which alone touches it while it plays.
// Instrument, Sample, Pattern, PatternCell and EnvelopePoint hold song data
// only; the per-channel and per-voice playback state lives in the channel and
// voice tables.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace music {

inline constexpr std::uint8_t KeyOffNote = 255;        // a cell's note after a key-off (file value 97)
inline constexpr int kMaxChannels = 32;                // the channel table's size
inline constexpr int kMaxPatterns = 256;               // order entries are bytes
inline constexpr int kMaxRows = 256;                   // rows per pattern
inline constexpr int kEmptyPatternRows = 64;           // rows of a referenced but unstored pattern
inline constexpr int kMaxInstruments = 128;            // cells name instruments 1..128
inline constexpr int kInstrumentSampleSlots = 16;      // samples per instrument
inline constexpr int kNoteCount = 96;                  // notes 1..96, C-0 to B-7
inline constexpr int kEnvelopePoints = 12;             // points per envelope
inline constexpr int kOrderTableSize = 256;            // song positions
inline constexpr int kSampleGuardValues = 8;           // zeroed values after a sample's end
inline constexpr std::uint32_t kUnrolledLoopValues = 2048;  // a forward loop shorter than this gets an unrolled copy

// Envelope type bits.
inline constexpr std::uint8_t kEnvelopeOn = 1;
inline constexpr std::uint8_t kEnvelopeSustain = 2;
inline constexpr std::uint8_t kEnvelopeLoop = 4;

// Sample loop types, tested as bits by the mixer.
inline constexpr std::uint8_t kLoopNone = 1;
inline constexpr std::uint8_t kLoopForward = 2;
inline constexpr std::uint8_t kLoopPingPong = 4;

struct PatternCell {
    std::uint8_t note = 0;        // 0 none, 1..96 (1 = C-0), KeyOffNote
    std::uint8_t instrument = 0;  // 0 none, 1..128
    std::uint8_t volume = 0;      // volume column byte, 0x00..0xFF
    std::uint8_t effect = 0;      // effect type, 0..255 (unknown types are ignored)
    std::uint8_t parameter = 0;   // effect parameter xy
};

struct Pattern {
    std::int32_t rows = 0;             // 1..256
    std::vector<PatternCell> cells;    // rows x channel count; channel c of row r at r x channel count + c
};

struct EnvelopePoint {
    std::uint16_t x = 0;  // ticks from the note's start; non-decreasing along an envelope
    std::uint16_t y = 0;  // 0..64
};

struct Sample {
    std::vector<std::int16_t> data;  // length + 8 values: the waveform, then zeros except the loop guard
                                     // value at loop start + loop length; empty when length is 0
    std::uint32_t length = 0;        // sample values (not bytes)
    std::uint32_t loopStart = 0;     // sample values; 0 without loop
    std::uint32_t loopLength = 0;    // sample values, >= 1 with a loop; = length without;
                                     // loopStart + loopLength <= length
    std::uint8_t volume = 0;         // 0..64
    std::int8_t finetune = 0;        // -128..127, 1/128 of a semitone
    std::int32_t panning = 0;        // 0..255, 255 fully left
    std::uint8_t bits = 0;           // 16 once loaded (8-bit data is scaled up)
    std::uint8_t loopType = 0;       // kLoopNone, kLoopForward or kLoopPingPong once loaded
    std::int8_t relativeNote = 0;    // semitones added to the cell's note
    std::vector<std::int16_t> unrolledLoop;  // forward loops shorter than kUnrolledLoopValues: the loop's
                                     // values repeated to at least that many, then 8 more of the same
                                     // run; empty otherwise (UnrollShortLoop)
};

// Fills sample.unrolledLoop from data, loop start and loop length (empty
// unless the sample has a forward loop shorter than kUnrolledLoopValues). The
// mixer then plays a voice at constant gains through many passes of a short
// loop in one stretch instead of one stretch per pass: the copy holds, at
// every place, the value the wrapped position would read (the loop's guard
// value included), so the floats are the same. The loader calls it.
void UnrollShortLoop(Sample& sample);

// Shared silent records: a note on an unknown instrument or an empty sample
// slot plays these. Zeroed, never freed, never owned by a Module.
extern const Sample EmptySample;

struct Instrument {
    std::int32_t sampleCount = 0;  // 0..16 samples owned by this instrument
    // Slot to sample; slots sampleCount..15 refer to EmptySample.
    std::array<const Sample*, kInstrumentSampleSlots> samples = EmptySampleSlots();
    std::array<std::uint8_t, kNoteCount> noteMap{};  // sample slot for each note; 16 or above: EmptySample
    std::array<EnvelopePoint, kEnvelopePoints> volumeEnvelope{};   // y 0..64
    std::array<EnvelopePoint, kEnvelopePoints> panningEnvelope{};  // y 0..64, 32 the centre
    std::uint8_t volumePointCount = 0;       // 0..12
    std::uint8_t panningPointCount = 0;      // 0..12
    std::uint8_t volumeSustainPoint = 0;     // point index; < volumePointCount when the sustain bit is set
    std::uint8_t volumeLoopStartPoint = 0;   // point index; < volumePointCount when the loop bit is set
    std::uint8_t volumeLoopEndPoint = 0;     // point index; < volumePointCount when the loop bit is set
    std::uint8_t panningSustainPoint = 0;    // as for volume
    std::uint8_t panningLoopStartPoint = 0;
    std::uint8_t panningLoopEndPoint = 0;
    std::uint8_t volumeEnvelopeType = 0;     // kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop; 0 below 2 points
    std::uint8_t panningEnvelopeType = 0;    // as for volume
    std::uint8_t autoVibratoType = 0;        // 0 sine, 1 square, 2 ramp down, 3 ramp up (file value, 0..255)
    std::uint8_t autoVibratoSweep = 0;       // ticks until full depth, 0: at once
    std::uint8_t autoVibratoDepth = 0;       // 0..255
    std::uint8_t autoVibratoRate = 0;        // position step per tick, 256 a full wave
    std::uint16_t fadeout = 0;               // subtracted per tick from 65,536 after key-off; twice the
                                             // file's value, doubled in 16 bits

    // Storage behind samples[0..sampleCount): one record each, fixed once
    // loaded, so the pointers above and the voices' pointers stay valid.
    std::unique_ptr<Sample[]> ownedSamples;

    static std::array<const Sample*, kInstrumentSampleSlots> EmptySampleSlots();
};

extern const Instrument EmptyInstrument;

struct Module;
using TickOperation = void (*)(Module& module);  // advances the song by one tick

struct Module {
    // ---- The loaded song: written by the loader, read-only afterwards ----
    std::vector<Pattern> patterns;         // patternSlotCount entries
    std::vector<Instrument> instruments;   // instrumentCount entries
    std::int16_t songLength = 0;           // 1..256 order positions in use
    std::int16_t restartPosition = 0;      // 0..songLength - 1, where the song continues after its end
    std::int16_t channelCount = 0;         // 1..32
    std::int32_t storedPatternCount = 0;   // 0..256 patterns in the file
    std::int32_t referencedPatternCount = 0;  // 1 + the largest order entry in use, 1..256
    std::int32_t patternSlotCount = 0;     // max(stored, referenced), 1..256
    std::int16_t instrumentCount = 0;      // 0..128
    std::uint16_t flags = 0;               // bit 0: linear frequency table (else Amiga periods)
    std::int16_t defaultSpeed = 0;         // ticks per row at the start, 0..255 (0: every tick a row)
    std::int16_t defaultBpm = 0;           // tempo at the start, 1..255
    std::array<std::uint8_t, kOrderTableSize> orderTable{};  // pattern slot for each song position
    std::uint8_t initialGlobalVolume = 0;  // 64 (the file has no such field)
    TickOperation tickOperation = nullptr; // the song's own tick operation, called by the block renderer

    // ---- Playback state: reset by StartPlayback, advanced on the output thread ----
    std::int32_t framesLeftInTick = 0;     // output frames still to mix before the next tick
    std::int32_t framesPerTick = 0;        // output frames per tick at the current BPM
    std::int32_t globalVolume = 0;         // 0..64
    std::uint8_t globalVolumeSlideMemory = 0;  // last non-zero Hxy parameter
    std::int32_t tick = 0;                 // 0..speed - 1 within the row
    std::int32_t speed = 0;                // ticks per row
    std::int32_t bpm = 0;                  // beats per minute
    std::int32_t row = 0;                  // the row being played
    std::int32_t orderPosition = 0;        // the song position being played
    std::int32_t nextRow = 0;              // where the next row comes from; -1 for none
    std::int32_t nextOrderPosition = 0;    // where the next order position comes from; -1 for none
};

// Bit 0 of Module::flags: periods follow the linear table (else Amiga periods).
inline constexpr std::uint16_t kLinearFrequencyFlag = 1;

inline bool UsesLinearFrequencies(const Module& module) { return (module.flags & kLinearFrequencyFlag) != 0; }

// Frees a song made by LoadModule: its samples and their data, instruments,
// pattern cells and patterns, then the Module itself. False for nullptr.
// The caller makes sure no output thread is rendering from it.
bool FreeModule(Module* module);

}  // namespace music
