#include "music/mixer.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace music {

std::array<Voice, kVoiceCount> voiceTable{};
MixerState mixer;

namespace {

constexpr std::int64_t kOne = std::int64_t{1} << 32;  // 1.0 in 32.32
constexpr float kGainScale = 255.0f;                  // target 255 is a gain of 1.0
constexpr float kCurrentGainScale = 65280.0f;         // 8.8 current gain: 255 x 256

// Bit-exact interpolation: t = (fraction >> 1) x 2^-31 in single precision,
// then s = s0 + t x (s1 - s0). The shift keeps the fraction in the signed
// range the conversion has always used; both the scalar and the vector path
// round exactly here.
inline float Interpolate(const std::int16_t* data, std::int64_t position) {
    const std::int32_t index = static_cast<std::int32_t>(position >> 32);
    const auto fraction = static_cast<std::uint32_t>(position);
    const float s0 = data[index];
    const float s1 = data[index + 1];
    const float t = static_cast<float>(static_cast<std::int32_t>(fraction >> 1)) * 0x1p-31f;
    return s0 + t * (s1 - s0);
}

// m frames at constant gains; returns the position after them. `step` is
// negative when the voice moves backward.
std::int64_t MixConstant(const std::int16_t* data, std::int64_t position, std::int64_t step, float* out,
                         std::int32_t frames, float leftGain, float rightGain) {
    for (std::int32_t j = 0; j < frames; ++j) {
        const float s = Interpolate(data, position);
        out[2 * j] += s * leftGain;
        out[2 * j + 1] += s * rightGain;
        position += step;
    }
    return position;
}

// m frames of a ramp: each gain grows by its slope after every frame, in
// single precision, frame by frame (a product i x slope would round
// differently).
std::int64_t MixRamp(const std::int16_t* data, std::int64_t position, std::int64_t step, float* out,
                     std::int32_t frames, float& leftGain, float& rightGain, float leftSlope, float rightSlope) {
    float left = leftGain;
    float right = rightGain;
    for (std::int32_t j = 0; j < frames; ++j) {
        const float s = Interpolate(data, position);
        out[2 * j] += s * left;
        out[2 * j + 1] += s * right;
        left += leftSlope;
        right += rightSlope;
        position += step;
    }
    leftGain = left;
    rightGain = right;
    return position;
}

// floor(a / b) for b > 0.
inline std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

// A ping-pong loop that has reached its boundary. The rule: mirror the
// position at the boundary it crossed (at the loop end: 2 x end - position -
// 2^-32, backward; at the loop start: 2 x start - position - 2^-32,
// forward), then, while it lies outside the loop, mirror it at whichever
// boundary it is beyond, and so on. Two mirrors make a shift by twice the
// loop length, so the same result comes from one reduction modulo that: an
// absurd step over a short loop costs no more than a small one.
void MirrorPingPong(std::int64_t& position, std::int32_t& direction, std::int64_t loopStart, std::int64_t loopEnd) {
    const std::int64_t length = loopEnd - loopStart;   // 32.32, at least 1.0
    const std::int64_t offset = position - loopStart;
    std::int64_t mirrored;
    std::int32_t firstDirection;
    if (direction == kBackward) {
        mirrored = -1 - offset;
        firstDirection = kForward;
    } else {
        mirrored = 2 * length - 1 - offset;
        firstDirection = kBackward;
    }
    const std::int64_t turns = FloorDiv(mirrored, 2 * length);
    const std::int64_t rest = mirrored - turns * 2 * length;  // 0..2 x length - 1
    if (rest < length) {
        // An even number of further mirrors, the last at the start (turns
        // above 0) or at the end (below 0), or none.
        position = loopStart + rest;
        direction = turns > 0 ? kForward : turns < 0 ? kBackward : firstDirection;
    } else {
        position = loopStart + 2 * length - 1 - rest;
        direction = turns >= 0 ? kBackward : kForward;
    }
}

// One voice: segments up to the loop boundary or the end of the ramp,
// whichever comes first, until `frames` frames are mixed or the sample ends.
void MixVoice(Voice& voice, float* out, std::int32_t frames, std::int32_t rampLength) {
    const Sample& sample = *voice.sample;
    const std::int16_t* data = sample.data.data();
    const std::int64_t loopStart = std::int64_t{sample.loopStart} * kOne;
    const std::int64_t loopEnd = (std::int64_t{sample.loopStart} + sample.loopLength) * kOne;
    const std::int64_t step = VoiceStep(voice);
    std::int64_t position = VoicePosition(voice);
    std::int32_t remaining = frames;

    for (;;) {
        // 1. The segment: up to the boundary in the direction of travel (the
        // loop end forward, the loop start backward; a sample without loop
        // ends at its length), k = ceil(distance / step) frames away.
        std::int32_t segment = remaining;
        bool reachesBoundary = false;
        const std::int64_t distance = voice.direction == kBackward ? position - loopStart : loopEnd - position;
        if (distance < 0) {
            // Beyond the boundary already: never from the engine, but safe.
            segment = 0;
            reachesBoundary = true;
        } else {
            // Computed in 64 bits for any distance (the classic mixer only
            // looked 2^24 values ahead, so an absurd step could carry a voice
            // past the end of a longer sample within one segment).
            const std::int64_t k = (distance + step - 1) / step;
            if (k <= segment) {
                segment = static_cast<std::int32_t>(k);
                reachesBoundary = true;
            }
        }
        const std::int32_t boundarySegment = segment;

        // 2. The ramp: continued while the targets stay, else recomputed from
        // the gain reached so far towards the new targets over RampLength
        // frames. Bit-exact: difference / 255 / RampLength, two single-
        // precision divisions in that order.
        if (voice.rampFramesLeft == 0 || voice.leftTarget != voice.lastLeftTarget ||
            voice.rightTarget != voice.lastRightTarget) {
            voice.lastLeftTarget = voice.leftTarget;
            voice.lastRightTarget = voice.rightTarget;
            const std::int32_t leftDifference = voice.leftTarget - (voice.currentLeftGain >> 8);
            const std::int32_t rightDifference = voice.rightTarget - (voice.currentRightGain >> 8);
            voice.leftSlope = leftDifference == 0
                ? 0.0f
                : static_cast<float>(leftDifference) / kGainScale / static_cast<float>(rampLength);
            voice.rightSlope = rightDifference == 0
                ? 0.0f
                : static_cast<float>(rightDifference) / kGainScale / static_cast<float>(rampLength);
            voice.rampFramesLeft = (leftDifference != 0 || rightDifference != 0) ? rampLength : 0;
        }

        const std::int64_t signedStep = voice.direction == kBackward ? -step : step;
        if (voice.rampFramesLeft != 0) {
            segment = std::min(segment, voice.rampFramesLeft);
            // 3-5. Gains from the current gains, growing by the slopes; the
            // reached gains are kept in 8.8, rounded to nearest (ties to
            // even), and exactly target x 256 once the ramp is over.
            float leftGain = static_cast<float>(voice.currentLeftGain) / kCurrentGainScale;
            float rightGain = static_cast<float>(voice.currentRightGain) / kCurrentGainScale;
            position = MixRamp(data, position, signedStep, out, segment, leftGain, rightGain, voice.leftSlope,
                               voice.rightSlope);
            voice.currentLeftGain = static_cast<std::int32_t>(std::lrint(leftGain * kCurrentGainScale));
            voice.currentRightGain = static_cast<std::int32_t>(std::lrint(rightGain * kCurrentGainScale));
            voice.rampFramesLeft -= segment;
            if (voice.rampFramesLeft == 0) {
                voice.leftSlope = 0.0f;
                voice.rightSlope = 0.0f;
                voice.currentLeftGain = voice.leftTarget * 256;
                voice.currentRightGain = voice.rightTarget * 256;
            }
            if (segment < boundarySegment) {
                // The ramp ended first: go on from the same position.
                remaining -= segment;
                out += 2 * static_cast<std::ptrdiff_t>(segment);
                continue;
            }
        } else if (voice.leftTarget == 0 && voice.rightTarget == 0) {
            // Silent (a voice faded out by a takeover runs on until its
            // sample ends): only the position moves, exactly as frame by frame.
            position += segment * signedStep;
        } else {
            const float leftGain = static_cast<float>(voice.leftTarget) / kGainScale;
            const float rightGain = static_cast<float>(voice.rightTarget) / kGainScale;
            position = MixConstant(data, position, signedStep, out, segment, leftGain, rightGain);
        }

        // 6. At the boundary: loop, or the voice goes idle.
        if (!reachesBoundary) break;
        if (sample.loopType & kLoopForward) {
            // Whole loop lengths off the integer part, until below the loop
            // end; the fraction stays.
            std::int64_t integer = position >> 32;
            const std::int64_t end = loopEnd >> 32;
            const std::int64_t length = sample.loopLength;
            if (integer >= end && length > 0) integer -= length * ((integer - end) / length + 1);
            position = integer * kOne + static_cast<std::uint32_t>(position);
            voice.direction = kForward;
        } else if ((sample.loopType & kLoopPingPong) && sample.loopLength > 0) {
            MirrorPingPong(position, voice.direction, loopStart, loopEnd);
        } else {
            voice.sample = nullptr;
            position = 0;
            break;
        }
        remaining -= segment;
        out += 2 * static_cast<std::ptrdiff_t>(segment);
        if (remaining <= 0) break;
    }
    SetVoicePosition(voice, position);
}

}  // namespace

