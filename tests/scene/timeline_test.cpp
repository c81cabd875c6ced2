// The scene's timeline without OpenGL: modes, steps, timers, increments,
// the priming before the first frame and the frame loop's last frames.
#include <algorithm>
#include <cmath>
#include <cstdint>
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

// The steps AdvanceScene runs in a frame at sceneTime t.
int Steps(SceneState& s, scene::TubeMesh* mesh, double t) {
    SceneClocks clocks = At(t);
    const std::int64_t before = s.stepClock.count;
    scene::AdvanceScene(s, mesh, clocks);
    return static_cast<int>(s.stepClock.count - before);
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
    EXPECT_EQ(Steps(s, &mesh, 0.0002), 0);
    EXPECT_EQ(Steps(s, &mesh, 0.0002 + 1.0 / 60.0), 1);
    EXPECT_EQ(s.scroller.scrollPixel, 1);
    ASSERT_EQ(mesh.deforms.size(), 2u);
    EXPECT_EQ(mesh.deforms[1].a, 0.0f);
    EXPECT_EQ(mesh.deforms[1].b, 0.008f * 0.5f);
    EXPECT_EQ(mesh.deforms[1].c, 0.006f * 2.0f);
    EXPECT_EQ(s.tubePhase[1], 0.008f * 0.5f + 0.008f * 0.5f);
    EXPECT_EQ(s.tubeSpin, (0.1f + 1.2f) + 2.0f);
    // A frame of four steps deforms once, with the last step's phases.
    EXPECT_EQ(Steps(s, &mesh, 0.0002 + 5.0 / 60.0), 4);
    ASSERT_EQ(mesh.deforms.size(), 3u);
    EXPECT_EQ(mesh.deforms[2].b, s.tubePhase[1] - 0.008f * 0.5f);
    // Without a mesh the step still advances everything else.
    SceneState bare;
    EXPECT_EQ(Steps(bare, nullptr, 1.0 / 60.0), 1);
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
        const int main = Steps(s, nullptr, reading(k));
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

// The frame loop on a capture's exact clock at `fps` frames a second, the
// scene advanced as DrawScene advances it, without the drawing; `look` gets
// every frame's mode, step clock, the page clock the overlay and the cloud
// read, and what the frame shows (the stepped values, timers and page).
template <typename Look>
void PlayShow(int fps, double seconds, Look look) {
    SceneState s;
    s.stepClock.exact = true;
    long double readings = 0.0L;
    app::FrameLoop loop;
    app::FrameLoopHost host = ScriptedLoop().Host();
    host.readClock = [&] { return readings++ / static_cast<long double>(fps); };
    host.drawScene = [&](SceneClocks& clocks) {
        const SceneMode mode = scene::AdvanceScene(s, nullptr, clocks);
        const double overlayClock = clocks.pageClock;
        if (mode == SceneMode::Main) scene::TurnPage(s, clocks);
        const scene::TextPagesState& p = s.textPages;
        look(mode, s.stepClock, overlayClock,
             std::vector<double>{s.tubeSpin, s.cameraAngles[1], s.textWaveY, double(s.twinTubes.causticFrame),
                                 double(s.pointCloud.shapeIndex), double(s.pointCloud.morphStep),
                                 double(s.scroller.scrollPixel), double(p.pageIndex), double(p.pageSteps),
                                 double(p.pageLastLine), p.linePitch, p.lineSpread[std::size_t(p.pageLastLine)]});
    };
    loop.lastClock = host.readClock();
    while (loop.clocks.sceneTime < seconds) app::RunFrame(loop, host);
}

TEST_F(SceneFrames, TimersAndEveryFrameRateShowTheSixtyHertzFrameOfItsStep) {
    std::vector<std::vector<double>> at60(60 * 42);  // the 60 Hz frame of every step
    std::vector<double> clockAt60(at60.size());
    PlayShow(60, 41.0, [&](SceneMode, const scene::StepClock& clock, double pageClock, std::vector<double> shown) {
        at60.at(std::size_t(clock.count)) = shown;
        clockAt60.at(std::size_t(clock.count)) = pageClock;
    });
    // At 60 Hz the caustics timer fires in the first main-mode frame (14,
    // past 0.223 s), so the next one shows it, then every 5 frames (0.08 s
    // is 4.8): 12 pictures a second. A shape every 600 steps, however the
    // sums of 1/60 s fall.
    std::vector<int> caustics;
    std::vector<int> shapes;
    for (int step = 2; step <= 60 * 41; ++step) {
        if (at60[std::size_t(step)][3] != at60[std::size_t(step - 1)][3]) caustics.push_back(step);
        if (at60[std::size_t(step)][4] != at60[std::size_t(step - 1)][4]) shapes.push_back(step);
    }
    EXPECT_EQ(caustics.size(), 490u);
    EXPECT_EQ(caustics.back(), 15 + 5 * 489);
    EXPECT_EQ(shapes, std::vector<int>({601, 1201, 1801, 2401}));
    // Each main-mode frame at another rate shows the 60 Hz frame of its step
    // to the bit, and the page clock (the logo's bars) that far past it. A
    // page turns in the first frame of its last step, as at 60 Hz; a later
    // frame of that step runs on the new page's clock. 40 s hold three page
    // changes and four shape switches.
    for (const int fps : {24, 25, 30, 50, 59, 61, 120, 144, 1, 7, 29, 62, 75, 1000}) {
        SCOPED_TRACE(fps);
        std::int64_t lastCount = -1;
        PlayShow(fps, 40.0, [&](SceneMode mode, const scene::StepClock& clock, double pageClock,
                                std::vector<double> shown) {
            const bool again = clock.count == lastCount;
            lastCount = clock.count;
            if (mode != SceneMode::Main) return;
            const std::size_t step = std::size_t(clock.count);
            ASSERT_EQ(shown, at60.at(step)) << step;
            const bool turned = again && shown[8] == 0.0 && clock.count > scene::kLastStartUpStep;
            ASSERT_NEAR(pageClock, clockAt60[step] - (turned ? 12.0 : 0.0) + clock.Fraction() / 60.0, 1e-9) << step;
        });
    }
}

}  // namespace
