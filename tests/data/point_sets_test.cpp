// The stored point sets against the numbers the cloud is tuned for: the
// sprite sizes, the camera distance and the morph all assume these counts,
// scales, size factors and extents.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "data/point_sets.h"

namespace {

struct Expected {
    int count;
    float scale;
    float sizeFactor;
    float yHalf;  // y spans -yHalf..yHalf
    float zHalf;  // z spans -zHalf..zHalf; 0 for the flat lettering
};

constexpr Expected kExpected[8] = {
    {1549, 9.0f, 0.4f, 0.068f, 0.0f},   {1047, 7.0f, 1.0f, 0.500f, 0.313f},
    {2008, 9.0f, 0.4f, 0.058f, 0.0f},   {1201, 7.0f, 1.0f, 0.499f, 0.066f},
    {1787, 9.0f, 0.4f, 0.061f, 0.0f},   {2080, 7.0f, 1.0f, 0.495f, 0.007f},
    {1646, 9.0f, 0.4f, 0.068f, 0.0f},   {1726, 7.0f, 1.0f, 0.500f, 0.119f},
};

struct Extent {
    float lo = 1e30f, hi = -1e30f;
    void Add(float v) { lo = std::min(lo, v); hi = std::max(hi, v); }
};

TEST(PointSets, CountsScalesAndSizeFactors) {
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        const data::PointShape& s = data::pointShapes[i];
        EXPECT_EQ(s.count, kExpected[i].count);
        EXPECT_EQ(s.scale, kExpected[i].scale);
        EXPECT_EQ(s.sizeFactor, kExpected[i].sizeFactor);
        ASSERT_NE(s.points, nullptr);
    }
}

TEST(PointSets, ExtentsReachTheirBoundsAndStayInside) {
    constexpr float tol = 1e-6f;
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        const data::PointShape& s = data::pointShapes[i];
        Extent x, y, z;
        for (int k = 0; k < s.count; ++k) {
            const data::PointXYZ& p = s.points[k];
            ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << k;
            x.Add(p.x);
            y.Add(p.y);
            z.Add(p.z);
        }
        EXPECT_EQ(x.lo, -0.5f);
        EXPECT_EQ(x.hi, 0.5f);
        EXPECT_NEAR(y.lo, -kExpected[i].yHalf, tol);
        EXPECT_NEAR(y.hi, kExpected[i].yHalf, tol);
        EXPECT_NEAR(z.lo, -kExpected[i].zHalf, tol);
        EXPECT_NEAR(z.hi, kExpected[i].zHalf, tol);
        if (kExpected[i].zHalf == 0.0f) {
            EXPECT_EQ(z.lo, 0.0f);  // lettering lies exactly in the plane z = 0
            EXPECT_EQ(z.hi, 0.0f);
        }
    }
}

// The lettering is sampled along outlines, and the 3-D sets along curves:
// neighbours in index order sit close together except where the line jumps
// to the next outline. A set of scattered points would fail this.
TEST(PointSets, NeighboursInIndexOrderMostlyAdjacent) {
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        const data::PointShape& s = data::pointShapes[i];
        std::vector<float> steps;
        for (int k = 1; k < s.count; ++k) {
            const data::PointXYZ& a = s.points[k - 1];
            const data::PointXYZ& b = s.points[k];
            steps.push_back(std::hypot(a.x - b.x, a.y - b.y, a.z - b.z));
        }
        std::vector<float> sorted = steps;
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        const float median = sorted[sorted.size() / 2];
        EXPECT_GT(median, 0.0f);
        const auto jumps = std::count_if(steps.begin(), steps.end(), [&](float d) { return d > 4.0f * median; });
        EXPECT_LE(jumps, 30);
    }
}

TEST(PointSets, StoredRecordIsCountScaleSizeThenPoints) {
    using Stored = data::StoredPointShape<3>;
    EXPECT_EQ(offsetof(Stored, count), 0u);
    EXPECT_EQ(offsetof(Stored, scale), 4u);
    EXPECT_EQ(offsetof(Stored, sizeFactor), 8u);
    EXPECT_EQ(offsetof(Stored, points), 12u);
    EXPECT_EQ(sizeof(Stored), 12u + 3u * 12u);
}

}  // namespace
