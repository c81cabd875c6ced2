#include "scene/timeline.h"

#include "scene/tube_mesh.h"

namespace scene {

namespace {

// Per-step amounts, single precision.
constexpr float kTubeSpinStep = 2.0f;                                // degrees
constexpr float kCameraSteps[3] = {1.8f, -2.7f, -2.1f};              // degrees
constexpr float kTextWaveXStep = 3.2f;                               // degrees
constexpr float kTextWaveYStep = -5.1f;                              // degrees

}  // namespace

SceneMode ChooseSceneMode(const SceneClocks& clocks) {
    if (clocks.exitFade > 0.0f) return SceneMode::ExitFade;
    if (clocks.sceneTime <= static_cast<double>(kStartUpSeconds)) return SceneMode::StartUp;
    return SceneMode::Main;
}

void WrapDegrees(float& degrees) {
    if (degrees > 360.0f) degrees -= 360.0f;
    if (degrees < 0.0f) degrees += 360.0f;
}

void AdvanceMainStepValues(SceneState& state) {
    for (int i = 0; i < 3; ++i) state.tubePhase[i] += kTubePhaseSpeeds[i] * kTubePhaseFactors[i];
    state.tubeSpin += kTubeSpinStep;
    if (state.tubeSpin > 360.0f) state.tubeSpin -= 360.0f;
    for (int i = 0; i < 3; ++i) {
        state.cameraAngles[i] += kCameraSteps[i];
        WrapDegrees(state.cameraAngles[i]);
    }
    state.textWaveX += kTextWaveXStep;
    WrapDegrees(state.textWaveX);
    state.textWaveY += kTextWaveYStep;
    WrapDegrees(state.textWaveY);
}

bool RunShapeTimer(SceneState& state, double sceneTime) {
    if (sceneTime - state.lastShapeSwitch < kShapeSwitchSeconds) return false;
    SwitchShape(state);
    state.lastShapeSwitch = sceneTime;
    return true;
}

bool RunCausticsTimer(SceneState& state, double sceneTime) {
    if (sceneTime - state.lastCausticChange < kCausticChangeSeconds) return false;
    NextCausticsPicture(state);
    state.lastCausticChange = sceneTime;
    return true;
}

int RunMainStep(SceneState& state, TubeMesh* mesh, const SceneClocks& clocks) {
    const int steps = state.mainStepClock.Take(clocks.sceneTime);
    for (int i = 0; i < steps; ++i) {
        StepMorph(state);
        // The tube's shape follows from the phases alone, so of several
        // steps in one frame only the last one's Deform is ever seen.
        if (mesh && i == steps - 1) mesh->Deform(state.tubePhase[0], state.tubePhase[1], state.tubePhase[2]);
        AdvanceMainStepValues(state);
    }
    return steps;
}

int RunScrollStep(SceneState& state, const SceneClocks& clocks) {
    const int steps = state.scrollStepClock.Take(clocks.sceneTime);
    for (int i = 0; i < steps; ++i) StepScroller(state);
    return steps;
}

}  // namespace scene
