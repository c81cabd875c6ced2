// The frame loop against a fake clock and a fake message queue.
#include <deque>
#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "app/display.h"
#include "app/frame_loop.h"

namespace {

using platform::Message;

// A scripted world: the clock advances by a fixed step per reading, and
// messages are delivered on the frames they are scheduled for.
struct FakeWorld {
    long double now = 100.0L;
    long double step = 1.0L / 60.0L;
    int frame = 0;                                // frames begun so far
    std::map<int, std::vector<Message>> arrivals;  // frame -> messages that arrive then
    std::deque<Message> waiting;
    std::vector<Message> dispatched;
    std::vector<int> drawnFrames;
    int swaps = 0;
    std::map<int, std::function<void()>> actions;  // frame -> something the user does

    app::FrameLoopHost Host() {
        app::FrameLoopHost host;
        host.readClock = [this] {
            ++frame;
            if (auto it = arrivals.find(frame); it != arrivals.end()) {
                waiting.insert(waiting.end(), it->second.begin(), it->second.end());
            }
            if (auto it = actions.find(frame); it != actions.end()) it->second();
            now += step;
            return now;
        };
        host.peekMessage = [this](Message* out) {
            // What the window procedure posts (the quit of a close request)
            // comes from the real queue.
            if (waiting.empty()) return platform::PeekMessage(out);
            *out = waiting.front();
            waiting.pop_front();
            return true;
        };
        host.translateAndDispatch = [this](const Message& m) {
            dispatched.push_back(m);
            app::WindowProc(m.message, m.wParam, m.lParam);
        };
        host.drawScene = [this](scene::SceneClocks&) { drawnFrames.push_back(frame); };
        host.swapBuffers = [this] { ++swaps; };
        return host;
    }
};

class FrameLoopTest : public ::testing::Test {
protected:
    void SetUp() override { app::ResetDisplayState(); }
    void TearDown() override { app::ResetDisplayState(); }

    // Runs the loop from a first reading at world.now; returns the exit code.
    int Run() {
        loop.lastClock = world.now;
        return app::RunFrameLoop(loop, world.Host());
    }
    // Clock time from the reading of `frame` to the reading of the last frame.
    double SecondsFromFrame(int frame) const {
        return static_cast<double>(world.step * static_cast<long double>(world.frame - frame));
    }
    // The loop ran for 2.1 s after `frame`, to within the one frame in which
    // the fade crossed 0.1 s.
    void ExpectEndedTwoPointOneAfter(int frame) const {
        const double elapsed = SecondsFromFrame(frame);
        EXPECT_GE(elapsed, 2.1 - 1e-6);
        EXPECT_LT(elapsed, 2.1 + static_cast<double>(world.step) + 1e-6);
    }

