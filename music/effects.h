#pragma once
// The commands a pattern cell can hold — its effect and its volume-column
// byte — and how this engine plays each of them compared with FastTracker 2,
// the tracker XM songs are composed in.
//
// The replay engine (music/replay.cpp) switches on the effect constants
// below; quandrix-xminfo and quandrix-xmrender read SupportOf to tell a
// musician what the intro will not play. The two meet in one table on
// purpose: the music tests play every command through the engine and check
// that what SupportOf calls ignored leaves the song's state untouched and
// what it calls played changes it, so an engine change that this table does
// not follow fails there.

#include <cstdint>
#include <string>

namespace music {

// Effect types, with the letter trackers show them under.
inline constexpr std::uint8_t kArpeggio = 0x00;             // 0xy
inline constexpr std::uint8_t kPortamentoUp = 0x01;         // 1xx
inline constexpr std::uint8_t kPortamentoDown = 0x02;       // 2xx
inline constexpr std::uint8_t kTonePortamento = 0x03;       // 3xx
inline constexpr std::uint8_t kTonePortamentoVolume = 0x05; // 5xy
inline constexpr std::uint8_t kSetPanning = 0x08;           // 8xx
inline constexpr std::uint8_t kVolumeSlide = 0x0A;          // Axy
inline constexpr std::uint8_t kExtended = 0x0E;             // Exy
inline constexpr std::uint8_t kSpeedTempo = 0x0F;           // Fxx
inline constexpr std::uint8_t kGlobalVolume = 0x10;         // Gxx
inline constexpr std::uint8_t kGlobalVolumeSlide = 0x11;    // Hxy
inline constexpr std::uint8_t kKeyOff = 0x14;               // Kxx
inline constexpr std::uint8_t kExtraFinePortamento = 0x21;  // Xxy (not played)

// Exy sub-commands (x) the engine plays.
inline constexpr std::uint8_t kPatternLoop = 0x6;  // E6y
inline constexpr std::uint8_t kNoteCut = 0xC;      // ECy

inline constexpr std::int32_t kMinTempoParameter = 32;  // Fxx from here on sets the BPM

enum class EngineSupport : std::uint8_t {
    NoEffect,  // does nothing here and in FastTracker 2 (an empty column, 000, E0y)
    Played,    // plays as in FastTracker 2
    OwnWay,    // plays, in a way of its own (OwnWayNote says how)
    Ignored,   // a FastTracker 2 command this engine does not play
    Unknown,   // no FastTracker 2 command; ignored here as there (other trackers may give it a meaning)
};

// One kind of command, the unit the reports count. Commands of one kind
// share their support; Exy and Xxy are told apart by x, and 0xy and Kxx by
// whether the parameter is 0.
struct CellCommand {
    bool volumeColumn = false;  // false: the effect column
    std::uint8_t code = 0;      // effect type; volume column: the high nibble, with 0x10..0x50 as 1 and
                                //   0x01..0x0F and 0x51..0x5F as 0
    std::uint8_t sub = 0;       // Exy, Xxy: x; 0xy, Kxx: 1 when the parameter is not 0; else 0

    auto operator<=>(const CellCommand&) const = default;
};

// The command of a cell's effect column (type and parameter).
CellCommand EffectCommand(std::uint8_t type, std::uint8_t parameter);

// The command of a cell's volume-column byte.
CellCommand VolumeColumnCommand(std::uint8_t volumeByte);

EngineSupport SupportOf(const CellCommand& command);

// How the command is shown, e.g. "E9y", "Cxx", "Kxx (xx above 0)", "volume
// column Bx"; an effect type beyond Z as "effect type 36".
std::string CommandCode(const CellCommand& command);

// What it does in FastTracker 2, e.g. "retrigger", "set volume"; "" when it
// has no FastTracker 2 meaning.
std::string CommandName(const CellCommand& command);

// For OwnWay commands: how this engine plays it, one clause; "" otherwise.
const char* OwnWayNote(const CellCommand& command);

}  // namespace music
