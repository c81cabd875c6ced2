#include "tools/capture/capture.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/display.h"
#include "app/frame_loop.h"
#include "app/startup.h"
#include "gfx/gl.h"
#include "music/mixer.h"
#include "music/module.h"
#include "music/offline_render.h"
#include "music/resource_stream.h"
#include "music/xm_loader.h"
#include "platform/child_process.h"
#include "platform/console.h"
#include "platform/display.h"
#include "platform/messages.h"
#include "platform/write_file.h"
#include "scene/scene_state.h"
#include "tools/capture/frame_files.h"
#include "tools/capture/video.h"

namespace capture {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// One updating line on a terminal; elsewhere (a log) a line every few
// seconds, so that a long capture shows it is alive without flooding.
class Progress {
public:
    Progress(std::FILE* err, const FramePlan& plan, int fps)
        : err_(err),
          plan_(plan),
          fps_(fps),
          terminal_(platform::StandardErrorIsTerminal()),
          begun_(Clock::now()),
          shown_(begun_) {}

    void Update(std::int64_t frame, std::int64_t written, bool last) {
        const Clock::time_point now = Clock::now();
        const double interval = terminal_ ? 0.25 : 5.0;
        if (!last && std::chrono::duration<double>(now - shown_).count() < interval) return;
        shown_ = now;
        const double wall = std::chrono::duration<double>(now - begun_).count();
        char total[32] = "";
        if (plan_.count >= 0) std::snprintf(total, sizeof total, " of %lld", static_cast<long long>(plan_.count));
        std::fprintf(err_, "%squandrix-capture: %lld%s frames written, intro at %.3f s, %.1f frames/s%s",
                     terminal_ ? "\r" : "", static_cast<long long>(written), total, FrameTime(frame, fps_),
                     wall > 0.0 ? static_cast<double>(frame + 1) / wall : 0.0, terminal_ && !last ? "" : "\n");
        std::fflush(err_);
    }

private:
    std::FILE* err_;
    FramePlan plan_;
    int fps_;
    bool terminal_;
    Clock::time_point begun_;
    Clock::time_point shown_;
};

// How a stage of the capture ended: kExitDone to go on, or the exit status
// with its reason. The status is decided where the failure is met.
struct Outcome {
    int status = kExitDone;
    std::string reason;

