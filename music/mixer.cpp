#include "music/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
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
// 32-bit range, which SSE2 and AVX2 convert directly, so both the scalar and
// the vector paths round exactly alike here.
inline float Interpolate(const std::int16_t* data, std::int64_t position) {
    const std::int32_t index = static_cast<std::int32_t>(position >> 32);
    const auto fraction = static_cast<std::uint32_t>(position);
    const float s0 = data[index];
    const float s1 = data[index + 1];
    const float t = static_cast<float>(static_cast<std::int32_t>(fraction >> 1)) * 0x1p-31f;
    return s0 + t * (s1 - s0);
}

MixPath mixPath = platform::BestVectorPath();

// The portable frame: one frame at constant gains.
inline void MixFrame(const std::int16_t* data, std::int64_t position, float* out, float leftGain, float rightGain) {
    const float s = Interpolate(data, position);
    out[0] += s * leftGain;
    out[1] += s * rightGain;
}

#if defined(__SSE2__)
// The values at and after the position's integer part, as one 32-bit value
// (x86 is little-endian: the first value in the low half).
inline std::int32_t LoadPair(const std::int16_t* data, std::int64_t position) {
    std::int32_t pair;
    std::memcpy(&pair, data + static_cast<std::int32_t>(position >> 32), sizeof pair);
    return pair;
}
inline std::int32_t HalfFraction(std::int64_t position) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(position) >> 1);
}

// The interpolated values of four frames from `position` on, which moves
// four steps; each lane exactly Interpolate's arithmetic.
inline __m128 InterpolateFour(const std::int16_t* data, std::int64_t& position, std::int64_t step) {
    const std::int64_t p0 = position;
    const std::int64_t p1 = p0 + step;
    const std::int64_t p2 = p1 + step;
    const std::int64_t p3 = p2 + step;
    position = p3 + step;
    // Each lane: s0 in the low and s1 in the high half of one 32-bit load.
    const __m128i pair = _mm_setr_epi32(LoadPair(data, p0), LoadPair(data, p1), LoadPair(data, p2),
                                        LoadPair(data, p3));
    const __m128i halfFraction = _mm_setr_epi32(HalfFraction(p0), HalfFraction(p1), HalfFraction(p2),
                                                HalfFraction(p3));
    const __m128 s0 = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(pair, 16), 16));
    const __m128 s1 = _mm_cvtepi32_ps(_mm_srai_epi32(pair, 16));
    const __m128 t = _mm_mul_ps(_mm_cvtepi32_ps(halfFraction), _mm_set1_ps(0x1p-31f));
    return _mm_add_ps(s0, _mm_mul_ps(t, _mm_sub_ps(s1, s0)));
}

// Four frames at a time; returns the frames done.
std::int32_t MixConstantSse2(const std::int16_t* data, std::int64_t& position, std::int64_t step, float* out,
                             std::int32_t frames, float leftGain, float rightGain) {
    const __m128 left = _mm_set1_ps(leftGain);
    const __m128 right = _mm_set1_ps(rightGain);
    std::int32_t j = 0;
    for (; j + 4 <= frames; j += 4) {
        const __m128 s = InterpolateFour(data, position, step);
        const __m128 l = _mm_mul_ps(s, left);
        const __m128 r = _mm_mul_ps(s, right);
        float* o = out + 2 * j;
        _mm_storeu_ps(o, _mm_add_ps(_mm_loadu_ps(o), _mm_unpacklo_ps(l, r)));
        _mm_storeu_ps(o + 4, _mm_add_ps(_mm_loadu_ps(o + 4), _mm_unpackhi_ps(l, r)));
    }
    return j;
}
#endif

#if defined(QUANDRIX_CPU_AVX2)
// The interpolated values of eight frames times their gains (left, right,
// left, ... for four frames in each of the two gain vectors), added into out.
__attribute__((target("avx2"), always_inline)) inline void AddEightFrames(float* out, __m256 values,
                                                                          __m256 gainsFirst, __m256 gainsLast) {
    const __m256 first = _mm256_mul_ps(_mm256_permutevar8x32_ps(values, _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3)),
                                       gainsFirst);
    const __m256 second = _mm256_mul_ps(_mm256_permutevar8x32_ps(values, _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7)),
                                        gainsLast);
    _mm256_storeu_ps(out, _mm256_add_ps(_mm256_loadu_ps(out), first));
    _mm256_storeu_ps(out + 8, _mm256_add_ps(_mm256_loadu_ps(out + 8), second));
}

