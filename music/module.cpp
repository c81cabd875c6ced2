#include "music/module.h"

namespace music {

const Sample EmptySample{};

const Instrument EmptyInstrument{};

std::array<const Sample*, kInstrumentSampleSlots> Instrument::EmptySampleSlots() {
    std::array<const Sample*, kInstrumentSampleSlots> slots;
    slots.fill(&EmptySample);
    return slots;
}

bool FreeModule(Module* module) {
    if (!module) return false;
    // The records own their storage: samples and their data go with their
    // instruments, cells with their patterns.
    delete module;
    return true;
}

}  // namespace music
