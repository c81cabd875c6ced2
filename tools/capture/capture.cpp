#include "tools/capture/capture.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/display.h"
#include "app/frame_loop.h"
#include "platform/write_file.h"
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

// The song as the device plays it from the start of the loop, for frames
// first .. first + count - 1, into the video's second pass. A song that does
// not load leaves the intro silent, and so the video.
bool WriteSound(VideoWriter& video, std::int64_t first, std::int64_t count, int fps, std::string& error) {
    const std::int64_t from = SoundFrameOf(first, fps, music::kOutputRate);
    const std::int64_t to = SoundFrameOf(first + count, fps, music::kOutputRate);
    if (!video.BeginSound(music::kOutputRate, error)) return false;

    music::RegisterResourceStreamOps();
    music::Module* song = music::LoadModule("XM");
    const bool playing = song && music::StartOfflineRender(*song);
    if (playing) music::ReadPlayedFrames(nullptr, static_cast<std::uint64_t>(from));

    constexpr std::int64_t kChunkFrames = 16384;
    std::vector<std::int16_t> chunk(kChunkFrames * 2, 0);
    bool ok = true;
    for (std::int64_t at = from; ok && at < to; at += kChunkFrames) {
        if (platform::InterruptRequested()) {
            error = "interrupted";
            ok = false;
            break;
        }
        const std::int64_t n = std::min(kChunkFrames, to - at);
        if (playing) music::ReadPlayedFrames(chunk.data(), static_cast<std::uint64_t>(n));
        ok = video.WriteSound(chunk.data(), static_cast<std::size_t>(n), error);
    }
    if (playing) music::StopOfflineRender();
    if (song) music::FreeModule(song);
    return ok && video.Finish(error);
}

}  // namespace

int RunCapture(const Options& options, std::FILE* err) {
    const FramePlan plan = PlanFrames(options);
    auto refuse = [err](const std::string& reason) {
        std::fprintf(err, "quandrix-capture: %s\n", reason.c_str());
        return kExitRefused;
    };

    // From the start, so that Ctrl+C never leaves a temporary file behind.
    platform::CatchInterrupt();

    // Everything that can be refused is refused before the first frame.
    std::string error;
    const bool pictures = !options.outDir.empty();
    const bool movie = !options.video.empty();
    if (pictures && !PrepareOutputDirectory(options.outDir, error)) return refuse(error);
    VideoWriter video;
    if (movie) {
        const std::string ffmpeg = platform::FindProgramOnPath("ffmpeg");
        if (ffmpeg.empty()) {
            return refuse("--video needs ffmpeg, and there is none on PATH (Debian package: ffmpeg)");
        }
        if (!video.Open(ffmpeg, options.video, options.fps, options.videoSize, error)) return refuse(error);
    }

    // No display of one's own is needed; a chosen driver (x11 with Xvfb)
    // is kept. The song plays into nothing while the frames are drawn: the
    // video's sound is rendered afterwards, exactly.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    // The fixed-step clock: reading n (the first is start-up's) is n / fps,
    // so every frame's delta is 1 / fps. The first reading is taken in
    // StartUp; the loop's first frame reads 1 / fps.
    std::int64_t readings = 0;
    auto readClock = [&readings, fps = options.fps] {
        return static_cast<long double>(readings++) / static_cast<long double>(fps);
    };

    app::FrameLoop loop;
    app::StartUpOptions startUp;
    startUp.fullscreen = false;
    startUp.readClock = readClock;
    if (!app::StartUp(loop, startUp)) {
        std::fprintf(err, "quandrix-capture: the intro could not start (no OpenGL context?)\n");
        return kExitFailed;
    }
    // The display turns leave signals into a close request for the intro's
    // fade; a capture ends at Ctrl+C instead, so it takes them back.
    platform::CatchInterrupt();
    int width = 0;
    int height = 0;
    platform::GetClientSize(&width, &height);
    if (width != kWidth || height != kHeight) {
        app::ShutDown();
        std::fprintf(err, "quandrix-capture: the display gave %d x %d pixels instead of %d x %d\n", width, height,
                     kWidth, kHeight);
        return kExitFailed;
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);

    const std::size_t rowBytes = static_cast<std::size_t>(kWidth) * 3;
    std::vector<std::uint8_t> bottomUp(rowBytes * kHeight);
    std::vector<std::uint8_t> topDown(rowBytes * kHeight);
    std::vector<std::uint8_t> png;
    std::int64_t frame = 0;    // frames the loop has run
    std::int64_t written = 0;  // frames written
    bool failed = false;
    Progress progress(err, plan, options.fps);

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
        if (wanted && !failed) {
            // What SwapBuffers is about to present.
            glReadBuffer(GL_BACK);
            glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
            for (int y = 0; y < kHeight; ++y) {
                std::memcpy(&topDown[static_cast<std::size_t>(y) * rowBytes],
                            &bottomUp[static_cast<std::size_t>(kHeight - 1 - y) * rowBytes], rowBytes);
            }
            if (pictures) {
                const fs::path file = fs::path(options.outDir) / FrameFileName(written);
                if (!EncodePng(topDown.data(), kWidth, kHeight, png)) {
                    error = "cannot encode " + file.string();
                    failed = true;
                } else {
                    failed = !platform::WriteFileAtomically(file, png, error);
                }
            }
            if (movie && !failed) failed = !video.WriteFrame(topDown.data(), error);
            if (!failed) ++written;
        }
        platform::SwapBuffers();
        progress.Update(frame, written, false);
        ++frame;
    };

    const bool interrupted = [&] {
        while (!loop.quitRequested && !failed && (plan.count < 0 || written < plan.count)) {
            if (platform::InterruptRequested()) return true;
            app::RunFrame(loop, host);
        }
        return false;
    }();
    progress.Update(frame - 1, written, true);
    app::ShutDown();

    if (interrupted) {
        std::fprintf(err, "quandrix-capture: interrupted\n");
        return kExitFailed;
    }
    if (failed) {
        std::fprintf(err, "quandrix-capture: %s\n", error.c_str());
        return error.rfind("cannot write", 0) == 0 ? kExitRefused : kExitFailed;
    }
    if (written == 0) {
        return refuse("the intro ended at " + std::to_string(FrameTime(frame - 1, options.fps)) +
                      " s, before --start: no frame was written");
    }
    if (movie && !WriteSound(video, plan.firstWritten, written, options.fps, error)) {
        std::fprintf(err, "quandrix-capture: %s\n", error.c_str());
        return kExitFailed;
    }
    return kExitDone;
}

}  // namespace capture
