#pragma once
// The scene: composes one frame from the shell's clocks.

namespace scene {

// The time values the shell advances every frame and the scene reads.
struct SceneClocks {
    double sceneTime = 0.0;    // seconds since the frame loop started
    double pageClock = 0.0;    // seconds; advanced like sceneTime, zeroed by the scene
    float exitFade = 0.0f;     // seconds of exit fade left; 0 = no exit requested
    float stepInterval = 0.0f; // seconds per animation step
};

// Gives the scene its starting values, once, after the first clock reading.
void PrimeScene();

// Draws one frame. Always true.
bool DrawScene(SceneClocks& clocks);

}  // namespace scene
