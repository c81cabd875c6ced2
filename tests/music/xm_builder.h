#pragma once
// Builds XM files byte by byte for the loader tests, and loads byte strings
// through the real stream table over memory.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "music/module.h"
#include "music/resource_stream.h"
#include "music/stream.h"
#include "music/xm_loader.h"

namespace xmtest {

using Bytes = std::vector<std::uint8_t>;

inline void Put8(Bytes& b, unsigned v) { b.push_back(static_cast<std::uint8_t>(v)); }
inline void Put16(Bytes& b, unsigned v) {
    Put8(b, v & 0xFF);
    Put8(b, (v >> 8) & 0xFF);
}
inline void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void PutText(Bytes& b, const std::string& text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) Put8(b, i < text.size() ? static_cast<unsigned char>(text[i]) : 0);
}
inline void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

struct SampleSpec {
    std::uint32_t length = 0;      // bytes, as in the file
    std::uint32_t loopStart = 0;   // bytes
    std::uint32_t loopLength = 0;  // bytes
    std::uint8_t volume = 64;
    std::int8_t finetune = 0;
    std::uint8_t type = 0;         // bit 0 forward, bit 1 ping-pong, bit 4 16-bit
    std::uint8_t panning = 128;
    std::int8_t relativeNote = 0;
    Bytes data = {};               // written after all headers; empty: `length` zero bytes
};

struct EnvelopeSpec {
    std::vector<std::pair<unsigned, unsigned>> points;  // up to 12 written
    std::optional<unsigned> count;                      // default: points.size()
    unsigned sustain = 0, loopStart = 0, loopEnd = 0;
    unsigned type = 0;
};

struct InstrumentSpec {
    std::uint32_t headerSize = 263;          // 263 with samples; 29 or 33 common without
    std::optional<unsigned> sampleCount;     // default: samples.size()
    std::array<std::uint8_t, 96> noteMap{};
    EnvelopeSpec volume, panning;
    unsigned vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
    unsigned fadeout = 0;
    std::vector<SampleSpec> samples;
};

struct PatternSpec {
    unsigned rows = 1;
    Bytes packed;                            // the cells
    std::optional<unsigned> packedSize;      // default: packed.size()
};

struct XmSpec {
    std::uint32_t headerSize = 276;
    unsigned songLength = 1, restart = 0, channels = 2;
    std::optional<unsigned> patternCount;    // default: patterns.size()
    std::optional<unsigned> instrumentCount; // default: instruments.size()
    unsigned flags = 1, speed = 6, bpm = 125;
    std::array<std::uint8_t, 256> order{};
    std::vector<PatternSpec> patterns;
    std::vector<InstrumentSpec> instruments;
};

inline Bytes BuildInstrument(const InstrumentSpec& layout) {
    Bytes b;
    const unsigned count = layout.sampleCount.value_or(static_cast<unsigned>(layout.samples.size()));
    Put32(b, layout.headerSize);
    PutText(b, "instrument", 22);
    Put8(b, 0);
    Put16(b, count);
    if (count > 0 || !layout.samples.empty()) {
        Put32(b, 40);
        b.insert(b.end(), layout.noteMap.begin(), layout.noteMap.end());
        for (const EnvelopeSpec* e : {&layout.volume, &layout.panning}) {
            for (std::size_t i = 0; i < 12; ++i) {
                Put16(b, i < e->points.size() ? e->points[i].first : 0);
                Put16(b, i < e->points.size() ? e->points[i].second : 0);
            }
        }
        Put8(b, layout.volume.count.value_or(static_cast<unsigned>(layout.volume.points.size())));
        Put8(b, layout.panning.count.value_or(static_cast<unsigned>(layout.panning.points.size())));
        Put8(b, layout.volume.sustain);
        Put8(b, layout.volume.loopStart);
        Put8(b, layout.volume.loopEnd);
        Put8(b, layout.panning.sustain);
        Put8(b, layout.panning.loopStart);
        Put8(b, layout.panning.loopEnd);
        Put8(b, layout.volume.type);
        Put8(b, layout.panning.type);
        Put8(b, layout.vibratoType);
        Put8(b, layout.vibratoSweep);
        Put8(b, layout.vibratoDepth);
        Put8(b, layout.vibratoRate);
        Put16(b, layout.fadeout);
    }
    // Pad (or cut) to the declared header size, as a writer would.
    b.resize(layout.headerSize, 0);
    for (const SampleSpec& s : layout.samples) {
        Put32(b, s.length);
        Put32(b, s.loopStart);
        Put32(b, s.loopLength);
        Put8(b, s.volume);
        Put8(b, static_cast<std::uint8_t>(s.finetune));
        Put8(b, s.type);
        Put8(b, s.panning);
        Put8(b, static_cast<std::uint8_t>(s.relativeNote));
        Put8(b, 0);
        PutText(b, "sample", 22);
    }
    for (const SampleSpec& s : layout.samples) {
        if (s.data.empty()) {
            b.resize(b.size() + s.length, 0);
        } else {
            Append(b, s.data);
        }
    }
    return b;
}

inline Bytes BuildXm(const XmSpec& layout) {
    Bytes b;
    PutText(b, "Extended Module: ", 17);
    PutText(b, "test", 20);
    Put8(b, 0x1A);
    PutText(b, "xm_builder", 20);
    Put16(b, 0x0104);
    Put32(b, layout.headerSize);
    Put16(b, layout.songLength);
    Put16(b, layout.restart);
    Put16(b, layout.channels);
    Put16(b, layout.patternCount.value_or(static_cast<unsigned>(layout.patterns.size())));
    Put16(b, layout.instrumentCount.value_or(static_cast<unsigned>(layout.instruments.size())));
    Put16(b, layout.flags);
    Put16(b, layout.speed);
    Put16(b, layout.bpm);
    b.insert(b.end(), layout.order.begin(), layout.order.end());
    b.resize(60 + layout.headerSize, 0);
    for (const PatternSpec& p : layout.patterns) {
        Put32(b, 9);
        Put8(b, 0);
        Put16(b, p.rows);
        Put16(b, p.packedSize.value_or(static_cast<unsigned>(p.packed.size())));
        Append(b, p.packed);
    }
    for (const InstrumentSpec& i : layout.instruments) Append(b, BuildInstrument(i));
    return b;
}

// 8-bit sample data of deltas 1: the values 256, 512, ... count x 256.
inline Bytes Ramp(int count) { return Bytes(static_cast<std::size_t>(count), 1); }

// An instrument of one sample with the given data.
inline InstrumentSpec OneSample(SampleSpec sample) {
    InstrumentSpec instrument;
    if (sample.length == 0) sample.length = static_cast<std::uint32_t>(sample.data.size());
    instrument.samples.push_back(std::move(sample));
    return instrument;
}

struct ModuleDeleter {
    void operator()(music::Module* m) const { music::FreeModule(m); }
};
using ModulePtr = std::unique_ptr<music::Module, ModuleDeleter>;

// Loads the bytes with the player's loader and empties the stream table
// again; the caller frees the song with FreeModule.
inline music::Module* LoadBytes(const std::uint8_t* data, std::size_t size, music::LoadReport* report = nullptr) {
    music::RegisterMemoryStreamOps(data, size);
    music::Module* module = music::LoadModule("memory", report);
    music::RegisterStreamOps(nullptr, nullptr, nullptr, nullptr, nullptr);
    return module;
}

inline ModulePtr Load(const Bytes& bytes, music::LoadReport* report = nullptr) {
    return ModulePtr(LoadBytes(bytes.data(), bytes.size(), report));
}

}  // namespace xmtest
