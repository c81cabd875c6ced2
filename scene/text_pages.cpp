#include "scene/text_pages.h"

#include "scene/scene_state.h"

namespace scene {

void DrawTextPages(const SceneState&) {}

void StepTextPages(SceneState&, SceneClocks&) {}

}  // namespace scene
