// The scene's timeline without OpenGL: modes, steps, timers, increments,
// the priming before the first frame and the frame loop's last frames.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "app/display.h"
#include "app/frame_loop.h"
#include "scene/timeline.h"
#include "scene/tube_mesh.h"

namespace {

using scene::SceneClocks;
using scene::SceneMode;
using scene::SceneState;

struct Phases {
    float a, b, c;
};

// Records the phases of every Deform it receives.
class PhaseRecorder : public scene::TubeMesh {
public:
    void Deform(float a, float b, float c) override {
        deforms.push_back({a, b, c});
        TubeMesh::Deform(a, b, c);
    }
    std::vector<Phases> deforms;
};

constexpr float kInterval60 = 1.0f / 60.0f - 0.0017f;  // a 60 Hz display's step interval

SceneClocks At(double sceneTime, float exitFade = 0.0f, float stepInterval = kInterval60) {
    SceneClocks clocks;
    clocks.sceneTime = sceneTime;
    clocks.pageClock = sceneTime;
    clocks.exitFade = exitFade;
    clocks.stepInterval = stepInterval;
    return clocks;
}

TEST(SceneTimeline, ModesAtTheirThresholds) {
    const double threshold = static_cast<double>(0.223f);
    EXPECT_EQ(threshold, 0.22300000488758087);
    EXPECT_EQ(ChooseSceneMode(At(0.0)), SceneMode::StartUp);
    EXPECT_EQ(ChooseSceneMode(At(0.223)), SceneMode::StartUp);  // the double 0.223 lies below the float
    EXPECT_EQ(ChooseSceneMode(At(threshold)), SceneMode::StartUp);
    EXPECT_EQ(ChooseSceneMode(At(std::nextafter(threshold, 1.0))), SceneMode::Main);
    EXPECT_EQ(ChooseSceneMode(At(500.0)), SceneMode::Main);
    // An exit request wins in either mode, during the start-up mode too.
    EXPECT_EQ(ChooseSceneMode(At(0.05, 2.2f)), SceneMode::ExitFade);
    EXPECT_EQ(ChooseSceneMode(At(40.0, 0.1f)), SceneMode::ExitFade);
    // A fade carried to 0 or below is no fade.
    EXPECT_EQ(ChooseSceneMode(At(40.0, -0.02f)), SceneMode::Main);
    EXPECT_EQ(ChooseSceneMode(At(0.1, -0.02f)), SceneMode::StartUp);
}

TEST(SceneTimeline, IncrementsAndWraps) {
    SceneState s;
    scene::AdvanceMainStepValues(s);
    EXPECT_EQ(s.tubePhase[0], 0.003f * 0.7f);
    EXPECT_EQ(s.tubePhase[1], 0.008f * 0.5f);
    EXPECT_EQ(s.tubePhase[2], 0.006f * 2.0f);
    EXPECT_EQ(s.tubeSpin, 0.1f + 2.0f);
    EXPECT_EQ(s.cameraAngles[0], 1.8f);
    EXPECT_EQ(s.cameraAngles[1], -2.7f + 360.0f);
    EXPECT_EQ(s.cameraAngles[2], -2.1f + 360.0f);
    EXPECT_EQ(s.textWaveX, 3.2f);
    EXPECT_EQ(s.textWaveY, -5.1f + 360.0f);

    // Wraps are tested after adding, and 360 itself stays.
    s = SceneState{};
    s.tubeSpin = 358.0f;
    s.cameraAngles[0] = 359.0f;
    s.textWaveX = 357.0f;
    scene::AdvanceMainStepValues(s);
    EXPECT_EQ(s.tubeSpin, 360.0f);
    EXPECT_EQ(s.cameraAngles[0], 359.0f + 1.8f - 360.0f);
    EXPECT_EQ(s.textWaveX, 357.0f + 3.2f - 360.0f);
    scene::AdvanceMainStepValues(s);
    EXPECT_EQ(s.tubeSpin, 362.0f - 360.0f);

    // The phases are never wrapped; every angle stays in 0..360 over a long run.
    s = SceneState{};
    for (int i = 0; i < 100000; ++i) {
        scene::AdvanceMainStepValues(s);
        for (float angle : {s.tubeSpin, s.cameraAngles[0], s.cameraAngles[1], s.cameraAngles[2], s.textWaveX,
                            s.textWaveY}) {
            ASSERT_GE(angle, 0.0f);
            ASSERT_LE(angle, 360.0f);
        }
    }
    EXPECT_GT(s.tubePhase[2], 1000.0f);
}

TEST(SceneTimeline, PrimingThenTheFirstFrameRunsBothSteps) {
    SceneState s;
    PhaseRecorder mesh;
    app::PrimeScene(s, mesh);
    ASSERT_EQ(mesh.deforms.size(), 1u);
    EXPECT_EQ(mesh.deforms[0].a, 0.0f);
    EXPECT_EQ(mesh.deforms[0].b, 0.0f);
    EXPECT_EQ(mesh.deforms[0].c, 0.0f);
    EXPECT_EQ(s.tubePhase[0], 0.0f);
    EXPECT_EQ(s.tubePhase[1], 0.008f * 0.5f);
    EXPECT_EQ(s.tubePhase[2], 0.006f * 2.0f);
    EXPECT_EQ(s.tubeSpin, 0.1f + 1.2f);

    // The first frame, one refresh after the first clock reading: both clocks
    // stand at 0, so both steps fire, and Deform gets the phases before this
    // step's increments.
    const SceneClocks first = At(1.0 / 60.0);
    EXPECT_TRUE(scene::RunMainStep(s, &mesh, first));
    EXPECT_TRUE(scene::RunScrollStep(s, first));
    ASSERT_EQ(mesh.deforms.size(), 2u);
    EXPECT_EQ(mesh.deforms[1].a, 0.0f);
    EXPECT_EQ(mesh.deforms[1].b, 0.008f * 0.5f);
    EXPECT_EQ(mesh.deforms[1].c, 0.006f * 2.0f);
    EXPECT_EQ(s.tubePhase[1], 0.008f * 0.5f + 0.008f * 0.5f);
    EXPECT_EQ(s.tubeSpin, (0.1f + 1.2f) + 2.0f);
    EXPECT_EQ(s.mainStepClock.last, first.sceneTime);
    EXPECT_EQ(s.scrollStepClock.last, first.sceneTime);
    // Without a mesh the step still advances everything else.
    SceneState bare;
    EXPECT_TRUE(scene::RunMainStep(bare, nullptr, first));
    EXPECT_EQ(bare.tubeSpin, 0.1f + 2.0f);
}

// Frames every `delta` seconds for `seconds`; counts the frames with a step.
struct StepRun {
    int frames = 0;
    int mainSteps = 0;
    int scrollSteps = 0;
    double shortestGap = 1e9;  // between steps, seconds
};

StepRun RunSteps(double delta, double seconds) {
    SceneState s;
    StepRun run;
    double lastStep = -1.0;
    for (double t = delta; t <= seconds; t += delta) {
        const SceneClocks clocks = At(t);
        ++run.frames;
        const bool main = scene::RunMainStep(s, nullptr, clocks);
        const bool scroll = scene::RunScrollStep(s, clocks);
        EXPECT_EQ(main, scroll);  // the same rule on the same clock
        run.mainSteps += main;
        run.scrollSteps += scroll;
        if (main) {
            if (lastStep >= 0.0) run.shortestGap = std::min(run.shortestGap, t - lastStep);
            lastStep = t;
        }
    }
    return run;
}

TEST(SceneTimeline, AtMostOneStepPerFrameAtAnyFrameRate) {
    // Once per refresh: every frame steps, the interval is 1.7 ms shorter.
    const StepRun refresh = RunSteps(1.0 / 60.0, 10.0);
    EXPECT_EQ(refresh.mainSteps, refresh.frames);
    // Faster frames: a step at most every stepInterval, never catching up.
    const StepRun fast = RunSteps(1.0 / 500.0, 10.0);
    EXPECT_GE(fast.shortestGap, static_cast<double>(kInterval60) - 1e-12);
    EXPECT_LT(fast.mainSteps, fast.frames / 7);
    EXPECT_LE(fast.mainSteps, static_cast<int>(10.0 / static_cast<double>(kInterval60)) + 1);
    EXPECT_GT(fast.mainSteps, 600);  // 500 / 8 frames per step = 62.5 per second
    // Slower frames: one step per frame, the stepped animations slow down.
    const StepRun slow = RunSteps(1.0 / 20.0, 10.0);
    EXPECT_EQ(slow.mainSteps, slow.frames);
    EXPECT_EQ(slow.scrollSteps, slow.frames);
}

TEST(SceneTimeline, CausticsFireInTheFirstMainFrameAndShapesEveryTenSeconds) {
    SceneState s;
    std::vector<double> caustics;
    std::vector<double> shapes;
    for (int frame = 1; frame <= 60 * 21; ++frame) {
        const double t = frame / 60.0;
        if (ChooseSceneMode(At(t)) != SceneMode::Main) continue;
        if (scene::RunShapeTimer(s, t)) shapes.push_back(t);
        if (scene::RunCausticsTimer(s, t)) caustics.push_back(t);
    }
    ASSERT_FALSE(caustics.empty());
    EXPECT_EQ(caustics[0], 14 / 60.0);  // the first frame past 0.223 s
    EXPECT_NEAR(caustics[1] - caustics[0], 5 / 60.0, 1e-9);  // 0.08 s is 4.8 frames
    EXPECT_EQ(s.twinTubes.causticFrame, static_cast<int>(caustics.size() % 4));
    ASSERT_EQ(shapes.size(), 2u);
    EXPECT_EQ(shapes[0], 600 / 60.0);
    EXPECT_EQ(shapes[1], 1200 / 60.0);
    EXPECT_EQ(s.pointCloud.shapeIndex, 2);
}

// The frame loop with a scripted clock and no messages; records the mode
// each drawn frame is drawn in.
struct ScriptedLoop {
    long double now = 0.0L;
    long double step = 1.0L / 60.0L;
    std::vector<SceneMode> modes;
    std::vector<float> fades;

