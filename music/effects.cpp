#include "music/effects.h"

namespace music {

namespace {

// Volume-column codes that are not a plain high nibble.
constexpr std::uint8_t kVolumeNothing = 0x0;  // 0x00..0x0F, 0x51..0x5F
constexpr std::uint8_t kVolumeSet = 0x1;      // 0x10..0x50

struct Entry {
    EngineSupport support;
    const char* name;  // FastTracker 2's meaning
};

// Effect types 0..0x21 (0 to X); the table's index is the type. Exy, Xxy,
// 0xy and Kxx are refined below.
constexpr Entry kEffects[] = {
    {EngineSupport::Played, "arpeggio"},
    {EngineSupport::OwnWay, "portamento up"},
    {EngineSupport::Played, "portamento down"},
    {EngineSupport::OwnWay, "tone portamento"},
    {EngineSupport::Ignored, "vibrato"},
    {EngineSupport::OwnWay, "tone portamento and volume slide"},
    {EngineSupport::Ignored, "vibrato and volume slide"},
    {EngineSupport::Ignored, "tremolo"},
    {EngineSupport::Played, "set panning"},
    {EngineSupport::Ignored, "sample offset"},
    {EngineSupport::Played, "volume slide"},
    {EngineSupport::Ignored, "position jump"},
    {EngineSupport::Ignored, "set volume"},
    {EngineSupport::Ignored, "pattern break"},
    {EngineSupport::Unknown, ""},  // Exy: by x
    {EngineSupport::Played, "set speed or BPM"},
    {EngineSupport::Played, "set global volume"},
    {EngineSupport::Played, "global volume slide"},
    {EngineSupport::Unknown, ""},  // I
    {EngineSupport::Unknown, ""},  // J
    {EngineSupport::Played, "key off"},
    {EngineSupport::Ignored, "set envelope position"},
    {EngineSupport::Unknown, ""},  // M
    {EngineSupport::Unknown, ""},  // N
    {EngineSupport::Unknown, ""},  // O
    {EngineSupport::Ignored, "panning slide"},
    {EngineSupport::Unknown, ""},  // Q
    {EngineSupport::Ignored, "multi retrigger"},
    {EngineSupport::Unknown, ""},  // S
    {EngineSupport::Ignored, "tremor"},
    {EngineSupport::Unknown, ""},  // U
    {EngineSupport::Unknown, ""},  // V
    {EngineSupport::Unknown, ""},  // W
    {EngineSupport::Unknown, ""},  // Xxy: by x
};
constexpr std::size_t kEffectEntries = sizeof kEffects / sizeof kEffects[0];

// Exy by x.
constexpr Entry kExtendedEffects[16] = {
    {EngineSupport::NoEffect, "Amiga filter"},
    {EngineSupport::Ignored, "fine portamento up"},
    {EngineSupport::Ignored, "fine portamento down"},
    {EngineSupport::Ignored, "glissando control"},
    {EngineSupport::Ignored, "vibrato waveform"},
    {EngineSupport::Ignored, "set finetune"},
    {EngineSupport::OwnWay, "pattern loop"},
    {EngineSupport::Ignored, "tremolo waveform"},
    {EngineSupport::Unknown, ""},
    {EngineSupport::Ignored, "retrigger"},
    {EngineSupport::Ignored, "fine volume slide up"},
    {EngineSupport::Ignored, "fine volume slide down"},
    {EngineSupport::Played, "note cut"},
    {EngineSupport::Ignored, "note delay"},
    {EngineSupport::Ignored, "pattern delay"},
    {EngineSupport::Unknown, ""},
};

// Volume column by code.
constexpr Entry kVolumeColumn[16] = {
    {EngineSupport::NoEffect, ""},
    {EngineSupport::Played, "set volume"},
    {EngineSupport::NoEffect, ""},
    {EngineSupport::NoEffect, ""},
    {EngineSupport::NoEffect, ""},
    {EngineSupport::NoEffect, ""},
    {EngineSupport::OwnWay, "volume slide down"},
    {EngineSupport::OwnWay, "volume slide up"},
    {EngineSupport::Played, "fine volume slide down"},
    {EngineSupport::Played, "fine volume slide up"},
    {EngineSupport::Ignored, "set vibrato speed"},
    {EngineSupport::Ignored, "vibrato"},
    {EngineSupport::Played, "set panning"},
    {EngineSupport::OwnWay, "panning slide left"},
    {EngineSupport::OwnWay, "panning slide right"},
    {EngineSupport::OwnWay, "tone portamento"},
};

Entry Lookup(const CellCommand& c) {
    if (c.volumeColumn) return kVolumeColumn[c.code & 0x0F];
    if (c.code >= kEffectEntries) return {EngineSupport::Unknown, ""};
    switch (c.code) {
        case kArpeggio:
            return c.sub ? kEffects[kArpeggio] : Entry{EngineSupport::NoEffect, ""};
        case kExtended:
            return kExtendedEffects[c.sub & 0x0F];
        case kKeyOff:
            return {c.sub ? EngineSupport::OwnWay : EngineSupport::Played, "key off"};
        case kExtraFinePortamento:
            if (c.sub == 1) return {EngineSupport::Ignored, "extra fine portamento up"};
            if (c.sub == 2) return {EngineSupport::Ignored, "extra fine portamento down"};
            return {EngineSupport::Unknown, ""};
        default:
            return kEffects[c.code];
    }
}

char HexDigit(int v) { return static_cast<char>(v < 10 ? '0' + v : 'A' + v - 10); }

}  // namespace

CellCommand EffectCommand(std::uint8_t type, std::uint8_t parameter) {
    CellCommand c;
    c.code = type;
    if (type == kExtended || type == kExtraFinePortamento) c.sub = parameter >> 4;
    if (type == kArpeggio || type == kKeyOff) c.sub = parameter != 0 ? 1 : 0;
    return c;
}

CellCommand VolumeColumnCommand(std::uint8_t volumeByte) {
    CellCommand c;
    c.volumeColumn = true;
    if (volumeByte >= 0x10 && volumeByte <= 0x50) {
        c.code = kVolumeSet;
    } else if (volumeByte < 0x60) {
        c.code = kVolumeNothing;
    } else {
        c.code = volumeByte >> 4;
    }
    return c;
}

EngineSupport SupportOf(const CellCommand& command) { return Lookup(command).support; }

std::string CommandCode(const CellCommand& c) {
    if (c.volumeColumn) {
        if (c.code == kVolumeSet) return "volume column 10-50";
        if (c.code == kVolumeNothing) return "volume column 01-0F/51-5F";
        return std::string("volume column ") + HexDigit(c.code) + "x";
    }
    if (c.code >= 36) return "effect type " + std::to_string(c.code);
    const char letter = HexDigit(c.code);  // 0-9, then A-Z for 10..35
    switch (c.code) {
        case kArpeggio: return c.sub ? "0xy" : "000";
        case kExtended: return std::string("E") + HexDigit(c.sub) + "y";
        case kExtraFinePortamento: return std::string("X") + HexDigit(c.sub) + "y";
        case kKeyOff: return c.sub ? "Kxx (xx above 0)" : "K00";
        default: break;
    }
    const bool twoNibbles = c.code == kTonePortamentoVolume || c.code == 0x04 ||
                            c.code == 0x06 || c.code == 0x07 || c.code == kVolumeSlide ||
                            c.code == kGlobalVolumeSlide || c.code == 0x19 || c.code == 0x1B || c.code == 0x1D;
    return std::string(1, letter) + (twoNibbles ? "xy" : "xx");
}

std::string CommandName(const CellCommand& command) { return Lookup(command).name; }

const char* OwnWayNote(const CellCommand& c) {
    if (SupportOf(c) != EngineSupport::OwnWay) return "";
    if (c.volumeColumn) {
        switch (c.code) {
            case 0x6:
            case 0x7:
            case 0xD:
            case 0xE:
                return "slides on every tick of the row, the first included (FastTracker 2: from the second "
                       "tick on)";
            default:
                return "the row's note takes its pitch at once without restarting the sample; no slide";
        }
    }
    switch (c.code) {
        case kPortamentoUp:
            return "the mirror of 2xx with a memory of its own, stopping at period 1";
        case kTonePortamento:
            return "slides 4 x xx per tick to the note, pitched with the playing sample; the cell's instrument "
                   "is not taken";
        case kTonePortamentoVolume:
            return "continues the slide, plus an Axy volume slide sharing Axy's memory; the cell's instrument "
                   "is not taken";
        case kExtended:
            return "the jump back comes after the loop's last row has played all its ticks";
        default:
            return "the key is released on the row's first tick (FastTracker 2: on tick xx)";
    }
}

}  // namespace music