// The end of every eight-frame group: s0 + t x (s1 - s0) with t = half
// fraction x 2^-31 (Interpolate's arithmetic, lane by lane), times the
// frames' gains (the same for all, or frameGains' 16 values), added into out.
__attribute__((target("avx2"), always_inline)) inline void InterpolateAndAdd(float* out, __m256 s0, __m256 s1,
                                                                             __m256i halfFraction, __m256 gains,
                                                                             const float* frameGains) {
    const __m256 t = _mm256_mul_ps(_mm256_cvtepi32_ps(halfFraction), _mm256_set1_ps(0x1p-31f));
    const __m256 values = _mm256_add_ps(s0, _mm256_mul_ps(t, _mm256_sub_ps(s1, s0)));
    AddEightFrames(out, values, frameGains ? _mm256_loadu_ps(frameGains) : gains,
                   frameGains ? _mm256_loadu_ps(frameGains + 8) : gains);
}

// The two values of each lane's 32-bit pair as floats: s0 from the low half,
// s1 from the high half.
__attribute__((target("avx2"), always_inline)) inline void SplitPairs(__m256i pair, __m256& s0, __m256& s1) {
    s0 = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(pair, 16), 16));
    s1 = _mm256_cvtepi32_ps(_mm256_srai_epi32(pair, 16));
}

