#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "collision/sweep_edge.h"
#include "collision/sweep_triangle.h"
#include "support/test_scenes.h"

using namespace sweepview;

namespace {

// Radius 1 against V0 = (0,0,0), V1 = (10,0,0), V2 = (0,10,0), normal (0,0,1).
struct TriangleCase {
    Vec3 centre;
    Vec3 displacement;
    std::int32_t hits;
    float time;
    Vec3 normal;
};

TEST(SweepHitsTriangle, FaceEdgesAndCornersInTheirOrder) {
    const TriangleCase cases[] = {
        {{2, 2, 5}, {0, 0, -10}, 1, 0.3999f, {0, 0, 1}},   // face
        {{2, 2, 5}, {10, 0, 0}, 0, 0, {}},                 // ends 4 in front: rejected early
        {{2, 2, -5}, {0, 0, 10}, 0, 0, {}},                // through the back
        {{5, -5, 0}, {0, 10, 0}, 1, 0.3999f, {0, -1, 0}},  // edge at right angles
        {{0, -5, 0}, {10, 10, 0}, 1, 0.42922f, {-0.70711f, -0.70711f, 0}},  // edge at 45 degrees
        // Crosses (V1, V2) first (alone: t = 0.24995), but (V0, V1) is tried first.
        {{8, 8, 0}, {0, -20, 0}, 1, 0.34995f, {0, 1, 0}},
        {{-0.6f, -0.6f, 5}, {0, 0, -10}, 1, 0.44698f, {-0.59968f, -0.59968f, 0.52987f}},  // corner
        {{2, 2, 1}, {0, 0, -1}, 1, 0.0f, {0, 0, 1}},       // starting in contact
        {{2, 2, 11}, {0, 0, -10}, 1, 0.9999f, {0, 0, 1}},  // contact at t = 1
        {{2, 2, 5}, {0, 0, 0}, 0, 0, {}},                  // no motion
    };
    useViewerEpsilon();
    for (const TriangleCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.centre.x << "," << c.centre.y << "," << c.centre.z);
        Triangle triangle;
        triangle.init(Vec3(0, 0, 0), Vec3(10, 0, 0), Vec3(0, 10, 0));
        Vec3 normal(7, 7, 7);
        float time = -1;
        ASSERT_EQ(
            sweepHitsTriangle(SweptSphere(c.centre, c.displacement, 1.0f), triangle, normal, time),
            c.hits);
        if (!c.hits) {
            EXPECT_EQ(normal, Vec3(7, 7, 7));  // untouched
            continue;
        }
        EXPECT_NEAR(time, c.time, 1e-5f);
        EXPECT_NEAR(normal.x, c.normal.x, 1e-5f);
        EXPECT_NEAR(normal.y, c.normal.y, 1e-5f);
        EXPECT_NEAR(normal.z, c.normal.z, 1e-5f);
    }
}

TEST(SweepHitsTriangle, EndingExactlyAtTheReachToleranceGoesOnToTheEdges) {
    // Rising from behind across the edge (V0, V1): the leading point ends at
    // z = 0 with the plane at -0.001, so g is exactly the tolerance and the
    // edges are tried; one ulp lower it is rejected, though the edge alone
    // reports contact either way.
    useViewerEpsilon();
    const SweptSphere rising(Vec3(5, -5, 0), Vec3(0, 10, 1), 1.0f);
    for (const float z : {-PLANE_REACH_TOLERANCE, std::nextafter(-PLANE_REACH_TOLERANCE, -1.0f)}) {
        Triangle triangle;
        triangle.init(Vec3(0, 0, z), Vec3(10, 0, z), Vec3(0, 10, z));
        Vec3 normal;
        float time = 0;
        float fraction = 0;
        ASSERT_EQ(sweepHitsEdge(rising, Segment(triangle.corners[0], triangle.corners[1]), time,
                                fraction),
                  1);
        EXPECT_EQ(sweepHitsTriangle(rising, triangle, normal, time), z == -PLANE_REACH_TOLERANCE);
    }
}

