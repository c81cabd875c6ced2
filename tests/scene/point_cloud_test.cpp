// The point cloud's rules without GL: positions in and out of a morph, the
// morph's length and end, a switch during a morph, the flicker, the sprite
// size cap and the overlay's bar offset.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "data/point_sets.h"
#include "scene/logo_overlay.h"
#include "scene/point_cloud.h"
#include "texgen/texgen.h"

namespace {

using data::pointShapes;
using scene::CloudPoint;
using scene::CloudPointCount;
using scene::PointCloudState;

scene::Vector3 Scaled(const data::PointShape& s, int i) {
    const data::PointXYZ& p = s.points[i];
    return {p.x * s.scale, p.y * s.scale, p.z * s.scale};
}

void ExpectNear(const scene::Vector3& a, const scene::Vector3& b, float tol) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

TEST(PointCloudPositions, OutsideAMorphExactlySetATimesItsScale) {
    PointCloudState cloud;  // set 0 on show
    cloud.shapeB = pointShapes[5];  // ignored while K = 0
    ASSERT_EQ(CloudPointCount(cloud), 1549);
    for (int i : {0, 1, 700, 1548}) {
        const scene::Vector3 p = CloudPoint(cloud, i);
        const scene::Vector3 e = Scaled(pointShapes[0], i);
        EXPECT_EQ(p.x, e.x);
        EXPECT_EQ(p.y, e.y);
        EXPECT_EQ(p.z, e.z);
    }
    EXPECT_EQ(scene::BaseSizeFactor(cloud), 0.4f);
}

TEST(PointCloudPositions, DuringAMorphTheLargerCountAndTheSmallerSetReusedCyclically) {
    PointCloudState cloud;
    scene::SwitchShape(cloud);  // 0 (1549 points) to 1 (1047 points)
    ASSERT_EQ(cloud.morphStep, 1);
    EXPECT_EQ(CloudPointCount(cloud), 1549);
    // K = N lands on set B; points 1047.. head for B's points 0..501.
    cloud.morphStep = cloud.morphLength;
    for (int i : {0, 500, 1046}) ExpectNear(CloudPoint(cloud, i), Scaled(pointShapes[1], i), 2e-6f);
    for (int i : {1047, 1300, 1548}) ExpectNear(CloudPoint(cloud, i), Scaled(pointShapes[1], i - 1047), 2e-6f);
    // Half way is the mid-point of A's point and B's cyclic partner.
    cloud.morphStep = 0;
    cloud.morphLength = 36;
    cloud.morphStep = 18;
    const scene::Vector3 a = Scaled(pointShapes[0], 1200), b = Scaled(pointShapes[1], 1200 - 1047);
    ExpectNear(CloudPoint(cloud, 1200), (a + b) * 0.5f, 2e-6f);
    EXPECT_NEAR(scene::BaseSizeFactor(cloud), 0.7f, 1e-6f);

    // From the smaller to the larger set, B's count is drawn and A is reused.
    PointCloudState up;
    up.shapeA = pointShapes[1];
    up.shapeB = pointShapes[2];
    up.morphStep = 1;
    EXPECT_EQ(CloudPointCount(up), 2008);
    up.morphStep = up.morphLength;
    ExpectNear(CloudPoint(up, 2000), Scaled(pointShapes[2], 2000), 2e-6f);

    // A set without points (a default shape) reads as the origin instead of
    // dividing by its count of zero.
    PointCloudState empty;
    empty.morphStep = empty.morphLength;  // towards the default shapeB
    ExpectNear(CloudPoint(empty, 5), scene::Vector3{}, 0.0f);
    empty.shapeA = {};
    empty.shapeB = pointShapes[1];
    ExpectNear(CloudPoint(empty, 5), Scaled(pointShapes[1], 5), 2e-6f);
}

TEST(PointCloudMorph, RunsThirtyFourStepsAndEndsOnSetB) {
    PointCloudState cloud;
    scene::SwitchShape(cloud);
    int steps = 0;
    while (cloud.morphStep != 0) {
        scene::StepMorph(cloud);
        ++steps;
        ASSERT_LE(steps, 100);
    }
    EXPECT_EQ(steps, 34);  // K = 1 .. 34 on screen, the 34th step swaps
    EXPECT_EQ(cloud.shapeA.points, pointShapes[1].points);
    EXPECT_EQ(cloud.shapeA.count, 1047);
    EXPECT_EQ(cloud.shapeA.scale, 7.0f);
    EXPECT_EQ(cloud.shapeA.sizeFactor, 1.0f);
    EXPECT_EQ(CloudPointCount(cloud), 1047);
    scene::StepMorph(cloud);  // nothing runs
    EXPECT_EQ(cloud.morphStep, 0);

    // The sets follow 1, 2, ..., 7, 0, 1.
    for (int expected : {2, 3, 4, 5, 6, 7, 0, 1}) {
        scene::SwitchShape(cloud);
        EXPECT_EQ(cloud.shapeIndex, expected);
        for (int k = 0; k < 34; ++k) scene::StepMorph(cloud);
        EXPECT_EQ(cloud.shapeA.points, pointShapes[expected].points);
    }
}

TEST(PointCloudMorph, ASwitchDuringAMorphRestartsFromTheUnfinishedSetA) {
    PointCloudState cloud;
    scene::SwitchShape(cloud);
    for (int k = 0; k < 20; ++k) scene::StepMorph(cloud);
    ASSERT_EQ(cloud.morphStep, 21);
    scene::SwitchShape(cloud);
    EXPECT_EQ(cloud.morphStep, 1);
    EXPECT_EQ(cloud.shapeIndex, 2);
    EXPECT_EQ(cloud.shapeA.points, pointShapes[0].points);  // the cloud jumps back to set 0
    EXPECT_EQ(cloud.shapeB.points, pointShapes[2].points);
    EXPECT_EQ(CloudPointCount(cloud), 2008);
    for (int k = 0; k < 34; ++k) scene::StepMorph(cloud);
    EXPECT_EQ(cloud.shapeA.points, pointShapes[2].points);
}

TEST(PointCloudSprites, SizeIsCappedByTheReportedMaximum) {
    EXPECT_EQ(scene::CappedSpriteSize(255.0f, 0.4f), 30.0f * 0.4f);
    EXPECT_EQ(scene::CappedSpriteSize(255.0f, 1.0f), 30.0f);
    EXPECT_EQ(scene::CappedSpriteSize(20.0f, 1.0f), 20.0f);
    EXPECT_EQ(scene::CappedSpriteSize(10.0f, 0.4f), 10.0f);
    EXPECT_EQ(scene::CappedSpriteSize(0.0f, 1.0f), 0.0f);  // a driver that reports nothing
}

// ---------------------------------------------------------------------------
// Flicker
// ---------------------------------------------------------------------------

// A page-clock time whose trigger noise (trunc(t x 100)) lies in (lo, hi].
double PageClockWithNoise(double lo, double hi) {
    for (std::int32_t n = 0; n < 100000; ++n) {
        const double r = texgen::Noise1(n);
        if (r > lo && r <= hi) return (n + 0.5) / 100.0;
    }
    ADD_FAILURE() << "no such noise value";
    return 0.0;
}

double Countdown(double t) { return texgen::Noise1(static_cast<std::int32_t>(t * 50.0)); }

PointCloudState Lettering() {
    PointCloudState cloud;
    cloud.pointScale = scene::BaseSizeFactor(cloud);
    return cloud;
}

TEST(PointCloudFlicker, HighNoiseShrinksLowNoiseSwellsOthersNothing) {
    const double high = PageClockWithNoise(0.9, 1.0);
    const double low = PageClockWithNoise(-1.0, -0.93);
    const double justBelowHigh = PageClockWithNoise(0.85, 0.9);
    const double justAboveLow = PageClockWithNoise(-0.93, -0.9);

    PointCloudState c = Lettering();
    scene::ApplyFlicker(c, high);
    EXPECT_EQ(c.pointScale, 0.4f * 0.3f);
    EXPECT_EQ(c.flicker, (Countdown(high) + 1.0) * 8.0);
    EXPECT_GT(c.flicker, 0.0);

    c = Lettering();
    scene::ApplyFlicker(c, low);
    EXPECT_EQ(c.pointScale, 0.4f * 2.5f);
    EXPECT_EQ(c.flicker, -(Countdown(low) + 1.0) * 3.0);
    EXPECT_LT(c.flicker, 0.0);

    for (double t : {justBelowHigh, justAboveLow}) {
        c = Lettering();
        scene::ApplyFlicker(c, t);
        EXPECT_EQ(c.pointScale, 0.4f);
        EXPECT_EQ(c.flicker, 0.0);
    }
}

TEST(PointCloudFlicker, SolidsAndMorphsDoNotTrigger) {
    const double high = PageClockWithNoise(0.9, 1.0);
    PointCloudState solid;
    solid.shapeA = pointShapes[1];
    solid.pointScale = scene::BaseSizeFactor(solid);  // 1.0: not below 1
    scene::ApplyFlicker(solid, high);
    EXPECT_EQ(solid.pointScale, 1.0f);
    EXPECT_EQ(solid.flicker, 0.0);

    PointCloudState morphing = Lettering();
    morphing.shapeB = pointShapes[2];  // lettering to lettering: factor stays 0.4
    morphing.morphStep = 5;
    morphing.pointScale = scene::BaseSizeFactor(morphing);
    ASSERT_LT(morphing.pointScale, 1.0f);
    scene::ApplyFlicker(morphing, high);
    EXPECT_EQ(morphing.pointScale, 0.4f);
    EXPECT_EQ(morphing.flicker, 0.0);
}

TEST(PointCloudFlicker, CountdownsRunOutAndLastOneFrameEach) {
    // Shrinking: every frame while the countdown runs, then back to normal.
    PointCloudState c = Lettering();
    c.flicker = 5.0;
    int shrunk = 0;
    for (int frame = 0; frame < 10; ++frame) {
        c.pointScale = 0.4f;
        const bool running = c.flicker != 0.0;
        scene::ApplyFlicker(c, 0.0);  // noise of 0 is about -0.28: no trigger
        if (running) {
            EXPECT_EQ(c.pointScale, 0.4f * 0.3f);
            ++shrunk;
        } else {
            EXPECT_EQ(c.pointScale, 0.4f);
        }
    }
    EXPECT_EQ(shrunk, 3);  // 5 -> 3 -> 1 -> 0
    EXPECT_EQ(c.flicker, 0.0);

    c = Lettering();
    c.flicker = -1.0;
    scene::ApplyFlicker(c, 0.0);
    EXPECT_EQ(c.pointScale, 0.4f * 2.5f);
    EXPECT_EQ(c.flicker, 0.0);  // -1 + 2 clamps to 0
}

TEST(PointCloudFlicker, ACountdownBegunBeforeAMorphStillRunsOut) {
    PointCloudState c = Lettering();
    c.flicker = 6.0;
    scene::SwitchShape(c);  // a morph begins; no longer eligible
    c.pointScale = scene::BaseSizeFactor(c);
    const float base = c.pointScale;
    scene::ApplyFlicker(c, 0.0);
    EXPECT_EQ(c.pointScale, base);  // not applied
    EXPECT_EQ(c.flicker, 4.0);      // but counted down

    c.flicker = -4.0;
    scene::ApplyFlicker(c, 0.0);
    EXPECT_EQ(c.pointScale, base);
    EXPECT_EQ(c.flicker, -2.0);
}

// ---------------------------------------------------------------------------
// The overlay's bars
// ---------------------------------------------------------------------------

TEST(LogoOverlayBars, OffsetSlidesInHundredthsAndRestartsAtAPageChange) {
    EXPECT_EQ(scene::BarOffset(0.0), 0.0f);  // a page change restarts the page clock
    EXPECT_EQ(scene::BarOffset(0.5), 35 * 0.01f);
    EXPECT_EQ(scene::BarOffset(1.0), 70 * 0.01f);
    EXPECT_EQ(scene::BarOffset(99.0 / 70.0 + 1e-9), 99 * 0.01f);
    EXPECT_EQ(scene::BarOffset(100.0 / 70.0 + 1e-9), 0.0f);  // repeats every 100/70 s
    EXPECT_EQ(scene::BarOffset(11.99), 39 * 0.01f);           // trunc(839.3) = 839
}

}  // namespace
