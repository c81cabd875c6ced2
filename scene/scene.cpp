#include "scene/scene.h"

#include "gfx/gl.h"

namespace scene {

// Stand-in until the effects land: nothing to prime, and a black frame.
void PrimeScene() {}

bool DrawScene(SceneClocks&) {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return true;
}

}  // namespace scene
