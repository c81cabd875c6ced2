#include "scene/timeline.h"

#include <algorithm>

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

bool RunShapeTimer(SceneState& state, std::int64_t shown) {
    if (shown <= kLastStartUpStep || shown - state.lastShapeSwitch < kShapeSwitchSteps) return false;
    SwitchShape(state);
    state.lastShapeSwitch = shown;
    return true;
}

bool RunCausticsTimer(SceneState& state, std::int64_t shown) {
    if (shown <= kLastStartUpStep || shown - state.lastCausticChange < kCausticChangeSteps) return false;
    NextCausticsPicture(state);
    state.lastCausticChange = shown;
    return true;
}

double SecondsSinceStep(const StepClock& clock, std::int64_t step) {
    return (static_cast<double>(clock.count - step) + clock.Fraction()) * kStepSeconds;
}

SceneMode AdvanceScene(SceneState& state, TubeMesh* mesh, SceneClocks& clocks) {
    const SceneMode mode = ChooseSceneMode(clocks);
    StepClock& clock = state.stepClock;
    if (mode == SceneMode::ExitFade) {
        clock.Hold(clocks.sceneTime);
        return mode;
    }
    const int steps = clock.Take(clocks.sceneTime);
    bool firstPage = mode == SceneMode::StartUp;
    for (int i = 0; i < steps; ++i) {
        const std::int64_t step = clock.count - steps + 1 + i;
        if (step == kLastStartUpStep) firstPage = true;
        RunShapeTimer(state, step - 1);
        RunCausticsTimer(state, step - 1);
        StepMorph(state);
        // The tube's shape follows from the phases alone, so of several
        // steps in one frame only the last one's Deform is ever seen.
        if (mesh && i == steps - 1) mesh->Deform(state.tubePhase[0], state.tubePhase[1], state.tubePhase[2]);
        AdvanceMainStepValues(state);
        StepScroller(state);
        if (step > kLastStartUpStep && StepPage(state.textPages, pageCount)) {
            clocks.pageClock = SecondsSinceStep(clock, step - 1);
        }
    }
    // The first page's clock starts at the start-up mode's last step; until
    // then it stands at 0. A frame that runs that step sets it, whether it
    // is drawn in the start-up mode (as every frame up to it at 60 Hz) or
    // already in the main mode (a frame that runs several steps).
    if (firstPage) clocks.pageClock = std::max(0.0, SecondsSinceStep(clock, kLastStartUpStep));
    return mode;
}

bool TurnPage(SceneState& state, SceneClocks& clocks) {
    if (state.textPages.pageSteps < kPageSteps) return false;
    NextPage(state.textPages, pageCount);
    clocks.pageClock = SecondsSinceStep(state.stepClock, state.stepClock.count);
    return true;
}

}  // namespace scene
