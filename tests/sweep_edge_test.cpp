#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "collision/sweep_edge.h"
#include "support/test_scenes.h"

namespace {

// Radius 1, the edge (0,0,0)-(10,0,0), moving (0, 10, 0) unless stated.
class SweepHitsEdgeTest : public ::testing::Test {
protected:
    void SetUp() override { useViewerEpsilon(); }
    std::int32_t sweep(Vec3 centre, Vec3 displacement = Vec3(0, 10, 0)) {
        time = -1;
        fraction = -1;
        return sweepHitsEdge(SweptSphere(centre, displacement, 1.0f), edge, time, fraction);
    }
    const Segment edge{Vec3(0, 0, 0), Vec3(10, 0, 0)};
    float time = -1;
    float fraction = -1;
};

TEST(ClosestLineParams, CrossingAndParallelLines) {
    Line first;
    first.init(Vec3(5, -4, 0), Vec3(0, 1, 0));
    Line second;
    second.init(Vec3(0, 0, 0), Vec3(1, 0, 0));
    float tau = -1;
    float sigma = -1;
    EXPECT_EQ(closestLineParams(first, second, tau, sigma), 0);
    EXPECT_EQ(tau, 4.0f);
    EXPECT_EQ(sigma, 5.0f);
    // Skew lines: the parameters of the closest points, 3 apart in z.
    first.init(Vec3(2, -4, 3), Vec3(0, 1, 0));
    EXPECT_EQ(closestLineParams(first, second, tau, sigma), 0);
    EXPECT_EQ(tau, 4.0f);
    EXPECT_EQ(sigma, 2.0f);
    // A squared cross product of exactly 0.01 is not parallel; one ulp below is.
    const float y = 0x1.eb851ep-5f;
    const float z = 0x1.47ae14p-4f;
    first.init(Vec3(), Vec3(0, y, z));
    ASSERT_EQ(z * z + y * y, PARALLEL_LIMIT);
    EXPECT_EQ(closestLineParams(second, first, tau, sigma), 0);
    first.init(Vec3(), Vec3(0, y, std::nextafter(z, 0.0f)));
    EXPECT_EQ(closestLineParams(second, first, tau, sigma), 1);
    first.init(Vec3(5, 5, 5), Vec3(1, 0.05f, 0));
    tau = sigma = -1;
    EXPECT_EQ(closestLineParams(first, second, tau, sigma), 1);
    EXPECT_EQ(tau, 0.0f);
    EXPECT_EQ(sigma, 0.0f);
}

TEST_F(SweepHitsEdgeTest, AtRightAnglesInTheEdgesPlane) {
    ASSERT_EQ(sweep(Vec3(5, -5, 0)), 1);
    EXPECT_EQ(time, (4.0f - 0.001f) / 10.0f);
    EXPECT_EQ(fraction, 0.5f);
}

TEST_F(SweepHitsEdgeTest, AtRightAnglesOffThePlane) {
    ASSERT_EQ(sweep(Vec3(5, -5, 0.5f)), 1);  // h = -0.5, k = sqrt(0.75)
    EXPECT_NEAR(time, (5.0f - std::sqrt(0.75f) - 0.001f) / 10.0f, 1e-7f);
    EXPECT_NEAR(time, 0.41330f, 1e-5f);
    EXPECT_EQ(fraction, 0.5f);
    EXPECT_EQ(sweep(Vec3(5, -5, 1.5f)), 0);  // passes 1.5 from the line
    EXPECT_EQ(time, -1.0f);
    EXPECT_EQ(fraction, -1.0f);
}

TEST_F(SweepHitsEdgeTest, AtAndBeyondTheEnds) {
    ASSERT_EQ(sweep(Vec3(10, -5, 0)), 1);
    EXPECT_EQ(fraction, 1.0f);
    ASSERT_EQ(sweep(Vec3(0, -5, 0)), 1);
    EXPECT_EQ(fraction, 0.0f);
    EXPECT_EQ(sweep(Vec3(12, -5, 0)), 0);
    EXPECT_EQ(sweep(Vec3(-0.01f, -5, 0)), 0);
}

TEST_F(SweepHitsEdgeTest, ContactAtTheEndOfTheStepAndBeyond) {
    ASSERT_EQ(sweep(Vec3(5, -11, 0)), 1);  // tau = 10 = L exactly
    EXPECT_EQ(time, (10.0f - 0.001f) / 10.0f);
    EXPECT_EQ(sweep(Vec3(5, -15, 0)), 0);
}

TEST_F(SweepHitsEdgeTest, StartingInOrNearContact) {
    ASSERT_EQ(sweep(Vec3(5, -1.0005f, 0)), 1);  // closer than epsilon: not stopped short
    EXPECT_NEAR(time, 0.00005f, 1e-7f);
    EXPECT_EQ(sweep(Vec3(5, -0.5f, 0)), 0);  // already overlapping the line
}

TEST_F(SweepHitsEdgeTest, AtFortyFiveDegreesTheRuleIsInexact) {
    ASSERT_EQ(sweep(Vec3(0, -5, 0), Vec3(10, 10, 0)), 1);
    EXPECT_NEAR(time, 0.42922f, 1e-5f);
    EXPECT_NEAR(fraction, 0.5f, 1e-5f);
    const Vec3 centre = Vec3(0, -5, 0) + Vec3(10, 10, 0) * time;
    EXPECT_NEAR(-centre.y, 0.7078f, 1e-3f);  // nearer the line than the radius
}

TEST_F(SweepHitsEdgeTest, ParallelZeroAndNonNumberInputsReportNoContact) {
    EXPECT_EQ(sweep(Vec3(-5, -1, 0), Vec3(10, 0, 0)), 0);     // along the edge
    EXPECT_EQ(sweep(Vec3(-5, -1, 0), Vec3(10, 0.5f, 0)), 0);  // within 5.7 degrees
    EXPECT_EQ(sweep(Vec3(5, -0.9f, 0), Vec3()), 0);           // no motion
    time = -1;
    EXPECT_EQ(sweepHitsEdge(SweptSphere(Vec3(5, -5, 0), Vec3(0, 10, 0), 1.0f),
                            Segment(Vec3(5, 0, 0), Vec3(5, 0, 0)), time, fraction),
              0);  // zero-length edge
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(sweep(Vec3(5, nan, 0)), 0);
    EXPECT_EQ(time, -1.0f);
}

// Pins the arithmetic: the unit directions are D times the rounded reciprocal
// of |D|; dividing by |D| instead gives t = 0x1.c32234p-3 here.
TEST_F(SweepHitsEdgeTest, UnitDirectionsUseTheRoundedReciprocal) {
    const SweptSphere sphere(Vec3(-0x1.1650fcp+2f, -0x1.42840ap+1f, -0x1.a28a5cp+2f),
                             Vec3(-0x1.d0d10cp-1f, -0x1.b73594p+2f, -0x1.201a2ep+2f), 2.5f);
    const Segment slanted(Vec3(-0x1.b2ae8ep+1f, -0x1.f3e9dap+1f, -0x1.342828p+3f),
                          Vec3(-0x1.d13308p+2f, -0x1.0785b6p+3f, -0x1.1262p+3f));
    ASSERT_EQ(sweepHitsEdge(sphere, slanted, time, fraction), 1);
    EXPECT_EQ(time, 0x1.c3223ep-3f);
    EXPECT_EQ(fraction, 0x1.ce7cap-2f);
}

}  // namespace
