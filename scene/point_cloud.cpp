#include "scene/point_cloud.h"

#include "scene/scene_state.h"

namespace scene {

void SetStartShape(SceneState&) {}

void DrawPointCloud(SceneState&, const SceneClocks&) {}

void ShapeSwitch(SceneState& state) {
    PointCloudState& cloud = state.pointCloud;
    cloud.shapeIndex = (cloud.shapeIndex + 1) % 8;
    cloud.morphStep = 1;
}

void MorphStep(SceneState& state) {
    PointCloudState& cloud = state.pointCloud;
    if (cloud.morphStep > 0) {
        ++cloud.morphStep;
        if (cloud.morphStep == cloud.morphLength) cloud.morphStep = 0;
    }
}

}  // namespace scene
