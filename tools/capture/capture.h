#pragma once
// quandrix-capture: the intro's own start-up, frame loop and shutdown on a
// 640 x 480 OpenGL context, driven by a fixed-step clock, writing what the
// display would show (PNG frames, an MP4 with the song's sound).

#include <cstdio>

#include "tools/capture/options.h"

namespace capture {

// Runs a capture as `options` say and returns the exit status (options.h);
// reasons and the progress line go to `err`. Refusals (no ffmpeg, an output
// that cannot be written) come before anything is drawn.
int RunCapture(const Options& options, std::FILE* err);

}  // namespace capture
