#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>

#include "collision/closest_point.h"
#include "collision/sweep_first.h"
#include "support/test_scenes.h"

using namespace sweepview;

namespace {

constexpr float INF = std::numeric_limits<float>::infinity();
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
using F = ContactFeature;

// The triangle (0,0,0), (4,0,0), (0,4,0), facing +z.
std::unique_ptr<CollisionMesh> oneTriangle() {
    return buildScene({Vec3(0, 0, 0), Vec3(4, 0, 0), Vec3(0, 4, 0)}, {meshTriangle(0, 1, 2)});
}

void expectFound(const ClosestPoint& c, Vec3 point, std::int32_t triangle, F feature,
                 float distance) {
    EXPECT_TRUE(c.found);
    EXPECT_EQ(c.point, point);
    EXPECT_EQ(c.triangle, triangle);
    EXPECT_EQ(c.feature, feature);
    EXPECT_EQ(c.distance, distance);
}

void expectNone(const ClosestPoint& c) {
    EXPECT_TRUE(!c.found && c.triangle == -1 && c.distance == 0.0f) << c.triangle;
}

TEST(ClosestPoint, FaceInterior) {
    const auto s = oneTriangle();
    expectFound(closestPoint(*s, {1, 1, 3}, INF), {1, 1, 0}, 0, F::Face, 3);
    expectFound(closestPoint(*s, {1, 1, 0}, INF), {1, 1, 0}, 0, F::Face, 0);
    expectFound(closestPoint(*s, {1, 1, -3}, INF, FaceSides::Two), {1, 1, 0}, 0, F::Face, 3);
    expectNone(closestPoint(*s, {1, 1, -3}, INF, FaceSides::One));  // behind: passes it
    expectFound(closestPoint(*s, {1, 1, 3}, INF, FaceSides::One), {1, 1, 0}, 0, F::Face, 3);
    // A floor whose edges run askew: exactly 2 away, so within a limit of 2.
    const auto floor = buildScene({Vec3(-10, 0, -10), Vec3(10, 0, -10), Vec3(0, 0, 10)}, {meshTriangle(0, 2, 1)});
    expectFound(closestPoint(*floor, {0.3f, 2, 0.1f}, 2), {0.3f, 0, 0.1f}, 0, F::Face, 2);
    // A tree whose boxes all miss the triangle (loose): searched all the same.
    auto loose = chainScene({Vec3(0, 0, 0), Vec3(4, 0, 0), Vec3(0, 4, 0)}, {meshTriangle(0, 1, 2)},
                            {0, 0, 0}, NodeBox(Vec3(50, 50, 50), Vec3(1, 1, 1)));
    compileScene(*loose);
    expectFound(closestPoint(*loose, {1, 1, 3}, 3), {1, 1, 0}, 0, F::Face, 3);
}

TEST(ClosestPoint, EdgeSharedByTwoTrianglesGoesToTheSmallerIndex) {
    expectFound(closestPoint(*oneTriangle(), {3, 3, 2}, INF), {2, 2, 0}, 0, F::Edge,
                std::sqrt(6.0f));
    // A fold along the x axis: the floor and a wall meet there, the point as
    // near to both, whichever the tree holds first.
    const Vec3 v[] = {Vec3(0, 0, 0), Vec3(4, 0, 0), Vec3(0, 4, 0), Vec3(0, 0, 4)};
    const MeshTriangle floor = meshTriangle(0, 1, 2), wall = meshTriangle(1, 0, 3);
    for (const auto& triangles : {std::vector{floor, wall}, std::vector{wall, floor}}) {
        const auto s = buildScene(std::vector<Vec3>(v, v + 4), triangles);
        expectFound(closestPoint(*s, {1, -1, -1}, INF), {1, 0, 0}, 0, F::Edge, std::sqrt(2.0f));
    }
}

TEST(ClosestPoint, CornerSharedByAFanGoesToTheSmallerIndex) {
    expectFound(closestPoint(*oneTriangle(), {-1, -2, 0.5f}, INF), {0, 0, 0}, 0, F::Corner,
                std::sqrt(5.25f));
    // Four triangles round the corner (0,0,0), the point beyond it below all.
    const auto s =
        buildScene({Vec3(0, 0, 0), Vec3(4, 0, 0), Vec3(0, 4, 0), Vec3(-4, 0, 0), Vec3(0, -4, 0)},
                   {meshTriangle(0, 2, 3), meshTriangle(0, 1, 2), meshTriangle(0, 3, 4),
                    meshTriangle(0, 4, 1)});
    expectFound(closestPoint(*s, {0, 0, -2}, INF), {0, 0, 0}, 0, F::Corner, 2);
    expectFound(closestPoint(*s, {0, 0, 2}, INF, FaceSides::One), {0, 0, 0}, 0, F::Corner, 2);
    expectNone(closestPoint(*s, {0, 0, -2}, INF, FaceSides::One));
}

TEST(ClosestPoint, BeyondMaxDistance) {
    const auto s = oneTriangle();
    expectFound(closestPoint(*s, {1, 1, 3}, 3), {1, 1, 0}, 0, F::Face, 3);  // exactly: found
    expectNone(closestPoint(*s, {1, 1, 3}, std::nextafter(3.0f, 0.0f)));
    expectNone(closestPoint(*s, {1, 1, 3}, -1));
    expectNone(closestPoint(CollisionMesh(), {0, 0, 0}, INF));
    expectFound(closestPoint(*s, {1e4f, 0, 0}, INF), {4, 0, 0}, 0, F::Corner, 9996);
}

TEST(ClosestPoint, TriangleWithoutArea) {
    // Collinear and coincident corners: edges and corners, from either
    // side. A sliver 0.002 wide still has its face, its plane taken in double.
    const auto s =
        buildScene({Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(2, 0, 0), Vec3(5, 5, 5), Vec3(20, 0, 0),
                    Vec3(30, 0, 0), Vec3(25, 0.002f, 0)},
                   {meshTriangle(0, 2, 1), meshTriangle(3, 3, 3), meshTriangle(4, 5, 6)});
    for (const FaceSides sides : {FaceSides::One, FaceSides::Two}) {
        expectFound(closestPoint(*s, {1.5f, 1, 0}, INF, sides), {1.5f, 0, 0}, 0, F::Edge, 1);
        expectFound(closestPoint(*s, {-1, 0, 0}, INF, sides), {0, 0, 0}, 0, F::Corner, 1);
        expectFound(closestPoint(*s, {5, 5, 7}, INF, sides), {5, 5, 5}, 1, F::Corner, 2);
    }
    const ClosestPoint sliver = closestPoint(*s, {25, 0.001f, -1}, INF);
    EXPECT_EQ(sliver.triangle, 2);
    EXPECT_EQ(sliver.feature, F::Face);
    EXPECT_EQ(sliver.point, Vec3(25, 0.001f, 0));
    EXPECT_EQ(sliver.distance, 1.0f);
}

TEST(ClosestPoint, NonNumberInput) {
    const auto s = oneTriangle();
    expectNone(closestPoint(*s, {NaN, 1, 1}, INF));
    expectNone(closestPoint(*s, {1, INF, 1}, INF));
    expectNone(closestPoint(*s, {1, 1, 1}, NaN));
    // A corner not a number, and an index outside the vertices: skipped, with
    // the tree and without.
    auto odd = chainScene({Vec3(0, 0, NaN), Vec3(4, 0, 0), Vec3(0, 4, 0), Vec3(4, 4, 0)},
                          {meshTriangle(0, 1, 2), meshTriangle(1, 2, 7), meshTriangle(1, 2, 3)},
                          {0, 1, 2}, NodeBox(Vec3(), Vec3(10, 10, 10)));
    compileScene(*odd);
    for (int pass = 0; pass < 2; ++pass) {
        expectFound(closestPoint(*odd, {3, 3, 1}, INF), {3, 3, 0}, 2, F::Face, 1);
        odd->compiled.reset();
    }
}

using D = std::array<double, 3>;
D minus(const D& a, const D& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double dotD(const D& a, const D& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
D crossD(const D& a, const D& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Triangle t's distance from q in double: to its plane when q lies over the
// face, else to the nearest of its edges.
double distanceInDouble(const CollisionMesh& s, std::int32_t t, const Vec3& q) {
    const MeshTriangle& m = s.triangles[static_cast<std::size_t>(t)];
    D c[3], p{q.x, q.y, q.z};
    int i = 0;
    for (const std::int32_t v : {m.vertex0, m.vertex1, m.vertex2}) {
        const Vec3& w = s.vertices[static_cast<std::size_t>(v)];
        c[i++] = {w.x, w.y, w.z};
    }
    const D n = crossD(minus(c[1], c[0]), minus(c[2], c[0]));
    bool inside = true;
    double edge = std::numeric_limits<double>::infinity();
    for (i = 0; i < 3; ++i) {
        const D e = minus(c[(i + 1) % 3], c[i]), w = minus(p, c[i]);
        inside = inside && dotD(crossD(e, w), n) >= 0;
        const double k = std::clamp(dotD(w, e) / dotD(e, e), 0.0, 1.0);
        const D x = {w[0] - e[0] * k, w[1] - e[1] * k, w[2] - e[2] * k};
        edge = std::min(edge, std::sqrt(dotD(x, x)));
    }
    return inside ? std::fabs(dotD(minus(p, c[0]), n)) / std::sqrt(dotD(n, n)) : edge;
}

TEST(ClosestPoint, MatchesADoublePrecisionBruteForceOnARandomScene) {
    const auto tree = randomScene(11, 400, 20.0f, 4.0f);
    const auto flat = randomScene(11, 400, 20.0f, 4.0f);
    flat->compiled.reset();  // tries every triangle
    std::mt19937 random(5);
    std::uniform_real_distribution<float> unit(-30.0f, 30.0f);
    for (int i = 0; i < 300; ++i) {
        const Vec3 p(unit(random), unit(random), unit(random));
        const float maxDistance = i % 3 == 0 ? 4.0f : INF;
        for (const FaceSides sides : {FaceSides::One, FaceSides::Two}) {
            const ClosestPoint c = closestPoint(*tree, p, maxDistance, sides);
            const ClosestPoint b = closestPoint(*flat, p, maxDistance, sides);
            ASSERT_TRUE(c.found == b.found && c.triangle == b.triangle && c.feature == b.feature &&
                        c.point == b.point && c.distance == b.distance)
                << i;  // bit for bit
        }
        const ClosestPoint c = closestPoint(*tree, p, maxDistance);
        double nearest = std::numeric_limits<double>::infinity();
        for (std::int32_t t = 0; t < 400; ++t) {
            nearest = std::min(nearest, distanceInDouble(*tree, t, p));
        }
        if (std::fabs(nearest - maxDistance) < 1e-4) {
            continue;  // too close to the limit to tell
        }
        ASSERT_EQ(c.found, nearest <= maxDistance) << i;
        if (c.found) {
            EXPECT_NEAR(c.distance, nearest, 2e-5) << i;
            EXPECT_NEAR(distanceInDouble(*tree, c.triangle, p), nearest, 2e-5) << i;
            EXPECT_NEAR(distanceInDouble(*tree, c.triangle, c.point), 0.0, 2e-5) << i;
        }
    }
}

// Far from the origin a nearest point on an edge or a face rounds to a unit
// in the last place of its coordinates (0.001 at 1e4); the distance, and the
// start overlap's depth built on it, must not inherit that.
TEST(ClosestPoint, DistanceAndDepthKeepTheirPrecisionFarFromTheOrigin) {
    const Vec3 far(1e4f, -1e4f, 1e4f);
    const auto s = buildScene({far, far + Vec3(3.1f, 0.7f, 0.3f), far + Vec3(0.2f, 2.9f, 0.9f)},
                              {meshTriangle(0, 1, 2)});
    std::mt19937 random(3);
    std::uniform_real_distribution<float> unit(-4.0f, 4.0f);
    for (int i = 0; i < 200; ++i) {
        const Vec3 p = far + Vec3(unit(random), unit(random), unit(random));
        const double nearest = distanceInDouble(*s, 0, p);
        const ClosestPoint c = closestPoint(*s, p, INF, FaceSides::Two);
        ASSERT_TRUE(c.found);
        EXPECT_NEAR(c.distance, nearest, 1e-4) << i << " " << static_cast<int>(c.feature);
        const SweepHit h = sweepFirst(*s, SweptSphere(p, Vec3(), 8.0f), {EdgeRule::Exact, FaceSides::Two});
        ASSERT_TRUE(h.startsInside);
        EXPECT_NEAR(h.depth, 8.0 - nearest, 1e-4) << i;
    }
}

}  // namespace
