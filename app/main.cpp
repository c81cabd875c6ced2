// Quandrix 2oo5: start-up, the frame loop and shutdown, in that order.
// The program takes no command line.

#include "app/frame_loop.h"
#include "app/startup.h"

int main() {
    app::FrameLoop loop;
    if (!app::StartUp(loop)) return 0;
    const int exitCode = app::RunFrameLoop(loop, app::SystemFrameLoopHost());
    app::ShutDown();
    return exitCode;
}
