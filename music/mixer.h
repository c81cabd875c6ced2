#pragma once
// The software mixer: 64 voices, each playing one Sample at its own pitch
// with its own left and right gain, mixed with linear interpolation into a
// float ring and converted block by block to the 16-bit stereo ring the
// sound device plays.
//
// Conventions, once for the whole mixer:
// - Output: mixer.rate frames per second (44,100, the intro's own rate; a
//   browser's audio context may insist on another, and the steps, the tick
//   length and the ramps follow it), 2 channels, each frame the left value
//   then the right value. The left value grows with the panning: 255 is
//   fully left, 0 fully right.
// - Positions and steps are 32.32 fixed point (sample values; steps per
//   output frame): a signed 32-bit integer part and an unsigned 32-bit
//   fraction, added and subtracted as one 64-bit quantity.
// - Gains: targets on a 0..255 scale (255 is a gain of 1.0; 127 is the most
//   the channels ever ask for), current gains in 8.8 fixed point on that
//   scale, slopes as single-precision gain per frame on the 0..1 scale.
// - Everything the mixer computes in floating point is single precision, in
//   the order written in MixVoices; nothing is fused or reassociated (the
//   project builds with -ffp-contract=off), so a render is the same to the
//   sample on every compiler and on the vector and scalar paths alike.
//
// Threads: the output thread calls RenderBlock; before that thread exists the
// main thread may (the prefill). Nothing else touches the voices, the rings
// or the attached song while a song plays. No locking.

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "music/module.h"
#include "platform/cpu_features.h"

