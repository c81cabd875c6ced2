#include "music/xm_loader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "music/replay.h"

namespace music {

namespace {

constexpr char kSignature[] = "Extended Module: ";
constexpr std::int32_t kSignatureLength = 17;
constexpr std::int32_t kHeaderSizeOffset = 60;   // the module header size counts from here
constexpr std::int32_t kInstrumentNameAndType = 23;
constexpr std::int32_t kSampleHeaderSize = 40;   // taken as fixed, whatever the file declares
constexpr std::int32_t kDefaultBpm = 125;
constexpr std::int32_t kMaxBpm = 255;
constexpr std::int32_t kMaxSpeed = 255;
constexpr std::uint8_t kFileKeyOff = 97;

// Reads through a ModuleStream and never past its end: a field that lies
// (partly) beyond the last byte reads as 0, and the shortfall is remembered
// so the caller can report the file as truncated.
class BoundedReader {
public:
    explicit BoundedReader(ModuleStream& stream) : stream_(&stream) {
        const std::int32_t here = StreamTell(stream_);
        StreamSeek(stream_, 0, kSeekEnd);
        size_ = std::max(StreamTell(stream_), std::int32_t{0});
        StreamSeek(stream_, here, kSeekSet);
    }

    std::int32_t Size() const { return size_; }
    std::int32_t Tell() { return StreamTell(stream_); }
    std::int32_t Remaining() { return std::max(size_ - Tell(), std::int32_t{0}); }
    bool AtEnd() { return Remaining() == 0; }
    bool RanShort() const { return ranShort_; }

    // Copies count bytes; those beyond the end are zero.
    void Bytes(std::uint8_t* destination, std::int32_t count) {
        const std::int32_t got = std::max(StreamRead(destination, count, stream_), std::int32_t{0});
        if (got < count) {
            std::memset(destination + got, 0, static_cast<std::size_t>(count - got));
            ranShort_ = true;
        }
    }

    std::uint8_t U8() {
        std::uint8_t b[1];
        Bytes(b, 1);
        return b[0];
    }
    std::int8_t S8() { return static_cast<std::int8_t>(U8()); }
    std::uint16_t U16() {
        std::uint8_t b[2];
        Bytes(b, 2);
        return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    }
    std::uint32_t U32() {
        std::uint8_t b[4];
        Bytes(b, 4);
        return std::uint32_t{b[0]} | (std::uint32_t{b[1]} << 8) | (std::uint32_t{b[2]} << 16) |
               (std::uint32_t{b[3]} << 24);
    }

