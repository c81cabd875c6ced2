#pragma once
// The scene's timeline rules: which mode a frame is drawn in, how many steps
// run and when the timers fire, and what one main step adds to the animation values.
// Pure: no OpenGL, so that every rule can be driven and checked by tests;
// DrawScene calls these at their places in the frame.

#include "scene/scene_state.h"

namespace scene {

class TubeMesh;

enum class SceneMode {
    ExitFade,  // exitFade > 0: the receding credits picture only
    StartUp,   // sceneTime <= 0.223 s: black with the scroller
    Main,      // tubes, overlay, point cloud, text pages, scroller
};

// The start-up mode lasts while sceneTime is at most the single-precision
// 0.223 (0.22300000488758087), compared in double.
inline constexpr float kStartUpSeconds = 0.223f;
inline constexpr double kShapeSwitchSeconds = 10.0;   // sceneTime between point-cloud shape switches
inline constexpr double kCausticChangeSeconds = 0.08; // sceneTime between caustics pictures (12.5 per second)

// The tube phases' speeds and the factors a main step takes them with,
// single precision: each step adds speed x factor (rounded to float) to
// phase i. The scene's priming (app/frame_loop.h) uses the same amounts.
inline constexpr float kTubePhaseSpeeds[3] = {0.003f, 0.008f, 0.006f};
inline constexpr float kTubePhaseFactors[3] = {0.7f, 0.5f, 2.0f};

// First match wins: exit fade, start-up, main.
SceneMode ChooseSceneMode(const SceneClocks& clocks);

// A stepped angle back into 0..360: above 360 subtract 360, then below 0
// add 360.
void WrapDegrees(float& degrees);

// The increments of one main step and their wraps (single precision, the
// per-step amounts formed from their stored factors).
void AdvanceMainStepValues(SceneState& state);

// The shape timer: every 10 s of sceneTime the point cloud switches its
// target. True when it fired.
bool RunShapeTimer(SceneState& state, double sceneTime);

// The caustics timer: every 0.08 s of sceneTime the next caustics picture.
// True when it fired.
bool RunCausticsTimer(SceneState& state, double sceneTime);

// The main steps its clock has due at sceneTime, each in this order: the
// morph step, the tube's Deform with the phases as they stand (skipped
// without a mesh, and for all but the frame's last step, whose shape is the
// only one drawn), the increments. Returns how many ran (0..4).
int RunMainStep(SceneState& state, TubeMesh* mesh, const SceneClocks& clocks);

// The scroll steps its clock has due at sceneTime. Returns how many ran.
int RunScrollStep(SceneState& state, const SceneClocks& clocks);

}  // namespace scene
