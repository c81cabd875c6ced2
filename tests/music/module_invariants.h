#pragma once
// What every loaded Module promises the replay engine and the mixer. The
// loader tests and the fuzz target both check it, so any input that breaks a
// promise is caught whether or not it crashes.

#include <string>

#include "music/module.h"

namespace xmtest {

// Empty when the module keeps every promise, else the first broken one.
inline std::string BrokenInvariant(const music::Module& m) {
    using namespace music;
    if (m.channelCount < 1 || m.channelCount > kMaxChannels) return "channel count";
    if (m.songLength < 1 || m.songLength > kOrderTableSize) return "song length";
    if (m.restartPosition < 0 || m.restartPosition >= m.songLength) return "restart position";
    if (m.defaultBpm < 1 || m.defaultBpm > 255) return "default BPM";
    if (m.defaultSpeed < 0 || m.defaultSpeed > 255) return "default speed";
    if (m.initialGlobalVolume != 64) return "initial global volume";
    if (m.patternSlotCount < 1 || m.patternSlotCount > kMaxPatterns) return "pattern slot count";
    if (m.patterns.size() != static_cast<std::size_t>(m.patternSlotCount)) return "pattern array";
    for (int i = 0; i < m.songLength; ++i) {
        if (m.orderTable[i] >= m.referencedPatternCount) return "order entry beyond the referenced count";
    }
    if (m.referencedPatternCount > m.patternSlotCount) return "referenced pattern count";
    for (int p = 0; p < m.referencedPatternCount; ++p) {
        const Pattern& pattern = m.patterns[p];
        if (pattern.rows < 1 || pattern.rows > kMaxRows) return "pattern rows";
    }
    for (const Pattern& pattern : m.patterns) {
        if (pattern.cells.size() != static_cast<std::size_t>(pattern.rows) * m.channelCount) return "cell count";
        for (const PatternCell& cell : pattern.cells) {
            if (cell.note > 96 && cell.note != KeyOffNote) return "cell note";
            if (cell.instrument > kMaxInstruments) return "cell instrument";
        }
    }
    if (m.instrumentCount < 0 || m.instrumentCount > kMaxInstruments) return "instrument count";
    if (m.instruments.size() != static_cast<std::size_t>(m.instrumentCount)) return "instrument array";
    for (const Instrument& ins : m.instruments) {
        if (ins.sampleCount < 0 || ins.sampleCount > kInstrumentSampleSlots) return "sample count";
        for (int s = 0; s < kInstrumentSampleSlots; ++s) {
            if (!ins.samples[s]) return "null sample slot";
            if (s >= ins.sampleCount && ins.samples[s] != &EmptySample) return "unused slot not EmptySample";
        }
        struct Env {
            const std::array<EnvelopePoint, kEnvelopePoints>& points;
            int count, sustain, loopStart, loopEnd, type;
        };
        for (const Env& e : {Env{ins.volumeEnvelope, ins.volumePointCount, ins.volumeSustainPoint,
                                 ins.volumeLoopStartPoint, ins.volumeLoopEndPoint, ins.volumeEnvelopeType},
                             Env{ins.panningEnvelope, ins.panningPointCount, ins.panningSustainPoint,
                                 ins.panningLoopStartPoint, ins.panningLoopEndPoint, ins.panningEnvelopeType}}) {
            if (e.count > kEnvelopePoints) return "envelope point count";
            if (e.count < 2 && e.type != 0) return "envelope type below two points";
            if ((e.type & kEnvelopeSustain) && e.sustain >= e.count) return "sustain point";
            if ((e.type & kEnvelopeLoop) && (e.loopStart >= e.count || e.loopEnd >= e.count)) return "loop point";
            for (int i = 0; i < e.count; ++i) {
                if (e.points[i].y > 64) return "envelope y";
                if (i > 0 && e.points[i].x < e.points[i - 1].x) return "envelope x";
            }
        }
        for (int s = 0; s < ins.sampleCount; ++s) {
            const Sample& smp = *ins.samples[s];
            if (smp.bits != 16) return "sample bits";
            if (smp.volume > 64) return "sample volume";
            if (smp.loopType != kLoopNone && smp.loopType != kLoopForward && smp.loopType != kLoopPingPong) {
                return "loop type";
            }
            if (smp.length == 0 ? !smp.data.empty() : smp.data.size() != smp.length + std::size_t{8}) {
                return "sample data size";
            }
            if (std::uint64_t{smp.loopStart} + smp.loopLength > smp.length) return "loop beyond the sample";
            if (smp.loopType == kLoopNone && (smp.loopStart != 0 || smp.loopLength != smp.length)) {
                return "no-loop range";
            }
            if (smp.loopType != kLoopNone && smp.loopLength == 0) return "empty loop";
        }
    }
    return {};
}

}  // namespace xmtest
