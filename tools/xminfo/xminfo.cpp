#include "tools/xminfo/xminfo.h"

#include <cstring>
#include <string>

#include "tools/songfile/song_file.h"
#include "tools/songreport/engine_report.h"

namespace xminfo {

namespace {

std::string NoteName(int note) {  // 1-based, 1 = C-0
    static const char* const kNames[] = {"C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"};
    return std::string(kNames[(note - 1) % 12]) + std::to_string((note - 1) / 12);
}

void PrintEnvelope(const char* name, const std::array<music::EnvelopePoint, music::kEnvelopePoints>& points,
                   int count, int type, int sustain, int loopStart, int loopEnd, std::FILE* out) {
    std::fprintf(out, "    %s envelope: ", name);
    if (!(type & music::kEnvelopeOn)) {
        std::fprintf(out, "off");
    } else {
        std::fprintf(out, "on");
        if (type & music::kEnvelopeSustain) std::fprintf(out, ", sustain at point %d", sustain);
        if (type & music::kEnvelopeLoop) std::fprintf(out, ", loop points %d to %d", loopStart, loopEnd);
    }
    std::fprintf(out, "; %d points", count);
    for (int i = 0; i < count; ++i) std::fprintf(out, " (%u,%u)", points[i].x, points[i].y);
    std::fprintf(out, "\n");
}

void PrintNoteMap(const music::Instrument& instrument, std::FILE* out) {
    std::fprintf(out, "    note map:");
    int first = 0;
    for (int n = 1; n <= music::kNoteCount; ++n) {
        if (n < music::kNoteCount && instrument.noteMap[n] == instrument.noteMap[first]) continue;
        std::fprintf(out, " %s..%s->%u", NoteName(first + 1).c_str(), NoteName(n).c_str(),
                     instrument.noteMap[first]);
        first = n;
    }
    std::fprintf(out, "\n");
}

}  // namespace

void PrintModuleFacts(const music::Module& module, const music::LoadReport& report, std::FILE* out) {
    std::fprintf(out, "bytes: %d, %d used\n", report.streamSize, report.bytesUsed);
    std::fprintf(out, "channels: %d\n", module.channelCount);
    std::fprintf(out, "patterns: %d stored, %d referenced, %d slots\n", module.storedPatternCount,
                 module.referencedPatternCount, module.patternSlotCount);
    std::fprintf(out, "rows:");
    for (const music::Pattern& pattern : module.patterns) std::fprintf(out, " %d", pattern.rows);
    std::fprintf(out, "\n");
    std::fprintf(out, "song length: %d\n", module.songLength);
    std::fprintf(out, "restart position: %d\n", module.restartPosition);
    std::fprintf(out, "order:");
    for (int i = 0; i < module.songLength; ++i) std::fprintf(out, " %d", module.orderTable[i]);
    std::fprintf(out, "\n");
    std::fprintf(out, "frequency table: %s\n", music::UsesLinearFrequencies(module) ? "linear" : "amiga");
    std::fprintf(out, "speed: %d\n", module.defaultSpeed);
    std::fprintf(out, "BPM: %d\n", module.defaultBpm);
    std::fprintf(out, "instruments: %d\n", module.instrumentCount);
    for (int i = 0; i < module.instrumentCount; ++i) {
        const music::Instrument& instrument = module.instruments[i];
        std::fprintf(out, "  instrument %d: %d sample%s", i + 1, instrument.sampleCount,
                     instrument.sampleCount == 1 ? "" : "s");
        if (instrument.sampleCount == 0) {
            std::fprintf(out, "\n");
            continue;
        }
        std::fprintf(out, ", fadeout %u, auto-vibrato type %u sweep %u depth %u rate %u\n", instrument.fadeout,
                     instrument.autoVibratoType, instrument.autoVibratoSweep, instrument.autoVibratoDepth,
                     instrument.autoVibratoRate);
        if (instrument.sampleCount > 1) PrintNoteMap(instrument, out);
        PrintEnvelope("volume", instrument.volumeEnvelope, instrument.volumePointCount,
                      instrument.volumeEnvelopeType, instrument.volumeSustainPoint, instrument.volumeLoopStartPoint,
                      instrument.volumeLoopEndPoint, out);
        PrintEnvelope("panning", instrument.panningEnvelope, instrument.panningPointCount,
                      instrument.panningEnvelopeType, instrument.panningSustainPoint,
                      instrument.panningLoopStartPoint, instrument.panningLoopEndPoint, out);
        for (int s = 0; s < instrument.sampleCount; ++s) {
            const music::Sample& sample = *instrument.samples[s];
            std::fprintf(out,
                         "    sample %d: length %u, loop %s %u+%u, volume %u, finetune %d, relative note %d, "
                         "panning %d\n",
                         s, sample.length, LoopName(sample.loopType), sample.loopStart, sample.loopLength,
                         sample.volume, sample.finetune, sample.relativeNote, sample.panning);
        }
    }
    const std::string repairs = music::DescribeRepairs(report.repairs);
    std::fprintf(out, "repairs: %s\n", repairs.empty() ? "none" : repairs.c_str());
}

const char* LoopName(std::uint8_t loopType) {
    switch (loopType) {
        case music::kLoopForward: return "forward";
        case music::kLoopPingPong: return "ping-pong";
        default: return "none";
    }
}

int RunXmInfo(const char* path, std::FILE* out, std::FILE* err, bool json) {
    // A file that cannot be read leaves the table empty, and the loader
    // reports that it cannot open the song.
    const int openError = tools::InstallSongFile(path);
    music::LoadReport report;
    music::Module* module = music::LoadModule(path, &report);
    if (!module) {
        std::string reason = music::DescribeLoadFailure(report);
        if (report.failure == music::LoadFailure::CannotOpen) {
            reason += std::string(": ") + std::strerror(openError);
        }
        std::fprintf(err, "%s: %s\n", path, reason.c_str());
        tools::RemoveSongFile();
        return kExitRejected;
    }
    if (json) {
        PrintModuleFactsJson(*module, report, out);
    } else {
        PrintModuleFacts(*module, report, out);
        songreport::PrintEngineReport(songreport::AnalyseSong(*module), out);
    }
    music::FreeModule(module);
    tools::RemoveSongFile();
    return kExitLoaded;
}

}  // namespace xminfo
