#pragma once
// A step clock: a stepped animation's last-step time. A step is due when
// now - last >= stepInterval; after the step has run, last = now. The rest of
// the interval is dropped, not carried, so a clock fires at most once per
// frame and never catches up: slow frames slow the stepped animations down.

namespace scene {

struct StepClock {
    double last = 0.0;  // seconds, on the clock the step runs on (sceneTime or pageClock)

    bool Due(double now, float stepInterval) const { return now - last >= static_cast<double>(stepInterval); }
    void Restart(double now) { last = now; }
};

}  // namespace scene
