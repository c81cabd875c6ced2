#include "app/frame_loop.h"

#include "app/display.h"
#include "app/frame_clock.h"
#include "platform/display.h"
#include "scene/timeline.h"

namespace app {

FrameLoopHost SystemFrameLoopHost() {
    FrameLoopHost host;
    host.readClock = ReadClock;
    host.peekMessage = platform::PeekMessage;
    host.translateAndDispatch = [](const platform::Message& message) {
        platform::TranslateMessage(message);
        platform::DispatchMessage(message);
    };
    host.drawScene = [](scene::SceneClocks& clocks) { scene::DrawScene(clocks); };
    host.swapBuffers = platform::SwapBuffers;
    return host;
}

void PrimeScene(scene::SceneState& state, scene::TubeMesh& mesh) {
    mesh.Deform(state.tubePhase[0], state.tubePhase[1], state.tubePhase[2]);
    // Phases 1 and 2 one main step on; phase 0 stays.
    for (int i = 1; i < 3; ++i) state.tubePhase[i] += scene::kTubePhaseSpeeds[i] * scene::kTubePhaseFactors[i];
    scene::SetStartShape(state);
    state.tubeSpin += 1.2f;
}

void RunFrame(FrameLoop& loop, const FrameLoopHost& host) {
    const long double now = host.readClock();
    loop.frameDelta = static_cast<double>(now - loop.lastClock);
    loop.lastClock = now;
    loop.clocks.sceneTime += loop.frameDelta;
    loop.clocks.pageClock += loop.frameDelta;

    float& exitFade = loop.clocks.exitFade;
    if (exitFade > 0.0f) {
        exitFade = static_cast<float>(exitFade - loop.frameDelta);
        if (exitFade <= kExitFadeEnd) loop.quitRequested = true;
    }

    platform::Message message;
    if (host.peekMessage(&message)) {
        loop.lastWParam = message.wParam;
        const bool exitMessage = message.message == platform::WM_QUIT || message.message == platform::WM_LBUTTONDOWN;
        if (exitMessage && exitFade == 0.0f) {
            // Consumed here: neither translated nor dispatched.
            exitFade = kExitFadeSeconds;
        } else {
            host.translateAndDispatch(message);
        }
        // A frame that handled a message is drawn, active or not.
        host.drawScene(loop.clocks);
    } else {
        if (windowActive) host.drawScene(loop.clocks);
        // Held now, or pressed since the last look and perhaps already
        // released.
        const bool exitKey = ExitKeyHeld() || exitKeyPressed;
        exitKeyPressed = false;
        if (exitKey && exitFade == 0.0f) exitFade = kExitFadeSeconds;
    }

    host.swapBuffers();
}

int RunFrameLoop(FrameLoop& loop, const FrameLoopHost& host) {
    do {
        RunFrame(loop, host);
    } while (!loop.quitRequested);
    return static_cast<int>(loop.lastWParam);
}

}  // namespace app