// Eight frames at a time; returns the frames done. With steps below 2.0 (all
// but the highest notes) four consecutive frames read at most eight values
// from the lowest one on, so each half of the vector loads its four frames'
// value pairs as one 16-byte window and a byte shuffle hands each frame its
// own; larger steps load the pairs one by one.
//
// The narrow loop finds the eight positions in 32-bit lanes: frame j of a
// group lies j x step beyond the group's first position P, so its fraction
// is P's fraction plus that of j x step (modulo 2^32) and its integer part
// P's plus that of j x step plus the carry of that sum. The products and sums
// are the portable path's, lane by lane; each frame's two products are
// placed next to each other by a permutation.
//
// The gains are the same for every frame (frameGains nullptr), or, along a
// ramp, frameGains holds each frame's left and right gain, frames x 2 floats.
__attribute__((target("avx2"))) std::int32_t MixAvx2(const std::int16_t* data, std::int64_t& position,
                                                     std::int64_t step, float* out, std::int32_t frames,
                                                     float leftGain, float rightGain, const float* frameGains) {
    const __m256 gains = _mm256_setr_ps(leftGain, rightGain, leftGain, rightGain, leftGain, rightGain, leftGain,
                                        rightGain);
    std::int64_t p = position;
    std::int32_t j = 0;
    if (step < 2 * kOne && step > -2 * kOne) {
        std::int32_t jumpInteger[8];
        std::int32_t jumpFraction[8];
        for (int k = 0; k < 8; ++k) {
            const std::int64_t jump = k * step;
            jumpInteger[k] = static_cast<std::int32_t>(jump >> 32);
            jumpFraction[k] = static_cast<std::int32_t>(static_cast<std::uint32_t>(jump));
        }
        const __m256i integerJump = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(jumpInteger));
        const __m256i fractionJump = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(jumpFraction));
        const __m256i bias = _mm256_set1_epi32(static_cast<std::int32_t>(0x80000000u));
        const __m256i biasedFractionJump = _mm256_xor_si256(fractionJump, bias);
        if (step > 0 && step < kOne) {
            // Forward below 1.0 (most notes): the eight frames read the values
            // from P's integer part to 8 beyond it, so two loads of eight
            // values, widened, and a permutation by each frame's offset give
            // every frame its s0 and s1. With all eight frames on a sample's
            // last value (the smallest steps) the loads reach the last of its
            // guard values.
            static_assert(kSampleGuardValues >= 8, "the eight-frame loads reach 8 values past a frame");
            for (; j + 8 <= frames; j += 8) {
                const auto first = static_cast<std::int32_t>(p >> 32);
                const __m256i fraction =
                    _mm256_add_epi32(_mm256_set1_epi32(static_cast<std::int32_t>(static_cast<std::uint32_t>(p))),
                                     fractionJump);
                const __m256i carry = _mm256_cmpgt_epi32(biasedFractionJump, _mm256_xor_si256(fraction, bias));
                const __m256i offset = _mm256_sub_epi32(integerJump, carry);  // 0..7
                const __m256i here =
                    _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + first)));
                const __m256i next =
                    _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + first + 1)));
                InterpolateAndAdd(out + 2 * j, _mm256_cvtepi32_ps(_mm256_permutevar8x32_epi32(here, offset)),
                                  _mm256_cvtepi32_ps(_mm256_permutevar8x32_epi32(next, offset)),
                                  _mm256_srli_epi32(fraction, 1), gains, frameGains ? frameGains + 2 * j : nullptr);
                p += 8 * step;
            }
            position = p;
            return j;
        }
        // The lowest frame of each half: its first forward, its last backward.
        const int low = step < 0 ? 3 : 0;
        const __m256i lowLanes = _mm256_setr_epi32(low, low, low, low, low + 4, low + 4, low + 4, low + 4);
        const std::int64_t lowJump0 = low * step;
        const std::int64_t lowJump1 = (low + 4) * step;
        const __m256i byteOfLane = _mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12,
                                                    0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
        const __m256i pairBytes = _mm256_set1_epi32(0x03020100);  // the four bytes of the pair at offset 0
        for (; j + 8 <= frames; j += 8) {
            const auto low0 = static_cast<std::int32_t>((p + lowJump0) >> 32);
            const auto low1 = static_cast<std::int32_t>((p + lowJump1) >> 32);
            // fraction = P's fraction + the jump's, as unsigned 32-bit; with
            // the bias the signed comparison tells the carry of that sum.
            const __m256i fraction =
                _mm256_add_epi32(_mm256_set1_epi32(static_cast<std::int32_t>(static_cast<std::uint32_t>(p))),
                                 fractionJump);
            const __m256i carry = _mm256_cmpgt_epi32(biasedFractionJump, _mm256_xor_si256(fraction, bias));
            const __m256i index = _mm256_sub_epi32(integerJump, carry);  // less P's integer part
            const __m256i offset = _mm256_sub_epi32(index, _mm256_permutevar8x32_epi32(index, lowLanes));
            const __m256i window = _mm256_inserti128_si256(
                _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + low0))),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + low1)), 1);
            const __m256i pair = _mm256_shuffle_epi8(
                window, _mm256_add_epi32(_mm256_shuffle_epi8(_mm256_add_epi32(offset, offset), byteOfLane), pairBytes));
            __m256 s0;
            __m256 s1;
            SplitPairs(pair, s0, s1);
            InterpolateAndAdd(out + 2 * j, s0, s1, _mm256_srli_epi32(fraction, 1), gains,
                              frameGains ? frameGains + 2 * j : nullptr);
            p += 8 * step;
        }
    } else {
        for (; j + 8 <= frames; j += 8) {
            std::int64_t q[8];
            q[0] = p;
            for (int k = 1; k < 8; ++k) q[k] = q[k - 1] + step;
            const __m256i pair = _mm256_setr_epi32(LoadPair(data, q[0]), LoadPair(data, q[1]), LoadPair(data, q[2]),
                                                   LoadPair(data, q[3]), LoadPair(data, q[4]), LoadPair(data, q[5]),
                                                   LoadPair(data, q[6]), LoadPair(data, q[7]));
            const __m256i halfFraction =
                _mm256_setr_epi32(HalfFraction(q[0]), HalfFraction(q[1]), HalfFraction(q[2]), HalfFraction(q[3]),
                                  HalfFraction(q[4]), HalfFraction(q[5]), HalfFraction(q[6]), HalfFraction(q[7]));
            __m256 s0;
            __m256 s1;
            SplitPairs(pair, s0, s1);
            InterpolateAndAdd(out + 2 * j, s0, s1, halfFraction, gains, frameGains ? frameGains + 2 * j : nullptr);
            p = q[7] + step;
        }
    }
    position = p;
    return j;
}
#endif

