#include "tools/capture/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "tools/capture/frame_files.h"

namespace capture {

const char* Usage() {
    return "usage: quandrix-capture [--out DIR] [--video OUT.mp4] (--frames N | --seconds S) [--start T]\n"
           "                        [--exit-at T] [--fps F] [--size WxH]\n"
           "       quandrix-capture --help";
}

std::string HelpText() {
    std::string text = Usage();
    text +=
        "\n\n"
        "Runs the intro's real start-up (textures, tube, scene, song) and frame loop on a\n"
        "640 x 480 OpenGL context with a fixed-step clock, and writes what the display\n"
        "would show. No display is needed: SDL's offscreen driver (EGL, Mesa) is the\n"
        "default; set SDL_VIDEODRIVER=x11 to use an X display such as Xvfb instead.\n"
        "\n"
        "Output (at least one):\n"
        "  --out DIR        frame_00000.png, frame_00001.png, ... (640 x 480 RGB) into DIR,\n"
        "                   which is created if missing\n"
        "  --video OUT.mp4  an H.264 (yuv420p) MP4 with the song's sound (AAC) for exactly\n"
        "                   the frames written, encoded by ffmpeg (Debian package ffmpeg)\n"
        "  --size WxH       the video's frame size, such as 1920x1080 or 3840x2160 (default\n"
        "                   640x480): the picture is scaled by the largest whole factor that\n"
        "                   fits, each pixel a square block (nearest neighbour), and centred\n"
        "                   with black bars; video sites give larger frames a higher bitrate.\n"
        "                   Even sizes from 640x480 to 7680x4320; the sound is unchanged.\n"
        "How long (at least one):\n"
        "  --frames N       write N frames\n"
        "  --seconds S      write S seconds of frames (ceil(S x F) frames)\n"
        "  --exit-at T      request the exit at T seconds, as a click does: the exit fade is\n"
        "                   captured and the capture ends with the intro's last frame\n"
        "                   (with --frames or --seconds, whichever comes first)\n"
        "Timing:\n"
        "  --start T        frames before T seconds are drawn but not written (default 0)\n"
        "  --fps F          frames per second, 1 to 1000 (default 60): every frame's clock\n"
        "                   delta is 1/F and the video runs at F frames per second; the\n"
        "                   show's speed is the same at every F (its steps come at 60 a\n"
        "                   second), so the frame at T seconds shows the same moment\n"
        "\n"
        "Frame k is drawn at (k + 1)/F seconds of the intro's clock; its sound starts then.\n"
        "The same options give the same frames, byte for byte, on the same machine.\n"
        "Sound during the capture goes to SDL's dummy audio driver unless SDL_AUDIODRIVER\n"
        "says otherwise; the video's sound is rendered offline by the intro's own player.\n"
        "A progress line goes to standard error. Every file appears complete or not at all.\n"
        "\n"
        "Exit status: 0 written; 1 no OpenGL context, a failed start-up, a frame that could\n"
        "not be written (a full disk), ffmpeg failed or interrupted; 2 a bad option, no\n"
        "ffmpeg on PATH, or an output that cannot be written at the start.\n";
    return text;
}

namespace {

bool ParseNumber(const std::string& name, const char* text, double low, double high, double& value,
                 std::string& error) {
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno == ERANGE || !std::isfinite(parsed) || parsed < low ||
        parsed > high) {
        error = name + " needs a number of seconds from " + std::to_string(static_cast<long>(low)) + " to " +
                std::to_string(static_cast<long>(high)) + ", not \"" + text + "\"";
        return false;
    }
    value = parsed;
    return true;
}

bool ParseCount(const std::string& name, const char* text, std::int64_t low, std::int64_t high,
                std::int64_t& value, std::string& error) {
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || parsed < low || parsed > high) {
        error = name + " needs a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                ", not \"" + text + "\"";
        return false;
    }
    value = parsed;
    return true;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
    options = Options{};
    bool sized = false;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        const char* value = nullptr;
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name.rfind("--", 0) != 0) {
            error = "unexpected argument \"" + name + "\"";
            return false;
        }
        if (const auto equals = name.find('='); equals != std::string::npos) {
            value = argv[i] + equals + 1;
            name.resize(equals);
        }
        const bool known = name == "--out" || name == "--video" || name == "--frames" || name == "--seconds" ||
                           name == "--start" || name == "--exit-at" || name == "--fps" || name == "--size";
        if (!known) {
            error = "unknown option " + name;
            return false;
        }
        if (!value) {
            if (i + 1 >= argc) {
                error = name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        bool ok = true;
        if (name == "--out" || name == "--video") {
            if (*value == '\0') {
                error = name + " needs a path";
                return false;
            }
            (name == "--out" ? options.outDir : options.video) = value;
        } else if (name == "--frames") {
            ok = ParseCount(name, value, 1, static_cast<std::int64_t>(kMaxSeconds) * kMaxFps, options.frames, error);
        } else if (name == "--fps") {
            std::int64_t fps = 0;
            ok = ParseCount(name, value, 1, kMaxFps, fps, error);
            options.fps = static_cast<int>(fps);
        } else if (name == "--size") {
            ok = ParseVideoSize(value, kWidth, kHeight, options.videoSize, error);
            sized = true;
        } else {
            double& target = name == "--seconds" ? options.seconds : name == "--start" ? options.start : options.exitAt;
            ok = ParseNumber(name, value, 0.0, kMaxSeconds, target, error);
            if (ok && name == "--seconds" && target <= 0.0) {
                error = "--seconds needs more than 0 seconds";
                ok = false;
            }
        }
        if (!ok) return false;
    }
    if (options.help) return true;
    if (options.frames >= 0 && options.seconds >= 0.0) {
        error = "--frames and --seconds both say how many frames: give one";
        return false;
    }
    if (options.outDir.empty() && options.video.empty()) {
        error = "nothing to write: give --out DIR, --video OUT.mp4 or both";
        return false;
    }
    if (sized && options.video.empty()) {
        error = "--size sets the video's frame size: give --video OUT.mp4 too (PNG frames stay 640x480)";
        return false;
    }
    if (options.frames < 0 && options.seconds < 0.0 && options.exitAt < 0.0) {
        error = "no end: give --frames N, --seconds S or --exit-at T";
        return false;
    }
    return true;
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
