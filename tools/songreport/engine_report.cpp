#include "tools/songreport/engine_report.h"

#include <algorithm>
#include <array>
#include <map>

namespace songreport {

namespace {

using music::CellCommand;
using music::EngineSupport;

bool Reported(EngineSupport support) {
    return support == EngineSupport::Ignored || support == EngineSupport::Unknown ||
           support == EngineSupport::OwnWay;
}

void Count(std::map<CellCommand, CommandUse>& uses, const CellCommand& command, const Place& place) {
    const EngineSupport support = music::SupportOf(command);
    if (!Reported(support)) return;
    auto [it, added] = uses.try_emplace(command);
    if (added) {
        it->second.command = command;
        it->second.support = support;
        it->second.first = place;
    }
    ++it->second.cells;
}

// "Cxx set volume", or the code alone for a command without a meaning in
// FastTracker 2.
std::string Title(const CellCommand& command) {
    const std::string name = music::CommandName(command);
    const std::string code = music::CommandCode(command);
    return name.empty() ? code + " (no FastTracker 2 command)" : code + " " + name;
}

std::string Cells(std::int64_t n) { return std::to_string(n) + (n == 1 ? " cell" : " cells"); }

void FindTies(const music::Instrument& instrument, int number, EngineReport& report) {
    struct Envelope {
        const std::array<music::EnvelopePoint, music::kEnvelopePoints>* points;
        int count;
        std::uint8_t type;
        bool panning;
    };
    const Envelope envelopes[] = {
        {&instrument.volumeEnvelope, instrument.volumePointCount, instrument.volumeEnvelopeType, false},
        {&instrument.panningEnvelope, instrument.panningPointCount, instrument.panningEnvelopeType, true},
    };
    for (const Envelope& e : envelopes) {
        if (!(e.type & music::kEnvelopeOn)) continue;
        const int count = std::min(e.count, music::kEnvelopePoints);
        for (int i = 0; i + 1 < count; ++i) {
            if ((*e.points)[i].x == (*e.points)[i + 1].x) {
                report.envelopeTies.push_back({number, e.panning, i, (*e.points)[i].x});
                break;  // one line per envelope
            }
        }
    }
}

const char* kTieNote = "the first point holds for one tick, then the envelope goes on from the second";
const char* kAmigaNote = "notes play at the linear table's pitches; slides move in Amiga periods";
const char* kSineNote = "auto-vibrato types above 3 play the sine";

void PrintPlace(const Place& p, std::FILE* out) {
    std::fprintf(out, "first at order %d, pattern %d, row %d, channel %d", p.order, p.pattern, p.row, p.channel);
}

void WritePlace(const Place& p, JsonWriter& json) {
    json.Key("first");
    json.BeginObject();
    json.Field("order", p.order);
    json.Field("pattern", p.pattern);
    json.Field("row", p.row);
    json.Field("channel", p.channel);
    json.EndObject();
}

void WriteUses(const char* key, const std::vector<CommandUse>& uses, JsonWriter& json) {
    json.Key(key);
    json.BeginArray();
    for (const CommandUse& use : uses) {
        json.BeginObject();
        json.Field("column", use.command.volumeColumn ? "volume" : "effect");
        json.Field("code", music::CommandCode(use.command));
        json.Field("name", music::CommandName(use.command));
        json.Field("support", SupportName(use.support));
        if (use.support == EngineSupport::OwnWay) json.Field("how", music::OwnWayNote(use.command));
        json.Field("cells", use.cells);
        WritePlace(use.first, json);
        json.EndObject();
    }
    json.EndArray();
}

}  // namespace

bool EngineReport::FullyPlayed() const {
    return notPlayed.empty() && ownWay.empty() && envelopeTies.empty() && sineVibratoInstruments.empty() &&
           !amigaTable;
}

const char* SupportName(EngineSupport support) {
    switch (support) {
        case EngineSupport::Ignored: return "ignored";
        case EngineSupport::Unknown: return "unknown";
        case EngineSupport::OwnWay: return "own way";
        case EngineSupport::Played: return "played";
        default: return "no effect";
    }
}

EngineReport AnalyseSong(const music::Module& module) {
    EngineReport report;
    std::map<CellCommand, CommandUse> uses;
    std::vector<bool> counted(module.patterns.size(), false);
    const int channels = module.channelCount;
    for (int order = 0; order < module.songLength && order < music::kOrderTableSize; ++order) {
        const std::size_t p = module.orderTable[static_cast<std::size_t>(order)];
        if (p >= module.patterns.size() || counted[p]) continue;
        counted[p] = true;
        ++report.patternsCounted;
        const music::Pattern& pattern = module.patterns[p];
        for (int row = 0; row < pattern.rows; ++row) {
            for (int c = 0; c < channels; ++c) {
                const std::size_t at = static_cast<std::size_t>(row) * static_cast<std::size_t>(channels) +
                                       static_cast<std::size_t>(c);
                if (at >= pattern.cells.size()) break;
                const music::PatternCell& cell = pattern.cells[at];
                const Place place{order, static_cast<int>(p), row, c + 1};
                Count(uses, music::EffectCommand(cell.effect, cell.parameter), place);
                Count(uses, music::VolumeColumnCommand(cell.volume), place);
            }
        }
    }
    for (std::size_t p = 0; p < counted.size() && p < static_cast<std::size_t>(module.storedPatternCount); ++p) {
        if (!counted[p]) ++report.patternsUnplayed;
    }
    for (const auto& [command, use] : uses) {
        (use.support == EngineSupport::OwnWay ? report.ownWay : report.notPlayed).push_back(use);
    }
    for (int i = 0; i < module.instrumentCount && i < static_cast<int>(module.instruments.size()); ++i) {
        const music::Instrument& instrument = module.instruments[static_cast<std::size_t>(i)];
        if (instrument.sampleCount == 0) continue;  // nothing of it is heard
        FindTies(instrument, i + 1, report);
        if (instrument.autoVibratoType > 3 && instrument.autoVibratoDepth != 0) {
            report.sineVibratoInstruments.push_back(i + 1);
        }
    }
    report.amigaTable = !music::UsesLinearFrequencies(module);
    return report;
}

void PrintEngineReport(const EngineReport& report, std::FILE* out) {
    if (report.FullyPlayed()) {
        std::fprintf(out, "not played by this engine: nothing; it plays every command of this song as "
                          "FastTracker 2 does\n");
        return;
    }
    std::fprintf(out, "not played by this engine (cells of the %d pattern%s the order plays, each counted once):\n",
                 report.patternsCounted, report.patternsCounted == 1 ? "" : "s");
    if (report.notPlayed.empty()) std::fprintf(out, "  nothing\n");
    for (const CommandUse& use : report.notPlayed) {
        std::fprintf(out, "  %s: %s, ", Title(use.command).c_str(), Cells(use.cells).c_str());
        PrintPlace(use.first, out);
        std::fprintf(out, "\n");
    }
    std::fprintf(out, "played in its own way:\n");
    const bool nothingOwn = report.ownWay.empty() && report.envelopeTies.empty() &&
                            report.sineVibratoInstruments.empty() && !report.amigaTable;
    if (nothingOwn) std::fprintf(out, "  nothing\n");
    for (const CommandUse& use : report.ownWay) {
        std::fprintf(out, "  %s: %s, ", Title(use.command).c_str(), Cells(use.cells).c_str());
        PrintPlace(use.first, out);
        std::fprintf(out, ": %s\n", music::OwnWayNote(use.command));
    }
    if (!report.envelopeTies.empty()) {
        const EnvelopeTie& t = report.envelopeTies.front();
        const std::size_t n = report.envelopeTies.size();
        std::fprintf(out,
                     "  envelope points at the same tick: %zu envelope%s, first instrument %d %s envelope "
                     "points %d and %d at tick %d: %s\n",
                     n, n == 1 ? "" : "s", t.instrument, t.panning ? "panning" : "volume", t.point, t.point + 1,
                     t.tick, kTieNote);
    }
    if (!report.sineVibratoInstruments.empty()) {
        std::fprintf(out, "  auto-vibrato type above 3: instrument%s",
                     report.sineVibratoInstruments.size() == 1 ? "" : "s");
        for (int i : report.sineVibratoInstruments) std::fprintf(out, " %d", i);
        std::fprintf(out, ": %s\n", kSineNote);
    }
    if (report.amigaTable) std::fprintf(out, "  Amiga frequency table: %s\n", kAmigaNote);
}

std::string SummaryLine(const EngineReport& report) {
    if (report.FullyPlayed()) return "this engine plays every command of this song as FastTracker 2 does";
    std::string line = "not played by this engine: ";
    if (report.notPlayed.empty()) line += "nothing";
    for (std::size_t i = 0; i < report.notPlayed.size(); ++i) {
        const CommandUse& use = report.notPlayed[i];
        line += (i ? ", " : "") + Title(use.command) + " (" + Cells(use.cells) + ")";
    }
    std::vector<std::string> own;
    for (const CommandUse& use : report.ownWay) own.push_back(Title(use.command) + " (" + Cells(use.cells) + ")");
    if (!report.envelopeTies.empty()) {
        own.push_back("envelope points at the same tick (" + std::to_string(report.envelopeTies.size()) +
                      (report.envelopeTies.size() == 1 ? " envelope)" : " envelopes)"));
    }
    if (!report.sineVibratoInstruments.empty()) own.push_back("auto-vibrato type above 3");
    if (report.amigaTable) own.push_back("Amiga frequency table");
    if (!own.empty()) {
        line += "; played in its own way: ";
        for (std::size_t i = 0; i < own.size(); ++i) line += (i ? ", " : "") + own[i];
    }
    return line;
}

void WriteEngineReportJson(const EngineReport& report, JsonWriter& json) {
    json.BeginObject();
    json.Field("fullyPlayed", report.FullyPlayed());
    json.Field("patternsCounted", report.patternsCounted);
    json.Field("patternsUnplayed", report.patternsUnplayed);
    WriteUses("notPlayed", report.notPlayed, json);
    WriteUses("ownWay", report.ownWay, json);
    json.Key("envelopeTies");
    json.BeginArray();
    for (const EnvelopeTie& t : report.envelopeTies) {
        json.BeginObject();
        json.Field("instrument", t.instrument);
        json.Field("envelope", t.panning ? "panning" : "volume");
        json.Field("point", t.point);
        json.Field("tick", t.tick);
        json.Field("how", kTieNote);
        json.EndObject();
    }
    json.EndArray();
    json.Key("sineVibratoInstruments");
    json.BeginArray(true);
    for (int i : report.sineVibratoInstruments) json.Int(i);
    json.EndArray();
    json.Field("amigaTable", report.amigaTable);
    json.EndObject();
}

}  // namespace songreport