// m frames at constant gains; returns the position after them. `step` is
// negative when the voice moves backward. Frames are independent here (the
// gains do not change), so the vector paths do four or eight at a time with
// exactly the portable path's single-precision operations, lane by lane.
std::int64_t MixConstant(const std::int16_t* data, std::int64_t position, std::int64_t step, float* out,
                         std::int32_t frames, float leftGain, float rightGain) {
    std::int32_t j = 0;
#if defined(QUANDRIX_CPU_AVX2)
    if (mixPath == MixPath::Avx2) j = MixAvx2(data, position, step, out, frames, leftGain, rightGain, nullptr);
#endif
#if defined(__SSE2__)
    if (mixPath != MixPath::Portable) {
        j += MixConstantSse2(data, position, step, out + 2 * j, frames - j, leftGain, rightGain);
    }
#endif
    for (; j < frames; ++j) {
        MixFrame(data, position, out + 2 * j, leftGain, rightGain);
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
    std::int32_t j = 0;
#if defined(__SSE2__)
    if (mixPath != MixPath::Portable) {
        // The gains of up to 64 frames first (the one chain of additions that
        // cannot be split), then the frames four at a time: [s s] x [left
        // right] is the scalar path's two products.
        constexpr std::int32_t kChunk = 64;
        alignas(32) float gains[2 * kChunk];
        // Left and right side by side: one addition per frame, each lane
        // the scalar path's single-precision sum.
        __m128 both = _mm_setr_ps(left, right, 0.0f, 0.0f);
        const __m128 slopes = _mm_setr_ps(leftSlope, rightSlope, 0.0f, 0.0f);
        while (j + 4 <= frames) {
            const std::int32_t n = std::min(kChunk, (frames - j) & ~3);
            for (std::int32_t k = 0; k < n; ++k) {
                _mm_storel_pi(reinterpret_cast<__m64*>(gains + 2 * k), both);
                both = _mm_add_ps(both, slopes);
            }
            left = _mm_cvtss_f32(both);
            right = _mm_cvtss_f32(_mm_shuffle_ps(both, both, _MM_SHUFFLE(1, 1, 1, 1)));
            std::int32_t k = 0;
#if defined(QUANDRIX_CPU_AVX2)
            if (mixPath == MixPath::Avx2) k = MixAvx2(data, position, step, out + 2 * j, n, 0.0f, 0.0f, gains);
#endif
            for (; k < n; k += 4) {
                const __m128 s = InterpolateFour(data, position, step);
                float* o = out + 2 * (j + k);
                const __m128 first = _mm_mul_ps(_mm_unpacklo_ps(s, s), _mm_load_ps(gains + 2 * k));
                const __m128 second = _mm_mul_ps(_mm_unpackhi_ps(s, s), _mm_load_ps(gains + 2 * k + 4));
                _mm_storeu_ps(o, _mm_add_ps(_mm_loadu_ps(o), first));
                _mm_storeu_ps(o + 4, _mm_add_ps(_mm_loadu_ps(o + 4), second));
            }
            j += n;
        }
    }
#endif
    for (; j < frames; ++j) {
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

// How many of the `remaining` frames the voice plays before it reaches the
// boundary in its direction of travel (the loop end forward, the loop start
// backward; a sample without loop ends at its length): ceil(distance / step)
// frames, or all of them when the boundary is out of reach.
std::int32_t SegmentToBoundary(const Voice& voice, std::int64_t position, std::int64_t step, std::int64_t loopStart,
                               std::int64_t loopEnd, std::int32_t remaining, bool& reachesBoundary) {
    reachesBoundary = false;
    const std::int64_t distance = voice.direction == kBackward ? position - loopStart : loopEnd - position;
    if (distance < 0) {
        // Beyond the boundary already: never from the engine, but safe.
        reachesBoundary = true;
        return 0;
    }
    // Computed in 64 bits for any distance (a narrower look-ahead would let
    // an absurd step carry a voice past the end of a longer sample within one
    // segment). The division is needed only when the boundary lies within
    // reach: step x remaining < 2^58, so the product cannot overflow.
    if (distance <= step * remaining) {
        reachesBoundary = true;
        return static_cast<std::int32_t>((distance + step - 1) / step);
    }
    return remaining;
}

// The gain ramp goes on while the targets stay; new targets restart it from
// the gain reached so far, over rampLength frames. Bit-exact: difference /
// 255 / rampLength, two single-precision divisions in that order.
void RestartRampOnNewTargets(Voice& voice, std::int32_t rampLength) {
    if (voice.rampFramesLeft != 0 && voice.leftTarget == voice.lastLeftTarget &&
        voice.rightTarget == voice.lastRightTarget) {
        return;
    }
    voice.lastLeftTarget = voice.leftTarget;
    voice.lastRightTarget = voice.rightTarget;
    const std::int32_t leftDifference = voice.leftTarget - (voice.currentLeftGain >> 8);
    const std::int32_t rightDifference = voice.rightTarget - (voice.currentRightGain >> 8);
    voice.leftSlope =
        leftDifference == 0 ? 0.0f : static_cast<float>(leftDifference) / kGainScale / static_cast<float>(rampLength);
    voice.rightSlope = rightDifference == 0
        ? 0.0f
        : static_cast<float>(rightDifference) / kGainScale / static_cast<float>(rampLength);
    voice.rampFramesLeft = (leftDifference != 0 || rightDifference != 0) ? rampLength : 0;
}

// Mixes `segment` frames along the ramp from the current gains, growing by
// the slopes; the reached gains are kept in 8.8, rounded to nearest (ties to
// even), and are exactly target x 256 once the ramp is over.
std::int64_t MixRampSegment(Voice& voice, const std::int16_t* data, std::int64_t position, std::int64_t signedStep,
                            float* out, std::int32_t segment) {
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
    return position;
}

// At the boundary the voice loops (forward or ping-pong) or, without a loop,
// goes idle; false when it went idle.
bool LoopAtBoundary(Voice& voice, std::int64_t& position, std::int64_t loopStart, std::int64_t loopEnd) {
    const Sample& sample = *voice.sample;
    if (sample.loopType & kLoopForward) {
        // Whole loop lengths off the integer part, until below the loop end;
        // the fraction stays.
        std::int64_t integer = position >> 32;
        const std::int64_t end = loopEnd >> 32;
        const std::int64_t length = sample.loopLength;
        if (integer >= end && length > 0) {
            integer -= length;  // one loop length is all a step below it needs
            if (integer >= end) integer -= length * ((integer - end) / length + 1);
        }
        position = integer * kOne + static_cast<std::uint32_t>(position);
        voice.direction = kForward;
        return true;
    }
    if ((sample.loopType & kLoopPingPong) && sample.loopLength > 0) {
        MirrorPingPong(position, voice.direction, loopStart, loopEnd);
        return true;
    }
    voice.sample = nullptr;
    position = 0;
    return false;
}

// Whether the voice can go on in the unrolled copy of its loop: a forward
// loop that has one, the position inside the loop.
bool InUnrolledLoop(const Voice& voice, const Sample& sample, std::int64_t position) {
    return !sample.unrolledLoop.empty() && sample.loopType == kLoopForward && voice.direction == kForward &&
           position >= std::int64_t{sample.loopStart} * kOne &&
           position < (std::int64_t{sample.loopStart} + sample.loopLength) * kOne;
}

// `frames` frames at constant gains (or silent) of a voice inside a short
// forward loop, read from the loop's unrolled copy: where the segments would
// stop at every pass to wrap the position, this reads on into the next copy
// of the loop, the same values at the same fractions, so the floats are the
// same; only when the copy runs out, and at the end, is the position brought
// back by whole loop lengths, which is what the wraps did. Returns the
// position, inside the loop.
std::int64_t MixUnrolledLoop(const Voice& voice, const Sample& sample, std::int64_t position, std::int64_t step,
                             float* out, std::int32_t frames) {
    const std::int16_t* data = sample.unrolledLoop.data();
    const std::int64_t loopStart = std::int64_t{sample.loopStart} * kOne;
    const std::int64_t loopLength = std::int64_t{sample.loopLength} * kOne;
    const std::int64_t copyEnd =
        static_cast<std::int64_t>(sample.unrolledLoop.size() - kSampleGuardValues) * kOne;  // whole passes
    const bool silent = voice.leftTarget == 0 && voice.rightTarget == 0;
    const float leftGain = static_cast<float>(voice.leftTarget) / kGainScale;
    const float rightGain = static_cast<float>(voice.rightTarget) / kGainScale;
    std::int64_t offset = position - loopStart;  // 32.32 index into the copy
    while (frames > 0) {
        // The frames whose positions still lie inside the copy (its guard
        // values serve the last of them, as the loop's guard value does).
        const std::int64_t room = copyEnd - offset;
        const std::int32_t n =
            room > step * frames ? frames : static_cast<std::int32_t>((room + step - 1) / step);
        if (silent) {
            offset += n * step;
        } else {
            offset = MixConstant(data, offset, step, out, n, leftGain, rightGain);
        }
        out += 2 * static_cast<std::ptrdiff_t>(n);
        frames -= n;
        if (offset >= copyEnd) offset %= loopLength;
    }
    return loopStart + offset % loopLength;
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
        RestartRampOnNewTargets(voice, rampLength);
        if (voice.rampFramesLeft == 0 && InUnrolledLoop(voice, sample, position)) {
            // The gains stay as they are for the rest of the request.
            position = MixUnrolledLoop(voice, sample, position, step, out, remaining);
            break;
        }
        bool reachesBoundary = false;
        const std::int32_t boundarySegment =
            SegmentToBoundary(voice, position, step, loopStart, loopEnd, remaining, reachesBoundary);
        std::int32_t segment = boundarySegment;

        const std::int64_t signedStep = voice.direction == kBackward ? -step : step;
        if (voice.rampFramesLeft != 0) {
            segment = std::min(segment, voice.rampFramesLeft);
            position = MixRampSegment(voice, data, position, signedStep, out, segment);
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

        if (!reachesBoundary) break;
        if (!LoopAtBoundary(voice, position, loopStart, loopEnd)) break;
        remaining -= segment;
        out += 2 * static_cast<std::ptrdiff_t>(segment);
        if (remaining <= 0) break;
    }
    SetVoicePosition(voice, position);
}

}  // namespace

bool MixPathSupported(MixPath path) { return platform::VectorPathSupported(path); }

MixPath SelectedMixPath() { return mixPath; }

bool SelectMixPath(MixPath path) {
    if (!MixPathSupported(path)) return false;
    mixPath = path;
    return true;
}

void MixVoices(float* destination, std::int32_t frames) {
    if (frames < 1 || !destination) return;
    const std::int32_t rampLength = std::max(mixer.rampLength, 1);
    for (Voice& voice : voiceTable) {
        if (voice.sample) MixVoice(voice, destination, frames, rampLength);
    }
}

#if defined(QUANDRIX_CPU_AVX2)
namespace {

// Sixteen values at a time, as the SSE2 loop below does eight; the pack works
// within each half of the vector, so a final move puts the halves in order.
// Returns the values done.
__attribute__((target("avx2"))) std::int32_t ConvertAvx2(std::int16_t* destination, const float* source,
                                                         std::int32_t values) {
    const __m256 low = _mm256_set1_ps(-32768.0f);
    const __m256 high = _mm256_set1_ps(32767.0f);
    std::int32_t i = 0;
    for (; i + 16 <= values; i += 16) {
        const __m256 a = _mm256_min_ps(_mm256_max_ps(_mm256_loadu_ps(source + i), low), high);
        const __m256 b = _mm256_min_ps(_mm256_max_ps(_mm256_loadu_ps(source + i + 8), low), high);
        const __m256i packed = _mm256_packs_epi32(_mm256_cvtps_epi32(a), _mm256_cvtps_epi32(b));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + i),
                            _mm256_permute4x64_epi64(packed, _MM_SHUFFLE(3, 1, 2, 0)));
    }
    return i;
}

}  // namespace
#endif

void ConvertBlock(std::int16_t* destination, const float* source, std::int32_t frames) {
    if (frames < 1 || !destination || !source) return;
    const std::int32_t values = frames * 2;
    std::int32_t i = 0;
#if defined(QUANDRIX_CPU_AVX2)
    if (mixPath == MixPath::Avx2) i = ConvertAvx2(destination, source, values);
#endif
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
