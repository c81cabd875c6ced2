#pragma once
// quandrix-capture's command line and the frame arithmetic it implies. Pure:
// no GL, no files.
//
// Time on the capture's fixed clock: frame k (k = 0, 1, ...: the k-th frame
// the loop draws) is drawn at sceneTime (k + 1) / fps, since every frame's
// delta is 1 / fps, and stays on screen for the next 1 / fps. Its picture
// and its sound therefore start at (k + 1) / fps; the sound is the song as
// the device plays it from the start of the loop.

#include <cstdint>
#include <string>

#include "tools/capture/frame_scale.h"
#include "tools/cli/command_line.h"

namespace capture {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;       // no GL context, the start-up failed, ffmpeg failed, interrupted
inline constexpr int kExitRefused = 2;      // a bad option, no ffmpeg, an output that cannot be written

inline constexpr int kDefaultFps = 60;
inline constexpr int kMaxFps = 1000;
inline constexpr double kMaxSeconds = 86400.0;  // a day: any time option beyond is a mistake

struct Options {
    std::string outDir;        // --out DIR: PNG frames; empty: none
    std::string video;         // --video FILE: an MP4; empty: none
    std::int64_t frames = -1;  // --frames N: frames written; -1: not given
    double seconds = -1.0;     // --seconds S: seconds written; -1: not given
    double start = 0.0;        // --start T: seconds; earlier frames are drawn, not written
    double exitAt = -1.0;      // --exit-at T: seconds of the exit request; -1: none
    int fps = kDefaultFps;     // --fps F: frames per second of the clock, the display and the video
    VideoSize videoSize{640, 480};  // --size WxH: pixels of the video's frame (the PNGs stay 640 x 480)
};

// The command line, read into `options` (which must outlive the result):
// "--name VALUE" or "--name=VALUE". Refused for an unknown option or a stray
// argument, a missing or malformed value, a value out of range, --frames
// together with --seconds, no output (--out or --video), no end (--frames,
// --seconds or --exit-at), or --size without --video.
cli::Tool CommandLine(Options& options);

// The frames the options select, as frame indices (see above).
struct FramePlan {
    std::int64_t firstWritten = 0;  // frames before it are drawn, not written
    std::int64_t count = -1;        // frames written at most; -1: until the intro ends
    std::int64_t exitFrame = -1;    // the frame that takes the exit request; -1: none
};
FramePlan PlanFrames(const Options& options);

// sceneTime of frame k: (k + 1) / fps.
double FrameTime(std::int64_t frame, int fps);

// The first frame whose sceneTime is at least `seconds` (0 for 0 or less),
// with a tolerance of a millionth of a frame for the rounding of T x fps, so that
// --start 0.5 at 60 frames per second starts with the frame at exactly 0.5 s.
std::int64_t FirstFrameAtOrAfter(double seconds, int fps);

// The song frame (at `rate` frames per second) where frame k's sound starts:
// floor((k + 1) x rate / fps), exact in integers.
std::int64_t SoundFrameOf(std::int64_t frame, int fps, std::int32_t rate);

}  // namespace capture
