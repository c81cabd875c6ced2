#pragma once
// Start-up and shutdown in their fixed order, around the frame loop. The
// intro's main() is StartUp, RunFrameLoop and ShutDown; quandrix-capture runs
// the same start-up and shutdown with a window and a clock of its own.
// Main thread only.

#include <functional>

#include "app/frame_clock.h"
#include "app/frame_loop.h"

namespace app {

struct StartUpOptions {
    // false: a 640 x 480 window with no mode switch and no fallback question.
    bool fullscreen = true;
    // Gives the loop its first clock reading, taken after the song has
    // started, just before the scene is primed.
    std::function<long double()> readClock = ReadClock;
    // false: no song at start-up (a page opened at a moment of the show
    // starts it when the show goes on from there).
    bool music = true;
};

// In this order: the display with all textures, the page count, the tube,
// the song, the page clock, the first clock reading and the scene's
// starting values, into `loop`. False when the display could not be made:
// its message has been shown, nothing else was started, and the exit code
// is 0.
bool StartUp(FrameLoop& loop, const StartUpOptions& options = {});

// After the loop: the song, the textures, the tube, the display.
void ShutDown();

}  // namespace app
