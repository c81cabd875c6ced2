// The scene's timeline without OpenGL: modes, steps, timers, increments,
// the priming before the first frame and the frame loop's last frames.
#include <algorithm>
#include <cmath>
#include <random>
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

SceneClocks At(double sceneTime, float exitFade = 0.0f) {
    SceneClocks clocks;
    clocks.sceneTime = sceneTime;
    clocks.pageClock = sceneTime;
    clocks.exitFade = exitFade;
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

    // The first frame, one step after the first clock reading, runs one main
    // and one scroll step, and Deform gets the phases before this step's
    // increments. A first frame that comes sooner runs none yet.
    EXPECT_EQ(scene::RunMainStep(s, &mesh, At(0.0002)), 0);
    const SceneClocks first = At(0.0002 + 1.0 / 60.0);
    EXPECT_EQ(scene::RunMainStep(s, &mesh, first), 1);
    EXPECT_EQ(scene::RunScrollStep(s, first), 1);
    ASSERT_EQ(mesh.deforms.size(), 2u);
    EXPECT_EQ(mesh.deforms[1].a, 0.0f);
    EXPECT_EQ(mesh.deforms[1].b, 0.008f * 0.5f);
    EXPECT_EQ(mesh.deforms[1].c, 0.006f * 2.0f);
    EXPECT_EQ(s.tubePhase[1], 0.008f * 0.5f + 0.008f * 0.5f);
    EXPECT_EQ(s.tubeSpin, (0.1f + 1.2f) + 2.0f);
    // A frame of four steps deforms once, with the last step's phases.
    EXPECT_EQ(scene::RunMainStep(s, &mesh, At(0.0002 + 5.0 / 60.0)), 4);
    ASSERT_EQ(mesh.deforms.size(), 3u);
    EXPECT_EQ(mesh.deforms[2].b, s.tubePhase[1] - 0.008f * 0.5f);
    // Without a mesh the step still advances everything else.
    SceneState bare;
    EXPECT_EQ(scene::RunMainStep(bare, nullptr, At(1.0 / 60.0)), 1);
    EXPECT_EQ(bare.tubeSpin, 0.1f + 2.0f);
}

// A simulated display: frame k is presented at k x period, read off a clock
// with the given jitter; counts the steps each frame ran.
struct StepRun {
    std::vector<int> perFrame;
    int total = 0;
    int most = 0;
};

template <typename Reading>
StepRun RunFrames(int frames, Reading reading) {
    SceneState s;
    StepRun run;
    for (int k = 1; k <= frames; ++k) {
        const SceneClocks clocks = At(reading(k));
        const int main = scene::RunMainStep(s, nullptr, clocks);
        EXPECT_EQ(main, scene::RunScrollStep(s, clocks));  // the same rule on the same clock
        run.perFrame.push_back(main);
        run.total += main;
        run.most = std::max(run.most, main);
    }
    return run;
}

TEST(SceneTimeline, StepsComeAtSixtyASecondAtEveryFrameRate) {
    std::mt19937 random(2005);
    std::uniform_real_distribution<double> jitter(-0.001, 0.001);
    // 60 Hz: every frame one step, however the readings jitter: 1 ms either
    // side of the refresh (frame times of 16.7 +- 2 ms), a display slightly
    // off 60 Hz, and frame times that wander 2 ms each way on their own.
    for (const double period : {1.0 / 60.0, 1.0 / 59.94, 0.0167}) {
        const StepRun vsync = RunFrames(6000, [&](int k) { return k * period + jitter(random); });
        EXPECT_EQ(std::count(vsync.perFrame.begin(), vsync.perFrame.end(), 1), 6000) << period;
    }
    double wander = 0.0;
    const StepRun free = RunFrames(6000, [&](int) { return wander += 0.0167 + 2.0 * jitter(random); });
    EXPECT_EQ(std::count(free.perFrame.begin(), free.perFrame.end(), 1), 6000);

    // Faster displays: the show keeps its speed, never two steps in a frame.
    for (const double hertz : {75.0, 120.0, 144.0, 240.0}) {
        const StepRun fast = RunFrames(static_cast<int>(hertz * 10), [&](int k) { return k / hertz + jitter(random) / 4; });
        EXPECT_NEAR(fast.total, 600, 1) << hertz;
        EXPECT_EQ(fast.most, 1) << hertz;
    }
    // Slower frames (a software renderer, a 50 or 30 Hz display) catch up,
    // at most two steps a frame.
    for (const double hertz : {50.0, 37.0, 30.0}) {
        const StepRun slow = RunFrames(static_cast<int>(hertz * 10), [&](int k) { return k / hertz; });
        EXPECT_NEAR(slow.total, 600, 1) << hertz;
        EXPECT_EQ(slow.most, 2) << hertz;
    }
    // A display 5 % off 60 Hz is not taken for 60 Hz for long: over a minute
    // it runs at 60 steps a second, give or take the first seconds.
    const StepRun odd = RunFrames(57 * 60, [](int k) { return k / 57.0; });
    EXPECT_NEAR(odd.total, 3600, 20);
}

TEST(SceneTimeline, AStallRunsAtMostFourStepsAndTheClockCarriesOn) {
    scene::StepClock clock;
    EXPECT_EQ(clock.Take(1.0 / 60.0), 1);
    EXPECT_EQ(clock.Take(3.0 + 1.0 / 60.0), scene::kMaxStepsPerFrame);  // 180 steps due: the rest is dropped
    EXPECT_EQ(clock.Take(3.0 + 2.0 / 60.0), 1);
    EXPECT_EQ(clock.Take(3.0 + 2.0 / 60.0), 0);  // a clock that stood still
    EXPECT_EQ(clock.Take(2.0), 0);               // or went back
    // The fraction of a step is carried: 144 Hz frames make 5 steps in 12.
    clock = scene::StepClock{};
    int steps = 0;
    for (int k = 1; k <= 12; ++k) steps += clock.Take(k / 144.0);
    EXPECT_EQ(steps, 5);
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
