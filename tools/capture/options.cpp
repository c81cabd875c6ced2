#include "tools/capture/options.h"

#include <cmath>

#include "tools/capture/frame_files.h"

namespace capture {

namespace {

bool ReadSeconds(std::string_view name, std::string_view text, double low, double high, double& value,
                 std::string& error) {
    double parsed = 0.0;
    if (!cli::ReadNumber(text, parsed) || parsed < low || parsed > high) {
        error = std::string(name) + " needs a number of seconds from " + std::to_string(static_cast<long>(low)) +
                " to " + std::to_string(static_cast<long>(high)) + ", not \"" + std::string(text) + "\"";
        return false;
    }
    value = parsed;
    return true;
}

bool ReadCount(std::string_view name, std::string_view text, std::int64_t low, std::int64_t high,
               std::int64_t& value, std::string& error) {
    std::int64_t parsed = 0;
    if (!cli::ReadWhole(text, parsed) || parsed < low || parsed > high) {
        error = std::string(name) + " needs a whole number from " + std::to_string(low) + " to " +
                std::to_string(high) + ", not \"" + std::string(text) + "\"";
        return false;
    }
    value = parsed;
    return true;
}

cli::TakeValue Path(std::string_view name, std::string& path) {
    return [name, &path](std::string_view value, std::string& error) {
        if (value.empty()) {
            error = std::string(name) + " needs a path";
            return false;
        }
        path = value;
        return true;
    };
}

cli::TakeValue Seconds(std::string_view name, double& seconds) {
    return [name, &seconds](std::string_view value, std::string& error) {
        return ReadSeconds(name, value, 0.0, kMaxSeconds, seconds, error);
    };
}

// What --help says of --size, the largest size from kMaxVideo*.
const std::string& SizeHelp() {
    static const std::string help =
        "the video's frame size, such as 1920x1080 or 3840x2160 (default\n"
        "640x480): the picture is scaled by the largest whole factor that\n"
        "fits, each pixel a square block (nearest neighbour), and centred\n"
        "with black bars; video sites give larger frames a higher bitrate.\n"
        "Even sizes from 640x480 to " +
        std::to_string(kMaxVideoWidth) + "x" + std::to_string(kMaxVideoHeight) + "; the sound is unchanged.";
    return help;
}

// Every option's value taken, the checks across them.
bool CheckTogether(const Options& options, const cli::Given& given, std::string& error) {
    if (options.frames >= 0 && options.seconds >= 0.0) {
        error = "--frames and --seconds both say how many frames: give one";
        return false;
    }
    if (options.outDir.empty() && options.video.empty()) {
        error = "nothing to write: give --out DIR, --video OUT.mp4 or both";
        return false;
    }
    if (given.Has("--size") && options.video.empty()) {
        error = "--size sets the video's frame size: give --video OUT.mp4 too (PNG frames stay 640x480)";
        return false;
    }
    if (options.frames < 0 && options.seconds < 0.0 && options.exitAt < 0.0) {
        error = "no end: give --frames N, --seconds S or --exit-at T";
        return false;
    }
    return true;
}

}  // namespace

cli::Tool CommandLine(Options& options) {
    cli::Tool tool{
        "quandrix-capture",
        "[--out DIR] [--video OUT.mp4] (--frames N | --seconds S)\n"
        " [--start T] [--exit-at T] [--fps F] [--size WxH]",
        "Runs the intro's real start-up (textures, tube, scene, song) and frame loop on a\n"
        "640 x 480 OpenGL context with a fixed-step clock, and writes what the display\n"
        "would show. No display is needed: SDL's offscreen driver (EGL, Mesa) is the\n"
        "default; set SDL_VIDEODRIVER=x11 to use an X display such as Xvfb instead.",
        {},
        nullptr,
        "Frame k is drawn at (k + 1)/F seconds of the intro's clock; its sound starts then.\n"
        "The same options give the same frames, byte for byte, on the same machine.\n"
        "Sound during the capture goes to SDL's dummy audio driver unless SDL_AUDIODRIVER\n"
        "says otherwise; the video's sound is rendered offline by the intro's own player.\n"
        "A progress line goes to standard error. Every file appears complete or not at all.\n"
        "\n"
        "Exit status: 0 written; 1 no OpenGL context, a failed start-up, ffmpeg failed or\n"
        "interrupted; 2 a bad option, no ffmpeg on PATH, or an output that cannot be written."};
    tool.options = {
        {"", "", "Output (at least one):", nullptr},
        {"--out", "DIR", "frame_00000.png, frame_00001.png, ... (640 x 480 RGB) into DIR,\n"
                         "which is created if missing",
         Path("--out", options.outDir)},
        {"--video", "OUT.mp4", "an H.264 (yuv420p) MP4 with the song's sound (AAC) for exactly\n"
                               "the frames written, encoded by ffmpeg (Debian package ffmpeg)",
         Path("--video", options.video)},
        {"--size", "WxH", SizeHelp(),
         [&options](std::string_view value, std::string& error) {
             return ParseVideoSize(std::string(value), kWidth, kHeight, options.videoSize, error);
         }},
        {"", "", "How long (at least one):", nullptr},
        {"--frames", "N", "write N frames",
         [&options](std::string_view value, std::string& error) {
             return ReadCount("--frames", value, 1, static_cast<std::int64_t>(kMaxSeconds) * kMaxFps, options.frames,
                              error);
         }},
        {"--seconds", "S", "write S seconds of frames (ceil(S x F) frames)",
         [&options](std::string_view value, std::string& error) {
             if (!ReadSeconds("--seconds", value, 0.0, kMaxSeconds, options.seconds, error)) return false;
             if (options.seconds > 0.0) return true;
             error = "--seconds needs more than 0 seconds";
             return false;
         }},
        {"--exit-at", "T", "request the exit at T seconds, as a click does: the exit fade is\n"
                           "captured and the capture ends with the intro's last frame\n"
                           "(with --frames or --seconds, whichever comes first)",
         Seconds("--exit-at", options.exitAt)},
        {"", "", "Timing:", nullptr},
        {"--start", "T", "frames before T seconds are drawn but not written (default 0)",
         Seconds("--start", options.start)},
        {"--fps", "F", "frames per second, 1 to 1000 (default 60): every frame's clock\n"
                       "delta is 1/F and the video runs at F frames per second; the\n"
                       "show's speed is the same at every F (its steps and timers come\n"
                       "at 60 a second), so the frame at T seconds shows the same moment",
         [&options](std::string_view value, std::string& error) {
             std::int64_t fps = 0;
             if (!ReadCount("--fps", value, 1, kMaxFps, fps, error)) return false;
             options.fps = static_cast<int>(fps);
             return true;
         }},
    };
    // No operands: anything left over is refused as the reader refuses it.
    tool.operands = [&options](std::span<const std::string> operands, const cli::Given& given, std::string& error) {
        if (!operands.empty()) {
            error = "unexpected argument \"" + operands.front() + "\"";
            return false;
        }
        return CheckTogether(options, given, error);
    };
    return tool;
}

double FrameTime(std::int64_t frame, int fps) { return static_cast<double>(frame + 1) / fps; }

std::int64_t FirstFrameAtOrAfter(double seconds, int fps) {
    const double frames = std::ceil(seconds * fps - 1e-6);
    return frames <= 1.0 ? 0 : static_cast<std::int64_t>(frames) - 1;
}

std::int64_t SoundFrameOf(std::int64_t frame, int fps, std::int32_t rate) {
    return (frame + 1) * rate / fps;
}

FramePlan PlanFrames(const Options& options) {
    FramePlan plan;
    plan.firstWritten = FirstFrameAtOrAfter(options.start, options.fps);
    if (options.frames >= 0) plan.count = options.frames;
    if (options.seconds >= 0.0) {
        const double frames = std::ceil(options.seconds * options.fps - 1e-6);
        plan.count = frames < 1.0 ? 1 : static_cast<std::int64_t>(frames);
    }
    if (options.exitAt >= 0.0) plan.exitFrame = FirstFrameAtOrAfter(options.exitAt, options.fps);
    return plan;
}

}  // namespace capture