namespace music {

inline constexpr std::int32_t kOutputRate = 44100;        // frames per second
inline constexpr int kVoiceCount = 64;                    // the voice table
inline constexpr int kPartnerDistance = 32;               // voice c and c + 32 are partners (channel c uses both)
inline constexpr std::int32_t kBufferMilliseconds = 1000; // half of the ring's length in time
inline constexpr std::int32_t kBlockMilliseconds = 20;    // one block, before rounding to 4 frames
inline constexpr std::int32_t kMixRingAlignment = 16;     // bytes; MixRing's start
inline constexpr std::int32_t kMixRingSpareBytes = 256;   // allocated beyond the ring to move its start

// Voice directions.
inline constexpr std::int32_t kForward = 1;
inline constexpr std::int32_t kBackward = 2;               // only ping-pong loops play backward

struct Voice {
    std::int32_t slotIndex = 0;            // 0..63, the voice's place in the voice table
    std::int32_t finalVolume = 0;          // 0..127, set by UpdateVoice
    std::int32_t finalPanning = 0;         // 0..255, 255 fully left
    const Sample* sample = nullptr;        // the sample playing; nullptr when idle
    std::int32_t leftTarget = 0;           // gain target, 255 = 1.0 (0..127 in practice)
    std::int32_t rightTarget = 0;          // gain target, 255 = 1.0
    std::int32_t positionInteger = 0;      // 32.32 position in sample values: integer part
    std::uint32_t positionFraction = 0;    //   and fraction
    std::uint32_t stepFraction = 0;        // 32.32 sample values per output frame: fraction
    std::int32_t stepInteger = 0;          //   and integer part; never 0.0 (at least 100 / rate)
    std::int32_t direction = kForward;     // kForward or kBackward
    std::int32_t lastLeftTarget = 0;       // the targets the current ramp was computed from
    std::int32_t lastRightTarget = 0;
    std::int32_t currentLeftGain = 0;      // 8.8 fixed point on the 255 scale; target x 256 after a ramp
    std::int32_t currentRightGain = 0;
    float leftSlope = 0.0f;                // gain change per frame, 0..1 scale
    float rightSlope = 0.0f;
    std::int32_t rampFramesLeft = 0;       // frames of the ramp in progress; 0: none
};

// The 64 voices. Channel c of the song drives slot c or its partner c + 32.
extern std::array<Voice, kVoiceCount> voiceTable;

// The rings come from std::calloc: zeroed as they must be, but by the system
// as their pages are first touched, not by a pass over a megabyte at start.
struct RingDeleter {
    void operator()(void* ring) const { std::free(ring); }
};

// Block geometry, the ramp, the rings and the attached song: what OpenAudio
// sets up once the device is open and StartPlayback allocates and attaches
// (music/playback.h does both).
struct MixerState {
    std::int32_t rate = kOutputRate;       // frames per second the geometry was computed for
    std::int32_t blockFrames = 0;          // BlockFrames: frames per block, 884 at 44,100 Hz
    std::int32_t ringFrames = 0;           // RingFrames: frames in each ring, 88,400 (100 blocks)
    std::int32_t blockCount = 0;           // ringFrames / blockFrames, 100
    std::int32_t rampLength = 0;           // RampLength: frames of a gain ramp, 128 at 44,100 Hz
    float rampReciprocal = 0.0f;           // 1 / rampLength; kept with it, but slopes divide by
                                           // rampLength (a product with the reciprocal rounds differently)
    std::int32_t writeIndex = 0;           // the block RenderBlock fills next, 0..blockCount - 1
    Module* song = nullptr;                // the song RenderBlock plays; nullptr when detached
    float* mixRing = nullptr;              // MixRing: ringFrames x 2 floats, 16-byte aligned; inside mixRingStorage
    std::unique_ptr<unsigned char[], RingDeleter> mixRingStorage;   // ringFrames x 8 + 256 bytes
    std::unique_ptr<std::int16_t[], RingDeleter> outputRing;        // OutputRing: ringFrames x 2 values, what the
                                                                    // device plays
};

extern MixerState mixer;

// Fills block writeIndex of both rings from the attached song and advances
// writeIndex (back to 0 after the last block). Calls the song's tick
// operation each time the previous tick's frames have been mixed, so ticks
// run on exact frame counts across block boundaries. Allocates nothing.
// Without both rings it does nothing; without an attached song the block is
// silence and the voices do not move (their samples may belong to a song that
// is gone).
void RenderBlock();

// Adds every sounding voice's next `frames` frames into destination
// (frames x 2 floats, left then right) and advances the voices; a voice whose
// sample ends without a loop goes idle. Frames below 1: nothing.
void MixVoices(float* destination, std::int32_t frames);

// Converts frames x 2 floats to 16-bit values: nearest integer, ties to even,
// then clamped to -32,768..32,767 (sums beyond the range clip). Nothing for
// frames below 1 or a missing buffer.
void ConvertBlock(std::int16_t* destination, const float* source, std::int32_t frames);

// How MixVoices does the frames at constant gain, which are most of them:
// the widest way the processor has, chosen once at start-up. All paths give
// the same floats to the bit (the same single-precision operations in the
// same order, per frame); tests and benchmarks select each in turn.
//   Portable  one frame at a time
//   Sse2      four frames per step (every x86-64)
//   Avx2      eight frames per step, the sample values gathered
using MixPath = platform::VectorPath;
bool MixPathSupported(MixPath path);
MixPath SelectedMixPath();
// False (and no change) when the processor lacks the path. Not while a song
// plays on the output thread.
bool SelectMixPath(MixPath path);

// 32.32 helpers: the position and the step as one signed 64-bit value.
inline std::int64_t VoicePosition(const Voice& voice) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(voice.positionInteger))
                                      << 32) |
                                     voice.positionFraction);
}
inline void SetVoicePosition(Voice& voice, std::int64_t position) {
    voice.positionInteger = static_cast<std::int32_t>(position >> 32);
    voice.positionFraction = static_cast<std::uint32_t>(position);
}
inline std::int64_t VoiceStep(const Voice& voice) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(voice.stepInteger))
                                      << 32) |
                                     voice.stepFraction);
}

}  // namespace music