    FakeWorld world;
    app::FrameLoop loop;
};

TEST_F(FrameLoopTest, EachExitRequestEndsTheLoop2Point1SecondsLater) {
    const Message click{platform::WM_LBUTTONDOWN, platform::MK_LBUTTON, platform::MakeLParam(10, 20)};
    const Message quit{platform::WM_QUIT, 0, 0};
    const Message escape{platform::WM_KEYDOWN, platform::VK_ESCAPE, 0};
    const Message space{platform::WM_KEYDOWN, platform::VK_SPACE, 0};
    const Message close{platform::WM_CLOSE, 0, 0};
    for (const Message& request : {click, quit, escape, space, close}) {
        SCOPED_TRACE(request.message);
        world = FakeWorld{};
        loop = app::FrameLoop{};
        app::ResetDisplayState();
        world.step = 0.003L;
        world.arrivals[10] = {request};
        Run();
        // The close request posts a quit, which comes back as a message of its
        // own; the key starts the fade on the next frame without a message.
        // Either way the fade starts within one frame of the request.
        const double elapsed = SecondsFromFrame(10);
        EXPECT_GE(elapsed, 2.1 - 1e-6);
        EXPECT_LT(elapsed, 2.1 + 2 * 0.003 + 1e-6);
        EXPECT_LE(loop.clocks.exitFade, app::kExitFadeEnd);
    }
}

TEST_F(FrameLoopTest, LaterRequestsDuringTheFadeChangeNothingAndAreDispatched) {
    world.step = 0.007L;
    const Message click{platform::WM_LBUTTONDOWN, platform::MK_LBUTTON, 0};
    const Message quit{platform::WM_QUIT, 0, 0};
    world.arrivals[5] = {click};
    world.arrivals[50] = {click, quit, Message{platform::WM_KEYDOWN, platform::VK_SPACE, 0}};
    world.arrivals[150] = {click};
    Run();
    ExpectEndedTwoPointOneAfter(5);
    // The first click was consumed; the later ones went to the window procedure.
    ASSERT_EQ(world.dispatched.size(), 4u);
    EXPECT_EQ(world.dispatched[0].message, platform::WM_LBUTTONDOWN);
    EXPECT_EQ(world.dispatched[1].message, platform::WM_QUIT);
    EXPECT_EQ(world.dispatched[2].message, platform::WM_KEYDOWN);
    EXPECT_EQ(world.dispatched[3].message, platform::WM_LBUTTONDOWN);
}

TEST_F(FrameLoopTest, FadeCountsDownInSinglePrecisionAndEndsAtOrBelowATenth) {
    world.step = 0.25L;
    world.arrivals[1] = {Message{platform::WM_LBUTTONDOWN, platform::MK_LBUTTON, 0}};
    Run();
    // Readings: frame 1 sets 2.2; frames 2..9 subtract 0.25 each: 2.2 - 8 x 0.25 = 0.2 > 0.1,
    // frame 10 gives -0.05 and ends the loop.
    EXPECT_EQ(world.frame, 10);
    EXPECT_FLOAT_EQ(loop.clocks.exitFade, 2.2f - 9 * 0.25f);
    EXPECT_EQ(world.swaps, 10);
    EXPECT_DOUBLE_EQ(loop.clocks.sceneTime, 2.5);
    EXPECT_DOUBLE_EQ(loop.clocks.pageClock, 2.5);
}

TEST_F(FrameLoopTest, MinimisedWindowIsNotDrawnButClockFadeAndSwapGoOn) {
    world.step = 0.007L;
    world.arrivals[3] = {Message{platform::WM_LBUTTONDOWN, platform::MK_LBUTTON, 0}};
    world.arrivals[5] = {Message{platform::WM_ACTIVATE, platform::WA_INACTIVE | (1u << 16), 0}};
    world.arrivals[100] = {Message{platform::WM_SIZE, 0, 0}};
    Run();
    ExpectEndedTwoPointOneAfter(3);
    EXPECT_FALSE(app::windowActive);
    EXPECT_EQ(world.swaps, world.frame);
    // Drawn: frames 1..5 (5 handled the minimise), then only frame 100, which
    // handled a message.
    std::vector<int> expected{1, 2, 3, 4, 5, 100};
    EXPECT_EQ(world.drawnFrames, expected);
}

TEST_F(FrameLoopTest, RestoringTheWindowResumesDrawing) {
    world.step = 0.007L;
    world.arrivals[2] = {Message{platform::WM_ACTIVATE, platform::WA_INACTIVE | (1u << 16), 0}};
    world.arrivals[4] = {Message{platform::WM_ACTIVATE, platform::WA_ACTIVE, 0}};
    world.arrivals[6] = {Message{platform::WM_LBUTTONDOWN, platform::MK_LBUTTON, 0}};
    Run();
    EXPECT_TRUE(app::windowActive);
    const std::vector<int> firstSix(world.drawnFrames.begin(), world.drawnFrames.begin() + 5);
    EXPECT_EQ(firstSix, (std::vector<int>{1, 2, 4, 5, 6}));
}

TEST_F(FrameLoopTest, EscapeHeldWithNoMessagePendingIsEnough) {
    world.step = 0.007L;
    world.actions[7] = [] { app::keyDown[platform::VK_ESCAPE] = 1; };
    Run();
    // Frame 7 saw the key with no message waiting and started the fade.
    ExpectEndedTwoPointOneAfter(7);
    EXPECT_TRUE(world.dispatched.empty());
    EXPECT_EQ(loop.lastWParam, 0u);
}

TEST_F(FrameLoopTest, ATapShorterThanAFrameStillStartsTheFade) {
    // Down and up arrive together; when the loop next looks at the keys
    // (frame 7, the first without a message) the key is up again.
    world.step = 0.007L;
    world.arrivals[5] = {Message{platform::WM_KEYDOWN, platform::VK_ESCAPE, 0},
                         Message{platform::WM_KEYUP, platform::VK_ESCAPE, 0}};
    EXPECT_EQ(Run(), 27);
    ExpectEndedTwoPointOneAfter(7);
    EXPECT_FALSE(app::exitKeyPressed);
}

TEST_F(FrameLoopTest, KeyHeldIsIgnoredWhileAMessageIsHandled) {
    world.step = 0.007L;
    world.actions[3] = [] { app::keyDown[platform::VK_SPACE] = 1; };
    for (int f = 3; f < 10; ++f) world.arrivals[f] = {Message{platform::WM_SIZE, 0, platform::MakeLParam(640, 480)}};
    world.arrivals[10] = {Message{platform::WM_KEYUP, 'Q', 0}};
    Run();
    // Frames 3..10 each handled a message; frame 11 is the first idle one.
    ExpectEndedTwoPointOneAfter(11);
}

TEST_F(FrameLoopTest, ExitCodeIsTheWParamOfTheLastMessageTaken) {
    world.step = 0.007L;
    world.arrivals[2] = {Message{platform::WM_KEYDOWN, platform::VK_ESCAPE, 0}};
    world.arrivals[5] = {Message{platform::WM_KEYUP, platform::VK_ESCAPE, 0}};
    EXPECT_EQ(Run(), 27);

    world = FakeWorld{};
    loop = app::FrameLoop{};
    app::ResetDisplayState();
    world.step = 0.007L;
    world.arrivals[2] = {Message{platform::WM_LBUTTONDOWN, platform::MK_LBUTTON, 0}};
    EXPECT_EQ(Run(), 1);

    world = FakeWorld{};
    loop = app::FrameLoop{};
    app::ResetDisplayState();
    world.step = 0.007L;
    world.actions[2] = [] { app::keyDown[platform::VK_SPACE] = 1; };
    EXPECT_EQ(Run(), 0);  // no message taken at all
}

}  // namespace
