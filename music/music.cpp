#include "music/music.h"

namespace music {

// Stand-in until the player lands: no song, silence.
bool StartMusic() { return false; }

void StopMusic() {}

}  // namespace music
