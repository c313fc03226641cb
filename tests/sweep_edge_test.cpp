#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "collision/sweep_edge.h"
#include "collision/sweep_edge_exact.h"
#include "collision/sweep_vertex.h"
#include "geometry/collision_epsilon.h"
#include "support/test_scenes.h"

using namespace sweepview;

namespace {

TEST(ClosestLineParams, CrossingSkewAndParallelLines) {
    Line edge;
    edge.init(Vec3(0, 0, 0), Vec3(1, 0, 0));
    Line other;
    float tau = -1;
    float sigma = -1;
    other.init(Vec3(2, -4, 3), Vec3(0, 1, 0));  // passes 3 above the edge's line
    EXPECT_EQ(closestLineParams(other, edge, tau, sigma), 0);
    EXPECT_EQ(tau, 4.0f);
    EXPECT_EQ(sigma, 2.0f);
    // A squared cross product of exactly 0.01 is not parallel; one ulp less is.
    const float y = 0x1.eb851ep-5f;
    const float z = 0x1.47ae14p-4f;
    ASSERT_EQ(z * z + y * y, PARALLEL_LIMIT);
    other.init(Vec3(), Vec3(0, y, z));
    EXPECT_EQ(closestLineParams(edge, other, tau, sigma), 0);
    other.init(Vec3(5, 5, 5), Vec3(0, y, std::nextafter(z, 0.0f)));
    EXPECT_EQ(closestLineParams(edge, other, tau, sigma), 1);
    EXPECT_EQ(tau, 0.0f);
    EXPECT_EQ(sigma, 0.0f);
}

// Radius 1 against the edge (0,0,0)-(10,0,0), moving (0, 10, 0) unless stated.
struct EdgeCase {
    Vec3 centre;
    Vec3 displacement;
    std::int32_t hits;
    float time;      // checked to 1e-5 when hits
    float fraction;  // checked to 1e-5 when hits
};

TEST(SweepHitsEdge, DesignedCases) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Vec3 up(0, 10, 0);
    const EdgeCase cases[] = {
        {{5, -5, 0}, up, 1, 0.3999f, 0.5f},            // at right angles, in the edge's plane
        {{5, -5, 0.5f}, up, 1, 0.41330f, 0.5f},        // h = -0.5, k = sqrt(0.75)
        {{5, -5, 1.5f}, up, 0, 0, 0},                  // passes 1.5 from the line
        {{5, -5, 1}, up, 1, 0.4999f, 0.5f},            // passes exactly the radius off: grazes
        {{10, -5, 0}, up, 1, 0.3999f, 1.0f},           // at B itself
        {{0, -5, 0}, up, 1, 0.3999f, 0.0f},            // at A itself
        {{12, -5, 0}, up, 0, 0, 0},                    // beyond B
        {{5, -11, 0}, up, 1, 0.9999f, 0.5f},           // exactly at the end of the step
        {{5, -15, 0}, up, 0, 0, 0},                    // beyond the step
        {{5, -1.0005f, 0}, up, 1, 0.00005f, 0.5f},     // closer than epsilon: not moved back
        {{5, -1, 0}, up, 1, 0.0f, 0.5f},               // touching at the start
        {{5, -0.5f, 0}, up, 0, 0, 0},                  // overlapping the line at the start
        {{0, -5, 0}, {10, 10, 0}, 1, 0.42922f, 0.5f},  // 45 degrees: exact only at right angles
        {{-5, -1, 0}, {10, 0.5f, 0}, 0, 0, 0},         // within 5.7 degrees of the edge: parallel
        {{5, -0.9f, 0}, {0, 0, 0}, 0, 0, 0},           // no motion
        {{5, nan, 0}, up, 0, 0, 0},
    };
    useViewerEpsilon();
    const Segment edge(Vec3(0, 0, 0), Vec3(10, 0, 0));
    for (const EdgeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.centre.x << "," << c.centre.y << "," << c.centre.z);
        float time = -1;
        float fraction = -1;
        ASSERT_EQ(sweepHitsEdge(SweptSphere(c.centre, c.displacement, 1.0f), edge, time, fraction),
                  c.hits);
        EXPECT_NEAR(time, c.hits ? c.time : -1.0f, 1e-5f);  // written only on contact
        EXPECT_NEAR(fraction, c.hits ? c.fraction : -1.0f, 1e-5f);
    }
    float time = -1;
    float fraction = -1;
    EXPECT_EQ(sweepHitsEdge(SweptSphere(Vec3(5, -5, 0), up, 1.0f),
                            Segment(Vec3(5, 0, 0), Vec3(5, 0, 0)), time, fraction),
              0);  // zero-length edge
}

