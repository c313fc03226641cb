#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "collision/sweep_face.h"
#include "geometry/collision_epsilon.h"
#include "support/test_scenes.h"

namespace {

class SegmentCrossesPlaneTest : public ::testing::Test {
protected:
    void SetUp() override { useViewerEpsilon(); }
    const Plane ground{Vec3(0, 0, 1), 0.0f};
    std::int32_t cross(Vec3 from, Vec3 to, float& time) {
        return segmentCrossesPlane(ground, Segment(from, to), time);
    }
};

TEST_F(SegmentCrossesPlaneTest, InFrontStopsEpsilonShortAlongTheNormal) {
    float t = -1;
    ASSERT_EQ(cross(Vec3(0, 0, 2), Vec3(0, 0, 0), t), 1);  // ends exactly on the plane
    EXPECT_EQ(t, (2.0f - 0.001f) / 2.0f);
    ASSERT_EQ(cross(Vec3(3, 4, 2), Vec3(9, -1, -2), t), 1);  // slanted: along the normal
    EXPECT_EQ(t, (2.0f - 0.001f) / 4.0f);
}

TEST_F(SegmentCrossesPlaneTest, StartingOnOrWithinEpsilonOfThePlane) {
    float t = -1;
    ASSERT_EQ(cross(Vec3(0, 0, 0), Vec3(0, 0, -1), t), 1);
    EXPECT_EQ(t, 0.0f);
    t = -1;
    ASSERT_EQ(cross(Vec3(0, 0, 0), Vec3(5, 0, 0), t), 1);  // along the plane
    EXPECT_EQ(t, 0.0f);
    ASSERT_EQ(cross(Vec3(0, 0, 0.0005f), Vec3(0, 0, -1), t), 1);  // not moved back
    EXPECT_EQ(t, 0.0005f / 1.0005f);
    EXPECT_NEAR(t, 0.00049975f, 1e-8f);
    // Exactly epsilon away: d0 - eps is 0, not above it, so the crossing time is kept.
    ASSERT_EQ(cross(Vec3(0, 0, 0.001f), Vec3(0, 0, -1), t), 1);
    EXPECT_EQ(t, 0.001f / 1.001f);
}

TEST_F(SegmentCrossesPlaneTest, BehindOrNotReaching) {
    float t = 42;
    EXPECT_EQ(cross(Vec3(0, 0, 2), Vec3(0, 0, 0.5f), t), 0);  // ends in front
    EXPECT_EQ(cross(Vec3(0, 0, -2), Vec3(0, 0, 5), t), 0);    // starts behind
    EXPECT_EQ(cross(Vec3(0, 0, 2), Vec3(0, 0, 3), t), 0);     // moving away
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(cross(Vec3(0, 0, nan), Vec3(0, 0, -1), t), 0);
    EXPECT_EQ(
        segmentCrossesPlane(Plane(Vec3(nan, nan, nan), 0), Segment(Vec3(), Vec3(0, 0, -1)), t), 0);
    EXPECT_EQ(t, 42.0f);  // written only on contact
}

class SweepHitsFaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        useViewerEpsilon();
        triangle.init(Vec3(0, 0, 0), Vec3(8, 0, 0), Vec3(0, 8, 0));
    }
    std::int32_t drop(float x, float y, float& t) {
        return sweepHitsFace(triangle, Segment(Vec3(x, y, 3), Vec3(x, y, -7)), t);
    }
    Triangle triangle;
};

TEST_F(SweepHitsFaceTest, InsideTheFace) {
    float t = -1;
    ASSERT_EQ(drop(2, 2, t), 1);
    EXPECT_EQ(t, (3.0f - 0.001f) / 10.0f);
    EXPECT_NEAR(t, 0.2999f, 1e-7f);
}

TEST_F(SweepHitsFaceTest, EdgesFromV0CountInsideTheEdgeV1V2Outside) {
    float t = -1;
    EXPECT_EQ(drop(4, 0, t), 1);
    EXPECT_EQ(drop(0, 4, t), 1);
    EXPECT_EQ(drop(0, 0, t), 1);
    t = -1;
    EXPECT_EQ(drop(4, 4, t), 0);
    EXPECT_EQ(t, (3.0f - 0.001f) / 10.0f);  // the crossing time stays written
    EXPECT_EQ(drop(8, 0, t), 0);
    EXPECT_EQ(drop(0, 8, t), 0);
    EXPECT_EQ(drop(-0.01f, 2, t), 0);
    EXPECT_EQ(drop(2, -0.01f, t), 0);
}

TEST_F(SweepHitsFaceTest, FromBehindIsIgnored) {
    float t = -1;
    EXPECT_EQ(sweepHitsFace(triangle, Segment(Vec3(2, 2, -3), Vec3(2, 2, 7)), t), 0);
    EXPECT_EQ(t, -1.0f);
}

TEST_F(SweepHitsFaceTest, ProjectionAxisFollowsTheLargestNormalComponent) {
    // A steep triangle facing mostly +x: projected onto y and z.
    Triangle steep;
    steep.init(Vec3(0, 0, 0), Vec3(1, 8, 0), Vec3(1, 0, 8));
    float t = -1;
    ASSERT_EQ(sweepHitsFace(steep, Segment(Vec3(5, 2, 2), Vec3(-5, 2, 2)), t), 1);
    EXPECT_EQ(sweepHitsFace(steep, Segment(Vec3(5, 6, 6), Vec3(-5, 6, 6)), t), 0);
    // Equal magnitudes: the later axis is dropped. Normal (1, 1, 0)/sqrt 2 keeps x and z.
    Triangle diagonal;
    diagonal.init(Vec3(0, 0, 0), Vec3(-4, 4, 0), Vec3(0, 0, 4));
    ASSERT_EQ(sweepHitsFace(diagonal, Segment(Vec3(1, 3, 1), Vec3(-3, -1, 1)), t), 1);
}

TEST_F(SweepHitsFaceTest, WithoutAreaNeverHits) {
    Triangle flat;
    flat.init(Vec3(0, 0, 0), Vec3(4, 0, 0), Vec3(8, 0, 0));
    float t = -1;
    EXPECT_EQ(sweepHitsFace(flat, Segment(Vec3(2, 0, 3), Vec3(2, 0, -7)), t), 0);
}

// The time reported puts the leading point exactly epsilon in front of the plane.
TEST_F(SweepHitsFaceTest, TimeMatchesTheAnalyticCrossingMinusTheStopDistance) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    int checked = 0;
    for (int i = 0; i < 2000; ++i) {
        Triangle tri;
        tri.init(Vec3(unit(random), unit(random), unit(random)) * 10.0f,
                 Vec3(unit(random), unit(random), unit(random)) * 10.0f,
                 Vec3(unit(random), unit(random), unit(random)) * 10.0f);
        const Vec3 n = tri.normal();
        const Vec3 start = tri.corners[0] + n * (1.0f + 5.0f * std::fabs(unit(random)));
        const Vec3 d = n * -20.0f + Vec3(unit(random), unit(random), unit(random));
        float t = -1;
        if (segmentCrossesPlane(Plane(n, dot(n, tri.corners[0])), Segment(start, start + d), t) ==
            0) {
            continue;
        }
        const double distance = dot(start - tri.corners[0], n);
        const double descent = -dot(n, d);
        EXPECT_NEAR(t, (distance - 0.001) / descent, 2e-6) << i;
        ++checked;
    }
    EXPECT_GT(checked, 1900);
}

}  // namespace