void MixVoices(float* destination, std::int32_t frames) {
    if (frames < 1 || !destination) return;
    const std::int32_t rampLength = std::max(mixer.rampLength, 1);
    for (Voice& voice : voiceTable) {
        if (voice.sample) MixVoice(voice, destination, frames, rampLength);
    }
}

void ConvertBlock(std::int16_t* destination, const float* source, std::int32_t frames) {
    if (frames < 1 || !destination || !source) return;
    const std::int32_t values = frames * 2;
    std::int32_t i = 0;
#if defined(__SSE2__)
    // The conversion rounds to nearest, ties to even (the default rounding
    // mode), after clamping in float; the pack cannot saturate any further.
    const __m128 low = _mm_set1_ps(-32768.0f);
    const __m128 high = _mm_set1_ps(32767.0f);
    for (; i + 8 <= values; i += 8) {
        const __m128 a = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(source + i), low), high);
        const __m128 b = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(source + i + 4), low), high);
        const __m128i packed = _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), packed);
    }
#endif
    for (; i < values; ++i) {
        const float clamped = std::clamp(source[i], -32768.0f, 32767.0f);
        destination[i] = static_cast<std::int16_t>(std::lrint(clamped));
    }
}

void RenderBlock() {
    if (!mixer.mixRing || !mixer.outputRing || mixer.blockFrames < 1 || mixer.blockCount < 1) return;
    const std::int32_t block = std::clamp(mixer.writeIndex, 0, mixer.blockCount - 1);
    const std::size_t first = static_cast<std::size_t>(block) * static_cast<std::size_t>(mixer.blockFrames) * 2;
    float* mix = mixer.mixRing + first;
    std::fill(mix, mix + static_cast<std::size_t>(mixer.blockFrames) * 2, 0.0f);

    if (Module* song = mixer.song) {
        std::int32_t left = song->framesLeftInTick;
        std::int32_t done = 0;
        while (done < mixer.blockFrames) {
            if (left <= 0) {
                if (song->tickOperation) song->tickOperation(*song);
                // A new BPM set during the tick already governs its frames.
                left = std::max(song->framesPerTick, 1);
            }
            const std::int32_t n = std::min(left, mixer.blockFrames - done);
            MixVoices(mix + 2 * static_cast<std::ptrdiff_t>(done), n);
            done += n;
            left -= n;
        }
        song->framesLeftInTick = left;
    }

    ConvertBlock(mixer.outputRing.get() + first, mix, mixer.blockFrames);
    mixer.writeIndex = block + 1 >= mixer.blockCount ? 0 : block + 1;
}

}  // namespace music
