#include "music/replay.h"

#include <algorithm>
#include <cmath>

#include "music/effects.h"
#include "music/mixer.h"

namespace music {

namespace {

// The effect constants live in music/effects.h, next to the table that tells
// the music tools which commands this engine plays; a change to the switches
// below belongs in that table too.

struct Resolved {
    const Instrument* instrument;
    const Sample* sample;
};

// The instrument and sample a channel plays: EmptyInstrument and EmptySample
// for an instrument beyond the song's; EmptySample for a note whose map entry
// is 16 or above (slots without a sample already hold EmptySample).
Resolved Resolve(const Module& module, const Channel& channel) {
    if (channel.instrument >= module.instrumentCount) return {&EmptyInstrument, &EmptySample};
    const Instrument& instrument = module.instruments[channel.instrument];
    if (channel.note >= kNoteCount) return {&instrument, &EmptySample};
    const std::uint8_t slot = instrument.noteMap[channel.note];
    if (slot >= kInstrumentSampleSlots) return {&instrument, &EmptySample};
    return {&instrument, instrument.samples[slot]};
}

// The cells of the row being played, or nullptr when the playback state
// points outside the song (it never does once StartPlayback has reset it).
const PatternCell* CurrentCells(const Module& module) {
    if (module.orderPosition < 0 || module.orderPosition >= module.songLength) return nullptr;
    const std::size_t pattern = module.orderTable[static_cast<std::size_t>(module.orderPosition)];
    if (pattern >= module.patterns.size()) return nullptr;
    const Pattern& p = module.patterns[pattern];
    if (module.row < 0 || module.row >= p.rows) return nullptr;
    return p.cells.data() + static_cast<std::size_t>(module.row) * static_cast<std::size_t>(module.channelCount);
}

std::int32_t CurrentPatternRows(const Module& module) {
    if (module.orderPosition < 0 || module.orderPosition >= module.songLength) return 1;
    const std::size_t pattern = module.orderTable[static_cast<std::size_t>(module.orderPosition)];
    return pattern < module.patterns.size() ? module.patterns[pattern].rows : 1;
}

// Envelopes and fadeout, the part of every tick that does not depend on the
// row's cells.
void StepEnvelopesAndFadeout(Channel& channel, const Instrument& instrument, bool silenceWithoutEnvelope) {
    if (instrument.volumeEnvelopeType & kEnvelopeOn) {
        if (!channel.volumeEnvelope.finished) {
            StepEnvelope(channel, channel.volumeEnvelope, instrument.volumeEnvelope.data(),
                         instrument.volumePointCount, instrument.volumeSustainPoint,
                         instrument.volumeLoopStartPoint, instrument.volumeLoopEndPoint,
                         instrument.volumeEnvelopeType, UpdateVolume);
        }
    } else if (silenceWithoutEnvelope && channel.keyReleased) {
        // A released note without a volume envelope falls silent.
        channel.volumeEnvelope.output = 0;
    }
    if ((instrument.panningEnvelopeType & kEnvelopeOn) && !channel.panningEnvelope.finished) {
        StepEnvelope(channel, channel.panningEnvelope, instrument.panningEnvelope.data(),
                     instrument.panningPointCount, instrument.panningSustainPoint,
                     instrument.panningLoopStartPoint, instrument.panningLoopEndPoint,
                     instrument.panningEnvelopeType, UpdatePanning);
    }
    if (channel.keyReleased) {
        channel.fadeoutVolume = std::max(channel.fadeoutVolume - instrument.fadeout, 0);
        channel.updateFlags |= UpdateVolume;
    }
}

// Slides xy: x up if not 0, else y down.
void SlideVolume(Channel& channel, std::uint8_t xy) {
    const std::int32_t up = xy >> 4;
    const std::int32_t down = xy & 0x0F;
    channel.volume = up != 0 ? std::min(channel.volume + up, 64) : std::max(channel.volume - down, 0);
    channel.updateFlags |= UpdateVolume;
}

// The period delta that raises the pitch by `semitones`. Linear table: 64 per
// semitone. Amiga table (a choice, see replay.h): the period scaled by
// 2^(-semitones / 12) and rounded, in double precision, as a delta that
// lowers the period.
std::int32_t ArpeggioDelta(bool linear, std::int32_t period, std::int32_t semitones) {
    if (linear) return 64 * semitones;
    const double scaled = std::floor(static_cast<double>(period) * std::pow(2.0, -semitones / 12.0) + 0.5);
    return static_cast<std::int32_t>(scaled) - period;
}

// Tone portamento (a choice, see replay.h): the period moves towards the
// target by 4 x speed and stops there.
void SlideToTarget(Channel& channel) {
    const std::int32_t target = channel.tonePortamentoTarget;
    const std::int32_t amount = 4 * channel.tonePortamentoSpeed;
    if (target != 0) {
        if (channel.period < target) {
            channel.period = std::min(channel.period + amount, target);
        } else if (channel.period > target) {
            channel.period = std::max(channel.period - amount, target);
        }
    }
    channel.periodDelta = 0;
    channel.updateFlags |= UpdateFrequency;
}

void PatternLoop(Module& module, Channel& channel, std::int32_t count) {
    if (count == 0) {
        channel.patternLoopRow = module.row;
        return;
    }
    if (channel.patternLoopCounter == 0) {
        channel.patternLoopCounter = count;
    } else {
        --channel.patternLoopCounter;
    }
    // The jump happens after this row (see replay.h): PlayTick continues at
    // the loop row instead of the next one.
    if (channel.patternLoopCounter != 0) module.nextRow = channel.patternLoopRow;
}

// The first-tick column of the effect table.
void ApplyRowEffect(Module& module, Channel& channel, const PatternCell& cell) {
    const std::uint8_t xy = cell.parameter;
    switch (cell.effect) {
        // 1xx: portamento up (a choice: the mirror of 2xx, with its own memory)
        case kPortamentoUp:
            if (xy != 0) channel.portamentoUpMemory = xy;
            break;
        // 2xx: portamento down
        case kPortamentoDown:
            if (xy != 0) channel.portamentoDownMemory = xy;
            break;
        // 3xx: tone portamento (a choice); the note and target are taken in ProcessRow
        case kTonePortamento:
            if (xy != 0) channel.tonePortamentoSpeed = xy;
            break;
        // 5xy: tone portamento plus volume slide, the slide sharing Axy's memory
        case kTonePortamentoVolume:
            if (xy != 0) channel.volumeSlideMemory = xy;
            break;
        // 8xx: set panning
        case kSetPanning:
            channel.panning = xy;
            channel.updateFlags |= UpdatePanning;
            break;
        // Axy: volume slide
        case kVolumeSlide:
            if (xy != 0) channel.volumeSlideMemory = xy;
            break;
        // E6y: pattern loop
        case kExtended:
            if ((xy >> 4) == kPatternLoop) PatternLoop(module, channel, xy & 0x0F);
            break;
        // Fxx: speed below 32 (0 included: every tick a row), else BPM
        case kSpeedTempo:
            if (xy < kMinTempoParameter) {
                module.speed = xy;
            } else {
                SetTempo(module, xy);
            }
            break;
        // Gxx: global volume
        case kGlobalVolume:
            module.globalVolume = std::min<std::int32_t>(xy, 64);
            channel.updateFlags |= UpdateVolume;
            break;
        // Hxy: global volume slide (memory in the song)
        case kGlobalVolumeSlide:
            if (xy != 0) module.globalVolumeSlideMemory = xy;
            break;
        // Kxx: key off, applied with the key-off note in ProcessRow
        default:
            break;
    }
}

// The other-ticks column of the effect table.
void ApplyTickEffect(Module& module, Channel& channel, const PatternCell& cell) {
    const std::uint8_t xy = cell.parameter;
    const bool linear = UsesLinearFrequencies(module);
    switch (cell.effect) {
        // 0xy: arpeggio, by tick mod 3: the note, +x, +y semitones
        case kArpeggio:
            if (xy == 0) break;
            switch (module.tick % 3) {
                case 1: channel.periodDelta = ArpeggioDelta(linear, channel.period, xy >> 4); break;
                case 2: channel.periodDelta = ArpeggioDelta(linear, channel.period, xy & 0x0F); break;
                default: break;
            }
            channel.updateFlags |= UpdateFrequency;
            break;
        // 1xx: portamento up, stopping at period 1
        case kPortamentoUp:
            channel.period = std::max(channel.period - 4 * channel.portamentoUpMemory, 1);
            channel.periodDelta = 0;
            channel.updateFlags |= UpdateFrequency;
            break;
        // 2xx: portamento down; stopping at kMaxPeriod (far below 100 Hz in
        // either table) only keeps the integer from overflowing
        case kPortamentoDown:
            channel.period = std::min(channel.period + 4 * channel.portamentoDownMemory, kMaxPeriod);
            channel.periodDelta = 0;
            channel.updateFlags |= UpdateFrequency;
            break;
        // 3xx: tone portamento
        case kTonePortamento:
            SlideToTarget(channel);
            break;
        // 5xy: tone portamento plus volume slide
        case kTonePortamentoVolume:
            SlideToTarget(channel);
            SlideVolume(channel, channel.volumeSlideMemory);
            break;
        // Axy: volume slide
        case kVolumeSlide:
            SlideVolume(channel, channel.volumeSlideMemory);
            break;
        // ECy: note cut on tick y
        case kExtended:
            if ((xy >> 4) == kNoteCut && module.tick == (xy & 0x0F)) {
                channel.volume = 0;
                channel.updateFlags |= UpdateVolume;
            }
            break;
        // Hxy: global volume slide; the channels hear it when their volume is
        // next recomputed (every first tick recomputes every channel)
        case kGlobalVolumeSlide: {
            const std::int32_t up = module.globalVolumeSlideMemory >> 4;
            const std::int32_t down = module.globalVolumeSlideMemory & 0x0F;
            module.globalVolume = up != 0 ? std::min(module.globalVolume + up, 64)
                                          : std::max(module.globalVolume - down, 0);
            break;
        }
        default:
            break;
    }
}

// The other-ticks column of the volume-column table: only the slides 6x, 7x,
// Dx and Ex continue.
void ApplyVolumeColumnTick(Channel& channel, std::uint8_t volumeByte) {
    const std::int32_t x = volumeByte & 0x0F;
    switch (volumeByte >> 4) {
        case 0x6:
            channel.volume = std::max(channel.volume - x, 0);
            channel.updateFlags |= UpdateVolume;
            break;
        case 0x7:
            channel.volume = std::min(channel.volume + x, 64);
            channel.updateFlags |= UpdateVolume;
            break;
        case 0xD:
            channel.panning -= x;
            channel.updateFlags |= UpdatePanning;
            break;
        case 0xE:
            channel.panning += x;
            channel.updateFlags |= UpdatePanning;
            break;
        default:
            break;
    }
}

}  // namespace

std::int32_t NotePeriod(bool linear, std::uint8_t realNote, std::int8_t finetune) {
    if (linear) return 7680 - 64 * realNote - finetune / 2;  // division truncating toward zero
    // Amiga table (a choice, see replay.h): the period whose frequency is
    // the linear table's for the same note, rounded; C-4 (real note 48) is
    // 14,317,056 / 8,363 = 1711.95, so 1712. Double precision.
    const double frequency =
        8363.0 * std::pow(2.0, (static_cast<double>(realNote) * 128.0 + finetune - 6144.0) / 1536.0);
    const double period = std::floor(static_cast<double>(kAmigaClock) / frequency + 0.5);
    return period < 1.0 ? 1 : static_cast<std::int32_t>(period);
}

void SetTempo(Module& module, std::int32_t bpm) {
    if (bpm < 1) bpm = 1;  // the loader guarantees 1..255; a tick length must be finite
    module.bpm = bpm;
    module.framesPerTick = 5 * mixer.rate / (2 * bpm);
}

void ApplyVolumeColumn(Channel& channel, std::uint8_t volumeByte) {
    const std::int32_t x = volumeByte & 0x0F;
    if (volumeByte >= 0x10 && volumeByte <= 0x50) {
        channel.volume = volumeByte - 0x10;
        channel.updateFlags |= UpdateVolume;
        return;
    }
    switch (volumeByte >> 4) {
        case 0x6:  // slide down, on every tick of the row
        case 0x8:  // fine slide down, on this tick only
            SlideVolume(channel, static_cast<std::uint8_t>(x));
            break;
        case 0x7:  // slide up, on every tick of the row
        case 0x9:  // fine slide up, on this tick only
            SlideVolume(channel, static_cast<std::uint8_t>(x << 4));
            break;
        case 0xC:  // set panning
            channel.panning = x * 16;
            channel.updateFlags |= UpdatePanning;
            break;
        case 0xD:  // pan slide left, on every tick of the row
            channel.panning -= x;
            channel.updateFlags |= UpdatePanning;
            break;
        case 0xE:  // pan slide right, on every tick of the row
            channel.panning += x;
            channel.updateFlags |= UpdatePanning;
            break;
        case 0xF:  // the row's note takes its period without restarting the sample
            channel.updateFlags = static_cast<std::uint8_t>(channel.updateFlags & ~TriggerNote);
            break;
        default:  // 0x01..0x0F, 0x51..0x5F, 0xAx and 0xBx: nothing audible
            break;
    }
}

void ProcessRow(Module& module) {
    module.nextRow = -1;
    module.nextOrderPosition = -1;
    const bool linear = UsesLinearFrequencies(module);
    const PatternCell* cells = CurrentCells(module);
    for (std::int32_t c = 0; c < module.channelCount && c < kMaxChannels; ++c) {
        Channel& channel = channelTable[static_cast<std::size_t>(c)];
        const PatternCell cell = cells ? cells[c] : PatternCell{};
        const bool portamentoRow = cell.effect == kTonePortamento || cell.effect == kTonePortamentoVolume;
        const bool hasNote = cell.note != 0 && cell.note != KeyOffNote;

        // A portamento row keeps the playing note and instrument.
        if (cell.instrument != 0 && !portamentoRow) channel.instrument = static_cast<std::uint8_t>(cell.instrument - 1);
        if (hasNote && !portamentoRow) channel.note = static_cast<std::uint8_t>(cell.note - 1);
        const Resolved resolved = Resolve(module, channel);

        channel.updateFlags = 0;
        if (hasNote) {
            // Real notes wrap at 256, as the 8-bit note always has.
            const auto realNote = static_cast<std::uint8_t>(cell.note - 1 + resolved.sample->relativeNote);
            channel.notePeriod = NotePeriod(linear, realNote, resolved.sample->finetune);
            if (portamentoRow) {
                // Tone portamento (a choice, see replay.h): the note is where
                // the slide goes; the playing sample goes on.
                channel.tonePortamentoTarget = channel.notePeriod;
            } else {
                channel.period = channel.notePeriod;
                channel.updateFlags = TriggerNote;
            }
        }
        channel.periodDelta = 0;
        channel.updateFlags |= UpdateFrequency | UpdateVolume;

        if (cell.instrument != 0) ResetChannelForInstrument(channel, *resolved.sample);
        if (cell.volume != 0) ApplyVolumeColumn(channel, cell.volume);
        if (cell.note == KeyOffNote || cell.effect == kKeyOff) channel.keyReleased = 1;

        StepEnvelopesAndFadeout(channel, *resolved.instrument, true);
        ApplyRowEffect(module, channel, cell);
        StepAutoVibrato(channel, *resolved.instrument);
        UpdateVoice(channel, *resolved.sample, module);
    }
}

void ProcessEffectTick(Module& module) {
    const PatternCell* cells = CurrentCells(module);
    for (std::int32_t c = 0; c < module.channelCount && c < kMaxChannels; ++c) {
        Channel& channel = channelTable[static_cast<std::size_t>(c)];
        const PatternCell cell = cells ? cells[c] : PatternCell{};
        const Resolved resolved = Resolve(module, channel);  // nothing latched

        channel.periodDelta = 0;
        channel.updateFlags = 0;
        // A released note without volume envelope was already silenced on its row.
        StepEnvelopesAndFadeout(channel, *resolved.instrument, false);
        ApplyVolumeColumnTick(channel, cell.volume);
        ApplyTickEffect(module, channel, cell);
        StepAutoVibrato(channel, *resolved.instrument);
        UpdateVoice(channel, *resolved.sample, module);
    }
}

void PlayTick(Module& module) {
    if (module.tick == 0) {
        if (module.nextOrderPosition >= 0) module.orderPosition = module.nextOrderPosition;
        if (module.nextRow >= 0) module.row = module.nextRow;
        ProcessRow(module);
        // A pattern loop has asked for its loop row; otherwise the next one.
        const std::int32_t next = module.nextRow >= 0 ? module.nextRow : module.row + 1;
        module.nextRow = next;
        if (next >= CurrentPatternRows(module)) {
            const std::int32_t order = module.orderPosition + 1;
            module.nextOrderPosition = order >= module.songLength ? module.restartPosition : order;
            module.nextRow = 0;
        }
    } else {
        ProcessEffectTick(module);
    }
    ++module.tick;
    if (module.tick >= module.speed) module.tick = 0;  // speed 0: every tick is a first tick
}

}  // namespace music
