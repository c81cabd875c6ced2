#pragma once
// The show's step clock: everything that moves (tube spin and deform, the
// cloud's camera and morph, the text pages' sway, bob, unfolding and page
// changes, the scroller) and every timer (caustics, shape switch, page
// change) advances by whole steps that come due at 60 a second of sceneTime,
// whatever the frame rate. The speeds are per step and were tuned at 60
// steps a second; tying a step to a frame would run them 2.4 times too fast
// on a 144 Hz display and at 62 % on a software renderer's 37 frames, and a
// timer that counts seconds from the frame it fired in rounds its period up
// to whole frames (the caustics changed 12 times a second at 60 Hz and 10 at
// 30 Hz). Counted in steps, a frame at a given moment shows the same show at
// every frame rate.
//
// Step n (1, 2, ...) is due at n / 60 s. Each frame the clock is shown
// sceneTime and says how many steps to run now:
//   - The steps come due on sceneTime; the fraction of the next step is
//     carried from frame to frame, never dropped.
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
//   - An exact clock (a capture's fixed clock, every reading k / fps) has no
//     jitter to absorb and no stall to drop: it neither locks (which would
//     run 59 or 61 frames a second at one step a frame) nor caps a frame's
//     steps (which would slow the show below 15 frames a second).
// Pure: plain numbers, so that tests drive it on simulated clocks.

#include <cstdint>

namespace scene {

inline constexpr double kStepsPerSecond = 60.0;
inline constexpr double kStepSeconds = 1.0 / kStepsPerSecond;
inline constexpr int kMaxStepsPerFrame = 4;
inline constexpr double kStepLock = 0.15;          // steps (2.5 ms): widest lock of a frame onto whole steps
inline constexpr double kLockDriftLimit = 0.02;    // steps per frame: locked displays are within 2 % of n x 60 Hz
inline constexpr double kDriftAveraging = 1.0 / 256.0;  // weight of one frame in the long average

struct StepClock {
    double last = 0.0;        // sceneTime seconds when the clock last looked
    double due = 0.0;         // steps come due and not yet run: the next step's fraction, -1e-6..1
    double drift = 0.0;       // steps per frame, signed: long average of what lock-sized frames were off by
    std::int64_t count = 0;   // steps run since the start: the number of the last step run
    bool exact = false;       // readings exact (a fixed clock): no lock, no cap on a frame's steps

    // The steps to run at `now` (0..kMaxStepsPerFrame, any number when
    // exact), counted into `count`, and the clock moved on to `now`. A clock
    // that went back (or stood) gives none.
    int Take(double now);

    // The clock moves on to `now` without steps: time that passes while the
    // show stands still (the exit fade) is not owed afterwards.
    void Hold(double now) { last = now; }

    // How far `now` (the last reading) lies past step `count`, in steps,
    // 0..1. A hair (what sums of 1/144 s or 1/30 s miss a whole step by)
    // counts as none, so a frame of a 60 Hz clock lies exactly on its step.
    double Fraction() const;
};

}  // namespace scene
