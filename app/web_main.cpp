// Quandrix 2oo5 in a web page: start-up, one frame of the loop per display
// frame, shutdown. The page has no display mode to switch, so the show runs
// as in a window, without the full-screen question.
//
// The page runs main with one argument, the address's fragment as it wants
// it read ("t=14.5", or nothing for the show from its start). With a moment
// in it (page_moment.h) the show first runs on the fixed clock up to that
// frame, silently, as fast as the page allows and with desktop messages left
// waiting, then holds its picture. The first exit request after that (a
// click, Escape or Space, the page being closed) lets the show go on from
// there on the real clock, with the song from that moment on, and the exit
// fade plays as usual. The page's data-show attribute says where it is:
// "seeking", "holding", "running", "failed" (start-up); the page sets "ended"
// when the show has ended.
//
// Before it runs main the page asks QuandrixPageMoment what its address
// means (whether to wait on its start screen), so that the page and the
// program read a moment with the one parser, and has QuandrixPrepare make
// the textures ahead.

#include <cstdio>
#include <optional>

#include "app/display.h"
#include "app/frame_clock.h"
#include "app/frame_loop.h"
#include "app/page_moment.h"
#include "app/startup.h"
#include "gfx/prepared_textures.h"
#include "music/music.h"
#include "platform/messages.h"
#include "platform/page.h"

namespace {

enum class Phase {
    Running,  // the real clock, one frame per display frame
    Seeking,  // the fixed clock, up to the moment's frame
    Holding,  // the moment's picture stays until an exit request
};

// Wall-clock seconds of seeking per display frame: the page keeps
// responding and shows the show racing forward.
constexpr long double kSeekSliceSeconds = 0.05L;

struct PageShow {
    app::FrameLoop loop;
    app::FrameLoopHost host;
    Phase phase = Phase::Running;
    std::int64_t frame = 0;          // frames run so far
    std::int64_t momentFrame = 0;    // the frame the moment shows
    std::int64_t exitFrame = -1;     // the frame that takes the moment's exit request; -1: none
    long double clockOffset = 0.0L;  // the real clock plus this continues the fixed one
    std::optional<platform::Message> resumeWith;  // the exit request that ended the hold
};

PageShow show;

long double FixedClock() { return static_cast<long double>(show.frame) / app::kMomentFps; }

// The show goes on from the held picture on the real clock, with the
// request that ended the hold as the first message it takes, and the song
// from the moment the picture shows, as the desktop build plays it that long
// after its loop began (the seek itself was silent).
void Resume() {
    show.phase = Phase::Running;
    music::StartMusic(static_cast<double>(show.loop.lastClock));
    show.clockOffset = show.loop.lastClock - app::ReadClock();
    show.host.readClock = [] { return app::ReadClock() + show.clockOffset; };
    show.host.peekMessage = [](platform::Message* out) {
        if (!show.resumeWith) return platform::PeekMessage(out);
        *out = *show.resumeWith;
        show.resumeWith.reset();
        return true;
    };
    platform::SetPageState("running");
}

// Messages while the picture is held are handled, the exit requests end the
// hold: a click or the quit message (a close) goes to the loop as the first
// message it takes; Escape or Space is already marked down in keyDown.
void Hold() {
    platform::Message message;
    while (platform::PeekMessage(&message)) {
        show.loop.lastWParam = message.wParam;
        if (message.message == platform::WM_LBUTTONDOWN || message.message == platform::WM_QUIT) {
            show.resumeWith = message;
            return Resume();
        }
        platform::TranslateMessage(message);
        platform::DispatchMessage(message);
        if (app::ExitKeyHeld()) return Resume();
    }
}

void Seek() {
    const long double until = app::ReadClock() + kSeekSliceSeconds;
    while (show.phase == Phase::Seeking && !show.loop.quitRequested) {
        app::RunFrame(show.loop, show.host);
        if (show.frame == show.momentFrame) {
            show.phase = Phase::Holding;
            platform::SetPageState("holding");
        }
        ++show.frame;
        if (app::ReadClock() >= until) break;
    }
}

bool Frame(void*) {
    switch (show.phase) {
    case Phase::Seeking: Seek(); break;
    case Phase::Holding: Hold(); break;
    case Phase::Running: app::RunFrame(show.loop, show.host); break;
    }
    return !show.loop.quitRequested;
}

int Finish(void*) {
    app::ShutDown();
    return static_cast<int>(show.loop.lastWParam);
}

}  // namespace

// What the address's fragment means to the page: the moment's seconds, or
// -1 for none. Each fallback taken is one line on the console.
extern "C" double QuandrixPageMoment(const char* fragment) {
    std::string warnings;
    const std::optional<app::PageMoment> moment = app::ParsePageMoment(fragment ? fragment : "", warnings);
    if (!warnings.empty()) std::fputs(warnings.c_str(), stdout);
    return moment ? moment->seconds : -1.0;
}

// Makes the textures' images while the page waits anyway (its start screen,
// the browser's sound getting ready), so that the start-up only uploads
// them; the frames are the same.
extern "C" void QuandrixPrepare() { gfx::PrepareTextures(); }

int main(int argc, char** argv) {
    // The page has already said what it took of the fragment.
    std::string warnings;
    const std::optional<app::PageMoment> moment = app::ParsePageMoment(argc > 1 ? argv[1] : "", warnings);

    app::StartUpOptions options;
    options.fullscreen = false;
    show.host = app::SystemFrameLoopHost();
    if (moment) {
        options.music = false;  // the song starts where the held picture goes on
        show.phase = Phase::Seeking;
        show.momentFrame = app::MomentFrame(moment->seconds);
        if (moment->exitAt >= 0.0) show.exitFrame = app::MomentFrame(moment->exitAt);
        // Reading n of the fixed clock is n / 60 s: start-up takes reading
        // 0, frame k reads (k + 1) / 60.
        options.readClock = [] { return FixedClock(); };
        show.host.readClock = [] { return static_cast<long double>(show.frame + 1) / app::kMomentFps; };
        show.host.peekMessage = [](platform::Message* out) {
            if (show.frame != show.exitFrame) return false;
            *out = platform::Message{platform::WM_LBUTTONDOWN, platform::MK_LBUTTON, platform::MakeLParam(320, 240)};
            return true;
        };
        platform::SetPageState("seeking");
    } else {
        platform::SetPageState("running");
    }
    if (!app::StartUp(show.loop, options)) {
        platform::SetPageState("failed");  // its box says why
        return 0;
    }
    platform::RunFrames(Frame, Finish, nullptr);
}
