// What the point cloud computes per frame apart from the GL calls: every
// position twice (line pass and sprite pass) and, on the path without point
// sprites, four quad corners per point. Measured on the largest frame, a
// morph into set 5 (2080 points), and on set 0 at rest.
#include <benchmark/benchmark.h>

#include "data/point_sets.h"
#include "scene/point_cloud.h"

namespace {

scene::PointCloudState Morphing() {
    scene::PointCloudState cloud;
    cloud.shapeA = data::pointShapes[4];
    cloud.shapeB = data::pointShapes[5];
    cloud.shapeIndex = 5;
    cloud.morphStep = 17;
    return cloud;
}

void SpritePathPositions(benchmark::State& st, scene::PointCloudState cloud) {
    for (auto _ : st) {
        float sum = 0.0f;
        const int count = scene::CloudPointCount(cloud);
        for (int pass = 0; pass < 2; ++pass)
            for (int i = 0; i < count; ++i) sum += scene::CloudPoint(cloud, i).x;
        benchmark::DoNotOptimize(sum);
    }
    st.SetItemsProcessed(st.iterations() * scene::CloudPointCount(cloud));
}

void QuadPathPositions(benchmark::State& st, scene::PointCloudState cloud) {
    const float m[16] = {0.8f, 0.1f, -0.59f, 0, 0.2f, 0.95f, 0.2f, 0, 0.57f, -0.3f, 0.78f, 0, 0, 0, -9, 1};
    const scene::BillboardAxes axes = scene::AxesFromModelview(m);
    for (auto _ : st) {
        float sum = 0.0f;
        const int count = scene::CloudPointCount(cloud);
        for (int i = 0; i < count; ++i) sum += scene::CloudPoint(cloud, i).x;
        scene::Vector3 c[4];
        for (int i = 0; i < count; ++i) {
            scene::FacingQuad(scene::CloudPoint(cloud, i), axes, 0.15f, c);
            sum += c[3].y;
        }
        benchmark::DoNotOptimize(sum);
    }
    st.SetItemsProcessed(st.iterations() * scene::CloudPointCount(cloud));
}

BENCHMARK_CAPTURE(SpritePathPositions, set0_at_rest, scene::PointCloudState{});
BENCHMARK_CAPTURE(SpritePathPositions, morph_into_set5, Morphing());
BENCHMARK_CAPTURE(QuadPathPositions, morph_into_set5, Morphing());

}  // namespace

BENCHMARK_MAIN();
