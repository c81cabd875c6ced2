// Quandrix 2oo5: start-up, the frame loop and shutdown, in that order.
// The program takes no command line.

#include <cstdio>

#include "app/frame_loop.h"
#include "app/startup.h"
#include "music/music.h"
#include "music/underruns.h"
#include "platform/display_lost.h"

int main() {
    // Should the X server go away, the song still stops cleanly first.
    platform::SetDisplayLostCleanup(music::StopMusic);
    app::FrameLoop loop;
    if (!app::StartUp(loop)) return 0;
    const int exitCode = app::RunFrameLoop(loop, app::SystemFrameLoopHost());
    app::ShutDown();
    // A show left running for hours on a busy machine may have stuttered
    // while nobody listened: one line says whether and how badly.
    if (const music::Underruns late = music::CurrentUnderruns(); late.lateBlocks > 0) {
        std::fprintf(stderr, "quandrix: %s\n", music::DescribeUnderruns(late).c_str());
    }
    return exitCode;
}