    bool Ok() const { return status == kExitDone; }
};

Outcome Refused(std::string reason) { return {kExitRefused, std::move(reason)}; }
Outcome Failed(std::string reason) { return {kExitFailed, std::move(reason)}; }

// Everything that can be refused is refused before the first frame: the
// picture folder must take a file, ffmpeg must be there and the video's
// output writable.
Outcome PrepareOutputs(const Options& options, VideoWriter& video) {
    std::string error;
    if (!options.outDir.empty() && !PrepareOutputDirectory(options.outDir, error)) return Refused(error);
    if (options.video.empty()) return {};
    const std::string ffmpeg = platform::FindProgramOnPath("ffmpeg");
    if (ffmpeg.empty()) return Refused("--video needs ffmpeg, and there is none on PATH (Debian package: ffmpeg)");
    if (!video.Open(ffmpeg, options.video, options.fps, options.videoSize, error)) return Refused(error);
    return {};
}

// The intro's own start-up on an offscreen display of the screen's size.
Outcome StartIntro(app::FrameLoop& loop, const std::function<long double()>& readClock) {
    // No display of one's own is needed; a chosen driver (x11 with Xvfb)
    // is kept. The song plays into nothing while the frames are drawn: the
    // video's sound is rendered afterwards, exactly.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    app::StartUpOptions startUp;
    startUp.fullscreen = false;
    startUp.readClock = readClock;
    if (!app::StartUp(loop, startUp)) return Failed("the intro could not start (no OpenGL context?)");
    // The display turns leave signals into a close request for the intro's
    // fade; a capture ends at Ctrl+C instead, so it takes them back.
    platform::CatchInterrupt();
    int width = 0;
    int height = 0;
    platform::GetClientSize(&width, &height);
    if (width != kWidth || height != kHeight) {
        app::ShutDown();
        return Failed("the display gave " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels instead of " + std::to_string(kWidth) + " x " + std::to_string(kHeight));
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    return {};
}

// Reads back what SwapBuffers is about to present and writes it as the next
// PNG file and the next video frame.
class FrameWriter {
public:
    FrameWriter(const Options& options, VideoWriter* video) : outDir_(options.outDir), video_(video) {}

    Outcome Write(std::int64_t index) {
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, bottomUp_.data());
        for (int y = 0; y < kHeight; ++y) {
            std::memcpy(&topDown_[static_cast<std::size_t>(y) * kRowBytes],
                        &bottomUp_[static_cast<std::size_t>(kHeight - 1 - y) * kRowBytes], kRowBytes);
        }
        std::string error;
        if (!outDir_.empty()) {
            const fs::path file = fs::path(outDir_) / FrameFileName(index);
            if (!EncodePng(topDown_.data(), kWidth, kHeight, png_)) return Failed("cannot encode " + file.string());
            // A file that cannot be written is the output's fault, as at the start.
            if (!platform::WriteFileAtomically(file, png_, error)) return Refused(error);
        }
        if (video_ && !video_->WriteFrame(topDown_.data(), error)) return Failed(error);
        return {};
    }

private:
    static constexpr std::size_t kRowBytes = static_cast<std::size_t>(kWidth) * 3;

    std::string outDir_;
    VideoWriter* video_;
    std::vector<std::uint8_t> bottomUp_ = std::vector<std::uint8_t>(kRowBytes * kHeight);
    std::vector<std::uint8_t> topDown_ = std::vector<std::uint8_t>(kRowBytes * kHeight);
    std::vector<std::uint8_t> png_;
};

// Runs the intro's frame loop until the plan's frames are written, the intro
// ends or Ctrl+C; `written` counts the frames written.
Outcome RunFrames(app::FrameLoop& loop, const std::function<long double()>& readClock, const FramePlan& plan,
                  int fps, FrameWriter& writer, std::int64_t& written, std::FILE* err) {
    std::int64_t frame = 0;  // frames the loop has run
    Outcome outcome;
    Progress progress(err, plan, fps);

    app::FrameLoopHost host = app::SystemFrameLoopHost();
    host.readClock = readClock;
    host.peekMessage = [&frame, &plan](platform::Message* out) {
        // Nothing from the desktop reaches the capture (the same options
        // must give the same frames); the only message is the exit request,
        // a left click.
        platform::Message ignored;
        while (platform::PeekMessage(&ignored)) {
        }
        if (frame != plan.exitFrame) return false;
        *out = platform::Message{platform::WM_LBUTTONDOWN, platform::MK_LBUTTON,
                                 platform::MakeLParam(kWidth / 2, kHeight / 2)};
        return true;
    };
    host.swapBuffers = [&] {
        const bool wanted = frame >= plan.firstWritten && (plan.count < 0 || written < plan.count);
        if (wanted && outcome.Ok()) {
            outcome = writer.Write(written);
            if (outcome.Ok()) ++written;
        }
        platform::SwapBuffers();
        progress.Update(frame, written, false);
        ++frame;
    };

    while (!loop.quitRequested && outcome.Ok() && (plan.count < 0 || written < plan.count)) {
        if (platform::InterruptRequested()) {
            outcome = Failed("interrupted");
            break;
        }
        app::RunFrame(loop, host);
    }
    progress.Update(frame - 1, written, true);
    if (outcome.Ok() && written == 0) {
        outcome = Refused("the intro ended at " + std::to_string(FrameTime(frame - 1, fps)) +
                          " s, before --start: no frame was written");
    }
    return outcome;
}

// The song as the device plays it from the start of the loop, for frames
// first .. first + count - 1, into the video's second pass. A song that does
// not load leaves the intro silent, and so the video.
Outcome WriteSound(VideoWriter& video, std::int64_t first, std::int64_t count, int fps) {
    const std::int64_t from = SoundFrameOf(first, fps, music::kOutputRate);
    const std::int64_t to = SoundFrameOf(first + count, fps, music::kOutputRate);
    std::string error;
    if (!video.BeginSound(music::kOutputRate, error)) return Failed(error);

    music::RegisterResourceStreamOps();
    music::Module* song = music::LoadModule("XM");
    const bool playing = song && music::StartOfflineRender(*song);
    if (playing) music::ReadPlayedFrames(nullptr, static_cast<std::uint64_t>(from));

    constexpr std::int64_t kChunkFrames = 16384;
    std::vector<std::int16_t> chunk(kChunkFrames * 2, 0);
    Outcome outcome;
    for (std::int64_t at = from; outcome.Ok() && at < to; at += kChunkFrames) {
        if (platform::InterruptRequested()) {
            outcome = Failed("interrupted");
            break;
        }
        const std::int64_t n = std::min(kChunkFrames, to - at);
        if (playing) music::ReadPlayedFrames(chunk.data(), static_cast<std::uint64_t>(n));
        if (!video.WriteSound(chunk.data(), static_cast<std::size_t>(n), error)) outcome = Failed(error);
    }
    if (playing) music::StopOfflineRender();
    if (song) music::FreeModule(song);
    if (outcome.Ok() && !video.Finish(error)) outcome = Failed(error);
    return outcome;
}

// The run's stages in order; the first that does not end well ends it.
Outcome Capture(const Options& options, std::FILE* err) {
    const FramePlan plan = PlanFrames(options);
    VideoWriter video;
    if (Outcome prepared = PrepareOutputs(options, video); !prepared.Ok()) return prepared;

    // The fixed-step clock: reading n (the first is start-up's) is n / fps,
    // so every frame's delta is 1 / fps. The first reading is taken in
    // StartUp; the loop's first frame reads 1 / fps.
    std::int64_t readings = 0;
    const std::function<long double()> readClock = [&readings, fps = options.fps] {
        return static_cast<long double>(readings++) / static_cast<long double>(fps);
    };
    app::FrameLoop loop;
    if (Outcome started = StartIntro(loop, readClock); !started.Ok()) return started;
    // Every reading is exact: the step clock's lock onto whole steps, which
    // absorbs a display's jitter, would run 59 or 61 frames a second at one
    // step a frame.
    scene::sceneState.stepClock.exact = true;

    const bool movie = !options.video.empty();
    FrameWriter writer(options, movie ? &video : nullptr);
    std::int64_t written = 0;
    const Outcome drawn = RunFrames(loop, readClock, plan, options.fps, writer, written, err);
    app::ShutDown();
    if (!drawn.Ok() || !movie) return drawn;
    return WriteSound(video, plan.firstWritten, written, options.fps);
}

}  // namespace

int RunCapture(const Options& options, std::FILE* err) {
    // From the start, so that Ctrl+C never leaves a temporary file behind.
    platform::CatchInterrupt();
    const Outcome outcome = Capture(options, err);
    if (!outcome.Ok()) std::fprintf(err, "quandrix-capture: %s\n", outcome.reason.c_str());
    return outcome.status;
}

}  // namespace capture
