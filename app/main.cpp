// Quandrix 2oo5: start-up, the frame loop and shutdown, in that order.
// The program takes no command line.

#include "app/display.h"
#include "app/frame_clock.h"
#include "app/frame_loop.h"
#include "gfx/texture_table.h"
#include "music/music.h"
#include "scene/scene.h"
#include "scene/tube_mesh.h"

int main() {
    if (!app::CreateDisplay(app::kWindowTitle, 640, 480, 16, true)) return 0;

    scene::tube = new scene::TubeMesh();

    // Without a device or a song the intro runs silently.
    music::StartMusic();

    app::FrameLoop loop;
    loop.clocks.pageClock = 0.0;
    loop.clocks.stepInterval = app::stepInterval;
    loop.lastClock = app::ReadClock();
    app::PrimeScene(scene::sceneState, *scene::tube);

    const int exitCode = app::RunFrameLoop(loop, app::SystemFrameLoopHost());

    music::StopMusic();
    gfx::DeleteTextures();
    scene::DestroyTube();
    app::DestroyDisplay();
    return exitCode;
}
