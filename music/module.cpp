#include "music/module.h"

namespace music {

const Sample EmptySample{};

const Instrument EmptyInstrument{};

std::array<const Sample*, kInstrumentSampleSlots> Instrument::EmptySampleSlots() {
    std::array<const Sample*, kInstrumentSampleSlots> slots;
    slots.fill(&EmptySample);
    return slots;
}

void UnrollShortLoop(Sample& sample) {
    sample.unrolledLoop.clear();
    const std::uint32_t length = sample.loopLength;
    if (sample.loopType != kLoopForward || length == 0 || length >= kUnrolledLoopValues ||
        std::size_t{sample.loopStart} + length > sample.data.size()) {
        return;
    }
    const std::uint32_t passes = (kUnrolledLoopValues + length - 1) / length;
    sample.unrolledLoop.resize(std::size_t{passes} * length + kSampleGuardValues);
    const std::int16_t* loop = sample.data.data() + sample.loopStart;
    for (std::size_t i = 0; i < sample.unrolledLoop.size(); ++i) sample.unrolledLoop[i] = loop[i % length];
}

bool FreeModule(Module* module) {
    if (!module) return false;
    // The records own their storage: samples and their data go with their
    // instruments, cells with their patterns.
    delete module;
    return true;
}

}  // namespace music
