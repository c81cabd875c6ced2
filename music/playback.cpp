#include "music/playback.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "music/channel.h"
#include "music/replay.h"

namespace music {

std::int32_t BlockFramesForRate(std::int32_t rate) {
    const std::int32_t frames = rate * kBlockMilliseconds / 1000;
    return std::max((frames + 3) / 4 * 4, 4);
}

std::int32_t RingFramesForRate(std::int32_t rate) {
    return (kBufferMilliseconds / kBlockMilliseconds) * BlockFramesForRate(rate) * 2;
}

std::int32_t RampLengthForRate(std::int32_t rate) {
    return std::max(rate * 128 / kOutputRate, 1);
}

void SetUpVoiceTable(std::int32_t rate) {
    if (rate < 1) rate = kOutputRate;
    mixer.rate = rate;
    mixer.blockFrames = BlockFramesForRate(rate);
    mixer.ringFrames = RingFramesForRate(rate);
    mixer.blockCount = mixer.ringFrames / mixer.blockFrames;
    mixer.rampLength = RampLengthForRate(rate);
    mixer.rampReciprocal = 1.0f / static_cast<float>(mixer.rampLength);
    for (std::size_t i = 0; i < voiceTable.size(); ++i) {
        voiceTable[i] = Voice{};
        voiceTable[i].slotIndex = static_cast<std::int32_t>(i);
        voiceTable[i].stepInteger = 1;  // a step of 1.0: a voice's step is never 0
    }
}

void ResetPlayback(Module& song) {
    song.speed = song.defaultSpeed;
    song.globalVolume = song.initialGlobalVolume;
    song.nextRow = -1;
    song.nextOrderPosition = -1;
    song.row = 0;
    song.orderPosition = 0;
    song.framesLeftInTick = 0;
    song.tick = 0;
    SetTempo(song, song.defaultBpm);
    const std::int32_t channels = std::clamp<std::int32_t>(song.channelCount, 0, kMaxChannels);
    for (std::int32_t c = 0; c < channels; ++c) {
        channelTable[static_cast<std::size_t>(c)] = Channel{};
        channelTable[static_cast<std::size_t>(c)].voice = &voiceTable[static_cast<std::size_t>(c)];
    }
}

void AttachSong(Module* song) { mixer.song = song; }

void DetachSong() {
    mixer.song = nullptr;
    for (Voice& voice : voiceTable) {
        voice.sample = nullptr;
        voice.positionInteger = 0;
        voice.positionFraction = 0;
        voice.direction = kForward;
        voice.finalVolume = 0;
        voice.leftTarget = voice.rightTarget = 0;
        voice.lastLeftTarget = voice.lastRightTarget = 0;
        voice.currentLeftGain = voice.currentRightGain = 0;
        voice.leftSlope = voice.rightSlope = 0.0f;
        voice.rampFramesLeft = 0;
    }
}

bool AllocateOutputRing() {
    mixer.outputRing.reset();
    if (mixer.ringFrames < 1) return false;
    const std::size_t values = static_cast<std::size_t>(mixer.ringFrames) * 2;
    mixer.outputRing.reset(static_cast<std::int16_t*>(std::calloc(values, sizeof(std::int16_t))));
    return mixer.outputRing != nullptr;
}

void ReleaseOutputRing() { mixer.outputRing.reset(); }

bool AllocateMixRing() {
    ReleaseMixRing();
    if (mixer.ringFrames < 1) return false;
    const std::size_t bytes = static_cast<std::size_t>(mixer.ringFrames) * 2 * sizeof(float);
    mixer.mixRingStorage.reset(static_cast<unsigned char*>(std::calloc(bytes + kMixRingSpareBytes, 1)));
    if (!mixer.mixRingStorage) return false;
    void* start = mixer.mixRingStorage.get();
    std::size_t space = bytes + kMixRingSpareBytes;
    // Moved up to the next 16-byte boundary, within the spare bytes.
    mixer.mixRing = static_cast<float*>(std::align(kMixRingAlignment, bytes, start, space));
    mixer.writeIndex = 0;
    return mixer.mixRing != nullptr;
}

void ReleaseMixRing() {
    mixer.mixRing = nullptr;
    mixer.mixRingStorage.reset();
}

void PrefillRing() {
    if (!mixer.mixRing || !mixer.outputRing) return;
    do {
        RenderBlock();
    } while (mixer.writeIndex != 0);
}

void SkipSongBlocks(std::uint64_t blocks) {
    for (std::uint64_t i = 0; i < blocks; ++i) RenderBlock();
    mixer.writeIndex = 0;
}

bool PrepareOfflinePlayback(Module& song) {
    StopOfflinePlayback();
    ResetPlayback(song);
    AttachSong(&song);
    if (!AllocateOutputRing() || !AllocateMixRing()) {
        StopOfflinePlayback();
        return false;
    }
    return true;
}

bool StartOfflinePlayback(Module& song) {
    if (!PrepareOfflinePlayback(song)) return false;
    PrefillRing();
    return true;
}

void StopOfflinePlayback() {
    ReleaseMixRing();
    DetachSong();
    ReleaseOutputRing();
}

}  // namespace music
