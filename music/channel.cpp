#include "music/channel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace music {

std::array<Channel, kMaxChannels> channelTable{};

// Bit-exact: integer 16.16 arithmetic throughout, so that an envelope lands
// on its points exactly and every platform steps it alike; the slope is
// truncated toward zero.
void StepEnvelope(Channel& channel, EnvelopeState& envelope, const EnvelopePoint* points, std::int32_t pointCount,
                  std::int32_t sustainPoint, std::int32_t loopStartPoint, std::int32_t loopEndPoint,
                  std::uint8_t envelopeType, std::uint8_t updateFlag) {
    std::int32_t& i = envelope.pointIndex;
    std::int32_t& t = envelope.tick;
    // ">=" rather than "==": two points at the same tick (which the loader
    // makes of points that went back in time) would otherwise leave the tick
    // one past the second point for good, and the envelope would stall there
    // instead of moving on.
    if (i >= 0 && i < pointCount && t >= points[i].x) {
        if ((envelopeType & kEnvelopeLoop) && i == loopEndPoint) {
            // The loop is tested before the end, so a loop ending on the last
            // point loops.
            i = loopStartPoint;
            t = points[i].x;
        }
        if (i == pointCount - 1) {
            envelope.output = points[i].y;
            envelope.finished = 1;
            channel.updateFlags |= updateFlag;
            return;
        }
        if ((envelopeType & kEnvelopeSustain) && i == sustainPoint && !channel.keyReleased) {
            // Held: the tick does not advance until the key is released.
            envelope.output = points[i].y;
            channel.updateFlags |= updateFlag;
            return;
        }
        const std::int32_t dx = std::int32_t{points[i + 1].x} - points[i].x;
        const std::int32_t dy = std::int32_t{points[i + 1].y} - points[i].y;
        envelope.slope = dx == 0 ? 0 : dy * 65536 / dx;
        envelope.value = std::int32_t{points[i].y} * 65536;
        ++i;
    } else if (i < pointCount) {
        envelope.value += envelope.slope;
    }
    envelope.output = envelope.value >> 16;
    ++t;
    channel.updateFlags |= updateFlag;
}

std::int32_t AutoVibratoWave(std::uint8_t type, std::int32_t position) {
    switch (type) {
        case 1:  // square: +64 for the first half, -64 for the second
            return position < 128 ? 64 : -64;
        case 2:  // ramp down: 0 at 0 falling to -64 at 127, +64 at 128 falling to 0 at 255
            return (128 - ((position + 128) % 256)) >> 1;
        case 3:  // ramp up: 0 at 0 rising to +64 at 128, -64 at 129 rising to -1 at 255
            return (128 - ((384 - position) % 256)) >> 1;
        default: {
            // Type 0, and the types above 3 that valid files do not hold:
            // the sine, as a musician who set a depth expects to hear.
            // Double precision, truncated toward zero; the 256 positions a
            // channel takes are computed once, by the same expression.
            const auto sine = [](std::int32_t at) {
                return static_cast<std::int32_t>(std::sin(static_cast<double>(at) * (2.0 * std::numbers::pi) / 256.0) *
                                                 64.0);
            };
            static const std::array<std::int8_t, 256> table = [&] {
                std::array<std::int8_t, 256> values{};
                for (std::int32_t at = 0; at < 256; ++at) values[static_cast<std::size_t>(at)] =
                    static_cast<std::int8_t>(sine(at));
                return values;
            }();
            return position >= 0 && position < 256 ? table[static_cast<std::size_t>(position)] : sine(position);
        }
    }
}

void StepAutoVibrato(Channel& channel, const Instrument& instrument) {
    const std::int32_t wave = AutoVibratoWave(instrument.autoVibratoType, channel.autoVibratoPosition);
    std::int32_t amount = std::int32_t{instrument.autoVibratoDepth} * wave;
    if (instrument.autoVibratoSweep != 0) {
        amount = channel.autoVibratoSweep * amount / instrument.autoVibratoSweep;
    }
    channel.periodDelta += amount >> 6;
    channel.autoVibratoSweep = std::min<std::int32_t>(channel.autoVibratoSweep + 1, instrument.autoVibratoSweep);
    channel.autoVibratoPosition += instrument.autoVibratoRate;
    if (channel.autoVibratoPosition > 255) channel.autoVibratoPosition -= 256;
    channel.updateFlags |= UpdateFrequency;
}

void ResetChannelForInstrument(Channel& channel, const Sample& sample) {
    channel.volume = sample.volume;
    channel.panning = sample.panning;
    for (EnvelopeState* envelope : {&channel.volumeEnvelope, &channel.panningEnvelope}) {
        envelope->tick = 0;
        envelope->pointIndex = 0;
        envelope->slope = 0;
        envelope->finished = 0;
    }
    channel.volumeEnvelope.output = 64;
    channel.panningEnvelope.output = 32;
    channel.keyReleased = 0;
    channel.fadeoutVolume = kFullFadeout;
    channel.autoVibratoPosition = 0;
    channel.autoVibratoSweep = 0;
    channel.updateFlags |= UpdateVolume | UpdatePanning;
}

