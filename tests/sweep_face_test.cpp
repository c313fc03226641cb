#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "collision/sweep_face.h"
#include "support/test_scenes.h"

namespace {

// Against the plane z = 0 facing +z.
std::int32_t crossGround(Vec3 from, Vec3 to, float& time) {
    useViewerEpsilon();
    return segmentCrossesPlane(Plane(Vec3(0, 0, 1), 0), Segment(from, to), time);
}

TEST(SegmentCrossesPlane, StopsEpsilonShortAlongTheNormal) {
    float t = -1;
    ASSERT_EQ(crossGround({0, 0, 2}, {0, 0, 0}, t), 1);  // ends exactly on the plane
    EXPECT_EQ(t, (2.0f - 0.001f) / 2.0f);
    ASSERT_EQ(crossGround({3, 4, 2}, {9, -1, -2}, t), 1);  // slanted: measured along the normal
    EXPECT_EQ(t, (2.0f - 0.001f) / 4.0f);
    ASSERT_EQ(crossGround({0, 0, 0}, {5, 0, 0}, t), 1);  // starts on it, runs along it
    EXPECT_EQ(t, 0.0f);
    ASSERT_EQ(crossGround({0, 0, 0.0005f}, {0, 0, -1}, t), 1);  // within epsilon: not moved back
    EXPECT_EQ(t, 0.0005f / 1.0005f);
    ASSERT_EQ(crossGround({0, 0, 0.001f}, {0, 0, -1}, t), 1);  // d0 - eps = 0 is not above 0
    EXPECT_EQ(t, 0.001f / 1.001f);
}

TEST(SegmentCrossesPlane, BehindOrNotReachingReportsNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    float t = 42;
    EXPECT_EQ(crossGround({0, 0, 2}, {0, 0, 0.5f}, t), 0);  // ends in front
    EXPECT_EQ(crossGround({0, 0, -2}, {0, 0, 5}, t), 0);    // starts behind
    EXPECT_EQ(crossGround({0, 0, nan}, {0, 0, -1}, t), 0);
    EXPECT_EQ(t, 42.0f);
}

// The triangle (0,0,0), (8,0,0), (0,8,0) and vertical drops from z = 3 to -7.
std::int32_t drop(float x, float y, float& t) {
    useViewerEpsilon();
    Triangle triangle;
    triangle.init(Vec3(0, 0, 0), Vec3(8, 0, 0), Vec3(0, 8, 0));
    return sweepHitsFace(triangle, Segment(Vec3(x, y, 3), Vec3(x, y, -7)), t);
}

TEST(SweepHitsFace, InsideAndOnTheEdgesFromV0ButNotOnV1V2) {
    float t = -1;
    ASSERT_EQ(drop(2, 2, t), 1);
    EXPECT_EQ(t, (3.0f - 0.001f) / 10.0f);
    for (auto [x, y] : {std::pair{4.0f, 0.0f}, {0.0f, 4.0f}, {0.0f, 0.0f}}) {
        EXPECT_EQ(drop(x, y, t), 1) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{4.0f, 4.0f}, {8.0f, 0.0f}, {0.0f, 8.0f}, {-0.01f, 2.0f}}) {
        t = -1;
        EXPECT_EQ(drop(x, y, t), 0) << x << "," << y;
        EXPECT_EQ(t, (3.0f - 0.001f) / 10.0f);  // the crossing time stays written
    }
}

TEST(SweepHitsFace, ProjectsOnTheLargestNormalComponentAndRefusesNoArea) {
    useViewerEpsilon();
    float t = -1;
    Triangle steep;  // facing mostly +x: projected onto y and z
    steep.init(Vec3(0, 0, 0), Vec3(1, 8, 0), Vec3(1, 0, 8));
    EXPECT_EQ(sweepHitsFace(steep, Segment(Vec3(5, 2, 2), Vec3(-5, 2, 2)), t), 1);
    EXPECT_EQ(sweepHitsFace(steep, Segment(Vec3(5, 6, 6), Vec3(-5, 6, 6)), t), 0);
    Triangle flat;
    flat.init(Vec3(0, 0, 0), Vec3(4, 0, 0), Vec3(8, 0, 0));
    EXPECT_EQ(sweepHitsFace(flat, Segment(Vec3(2, 0, 3), Vec3(2, 0, -7)), t), 0);
}

// The reported time leaves the leading point epsilon in front of the plane.
TEST(SweepHitsFace, TimeMatchesTheAnalyticCrossingMinusTheStopDistance) {
    useViewerEpsilon();
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int i = 0; i < 2000; ++i) {
        Triangle tri;
        tri.init(Vec3(unit(random), unit(random), unit(random)) * 10.0f,
                 Vec3(unit(random), unit(random), unit(random)) * 10.0f,
                 Vec3(unit(random), unit(random), unit(random)) * 10.0f);
        const Vec3 n = tri.normal();
        const Vec3 start = tri.corners[0] + n * (1.0f + 5.0f * std::fabs(unit(random)));
        const Vec3 d = n * -20.0f + Vec3(unit(random), unit(random), unit(random));
        float t = -1;
        ASSERT_EQ(
            segmentCrossesPlane(Plane(n, dot(n, tri.corners[0])), Segment(start, start + d), t), 1);
        const double distance = dot(start - tri.corners[0], n);
        EXPECT_NEAR(t, (distance - 0.001) / -dot(n, d), 2e-6) << i;
    }
}

}  // namespace
