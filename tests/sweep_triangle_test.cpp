#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "collision/sweep_edge.h"
#include "collision/sweep_triangle.h"
#include "support/test_scenes.h"

namespace {

// Radius 1 against V0 = (0,0,0), V1 = (10,0,0), V2 = (0,10,0), normal (0,0,1).
class SweepHitsTriangleTest : public ::testing::Test {
protected:
    void SetUp() override {
        useViewerEpsilon();
        triangle.init(Vec3(0, 0, 0), Vec3(10, 0, 0), Vec3(0, 10, 0));
    }
    std::int32_t sweep(Vec3 centre, Vec3 displacement) {
        normal = Vec3(7, 7, 7);
        time = -1;
        return sweepHitsTriangle(SweptSphere(centre, displacement, 1.0f), triangle, normal, time);
    }
    void expectNormal(float x, float y, float z, float tolerance = 1e-5f) {
        EXPECT_NEAR(normal.x, x, tolerance);
        EXPECT_NEAR(normal.y, y, tolerance);
        EXPECT_NEAR(normal.z, z, tolerance);
        EXPECT_NEAR(length(normal), 1.0f, 1e-6f);
    }
    Triangle triangle;
    Vec3 normal;
    float time = -1;
};

TEST_F(SweepHitsTriangleTest, InFrontFaceContact) {
    ASSERT_EQ(sweep(Vec3(2, 2, 5), Vec3(0, 0, -10)), 1);
    EXPECT_EQ(normal, Vec3(0, 0, 1));
    EXPECT_EQ(time, (4.0f - 0.001f) / 10.0f);
    EXPECT_EQ(triangle.normalValid, 1);
}

TEST_F(SweepHitsTriangleTest, ClearOfThePlaneIsRejectedEarly) {
    EXPECT_EQ(sweep(Vec3(2, 2, 5), Vec3(10, 0, 0)), 0);
    EXPECT_EQ(normal, Vec3(7, 7, 7));  // untouched on 0
    // Rising away from the plane while crossing the edge (V0, V1): the edge
    // alone reports contact, but the leading point ends 1.5 in front.
    const SweptSphere rising(Vec3(5, -5, -2.5f), Vec3(0, 10, 5), 1.0f);
    float edgeTime = 0;
    float edgeFraction = 0;
    ASSERT_EQ(sweepHitsEdge(rising, Segment(Vec3(0, 0, 0), Vec3(10, 0, 0)), edgeTime, edgeFraction),
              1);
    EXPECT_EQ(sweep(rising.position, rising.displacement), 0);
}

TEST_F(SweepHitsTriangleTest, EndingExactlyAtTheReachToleranceGoesOnToTheEdges) {
    // Rising from behind across the edge (V0, V1): the leading point ends at
    // z = 0 and the plane lies at -0.001, so g is exactly PLANE_REACH_TOLERANCE,
    // which continues to the edges; one ulp further it is rejected, although the
    // edge alone would report contact either way.
    const float below = -PLANE_REACH_TOLERANCE;
    triangle.init(Vec3(0, 0, below), Vec3(10, 0, below), Vec3(0, 10, below));
    ASSERT_EQ(sweep(Vec3(5, -5, 0), Vec3(0, 10, 1)), 1);
    EXPECT_NEAR(normal.x, 0.0f, 1e-6f);
    EXPECT_LT(normal.y, -0.9f);
    const float further = std::nextafter(below, -1.0f);
    triangle.init(Vec3(0, 0, further), Vec3(10, 0, further), Vec3(0, 10, further));
    EXPECT_EQ(sweep(Vec3(5, -5, 0), Vec3(0, 10, 1)), 0);
}

TEST_F(SweepHitsTriangleTest, BehindPassesThroughTheBack) {
    EXPECT_EQ(sweep(Vec3(2, 2, -5), Vec3(0, 0, 10)), 0);
}

TEST_F(SweepHitsTriangleTest, OnAnEdgeInThePlane) {
    ASSERT_EQ(sweep(Vec3(5, -5, 0), Vec3(0, 10, 0)), 1);
    EXPECT_EQ(time, (4.0f - 0.001f) / 10.0f);
    expectNormal(0, -1, 0, 0);
    // At 45 degrees the edge rule stops late (the surface reaches the line at 0.4).
    ASSERT_EQ(sweep(Vec3(0, -5, 0), Vec3(10, 10, 0)), 1);
    EXPECT_NEAR(time, 0.42922f, 1e-5f);
    expectNormal(-0.70711f, -0.70711f, 0);
}

TEST_F(SweepHitsTriangleTest, FirstEdgeInOrderWinsOverAnEarlierOne) {
    ASSERT_EQ(sweep(Vec3(8, 8, 0), Vec3(0, -20, 0)), 1);
    EXPECT_NEAR(time, 0.34995f, 1e-6f);
    expectNormal(0, 1, 0);
    // Alone, the edge (V1, V2) would report 0.24995.
    triangle.init(Vec3(10, 0, 0), Vec3(0, 10, 0), Vec3(-50, -50, 0));
    ASSERT_EQ(sweep(Vec3(8, 8, 0), Vec3(0, -20, 0)), 1);
    EXPECT_NEAR(time, 0.24995f, 1e-6f);
}

TEST_F(SweepHitsTriangleTest, AtACorner) {
    ASSERT_EQ(sweep(Vec3(-0.6f, -0.6f, 5), Vec3(0, 0, -10)), 1);
    EXPECT_NEAR(time, 0.44698f, 1e-5f);
    expectNormal(-0.59968f, -0.59968f, 0.52987f);
}

TEST_F(SweepHitsTriangleTest, StartingInContactWithTheFace) {
    ASSERT_EQ(sweep(Vec3(2, 2, 1), Vec3(0, 0, -1)), 1);
    EXPECT_EQ(time, 0.0f);
    EXPECT_EQ(normal, Vec3(0, 0, 1));
}

TEST_F(SweepHitsTriangleTest, ContactExactlyAtTheEndOfTheStep) {
    ASSERT_EQ(sweep(Vec3(2, 2, 11), Vec3(0, 0, -10)), 1);
    EXPECT_EQ(time, (10.0f - 0.001f) / 10.0f);
}

// A triangle without area has a non-number normal: no face and no plane
// rejection, but its edges and corners still stop the sphere.
TEST_F(SweepHitsTriangleTest, DegenerateTrianglesAreTestedOnEdgesAndCorners) {
    triangle.init(Vec3(0, 0, 0), Vec3(5, 0, 0), Vec3(10, 0, 0));  // collinear
    ASSERT_EQ(sweep(Vec3(2.5f, -5, 0), Vec3(0, 10, 0)), 1);
    EXPECT_EQ(time, (4.0f - 0.001f) / 10.0f);
    expectNormal(0, -1, 0, 0);
    EXPECT_EQ(sweep(Vec3(2.5f, -5, 3), Vec3(0, 10, 0)), 0);

    triangle.init(Vec3(3, 3, 3), Vec3(3, 3, 3), Vec3(3, 3, 3));  // a point
    ASSERT_EQ(sweep(Vec3(-7, 3, 3), Vec3(20, 0, 0)), 1);
    EXPECT_EQ(time, (9.0f - 0.001f) / 20.0f);
    expectNormal(-1, 0, 0);
    EXPECT_TRUE(std::isnan(triangle.normal().x));
}

TEST_F(SweepHitsTriangleTest, NonNumbersAndZeroMotionNeverReportContact) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(sweep(Vec3(nan, 2, 5), Vec3(0, 0, -10)), 0);
    EXPECT_EQ(sweep(Vec3(2, 2, 5), Vec3(0, 0, nan)), 0);
    ASSERT_EQ(sweep(Vec3(2, 2, 5), Vec3(0, 0, -inf)), 1);  // an endless step stops at once
    EXPECT_EQ(time, 0.0f);
    EXPECT_EQ(sweep(Vec3(2, 2, 5), Vec3()), 0);
    EXPECT_EQ(sweep(Vec3(2, 2, 0.5f), Vec3()), 0);  // overlapping, not moving
    triangle.init(Vec3(nan, 0, 0), Vec3(10, 0, 0), Vec3(0, 10, 0));
    EXPECT_EQ(sweep(Vec3(2, 2, 5), Vec3(0, 0, -10)), 0);
}

}  // namespace
