#pragma once
// The scene's timeline rules: which mode a frame is drawn in, the steps that
// run before it is drawn (with the timers and the text pages' steps), and what
// one main step adds to the animation values.
// Pure: no OpenGL, so that every rule can be driven and checked by tests;
// DrawScene calls these at their places in the frame.

#include <cstdint>

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
// Its last step, 13 (0.217 s): every later step runs in the main mode. The
// first page's clock and steps count from it, and the timers look at the
// steps after it.
inline constexpr std::int64_t kLastStartUpStep = static_cast<std::int64_t>(kStartUpSeconds * kStepsPerSecond);

// The timers' periods in steps. 0.08 s is 4.8 steps; a 60 Hz display, which
// shows one step a frame, always rounded it up to 5: the caustics change 12
// times a second, and now on every display.
inline constexpr std::int64_t kShapeSwitchSteps = 600;    // 10 s between point-cloud shape switches
inline constexpr std::int64_t kCausticChangeSteps = 5;    // between caustics pictures

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

// The timers look at a step once it has been shown (at the end of its frame
// when a frame is a step), so what they change shows from the next step on.
// `shown` is that step's number; the timers count from the main mode's
// first step. Each returns true when it fired.
// The shape timer: every 600 steps the point cloud switches its target.
bool RunShapeTimer(SceneState& state, std::int64_t shown);
// The caustics timer: the next caustics picture every 5 steps, the first
// one after the main mode's first step.
bool RunCausticsTimer(SceneState& state, std::int64_t shown);

// Seconds from step `step` to the step clock's last reading (negative before
// it): where a page clock that starts at that step stands now.
double SecondsSinceStep(const StepClock& clock, std::int64_t step);

// The frame's work before anything is drawn, and its mode. In the exit fade
// nothing moves (the step clock holds). Otherwise every step that has come
// due on sceneTime runs, one after the other, each in this order: the
// timers' look at the step before it, the morph step, the tube's Deform with
// the phases as they stand (only for the frame's last step, whose shape is
// the only one drawn; skipped without a mesh), the increments, the scroller
// step and, after the start-up mode's last step, the text pages' step (a
// page that ran out in an earlier step gives way to the next one first, its
// clock starting from the page's end). The first page starts at the start-up
// mode's last step: pageClock stands at 0 until then and counts from there.
SceneMode AdvanceScene(SceneState& state, TubeMesh* mesh, SceneClocks& clocks);

// Main mode, after the overlay and the cloud have read pageClock and before
// the text is drawn: a page that has run its last step gives way to the
// next one, whose clock starts at that step. True when the page changed.
bool TurnPage(SceneState& state, SceneClocks& clocks);

}  // namespace scene
