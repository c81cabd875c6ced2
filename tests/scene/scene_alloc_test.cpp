// No frame of the scene allocates: the global allocation functions are
// replaced in this program to count what happens during 600 frames after
// start-up (not under the sanitizers, which bring their own). The frames run
// the scene's own work (timeline, steps, timers, the tube's Deform) without
// the GL calls: Mesa's llvmpipe allocates through operator new inside the
// driver on every frame, which a count here would mistake for ours.

#include <cstdint>

#include <gtest/gtest.h>

#include "app/frame_loop.h"
#include "scene/timeline.h"
#include "scene/tube_mesh.h"
#include "tests/support/allocation_counter.h"

namespace {

TEST(SceneFrames, SixHundredFramesAllocateNothing) {
    scene::ResetSceneState();
    scene::TubeMesh mesh;
    app::PrimeScene(scene::sceneState, mesh);
    EXPECT_GT(testsupport::AllocationCount(), 0);  // the counter counts: the tube was just made
    scene::SceneClocks clocks;
    const long before = testsupport::AllocationCount();
    int mainSteps = 0;
    for (int frame = 0; frame < 600; ++frame) {  // start-up mode, then 9.8 s of main mode
        clocks.sceneTime += 1.0 / 60.0;
        clocks.pageClock += 1.0 / 60.0;
        scene::SceneState& state = scene::sceneState;
        const std::int64_t steps = state.stepClock.count;
        if (scene::AdvanceScene(state, &mesh, clocks) == scene::SceneMode::Main) scene::TurnPage(state, clocks);
        mainSteps += static_cast<int>(state.stepClock.count - steps);
    }
    EXPECT_EQ(testsupport::AllocationCount() - before, 0);
    EXPECT_EQ(mainSteps, 600);
}

}  // namespace
