// quandrix-xminfo --json: the facts of the text output as one JSON object,
// for scripts and editors; the keys are named after the text's lines.
#include <string>

#include "tools/songreport/engine_report.h"
#include "tools/songreport/json_writer.h"
#include "tools/xminfo/xminfo.h"

namespace xminfo {

namespace {

void WriteEnvelope(const char* key, const std::array<music::EnvelopePoint, music::kEnvelopePoints>& points,
                   int count, int type, int sustain, int loopStart, int loopEnd, songreport::JsonWriter& json) {
    json.Key(key);
    json.BeginObject();
    json.Field("on", (type & music::kEnvelopeOn) != 0);
    json.Key("sustain");
    if (type & music::kEnvelopeSustain) {
        json.Int(sustain);
    } else {
        json.Bool(false);
    }
    json.Key("loop");
    if (type & music::kEnvelopeLoop) {
        json.BeginArray(true);
        json.Int(loopStart);
        json.Int(loopEnd);
        json.EndArray();
    } else {
        json.Bool(false);
    }
    json.Key("points");
    json.BeginArray(true);
    for (int i = 0; i < count && i < music::kEnvelopePoints; ++i) {
        json.BeginArray(true);
        json.Int(points[static_cast<std::size_t>(i)].x);
        json.Int(points[static_cast<std::size_t>(i)].y);
        json.EndArray();
    }
    json.EndArray();
    json.EndObject();
}

void WriteInstrument(const music::Instrument& instrument, int number, songreport::JsonWriter& json) {
    json.BeginObject();
    json.Field("number", number);
    json.Field("sampleCount", instrument.sampleCount);
    if (instrument.sampleCount > 0) {
        json.Field("fadeout", int{instrument.fadeout});
        json.Key("autoVibrato");
        json.BeginObject();
        json.Field("type", int{instrument.autoVibratoType});
        json.Field("sweep", int{instrument.autoVibratoSweep});
        json.Field("depth", int{instrument.autoVibratoDepth});
        json.Field("rate", int{instrument.autoVibratoRate});
        json.EndObject();
        json.Key("noteMap");
        json.BeginArray(true);
        for (std::uint8_t slot : instrument.noteMap) json.Int(slot);
        json.EndArray();
        WriteEnvelope("volumeEnvelope", instrument.volumeEnvelope, instrument.volumePointCount,
                      instrument.volumeEnvelopeType, instrument.volumeSustainPoint, instrument.volumeLoopStartPoint,
                      instrument.volumeLoopEndPoint, json);
        WriteEnvelope("panningEnvelope", instrument.panningEnvelope, instrument.panningPointCount,
                      instrument.panningEnvelopeType, instrument.panningSustainPoint,
                      instrument.panningLoopStartPoint, instrument.panningLoopEndPoint, json);
    }
    json.Key("samples");
    json.BeginArray();
    for (int s = 0; s < instrument.sampleCount; ++s) {
        const music::Sample& sample = *instrument.samples[static_cast<std::size_t>(s)];
        json.BeginObject();
        json.Field("length", std::int64_t{sample.length});
        json.Field("loop", LoopName(sample.loopType));
        json.Field("loopStart", std::int64_t{sample.loopStart});
        json.Field("loopLength", std::int64_t{sample.loopLength});
        json.Field("volume", int{sample.volume});
        json.Field("finetune", int{sample.finetune});
        json.Field("relativeNote", int{sample.relativeNote});
        json.Field("panning", sample.panning);
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
}

}  // namespace

void PrintModuleFactsJson(const music::Module& module, const music::LoadReport& report, std::FILE* out) {
    songreport::JsonWriter json(out);
    json.BeginObject();
    json.Field("bytes", report.streamSize);
    json.Field("bytesUsed", report.bytesUsed);
    json.Field("channels", int{module.channelCount});
    json.Field("patternsStored", module.storedPatternCount);
    json.Field("patternsReferenced", module.referencedPatternCount);
    json.Field("patternSlots", module.patternSlotCount);
    json.Key("rows");
    json.BeginArray(true);
    for (const music::Pattern& pattern : module.patterns) json.Int(pattern.rows);
    json.EndArray();
    json.Field("songLength", int{module.songLength});
    json.Field("restartPosition", int{module.restartPosition});
    json.Key("order");
    json.BeginArray(true);
    for (int i = 0; i < module.songLength; ++i) json.Int(module.orderTable[static_cast<std::size_t>(i)]);
    json.EndArray();
    json.Field("frequencyTable", music::UsesLinearFrequencies(module) ? "linear" : "amiga");
    json.Field("speed", int{module.defaultSpeed});
    json.Field("bpm", int{module.defaultBpm});
    json.Key("instruments");
    json.BeginArray();
    for (int i = 0; i < module.instrumentCount; ++i) {
        WriteInstrument(module.instruments[static_cast<std::size_t>(i)], i + 1, json);
    }
    json.EndArray();
    json.Key("repairs");
    json.BeginArray(true);
    // DescribeRepairs names them comma-separated; the array holds the names.
    const std::string repairs = music::DescribeRepairs(report.repairs);
    for (std::size_t from = 0; from < repairs.size();) {
        std::size_t to = repairs.find(", ", from);
        if (to == std::string::npos) to = repairs.size();
        json.String(repairs.substr(from, to - from));
        from = to + 2;
    }
    json.EndArray();
    json.Key("engine");
    songreport::WriteEngineReportJson(songreport::AnalyseSong(module), json);
    json.EndObject();
    json.Finish();
}

}  // namespace xminfo
