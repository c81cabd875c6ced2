#pragma once
// The point cloud: one of eight point sets as glowing sprites on a faint
// line, tumbling in front of a swaying camera, morphing to the next set
// every 10 s.
//
// STAND-IN: shape index and morph counter follow their rules; the point sets
// and the draw are not there yet.

namespace scene {

struct SceneState;
struct SceneClocks;

struct PointCloudState {
    int shapeIndex = 0;     // index of the last set chosen as target, 0..7
    int morphStep = 0;      // K: morph progress, 1..morphLength - 1 while a morph runs; 0 = none
    int morphLength = 35;   // N: steps of a morph
    float pointScale = 0.0f;  // size factor of this frame's sprites
    double flicker = 0.0;   // signed countdown of the size flicker
};

// Before the first frame: point set 0 is the set on show. No GL.
void SetStartShape(SceneState& state);

// Draws the cloud under its own camera.
// Expects: identity modelview under the perspective projection, texturing
// on, depth test off, blending on with GL_SRC_ALPHA, GL_ONE (additive).
// Leaves: texturing on, the camera's modelview, colour, bound texture and
// point-sprite state of its own changed.
void DrawPointCloud(SceneState& state, const SceneClocks& clocks);

// Every 10 s of sceneTime: the next set becomes the morph target. No GL.
void ShapeSwitch(SceneState& state);

// First in every main step: the morph advances. No GL.
void MorphStep(SceneState& state);

}  // namespace scene