namespace {

// The linear table's exponent, in 768ths of an octave above 8,363 Hz; a
// positive delta raises the pitch.
std::int64_t LinearExponent(std::int32_t period, std::int32_t periodDelta) {
    return std::int64_t{4608} - period + periodDelta;
}

}  // namespace

std::int64_t PeriodFrequency(bool linear, std::int32_t period, std::int32_t periodDelta) {
    double frequency;
    if (linear) {
        // Bit-exact: double precision, floor(8363 x 2^(exponent / 768)).
        const std::int64_t exponent = LinearExponent(period, periodDelta);
        frequency = std::floor(8363.0 * std::pow(2.0, static_cast<double>(exponent) / 768.0));
    } else {
        const std::int64_t sum = std::int64_t{period} + periodDelta;
        if (sum == 0) return 0;
        return kAmigaClock / sum;  // truncating toward zero, as the integer division does
    }
    // Absurd notes (a relative note far above the range) would reach beyond
    // any step the 32.32 position can take; nothing audible changes here.
    return static_cast<std::int64_t>(std::min(frequency, 2147483647.0));
}

// Bit-exact: 64-bit integers, floor((frequency mod rate) x 2^32 / rate).
void SetVoiceStep(Voice& voice, std::int64_t frequency) {
    const std::int64_t rate = mixer.rate;
    voice.stepInteger = static_cast<std::int32_t>(frequency / rate);
    voice.stepFraction = static_cast<std::uint32_t>(((frequency % rate) << 32) / rate);
}

namespace {

// Gain targets from the voice's final volume and panning; 255 is fully left.
void SetGainTargets(Voice& voice) {
    voice.leftTarget = voice.finalVolume * voice.finalPanning / 255;
    voice.rightTarget = voice.finalVolume * (255 - voice.finalPanning) / 255;
}

}  // namespace

void UpdateVoice(Channel& channel, const Sample& sample, const Module& module) {
    Voice* voice = channel.voice;
    if (!voice) return;  // a channel table that was never set up drives nothing

    // 1. A period sum of 0 has no frequency: the voice keeps its step.
    if (std::int64_t{channel.period} + channel.periodDelta == 0) {
        channel.updateFlags = static_cast<std::uint8_t>(channel.updateFlags & ~UpdateFrequency);
    }
    const std::uint8_t flags = channel.updateFlags;

    // 2. A new note. A voice that still sounds is handed to the partner slot
    // whole and faded out there over the ramp (then runs on silently until
    // its sample ends or the slot is reused); the channel moves to the
    // partner and starts the note from silence, so neither end clicks.
    if (flags & TriggerNote) {
        if (voice->sample) {
            const std::ptrdiff_t slot = voice - voiceTable.data();
            Voice& partner = voiceTable[static_cast<std::size_t>(slot < kPartnerDistance ? slot + kPartnerDistance
                                                                                          : slot - kPartnerDistance)];
            const std::int32_t partnerIndex = partner.slotIndex;
            partner = *voice;
            partner.slotIndex = partnerIndex;
            voice->finalVolume = 0;
            voice->leftTarget = 0;
            voice->rightTarget = 0;
            voice = &partner;
            channel.voice = voice;
        }
        voice->sample = &sample;
        voice->positionInteger = 0;
        voice->positionFraction = 0;
        voice->direction = kForward;
        voice->currentLeftGain = 0;
        voice->currentRightGain = 0;
        voice->rampFramesLeft = 0;
    }

    // 3. Bit-exact: the product in 64 bits, then floor(... x 255 / 2^35),
    // 0..127 (all at their maximum give 127).
    if (flags & UpdateVolume) {
        const std::int64_t product = std::int64_t{channel.volume} * channel.volumeEnvelope.output *
                                     channel.fadeoutVolume * module.globalVolume * 255;
        voice->finalVolume = static_cast<std::int32_t>(product >> 35);
        SetGainTargets(*voice);
    }

    // 4. The envelope swings the panning by at most the distance to the
    // nearer edge; q is truncated before the product, the result clamped.
    if (flags & UpdatePanning) {
        const std::int32_t p = channel.panning;
        const std::int32_t q = (128 - std::abs(p - 128)) / 32;
        const std::int32_t panning = p + (channel.panningEnvelope.output - 32) * q;
        voice->finalPanning = std::clamp(panning, 0, 255);
        SetGainTargets(*voice);
    }

    // 5. The frequency, never below 100 Hz, as a 32.32 step at the mixer's rate.
    if (flags & UpdateFrequency) {
        std::int64_t frequency;
        if (UsesLinearFrequencies(module)) {
            const std::int64_t exponent = LinearExponent(channel.period, channel.periodDelta);
            if (!channel.frequencyKnown || channel.frequencyExponent != exponent) {
                channel.frequency = PeriodFrequency(true, channel.period, channel.periodDelta);
                channel.frequencyExponent = exponent;
                channel.frequencyKnown = 1;
            }
            frequency = channel.frequency;
        } else {
            frequency = PeriodFrequency(false, channel.period, channel.periodDelta);
        }
        if (frequency < kMinFrequency) frequency = kMinFrequency;
        SetVoiceStep(*voice, frequency);
    }
}

}  // namespace music