// Pins the arithmetic: the unit directions are D times the rounded reciprocal
// of |D|; dividing by |D| instead gives t = 0x1.c32234p-3 here.
TEST(SweepHitsEdge, UnitDirectionsUseTheRoundedReciprocal) {
    useViewerEpsilon();
    const SweptSphere sphere(Vec3(-0x1.1650fcp+2f, -0x1.42840ap+1f, -0x1.a28a5cp+2f),
                             Vec3(-0x1.d0d10cp-1f, -0x1.b73594p+2f, -0x1.201a2ep+2f), 2.5f);
    const Segment slanted(Vec3(-0x1.b2ae8ep+1f, -0x1.f3e9dap+1f, -0x1.342828p+3f),
                          Vec3(-0x1.d13308p+2f, -0x1.0785b6p+3f, -0x1.1262p+3f));
    float time = 0;
    float fraction = 0;
    ASSERT_EQ(sweepHitsEdge(sphere, slanted, time, fraction), 1);
    EXPECT_EQ(time, 0x1.c3223ep-3f);
    EXPECT_EQ(fraction, 0x1.ce7cap-2f);
}


// The exact rule against the edge (0,0,0)-(8,0,0) (1 / 64 exact), radius 1:
// contacts exactly at either end of the edge (met on the way, and at time 0
// starting within the radius and moving in) count; a hundredth beyond them the
// corners decide. lineMissed says when the line is out of reach.
TEST(SweepHitsEdgeExact, EndsOfTheEdgeAndOfTheStep) {
    useViewerEpsilon();
    const struct {
        Vec3 centre, displacement;
        std::int32_t hits;
        float time, fraction;
        bool lineMissed;
    } cases[] = {
        {{0, 5, 0}, {0, -10, 0}, 1, 0.3999f, 0.0f, false},  // t = 0.4, the nearest point A
        {{8, 5, 0}, {0, -10, 0}, 1, 0.3999f, 1.0f, false},  // B
        {{-0.01f, 5, 0}, {0, -10, 0}, 0, -1, -1, false},
        {{0, 0.5f, 0}, {0, -1, 0}, 1, 0.0f, 0.0f, false},   // within the radius of A, moving in
        {{8, 0.5f, 0}, {0, -1, 0}, 1, 0.0f, 1.0f, false},
        {{8.01f, 0.5f, 0}, {0, -1, 0}, 0, -1, -1, false},
        {{4, 0.5f, 0}, {0, 1, 0}, 0, -1, -1, false},        // moving out
        {{4, 5, 0}, {10, 0, 0}, 0, -1, -1, true},           // along the line
        {{4, 5, 0}, {0, -3, 0}, 0, -1, -1, true},           // would reach it at t = 4 / 3
        {{4, 5, 3}, {0, -10, 0}, 0, -1, -1, true},          // passes 3 from the line
        {{4, 1, 0}, {0, 0, 1}, 0, -1, -1, true},            // on the cylinder, moving along it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.centre.x << "," << c.centre.y << "," << c.centre.z);
        const SweptSphere sphere(c.centre, c.displacement, 1.0f);
        float time = -1;
        float fraction = -1;
        bool missed = !c.lineMissed;
        ASSERT_EQ(sweepHitsEdgeExact(sphere, prepareSweep(sphere), Vec3(0, 0, 0), Vec3(8, 0, 0),
                                     time, fraction, &missed),
                  c.hits);
        EXPECT_NEAR(time, c.time, 1e-6f);
        EXPECT_EQ(fraction, c.fraction);
        EXPECT_EQ(missed, c.lineMissed);
    }
}

// A contact exactly the tolerance along the path from the start is not moved
// back to time 0: a sphere 1.5 from the edge's line (or the corner), radius
// 1, moving 1 towards it meets it at t = 0.5, with the tolerance 0.5.
TEST(SweepHitsEdgeExact, AContactExactlyTheToleranceAwayKeepsItsTime) {
    const float previous = setCollisionEpsilon(0.5f);
    const Vec3 towards(0, -1, 0);
    float time = -1;
    float fraction = -1;
    const SweptSphere byEdge(Vec3(4, 1.5f, 0), towards, 1.0f);
    ASSERT_EQ(sweepHitsEdgeExact(byEdge, prepareSweep(byEdge, withProcessTolerance()), Vec3(0, 0, 0), Vec3(8, 0, 0), time,
                                 fraction),
              1);
    EXPECT_EQ(time, 0.5f);
    EXPECT_EQ(fraction, 0.5f);
    ASSERT_EQ(sweepHitsEdge(byEdge, Segment(Vec3(0, 0, 0), Vec3(8, 0, 0)), time, fraction), 1);
    EXPECT_EQ(time, 0.5f);
    const SweptSphere byCorner(Vec3(0, 1.5f, 0), towards, 1.0f);
    ASSERT_EQ(sweepHitsVertex(byCorner, Vec3(0, 0, 0), time), 1);
    EXPECT_EQ(time, 0.5f);
    setCollisionEpsilon(previous);
}

}  // namespace
