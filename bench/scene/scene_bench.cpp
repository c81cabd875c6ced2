// Deform rebuilds 1,050 positions, 980 face normals and 1,050 vertex normals
// once per main step; this is its cost per call.
#include <benchmark/benchmark.h>

#ifdef __linux__
#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#endif

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

// CPU seconds so far of this process's threads whose names begin with
// `prefix`; 0 where /proc is not there to ask.
double ThreadsCpuSeconds(const std::string& prefix) {
    double total = 0.0;
#ifdef __linux__
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return 0.0;
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    while (const dirent* task = readdir(tasks)) {
        const std::string path = std::string("/proc/self/task/") + task->d_name;
        std::string name, line;
        if (task->d_name[0] == '.' || !std::getline(std::ifstream(path + "/comm"), name) ||
            name.compare(0, prefix.size(), prefix) != 0 || !std::getline(std::ifstream(path + "/stat"), line)) {
            continue;
        }
        // After "pid (name) ": state is field 3, utime and stime fields 14 and 15.
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string field;
        for (int n = 3; n <= 15 && fields >> field; ++n) {
            if (n >= 14) total += std::stod(field) / ticks;
        }
    }
    closedir(tasks);
#endif
    return total;
}

// One main-mode frame of the intro on a real context: DrawScene and the
// buffer swap, as the frame loop runs them. Real time per frame gives the
// frame rate; CPU time is the main thread's, the cost of the drawing calls
// and of llvmpipe's vertex work, which runs on the calling thread.
// raster_ms is the CPU time of llvmpipe's rasterising threads per frame:
// with the main thread's, what a frame costs the machine's cores.
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
    const double rasterStart = ThreadsCpuSeconds("llvmpipe-");
    for (auto _ : state) {
        clocks.sceneTime += 1.0 / 60.0;
        clocks.pageClock += 1.0 / 60.0;
        scene::DrawScene(clocks);
        platform::SwapBuffers();
    }
    glFinish();
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["raster_ms"] = 1000.0 * (ThreadsCpuSeconds("llvmpipe-") - rasterStart) /
                                  static_cast<double>(state.iterations());
    scene::DestroyTube();
    gfx::DeleteTextures();
    platform::CloseHiddenGlContext();
}
BENCHMARK(BM_SceneFrame)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