// A triangle without area has a non-number normal: no face and no plane
// rejection, but its edges and corners still stop the sphere; a corner that
// is not a number stops nothing.
TEST(SweepHitsTriangle, DegenerateTrianglesAreTestedOnEdgesAndCorners) {
    useViewerEpsilon();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        Vec3 a, b, c, from, motion;
        std::int32_t hits;
        float time;
        Vec3 normal;
    } cases[] = {
        {{0, 0, 0}, {5, 0, 0}, {10, 0, 0}, {2.5f, -5, 0}, {0, 10, 0}, 1, (4.0f - 0.001f) / 10.0f, {0, -1, 0}},
        {{3, 3, 3}, {3, 3, 3}, {3, 3, 3}, {-7, 3, 3}, {20, 0, 0}, 1, (9.0f - 0.001f) / 20.0f, {-1, 0, 0}},
        {{nan, 0, 0}, {10, 0, 0}, {0, 10, 0}, {2, 2, 5}, {0, 0, -10}, 0, -1, {}},
    };
    for (const auto& c : cases) {
        Triangle triangle;
        triangle.init(c.a, c.b, c.c);
        Vec3 normal;
        float time = -1;
        ASSERT_EQ(sweepHitsTriangle(SweptSphere(c.from, c.motion, 1.0f), triangle, normal, time), c.hits);
        EXPECT_EQ(time, c.time);
        EXPECT_EQ(normal, c.normal);
    }
}

// A sphere behind the face passes it one-sided and stops two-sided, the
// normal turned towards it; with the exact rule a sphere starting within a
// corner or an edge stops at once moving in and is free moving out.
TEST(SweepHitsTriangle, TwoSidedFacesAndTheWayIntoCornersAndEdges) {
    const TriangleCase behind = {{2, 2, -5}, {0, 0, 10}, 1, 0.3999f, {0, 0, -1}};
    const float inCorner = 1 / std::sqrt(0.54f);  // centre (-0.5, -0.5, 0.2), corner V0
    const float inEdge = 1 / std::sqrt(0.29f);    // centre (5, -0.5, 0.2), edge V0V1
    const TriangleCase exact[] = {
        {{-0.5f, -0.5f, 0.2f}, {1, 1, 0}, 1, 0.0f, Vec3(-0.5f, -0.5f, 0.2f) * inCorner},
        {{-0.5f, -0.5f, 0.2f}, {-1, -1, 0}, 0, 0, {}},
        {{5, -0.5f, 0.2f}, {0, 1, 0}, 1, 0.0f, Vec3(0, -0.5f, 0.2f) * inEdge},
        {{5, -0.5f, 0.2f}, {0, -1, 0}, 0, 0, {}},
    };
    useViewerEpsilon();
    const auto run = [](const TriangleCase& c, SweepOptions options) {
        Triangle triangle;
        triangle.init(Vec3(0, 0, 0), Vec3(10, 0, 0), Vec3(0, 10, 0));
        const SweptSphere sphere(c.centre, c.displacement, 1.0f);
        Vec3 normal;
        float time = -1;
        const std::int32_t hits =
            sweepHitsTriangle(sphere, prepareSweep(sphere, options), triangle, normal, time);
        EXPECT_EQ(hits, c.hits);
        if (hits != 0) {
            EXPECT_NEAR(time, c.time, 1e-5f);
            EXPECT_NEAR(length(normal - c.normal), 0.0f, 1e-5f);
        }
    };
    for (const EdgeRule rule : {EdgeRule::Design, EdgeRule::Exact}) {
        run({behind.centre, behind.displacement, 0, 0, {}}, rule);
        run(behind, {rule, FaceSides::Two});
    }
    for (const TriangleCase& c : exact) {
        SCOPED_TRACE(testing::Message() << c.centre.x << "," << c.displacement.x);
        run(c, EdgeRule::Exact);
        run(c, {EdgeRule::Exact, FaceSides::Two});
    }
}

}  // namespace
