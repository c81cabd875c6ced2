#pragma once
// Tiny songs built in the test and played tick by tick through the real
// loader, replay engine and voice update, libxmp-style: a test writes the
// rows, plays ticks and compares the channel and voice state with a table.

#include <utility>
#include <vector>

#include "music/channel.h"
#include "music/mixer.h"
#include "music/playback.h"
#include "music/replay.h"
#include "tests/music/xm_builder.h"

namespace replaytest {

using xmtest::Bytes;

// Notes as the file numbers them: 1 is C-0, 49 C-4, 97 key-off.
inline constexpr unsigned C4 = 49;
inline constexpr unsigned KeyOff = 97;

struct Cell {
    unsigned note = 0, instrument = 0, volume = 0, effect = 0, parameter = 0;
};
using Row = std::vector<Cell>;  // channel 0 first; missing channels are empty

// Rows packed as plain five-byte cells.
inline Bytes PackRows(const std::vector<Row>& rows, unsigned channels) {
    Bytes packed;
    for (const Row& row : rows) {
        for (unsigned c = 0; c < channels; ++c) {
            const Cell cell = c < row.size() ? row[c] : Cell{};
            for (unsigned v : {cell.note, cell.instrument, cell.volume, cell.effect, cell.parameter}) {
                packed.push_back(static_cast<std::uint8_t>(v));
            }
        }
    }
    return packed;
}

// An 8-bit looping sample of `length` values (a ramp), volume 64, centre panning.
inline xmtest::SampleSpec LoopingSample(unsigned length = 256) {
    xmtest::SampleSpec sample;
    sample.length = length;
    sample.loopStart = 0;
    sample.loopLength = length;
    sample.type = 1;
    sample.volume = 64;
    sample.panning = 128;
    sample.data = xmtest::Ramp(static_cast<int>(length));
    return sample;
}

// One pattern of these rows, one instrument playing LoopingSample().
inline xmtest::XmSpec Song(const std::vector<Row>& rows, unsigned channels = 1, unsigned speed = 3,
                           unsigned bpm = 125) {
    xmtest::XmSpec layout;
    layout.channels = channels;
    layout.speed = speed;
    layout.bpm = bpm;
    layout.patterns.push_back({static_cast<unsigned>(rows.size()), PackRows(rows, channels), {}});
    layout.instruments.push_back(xmtest::OneSample(LoopingSample()));
    return layout;
}

// A loaded song set up as StartPlayback does, without rings or a device.
class Player {
public:
    explicit Player(const xmtest::XmSpec& layout) : module_(xmtest::Load(xmtest::BuildXm(layout))) {
        music::SetUpVoiceTable(music::kOutputRate);
        if (module_) music::ResetPlayback(*module_);
    }
    bool Loaded() const { return module_ != nullptr; }
    music::Module& Song() { return *module_; }
    void Tick(int count = 1) {
        for (int i = 0; i < count; ++i) module_->tickOperation(*module_);
    }
    music::Channel& Channel(int c = 0) { return music::channelTable[static_cast<std::size_t>(c)]; }
    music::Voice& Voice(int c = 0) { return *Channel(c).voice; }

private:
    xmtest::ModulePtr module_;
};

}  // namespace replaytest
