#pragma once
// The frame loop: one frame per iteration, as fast as presentation allows.
// Each frame reads the clock, advances the scene's clocks and the exit fade,
// takes at most one window message, draws (unless minimised and idle) and
// swaps. An exit request (left click, quit message, Escape or Space held or
// pressed since the last look) starts a 2.2 s fade; the loop ends after the frame in which the fade drops
// to 0.1 s or below. Main thread only.

#include <functional>

#include "platform/messages.h"
#include "scene/scene.h"
#include "scene/tube_mesh.h"

namespace app {

inline constexpr float kExitFadeSeconds = 2.2f;  // fade length set by the first exit request
inline constexpr float kExitFadeEnd = 0.1f;      // the loop stops at or below this

// The services one frame uses. SystemFrameLoopHost() wires the real ones;
// tests put fakes in.
struct FrameLoopHost {
    std::function<long double()> readClock;
    std::function<bool(platform::Message*)> peekMessage;
    std::function<void(const platform::Message&)> translateAndDispatch;
    std::function<void(scene::SceneClocks&)> drawScene;
    std::function<void()> swapBuffers;
};

FrameLoopHost SystemFrameLoopHost();

struct FrameLoop {
    scene::SceneClocks clocks;      // advanced every frame, read by the scene
    double frameDelta = 0.0;        // seconds between this frame's clock reading and the last
    long double lastClock = 0.0L;   // seconds, the previous reading
    bool quitRequested = false;     // ends the loop after the current frame
    platform::WPARAM lastWParam = 0;  // of the last message taken; the exit code
};

// The scene's starting values, once, after the first clock reading: one
// Deform of the tube with the phases as they stand (all 0), phases 1 and 2
// one half and two of their per-step speeds on (phase 0 stays), point set 0
// as the cloud's first shape, and the tube spin 1.2 degrees on (0.1 -> 1.3).
void PrimeScene(scene::SceneState& state, scene::TubeMesh& mesh);

// One iteration of the loop. Reads keyDown and windowActive, and takes
// exitKeyPressed.
void RunFrame(FrameLoop& loop, const FrameLoopHost& host);

// Frames until quitRequested; returns the exit code: the wParam of the last
// message taken (truncated to int), 0 when none was taken.
int RunFrameLoop(FrameLoop& loop, const FrameLoopHost& host);

}  // namespace app
