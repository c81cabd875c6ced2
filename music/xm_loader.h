#pragma once
// The XM ("Extended Module") loader: reads a song through the stream table
// (music/stream.h) into the records of music/module.h. Main thread only,
// before any output thread plays the result.
//
// The file is read strictly front to back through a bounded reader: every
// field past the end of the stream reads as 0, the way IBXM's data_u16le
// does, so a truncated or lying file can never make the loader read outside
// its bytes. Nothing is read into packed structs.
//
// What the loader trusts, and what it does about the rest:
//
// | The file says                            | The loader                                      | Why |
// |------------------------------------------|-------------------------------------------------|-----|
// | REJECTED: the load fails and LoadReport names the reason                                                        |
// | open fails                               | "cannot open"                                   | nothing to read |
// | first 17 bytes not "Extended Module: "   | "not an XM module"                              | the one thing the format promises |
// | channel count 0 or above 32              | "N channels (1 to 32)"                          | the channel table has 32 entries; 0 plays nothing |
// | more than 256 stored patterns            | "N patterns stored (at most 256)"               | order entries are bytes; bounds pattern memory |
// | a stored pattern of more than 256 rows   | "pattern P has N rows (at most 256)"            | the format's limit; bounds the cells a 9-byte header can claim |
// | an instrument with more than 16 samples  | "instrument I has N samples (at most 16)", I    | an instrument has 16 sample slots |
// |                                          |   counted from 1 as trackers show it            |   |
// | CLAMPED: the song loads with a safe value instead                                                               |
// | song length 0 / above 256                | 1 / 256                                         | position 0 always plays; the order table has 256 entries |
// | restart position >= song length          | 0                                               | the song must continue at a position it has |
// | default BPM 0 / above 255                | 125 (the format's default) / 255                | the tick length divides by the BPM; Fxx sets at most 255 |
// | default speed above 255                  | 255                                             | keeps the 16-bit field positive and a row under a minute |
// | more than 128 instruments                | the first 128 are read, the rest ignored        | cells can name only instruments 1 to 128 |
// | a stored pattern of 0 rows               | 1 row                                           | the engine steps rows; a pattern has at least one |
// | cell note 98 to 255                      | 0 (no note)                                     | only 1..96 index the 96-entry note map; 97 is key-off |
// | cell instrument above 128                | 0 (no instrument)                               | the format's own rule |
// | envelope point count above 12            | 12                                              | an envelope has 12 points |
// | envelope y above 64                      | 64                                              | envelope output is 0..64 |
// | envelope x below the previous point's    | the previous point's x                          | the envelope must move forward in time, or its value runs away |
// | sustain or loop point not below the      | that sustain or loop bit cleared                | it could never be reached; a loop start beyond the points would |
// |   envelope's point count                 |                                                 |   index outside them |
// | sample volume above 64                   | 64                                              | volume is 0..64 |
// | sample loop reaching past the sample end | loop end cut to the sample end; a loop that     | the mixer reads the loop guard value at loop start + loop length |
// |                                          |   starts at or past the end plays without loop  |   |
// | sample data running past the end of file | the sample shortened to the bytes present       | memory is allocated only for bytes that exist |
// | header sizes pointing past the end       | the reader stops at the end                     | the stream clamps every seek to 0..size |
// | ZERO-FILLED: read as 0 and loaded                                                                               |
// | any field past the end of the file       | 0 (headers, cells, instrument fields)           | a truncated song keeps what it has; if that leaves 0 channels |
// |                                          |                                                 |   it is rejected above |
// | MENDED: read differently from the plain front-to-back rule                                                     |
// | 16-bit sample with an odd byte length    | its last, odd byte skipped after the data       | the next sample starts where the file puts it, not a byte early |
//
// Memory is bounded by what the bytes justify: sample data by the bytes
// present in the stream; pattern cells by the format's limits (256 patterns of
// 256 rows of 32 channels, 10 MiB), which a short file can legitimately claim
// with empty patterns; instruments by 128. Every loop runs over counts bounded
// the same way, so no input makes the loader run long.

#include <cstdint>
#include <string>

#include "music/module.h"
#include "music/stream.h"

namespace music {

enum class LoadFailure : std::uint8_t {
    None,
    CannotOpen,          // the stream table is empty or open returned none
    NotXm,               // signature mismatch
    BadChannelCount,     // value: the channel count
    TooManyPatterns,     // value: the stored pattern count
    TooManyRows,         // item: pattern, value: rows
    TooManySamples,      // item: instrument (0-based), value: sample count
};

// Clamps and zero-fills applied while loading (bits of LoadReport::repairs).
enum LoadRepair : std::uint32_t {
    kRepairTruncated = 1u << 0,        // the stream ended early: fields zero-filled or samples shortened
    kRepairSongLength = 1u << 1,       // song length or restart position clamped
    kRepairTempo = 1u << 2,            // default BPM or speed clamped
    kRepairInstrumentCount = 1u << 3,  // instruments beyond 128 ignored
    kRepairRows = 1u << 4,             // a pattern of 0 rows given 1
    kRepairCellNote = 1u << 5,         // cell notes 98..255 cleared
    kRepairEnvelope = 1u << 6,         // point count, point, sustain or loop fixed
    kRepairSampleVolume = 1u << 7,     // sample volume above 64
    kRepairSampleLoop = 1u << 8,       // a loop reaching past its sample's end
};

struct LoadReport {
    LoadFailure failure = LoadFailure::None;
    std::int32_t item = -1;          // the pattern or instrument the failure concerns, 0-based; -1 none
    std::int64_t value = 0;          // the offending value
    std::uint32_t repairs = 0;       // LoadRepair bits
    std::int32_t streamSize = 0;     // bytes in the stream
    std::int32_t bytesUsed = 0;      // stream position when loading ended
};

// The reason for a failure, e.g. "instrument 3 has 17 samples (at most 16)";
// empty for LoadFailure::None.
std::string DescribeLoadFailure(const LoadReport& report);

// The names of the repairs, comma-separated; empty for none.
std::string DescribeRepairs(std::uint32_t repairs);

// Opens the source by name through the stream table, reads it with ReadXm and
// closes it. Returns the new song (free it with FreeModule), or nullptr with
// the reason in *report when one is given.
Module* LoadModule(const char* name, LoadReport* report = nullptr);

// Reads an XM from the stream into a zeroed Module. On failure the Module
// holds whatever was read so far and must still be freed.
bool ReadXm(Module& module, ModuleStream& stream, LoadReport* report = nullptr);

}  // namespace music