    // Moves to an absolute position computed in 64 bits from untrusted sizes;
    // it stops at the start or the end.
    void SeekTo(std::int64_t position) {
        StreamSeek(stream_, static_cast<std::int32_t>(std::clamp<std::int64_t>(position, 0, size_)), kSeekSet);
    }
    void Skip(std::int64_t count) { SeekTo(std::int64_t{Tell()} + count); }

private:
    ModuleStream* stream_;
    std::int32_t size_ = 0;
    bool ranShort_ = false;
};

bool Fail(LoadReport* report, LoadFailure failure, std::int32_t item, std::int64_t value) {
    if (report) {
        report->failure = failure;
        report->item = item;
        report->value = value;
    }
    return false;
}

void Repair(LoadReport* report, std::uint32_t repair) {
    if (report) report->repairs |= repair;
}

// Cell packing: a first byte with bit 7 set says which of the five fields
// follow (bits 0..4: note, instrument, volume, effect, parameter); otherwise
// it is the note and all four others follow.
PatternCell ReadCell(BoundedReader& reader, LoadReport* report) {
    PatternCell cell;
    const std::uint8_t first = reader.U8();
    if (first & 0x80) {
        if (first & 0x01) cell.note = reader.U8();
        if (first & 0x02) cell.instrument = reader.U8();
        if (first & 0x04) cell.volume = reader.U8();
        if (first & 0x08) cell.effect = reader.U8();
        if (first & 0x10) cell.parameter = reader.U8();
    } else {
        cell.note = first;
        cell.instrument = reader.U8();
        cell.volume = reader.U8();
        cell.effect = reader.U8();
        cell.parameter = reader.U8();
    }
    if (cell.note == kFileKeyOff) {
        cell.note = KeyOffNote;
    } else if (cell.note > kFileKeyOff) {
        // Not in the format: such a note would index the note map past its
        // 96 entries. It plays as no note.
        cell.note = 0;
        Repair(report, kRepairCellNote);
    }
    if (cell.instrument > kMaxInstruments) cell.instrument = 0;
    return cell;
}

bool ReadPatterns(Module& module, BoundedReader& reader, LoadReport* report) {
    module.patterns.resize(static_cast<std::size_t>(module.patternSlotCount));
    const std::size_t channels = static_cast<std::size_t>(module.channelCount);
    for (std::int32_t p = 0; p < module.storedPatternCount; ++p) {
        reader.U32();  // pattern header length: the layout is fixed, whatever it says
        reader.U8();   // packing type: there is only one
        std::int32_t rows = reader.U16();
        const std::uint16_t packedSize = reader.U16();
        if (rows > kMaxRows) return Fail(report, LoadFailure::TooManyRows, p, rows);
        if (rows == 0) {
            rows = 1;
            Repair(report, kRepairRows);
        }
        Pattern& pattern = module.patterns[static_cast<std::size_t>(p)];
        pattern.rows = rows;
        pattern.cells.assign(static_cast<std::size_t>(rows) * channels, PatternCell{});
        // The packed size neither bounds nor skips the data: exactly rows x
        // channels cells are decoded and the next pattern starts where they
        // end. Past the end of the stream the remaining cells stay empty.
        if (packedSize == 0) continue;
        for (std::size_t cell = 0; cell < pattern.cells.size(); ++cell) {
            if (cell % channels == 0 && reader.AtEnd()) {
                Repair(report, kRepairTruncated);
                break;
            }
            pattern.cells[cell] = ReadCell(reader, report);
        }
    }
    // Patterns the order table names but the file does not store are 64
    // empty rows.
    for (std::int32_t p = module.storedPatternCount; p < module.referencedPatternCount; ++p) {
        Pattern& pattern = module.patterns[static_cast<std::size_t>(p)];
        pattern.rows = kEmptyPatternRows;
        pattern.cells.assign(static_cast<std::size_t>(kEmptyPatternRows) * channels, PatternCell{});
    }
    return true;
}

void ReadEnvelope(BoundedReader& reader, std::array<EnvelopePoint, kEnvelopePoints>& points) {
    for (EnvelopePoint& point : points) {
        point.x = reader.U16();
        point.y = reader.U16();
    }
}

// Makes one envelope safe for the engine; returns true if anything changed.
bool SanitiseEnvelope(std::array<EnvelopePoint, kEnvelopePoints>& points, std::uint8_t& count,
                      std::uint8_t& sustain, std::uint8_t& loopStart, std::uint8_t& loopEnd, std::uint8_t& type) {
    bool changed = false;
    if (count > kEnvelopePoints) {
        count = kEnvelopePoints;
        changed = true;
    }
    for (int i = 0; i < count; ++i) {
        if (points[i].y > 64) {
            points[i].y = 64;
            changed = true;
        }
        // An envelope that goes back in time never reaches its next point and
        // slides on without end.
        if (i > 0 && points[i].x < points[i - 1].x) {
            points[i].x = points[i - 1].x;
            changed = true;
        }
    }
    // The format's rule: an envelope needs two points.
    if (count < 2) type = 0;
    if ((type & kEnvelopeSustain) && sustain >= count) {
        type = static_cast<std::uint8_t>(type & ~kEnvelopeSustain);
        changed = true;
    }
    if ((type & kEnvelopeLoop) && (loopStart >= count || loopEnd >= count)) {
        type = static_cast<std::uint8_t>(type & ~kEnvelopeLoop);
        changed = true;
    }
    return changed;
}

void ReadInstrumentHeader(Instrument& instrument, BoundedReader& reader, LoadReport* report) {
    reader.U32();  // sample header size: every sample header is taken as 40 bytes
    reader.Bytes(instrument.noteMap.data(), kNoteCount);
    ReadEnvelope(reader, instrument.volumeEnvelope);
    ReadEnvelope(reader, instrument.panningEnvelope);
    instrument.volumePointCount = reader.U8();
    instrument.panningPointCount = reader.U8();
    instrument.volumeSustainPoint = reader.U8();
    instrument.volumeLoopStartPoint = reader.U8();
    instrument.volumeLoopEndPoint = reader.U8();
    instrument.panningSustainPoint = reader.U8();
    instrument.panningLoopStartPoint = reader.U8();
    instrument.panningLoopEndPoint = reader.U8();
    instrument.volumeEnvelopeType = reader.U8();
    instrument.panningEnvelopeType = reader.U8();
    instrument.autoVibratoType = reader.U8();
    instrument.autoVibratoSweep = reader.U8();
    instrument.autoVibratoDepth = reader.U8();
    instrument.autoVibratoRate = reader.U8();
    // Doubled, because the channel fades from 65,536 where the file's value
    // is a step on half that scale; kept in 16 bits like the record field.
    instrument.fadeout = static_cast<std::uint16_t>(reader.U16() * 2);

    const bool volumeFixed = SanitiseEnvelope(instrument.volumeEnvelope, instrument.volumePointCount,
                                              instrument.volumeSustainPoint, instrument.volumeLoopStartPoint,
                                              instrument.volumeLoopEndPoint, instrument.volumeEnvelopeType);
    const bool panningFixed = SanitiseEnvelope(instrument.panningEnvelope, instrument.panningPointCount,
                                               instrument.panningSustainPoint, instrument.panningLoopStartPoint,
                                               instrument.panningLoopEndPoint, instrument.panningEnvelopeType);
    if (volumeFixed || panningFixed) Repair(report, kRepairEnvelope);
}

// A sample header, with the loop rules of the format applied. Returns the
// sample's size in the file, in bytes.
std::uint32_t ReadSampleHeader(Sample& sample, BoundedReader& reader, LoadReport* report) {
    const std::uint32_t byteLength = reader.U32();
    sample.length = byteLength;
    sample.loopStart = reader.U32();
    sample.loopLength = reader.U32();
    sample.volume = reader.U8();
    sample.finetune = reader.S8();
    const std::uint8_t type = reader.U8();
    sample.panning = reader.U8();
    sample.relativeNote = reader.S8();
    reader.Skip(kSampleHeaderSize - 17);  // reserved byte and name

    if (sample.volume > 64) {
        sample.volume = 64;
        Repair(report, kRepairSampleVolume);
    }
    sample.loopType = kLoopNone;
    if (type & 0x01) sample.loopType = kLoopForward;
    if (type & 0x02) sample.loopType = kLoopPingPong;  // wins when both bits are set
    sample.bits = (type & 0x10) ? 16 : 8;
    if (sample.loopType == kLoopNone) {
        sample.loopStart = 0;
        sample.loopLength = sample.length;
    }
    if (sample.bits == 16) {
        sample.length /= 2;
        sample.loopStart /= 2;
        sample.loopLength /= 2;
    }
    if (sample.loopLength == 0) {
        sample.loopStart = 0;
        sample.loopLength = sample.length;
        sample.loopType = kLoopNone;
    }
    return byteLength;
}

// Keeps the loop inside the sample, so that the guard value at loop start +
// loop length lies within the data.
void FitLoop(Sample& sample, LoadReport* report) {
    if (sample.loopType == kLoopNone) {
        sample.loopStart = 0;
        sample.loopLength = sample.length;
        return;
    }
    if (sample.loopStart >= sample.length) {
        sample.loopType = kLoopNone;
        sample.loopStart = 0;
        sample.loopLength = sample.length;
        Repair(report, kRepairSampleLoop);
    } else if (std::uint64_t{sample.loopStart} + sample.loopLength > sample.length) {
        sample.loopLength = sample.length - sample.loopStart;
        Repair(report, kRepairSampleLoop);
    }
}

// Reads length values of delta-coded data. 8-bit values are scaled by 256
// before the 16-bit delta decoding, which equals 8-bit decoding with 8-bit
// wrap-around, scaled.
void ReadSampleData(Sample& sample, std::uint8_t storedBits, BoundedReader& reader) {
    sample.data.assign(std::size_t{sample.length} + kSampleGuardValues, 0);
    const std::uint32_t bytesPerValue = storedBits / 8u;
    std::array<std::uint8_t, 4096> chunk;
    std::uint16_t sum = 0;  // wraps, as the format's deltas expect
    std::uint32_t done = 0;
    while (done < sample.length) {
        const std::uint32_t values = std::min<std::uint32_t>(sample.length - done,
                                                             static_cast<std::uint32_t>(chunk.size()) / bytesPerValue);
        reader.Bytes(chunk.data(), static_cast<std::int32_t>(values * bytesPerValue));
        // One loop per width, so that the running sum is all a value costs.
        std::int16_t* out = sample.data.data() + done;
        if (storedBits == 16) {
            for (std::uint32_t k = 0; k < values; ++k) {
                sum = static_cast<std::uint16_t>(sum + (chunk[2 * k] | (chunk[2 * k + 1] << 8)));
                out[k] = static_cast<std::int16_t>(sum);
            }
        } else {
            for (std::uint32_t k = 0; k < values; ++k) {
                sum = static_cast<std::uint16_t>(sum + (chunk[k] << 8));
                out[k] = static_cast<std::int16_t>(sum);
            }
        }
        done += values;
    }
    // The mixer interpolates towards the value one past the loop end.
    const std::uint32_t loopEnd = sample.loopStart + sample.loopLength;
    if (sample.loopType == kLoopForward) sample.data[loopEnd] = sample.data[sample.loopStart];
    if (sample.loopType == kLoopPingPong) sample.data[loopEnd] = sample.data[loopEnd - 1];
    UnrollShortLoop(sample);
}

bool ReadInstrument(Instrument& instrument, std::int32_t index, BoundedReader& reader, LoadReport* report) {
    const std::int64_t start = reader.Tell();
    const std::uint32_t headerSize = reader.U32();
    reader.Skip(kInstrumentNameAndType);
    const std::uint16_t sampleCount = reader.U16();
    if (sampleCount > kInstrumentSampleSlots) {
        return Fail(report, LoadFailure::TooManySamples, index, sampleCount);
    }
    instrument.sampleCount = sampleCount;
    if (sampleCount == 0) {
        // The fields from the sample header size on exist only with samples.
        reader.SeekTo(start + headerSize);
        return true;
    }
    ReadInstrumentHeader(instrument, reader, report);
    reader.SeekTo(start + headerSize);

    instrument.ownedSamples = std::make_unique<Sample[]>(sampleCount);
    std::array<std::uint32_t, kInstrumentSampleSlots> byteLengths{};
    std::array<std::uint8_t, kInstrumentSampleSlots> storedBits{};
    for (int s = 0; s < sampleCount; ++s) {
        Sample& sample = instrument.ownedSamples[s];
        byteLengths[s] = ReadSampleHeader(sample, reader, report);
        storedBits[s] = sample.bits;
        instrument.samples[s] = &sample;
    }

    // Sample data follows the headers, in the same order. A sample gets no
    // more values than the stream still holds bytes for.
    std::int64_t budget = reader.Remaining();
    for (int s = 0; s < sampleCount; ++s) {
        Sample& sample = instrument.ownedSamples[s];
        const std::int64_t present = std::min<std::int64_t>(byteLengths[s], budget);
        if (present < byteLengths[s]) {
            sample.length = static_cast<std::uint32_t>(present / (storedBits[s] / 8));
            Repair(report, kRepairTruncated);
        }
        budget -= present;
        FitLoop(sample, report);
        if (sample.length > 0) ReadSampleData(sample, storedBits[s], reader);
        // A 16-bit sample of an odd byte length: the stray byte is still the
        // sample's, and the next one starts after it.
        if (storedBits[s] == 16 && (present & 1)) reader.Skip(1);
        sample.bits = 16;
    }
    return true;
}

}  // namespace

std::string DescribeLoadFailure(const LoadReport& report) {
    const std::string item = std::to_string(report.item);
    const std::string value = std::to_string(report.value);
    switch (report.failure) {
        case LoadFailure::None: return {};
        case LoadFailure::CannotOpen: return "cannot open";
        case LoadFailure::NotXm: return "not an XM module (no \"Extended Module: \" signature)";
        case LoadFailure::BadChannelCount: return value + " channels (1 to 32)";
        case LoadFailure::TooManyPatterns: return value + " patterns stored (at most 256)";
        case LoadFailure::TooManyRows: return "pattern " + item + " has " + value + " rows (at most 256)";
        case LoadFailure::TooManySamples:
            // Trackers number instruments from 1 and patterns from 0.
            return "instrument " + std::to_string(report.item + 1) + " has " + value + " samples (at most 16)";
    }
    return "unknown failure";
}

std::string DescribeRepairs(std::uint32_t repairs) {
    static constexpr struct {
        std::uint32_t bit;
        const char* name;
    } kNames[] = {
        {kRepairTruncated, "truncated file"},
        {kRepairSongLength, "song length or restart position clamped"},
        {kRepairTempo, "default speed or BPM clamped"},
        {kRepairInstrumentCount, "instruments beyond 128 ignored"},
        {kRepairRows, "pattern of 0 rows given 1"},
        {kRepairCellNote, "notes above 97 cleared"},
        {kRepairEnvelope, "envelope fixed"},
        {kRepairSampleVolume, "sample volume above 64 clamped"},
        {kRepairSampleLoop, "sample loop cut to the sample"},
    };
    std::string text;
    for (const auto& entry : kNames) {
        if (!(repairs & entry.bit)) continue;
        if (!text.empty()) text += ", ";
        text += entry.name;
    }
    return text;
}

bool ReadXm(Module& module, ModuleStream& stream, LoadReport* report) {
    BoundedReader reader(stream);
    if (report) report->streamSize = reader.Size();
    const auto finish = [&](bool ok) {
        if (report) {
            report->bytesUsed = reader.Tell();
            if (reader.RanShort()) report->repairs |= kRepairTruncated;
        }
        return ok;
    };

    reader.SeekTo(0);
    std::array<std::uint8_t, kSignatureLength> signature{};
    reader.Bytes(signature.data(), kSignatureLength);
    if (std::memcmp(signature.data(), kSignature, kSignatureLength) != 0) {
        return finish(Fail(report, LoadFailure::NotXm, -1, 0));
    }

    module.tickOperation = PlayTick;
    module.initialGlobalVolume = 64;

    reader.SeekTo(kHeaderSizeOffset);
    const std::uint32_t headerSize = reader.U32();
    const std::uint16_t songLength = reader.U16();
    const std::uint16_t restartPosition = reader.U16();
    const std::uint16_t channelCount = reader.U16();
    const std::uint16_t patternCount = reader.U16();
    const std::uint16_t instrumentCount = reader.U16();
    module.flags = reader.U16();
    const std::uint16_t speed = reader.U16();
    const std::uint16_t bpm = reader.U16();
    reader.Bytes(module.orderTable.data(), kOrderTableSize);
    reader.SeekTo(std::int64_t{kHeaderSizeOffset} + headerSize);

    if (channelCount < 1 || channelCount > kMaxChannels) {
        return finish(Fail(report, LoadFailure::BadChannelCount, -1, channelCount));
    }
    if (patternCount > kMaxPatterns) return finish(Fail(report, LoadFailure::TooManyPatterns, -1, patternCount));
    module.channelCount = static_cast<std::int16_t>(channelCount);
    module.storedPatternCount = patternCount;

    module.songLength = static_cast<std::int16_t>(std::clamp<int>(songLength, 1, kOrderTableSize));
    module.restartPosition = static_cast<std::int16_t>(restartPosition < module.songLength ? restartPosition : 0);
    if (module.songLength != songLength || module.restartPosition != restartPosition) {
        Repair(report, kRepairSongLength);
    }
    module.defaultSpeed = static_cast<std::int16_t>(std::min<int>(speed, kMaxSpeed));
    module.defaultBpm = static_cast<std::int16_t>(bpm == 0 ? kDefaultBpm : std::min<int>(bpm, kMaxBpm));
    if (module.defaultSpeed != speed || module.defaultBpm != bpm) Repair(report, kRepairTempo);
    module.instrumentCount = static_cast<std::int16_t>(std::min<int>(instrumentCount, kMaxInstruments));
    if (module.instrumentCount != instrumentCount) Repair(report, kRepairInstrumentCount);

    const auto inUse = std::span(module.orderTable).first(static_cast<std::size_t>(module.songLength));
    module.referencedPatternCount = 1 + *std::max_element(inUse.begin(), inUse.end());
    module.patternSlotCount = std::max(module.storedPatternCount, module.referencedPatternCount);

    if (!ReadPatterns(module, reader, report)) return finish(false);

    module.instruments.resize(static_cast<std::size_t>(module.instrumentCount));
    for (std::int32_t i = 0; i < module.instrumentCount; ++i) {
        if (!ReadInstrument(module.instruments[static_cast<std::size_t>(i)], i, reader, report)) {
            return finish(false);
        }
    }
    return finish(true);
}

Module* LoadModule(const char* name, LoadReport* report) {
    if (report) *report = LoadReport{};
    auto* module = new Module{};
    ModuleStream* stream = OpenModuleStream(name);
    if (!stream) {
        FreeModule(module);
        Fail(report, LoadFailure::CannotOpen, -1, 0);
        return nullptr;
    }
    const bool ok = ReadXm(*module, *stream, report);
    CloseModuleStream(stream);
    if (!ok) {
        FreeModule(module);
        return nullptr;
    }
    return module;
}

}  // namespace music
