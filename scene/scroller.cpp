#include "scene/scroller.h"

#include "scene/scene_state.h"

namespace scene {

void DrawScroller(const SceneState&) {}

void ScrollerStep(SceneState&) {}

}  // namespace scene
