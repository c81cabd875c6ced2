#pragma once
// What the intro's engine will not play of a song, and what it plays in a way
// of its own: the musician composes in a tracker that plays every XM command,
// and this is what changes when the intro plays the song instead.
//
// AnalyseSong is a pure function of the loaded song. It walks the cells of
// the patterns that the order table plays — each pattern once, however often
// the order names it; patterns the order never names are never heard and are
// not counted — and asks music::SupportOf (music/effects.h), the table the
// replay engine is checked against, what becomes of each cell's effect and
// volume-column command. Every row of a played pattern is heard, since the
// engine ignores position jumps and pattern breaks.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "music/effects.h"
#include "music/module.h"
#include "tools/songreport/json_writer.h"

namespace songreport {

// Where a command is first heard: order position, the pattern it names, row
// (from 0) and channel (from 1, as trackers show them).
struct Place {
    int order = 0;
    int pattern = 0;
    int row = 0;
    int channel = 0;
};

struct CommandUse {
    music::CellCommand command;
    music::EngineSupport support = music::EngineSupport::NoEffect;
    std::int64_t cells = 0;  // cells holding it, each pattern cell counted once
    Place first;
};

// Two neighbouring points of an envelope that is on, at the same tick: the
// engine plays the first for one tick, then goes on from the second (a point
// the file put back in time is loaded at its predecessor's tick, so it counts
// here too).
struct EnvelopeTie {
    int instrument = 0;   // from 1
    bool panning = false; // false: the volume envelope
    int point = 0;        // the first of the two, from 0
    int tick = 0;
};

struct EngineReport {
    int patternsCounted = 0;    // distinct patterns the order plays
    int patternsUnplayed = 0;   // stored patterns the order never names
    std::vector<CommandUse> notPlayed;  // Ignored and Unknown, effects first, by code
    std::vector<CommandUse> ownWay;     // OwnWay commands, the same order
    std::vector<EnvelopeTie> envelopeTies;
    std::vector<int> sineVibratoInstruments;  // from 1: auto-vibrato types above 3, played as the sine
    bool amigaTable = false;  // notes at the linear table's pitches, slides in Amiga periods

    // Nothing ignored and nothing played in a way of its own.
    bool FullyPlayed() const;
};

EngineReport AnalyseSong(const music::Module& module);

// The section "not played by this engine", then "played in its own way"; a
// song the engine plays in full gets one line saying so.
void PrintEngineReport(const EngineReport& report, std::FILE* out);

// The report in one line, for a tool that is about to play the song, e.g.
// "not played by this engine: Cxx set volume (312 cells), E9y retrigger (4
// cells); played in its own way: 3xx tone portamento (2 cells)".
std::string SummaryLine(const EngineReport& report);

// The report as the value of the key the caller has written: an object with
// the same facts as PrintEngineReport.
void WriteEngineReportJson(const EngineReport& report, JsonWriter& json);

// "ignored", "unknown", "own way", "played", "no effect".
const char* SupportName(music::EngineSupport support);

}  // namespace songreport
