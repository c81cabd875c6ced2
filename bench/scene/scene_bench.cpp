// Deform rebuilds 1,050 positions, 980 face normals and 1,050 vertex normals
// once per main step; this is its cost per call.
#include <benchmark/benchmark.h>

#include "app/display.h"
#include "app/frame_loop.h"
#include "gfx/gl.h"
#include "gfx/texture_table.h"
#include "platform/display.h"
#include "scene/scene.h"
#include "scene/tube_mesh.h"

namespace {

void BM_Deform(benchmark::State& state) {
    scene::TubeMesh mesh;
    float a = 0.0f;
    float b = 0.004f;
    float c = 0.012f;
    for (auto _ : state) {
        mesh.Deform(a, b, c);
        benchmark::DoNotOptimize(mesh.positions[0]);
        a += 0.0021f;
        b += 0.004f;
        c += 0.012f;
    }
    state.SetItemsProcessed(state.iterations() * mesh.vertexCount);
}
BENCHMARK(BM_Deform);

// One main-mode frame of the intro on a real context: DrawScene and the
// buffer swap, as the frame loop runs them. Real time per frame gives the
// frame rate; CPU time is the main thread's, the cost of the drawing calls
// (llvmpipe's rasteriser threads are not counted in it).
void BM_SceneFrame(benchmark::State& state) {
    if (!platform::OpenHiddenGlContext(640, 480)) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    app::ResizeView(640, 480);
    if (!app::InitRenderState()) {
        state.SkipWithError("textures not made");
        platform::CloseHiddenGlContext();
        return;
    }
    scene::ResetSceneState();
    scene::tube = new scene::TubeMesh();
    app::PrimeScene(scene::sceneState, *scene::tube);
    scene::SceneClocks clocks;
    clocks.sceneTime = 1.0;  // main mode
    for (auto _ : state) {
        clocks.sceneTime += 1.0 / 60.0;
        clocks.pageClock += 1.0 / 60.0;
        scene::DrawScene(clocks);
        platform::SwapBuffers();
    }
    glFinish();
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    scene::DestroyTube();
    gfx::DeleteTextures();
    platform::CloseHiddenGlContext();
}
BENCHMARK(BM_SceneFrame)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
