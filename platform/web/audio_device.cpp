// The sound device on the web: none yet. Open fails, so the music player
// does not start and the intro runs silently, as without a device.
#include "platform/audio_device.h"

namespace platform {

namespace {

bool Open(int) { return false; }
void Play(const std::int16_t*, std::size_t) {}
std::uint64_t Position() { return 0; }
void Reset() {}
void Close() {}

const AudioDeviceOps noDevice{Open, Play, Position, Reset, Close};

}  // namespace

const AudioDeviceOps& SystemAudioDevice() { return noDevice; }

}  // namespace platform
