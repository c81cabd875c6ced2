#pragma once
// A step clock: the stepped animations (tube spin and deform, the cloud's
// camera and morph, the text pages' sway, bob and unfolding, the scroller)
// advance by whole steps that come due at 60 a second of the clock they run
// on, whatever the frame rate. Their speeds are per step and were tuned at
// 60 steps a second; tying a step to a frame would run them 2.4 times too
// fast on a 144 Hz display and at 62 % on a software renderer's 37 frames.
//
// Each frame the clock is shown the time value it runs on (sceneTime or
// pageClock) and says how many steps to run now:
//   - The steps come due on the clock's own time; the fraction of the next
//     step is carried from frame to frame, never dropped.
//   - A frame runs at most kMaxStepsPerFrame steps; a larger backlog (a stall
//     of seconds, a debugger) is dropped, so the show does not fast-forward.
//   - Lock: a frame whose length is within kStepLock of a whole number of
//     steps (1 to 4) counts as exactly that number, so the timing jitter of a
//     60 Hz display (or 30, 20, 15 Hz) never shows as a frame with no step or
//     with two: every frame of a 60 Hz display makes exactly one step. A
//     display that only looks like a multiple of 60 Hz (55 or 65 Hz) would
//     then run at its own rate; the long average of what those frames were
//     off by (over a few hundred frames) finds it out, and beyond
//     kLockDriftLimit its frames count as they are.
// Pure: plain numbers, so that tests drive it on simulated clocks.

namespace scene {

inline constexpr double kStepsPerSecond = 60.0;
inline constexpr double kStepSeconds = 1.0 / kStepsPerSecond;
inline constexpr int kMaxStepsPerFrame = 4;
inline constexpr double kStepLock = 0.15;          // steps (2.5 ms): widest lock of a frame onto whole steps
inline constexpr double kLockDriftLimit = 0.02;    // steps per frame: locked displays are within 2 % of n x 60 Hz
inline constexpr double kDriftAveraging = 1.0 / 256.0;  // weight of one frame in the long average

struct StepClock {
    double last = 0.0;    // seconds, the clock value (sceneTime or pageClock) when the clock last looked
    double due = 0.0;     // steps come due and not yet run: the next step's fraction, -1e-6..1
    double drift = 0.0;   // steps per frame, signed: long average of what lock-sized frames were off by

    // The steps to run at `now` (0..kMaxStepsPerFrame), and the clock moved
    // on to `now`. A clock that went back (or stood) gives none.
    int Take(double now);

    // Nothing due, counting on from `now` (a page change restarts the text
    // clock at 0). The drift average is the display's, so it stays.
    void Restart(double now) {
        last = now;
        due = 0.0;
    }
};

}  // namespace scene
