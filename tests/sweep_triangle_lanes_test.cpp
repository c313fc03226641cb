#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "support/test_scenes.h"

using namespace sweepview;

namespace {

// The three-lane forms against three calls of the scalar tests, bit for bit,
// on random sweeps that hit, miss, start overlapping and stand still, and on
// triangles with a repeated corner (a zero-length edge).
TEST(SweepTriangleLanes, GiveTheScalarTestsBits) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-2.0f, 2.0f);
    const auto point = [&] {
        return Vec3(coordinate(random), coordinate(random), coordinate(random));
    };
    LaneComparison total;
    for (int i = 0; i < 20000; ++i) {
        Triangle triangle;
        const Vec3 a = point();
        triangle.init(a, i % 50 == 0 ? a : point(), point());
        const Vec3 step = i % 97 == 0 ? Vec3() : point() * 0.5f;
        const SweptSphere sphere(point(), step, 0.05f + 0.5f * std::fabs(coordinate(random)));
        const LaneComparison one = compareLanesWithScalar(sphere, prepareTriangle(triangle));
        ASSERT_EQ(one.difference, "") << "sweep " << i;
        total.designHits += one.designHits;
        total.exactHits += one.exactHits;
        total.cornerHits += one.cornerHits;
        total.missedLines += one.missedLines;
    }
    EXPECT_GT(total.designHits, 1000);
    EXPECT_GT(total.exactHits, 1000);
    EXPECT_GT(total.cornerHits, 500);
    EXPECT_GT(total.missedLines, 2000);
}

}  // namespace
