#include "app/startup.h"

#include "app/display.h"
#include "data/text_block.h"
#include "gfx/texture_table.h"
#include "music/music.h"
#include "scene/scene.h"
#include "scene/scene_state.h"
#include "scene/text_pages.h"
#include "scene/tube_mesh.h"

namespace app {

bool StartUp(FrameLoop& loop, const StartUpOptions& options) {
    if (!CreateDisplay(kWindowTitle, scene::kScreenWidth, scene::kScreenHeight, 16, options.fullscreen)) return false;

    // The count as the block holds it now (a patch may have changed it),
    // kept inside the ten pages the block has.
    scene::pageCount = data::ClampPageCount(data::ReadTextPageCount());

    scene::tube = new scene::TubeMesh();

    // Without a device or a song the intro runs silently.
    if (options.music) music::StartMusic();

    loop.clocks.pageClock = 0.0;
    loop.lastClock = options.readClock();
    PrimeScene(scene::sceneState, *scene::tube);
    return true;
}

void ShutDown() {
    music::StopMusic();
    gfx::DeleteTextures();
    scene::DestroyTube();
    DestroyDisplay();
}

}  // namespace app
