#include "scene/step_clock.h"

#include <cmath>

namespace scene {

namespace {

// Sums of frame deltas (1/144 s, 1/30 s) land a hair below the whole step
// they add up to; this much short of a step still counts as the step, so a
// capture at any frame rate has run the same steps at the same moment.
constexpr double kWholeStepSlack = 1e-6;  // steps

}  // namespace

int StepClock::Take(double now) {
    double frame = (now - last) * kStepsPerSecond;  // steps of clock time this frame
    last = now;
    if (!(frame > 0.0)) return 0;

    const double whole = std::nearbyint(frame);
    if (!exact && whole >= 1.0 && whole <= kMaxStepsPerFrame && std::fabs(frame - whole) <= kStepLock) {
        drift += (frame - whole - drift) * kDriftAveraging;
        if (std::fabs(drift) <= kLockDriftLimit) frame = whole;
    }

    due += frame;
    double steps = std::floor(due + kWholeStepSlack);
    due -= steps;
    // A backlog beyond the cap is dropped; the fraction stays.
    if (!exact && steps > kMaxStepsPerFrame) steps = kMaxStepsPerFrame;
    count += static_cast<std::int64_t>(steps);
    return static_cast<int>(steps);
}

double StepClock::Fraction() const { return due <= kWholeStepSlack ? 0.0 : due; }

}  // namespace scene
