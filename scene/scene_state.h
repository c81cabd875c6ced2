#pragma once
// The scene's inputs from the shell (SceneClocks) and its own animation
// state (SceneState). Plain records: the timeline rules and the effects'
// steps work on them without OpenGL, so tests can drive them exactly.

#include <cstdint>

#include "scene/point_cloud.h"
#include "scene/scroller.h"
#include "scene/step_clock.h"
#include "scene/text_pages.h"
#include "scene/twin_tubes.h"

namespace scene {

// The time values the shell advances every frame and the scene reads.
struct SceneClocks {
    double sceneTime = 0.0;     // seconds since the frame loop started; advanced before DrawScene
    double pageClock = 0.0;     // seconds on the current text page; advanced like sceneTime, restarted by the scene
    float exitFade = 0.0f;      // seconds of exit fade left, 2.2 down to 0.1; 0 = no exit requested
};

struct SceneState {
    StepClock stepClock;            // on sceneTime, 60 steps a second: every step and timer of the show
    std::int64_t lastShapeSwitch = 0;    // step when the point cloud last switched its shape
    std::int64_t lastCausticChange = 0;  // step when the caustics picture last changed
    float tubeSpin = 0.1f;          // degrees, 0..360: spin of both tubes about their axis
    float tubePhase[3] = {0.0f, 0.0f, 0.0f};     // radians, unwrapped: the tube's deform phases a, b, c
    float cameraAngles[3] = {0.0f, 0.0f, 0.0f};  // degrees, 0..360: the point cloud's camera
    float textWaveX = 0.0f;         // degrees, 0..360: phase of the text pages' sideways sway
    float textWaveY = 0.0f;         // degrees, 0..360: phase of the text pages' bob

    // The effects' own state.
    TwinTubesState twinTubes;
    TextPagesState textPages;
    ScrollerState scroller;
    PointCloudState pointCloud;
};

// The one scene state of the intro, zero (or its start values) before the
// first frame.
extern SceneState sceneState;

// Back to the start values (tests, and a second run in one process).
void ResetSceneState();

}  // namespace scene
