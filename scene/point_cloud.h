#pragma once
// The point cloud: one of eight stored point sets as glowing sprites on a
// faint line, tumbling in front of a swaying camera, and every 10 s a morph
// to the next set (data/point_sets.h).
//
// Coordinates: stored points are in set units (x -0.5..0.5); positions are
// world units (stored x the set's scale) in the cloud's own frame, which the
// camera's translate and three rotations put in front of the eye. Sizes are
// window pixels for sprites and world units for the camera-facing quads.
//
// Everything except the Draw* functions is pure: the positions, the morph,
// the flicker, the shape switch and the sprite-size cap are plain numbers.

#include "data/point_sets.h"
#include "scene/vector3.h"

namespace scene {

struct SceneState;
struct SceneClocks;

struct PointCloudState {
    data::PointShape shapeA = data::pointShapes[0];  // the set on show (points, count, scale, size factor)
    data::PointShape shapeB;                         // the set being morphed to; read only while morphStep > 0
    int shapeIndex = 0;       // index of the last set chosen as target, 0..7
    int morphStep = 0;        // K: morph progress, 1..morphLength - 1 while a morph runs; 0 = none
    int morphLength = 35;     // N: steps of a morph
    float pointScale = 0.0f;  // size factor of this frame's sprites (set afresh every draw)
    double flicker = 0.0;     // signed countdown of the size flicker: > 0 shrink, < 0 grow, 0 idle
};

// --- Pure rules ------------------------------------------------------------

// Points drawn: the larger of the two sets while a morph runs, else set A's.
int CloudPointCount(const PointCloudState& cloud);

// Position of point i (0 <= i < CloudPointCount), world units. While a morph
// runs, each set is read cyclically (i mod its count) and the point has moved
// K / N of the way from A towards B; at K = 0 it is exactly scale A x A[i].
Vector3 CloudPoint(const PointCloudState& cloud, int i);

// The frame's size factor before the flicker: A's, or the morph's blend.
float BaseSizeFactor(const PointCloudState& cloud);

// The once-per-frame flicker on cloud.pointScale (already set to the base
// factor) and the countdown, from the page clock; see point_cloud.cpp.
void ApplyFlicker(PointCloudState& cloud, double pageClock);

// The sprite size in pixels: 30 x pointScale, capped at the largest point
// size the driver reports.
float CappedSpriteSize(float reportedMaximum, float pointScale);

// The next set becomes the morph target and the morph (re)starts at K = 1
// from the set on show, finished or not.
void SwitchShape(PointCloudState& cloud);

// One main step of the morph: K + 1, and at K = N set B is on show.
void StepMorph(PointCloudState& cloud);

// The view axes in the cloud's frame, from a column-major modelview matrix:
// right = (m0, m4, m8), up = (m1, m5, m9).
struct BillboardAxes {
    Vector3 right;
    Vector3 up;
};
BillboardAxes AxesFromModelview(const float modelview[16]);

// The camera-facing quad of one point, in triangle-strip order, for texture
// (0, 0), (0, 1), (1, 0), (1, 1); half size h in world units.
void FacingQuad(const Vector3& p, const BillboardAxes& axes, float h, Vector3 corners[4]);

// --- The scene's calls -----------------------------------------------------

// Before the first frame: point set 0 is the set on show. No GL.
void SetStartShape(SceneState& state);

// Every 10 s of sceneTime: the next set becomes the morph target. No GL.
void SwitchShape(SceneState& state);

// First in every main step: the morph advances. No GL.
void StepMorph(SceneState& state);

// The cloud of this frame, under the scene's camera angles and page clock;
// the state it expects and leaves is DrawPointCloudWith's.
void DrawPointCloud(SceneState& state, const SceneClocks& clocks);

// --- Drawing ---------------------------------------------------------------

// The cloud under its own camera, from explicit inputs (the GL tests use it).
// Expects: identity modelview under the perspective projection, texturing
// on, depth test off, blending on with GL_SRC_ALPHA, GL_ONE (additive).
// Leaves: texturing on, the camera on the modelview, texGenSpot bound, colour
// (0.6, 0.9, 0.7, 0.7), point sprites off.
// Sprites are drawn when gfx::pointSpritesAvailable, else camera-facing quads.
void DrawPointCloudWith(PointCloudState& cloud, const float cameraAngles[3], double pageClock);

}  // namespace scene