    app::FrameLoopHost Host() {
        app::FrameLoopHost host;
        host.readClock = [this] { return now += step; };
        host.peekMessage = [](platform::Message*) { return false; };
        host.translateAndDispatch = [](const platform::Message&) {};
        host.drawScene = [this](SceneClocks& clocks) {
            modes.push_back(ChooseSceneMode(clocks));
            fades.push_back(clocks.exitFade);
        };
        host.swapBuffers = [] {};
        return host;
    }
};

class SceneFrames : public ::testing::Test {
protected:
    void SetUp() override { app::ResetDisplayState(); }
    void TearDown() override { app::ResetDisplayState(); }
};

TEST_F(SceneFrames, AnExitRequestDuringStartUpGoesStraightToTheFade) {
    ScriptedLoop world;
    app::FrameLoop loop;
    const app::FrameLoopHost host = world.Host();
    for (int i = 0; i < 3; ++i) app::RunFrame(loop, host);
    app::keyDown[platform::VK_ESCAPE] = 1;  // noticed after the draw of frame 4
    app::RunFrame(loop, host);
    app::keyDown[platform::VK_ESCAPE] = 0;
    app::RunFrame(loop, host);
    ASSERT_EQ(world.modes.size(), 5u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(world.modes[i], SceneMode::StartUp) << i;
    EXPECT_EQ(world.modes[4], SceneMode::ExitFade);
    EXPECT_LT(loop.clocks.sceneTime, 0.223);
}

TEST_F(SceneFrames, TheLastFrameOfAFadeCarriedToZeroIsDrawnInItsMode) {
    ScriptedLoop world;
    app::FrameLoop loop;
    loop.clocks.sceneTime = 30.0;
    loop.clocks.exitFade = 0.15f;
    world.step = 0.2L;  // one delta takes the fade from 0.15 to below 0
    const int code = app::RunFrameLoop(loop, world.Host());
    EXPECT_EQ(code, 0);
    ASSERT_EQ(world.modes.size(), 1u);
    EXPECT_LE(world.fades[0], 0.0f);
    EXPECT_EQ(world.modes[0], SceneMode::Main);
}

}  // namespace
