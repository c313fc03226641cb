#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "collision/closest_point.h"
#include "collision/query_counters.h"
#include "collision/sweep_first.h"
#include "collision/sweep_triangle.h"
#include "support/test_scenes.h"

using namespace sweepview;

namespace {

// Every triangle of the scene tested, the earliest kept, ties to the smallest
// index: what sweepFirst must give whatever the tree.
SweepHit bruteForce(const CollisionMesh& scene, const SweptSphere& sphere, SweepOptions options) {
    const SweepSetup setup = prepareSweep(sphere, options);
    SweepHit best;
    for (std::size_t i = 0; i < scene.triangles.size(); ++i) {
        const MeshTriangle& t = scene.triangles[i];
        Triangle corners;
        corners.init(scene.vertices[t.vertex0], scene.vertices[t.vertex1], scene.vertices[t.vertex2]);
        Vec3 normal;
        float time = 0.0f;
        TriangleContact where;
        if (sweepHitsTriangle(sphere, setup, prepareTriangle(corners), normal, time, &where) != 0 &&
            (!best.found || time < best.time)) {
            best = {true, time, normal, where.point, static_cast<std::int32_t>(i), where.feature};
        }
    }
    return best;
}

SweptSphere sweepNumber(int i, float length) {
    const Vec3 from(std::sin(i * 1.1f) * 22, std::sin(i * 2.3f) * 22, std::sin(i * 3.7f) * 22);
    const Vec3 motion(std::sin(i * 5.9f) * length, std::sin(i * 7.3f) * length, std::sin(i * 9.1f) * length);
    return SweptSphere(from, motion, i % 3 == 0 ? 0.3f : 2.5f);
}

// The wide walk (a small scene), the binary walk (the wide form dropped) and
// a scene without a compiled form, on every rule and side, short and long
// sweeps: found, time and triangle of the brute force, bit for bit; the
// normal, point and feature of that triangle's test.
TEST(SweepFirst, EqualsATestOfEveryTriangleOnEveryWalkRuleAndSide) {
    const auto wide = randomScene(5, 1500, 20.0f, 4.0f);
    const auto binary = randomScene(5, 1500, 20.0f, 4.0f);
    binary->compiled->wide.clear();
    const auto linked = randomScene(5, 1500, 20.0f, 4.0f);
    linked->compiled.reset();
    ASSERT_FALSE(wide->compiled->wide.empty());
    for (const EdgeRule edges : {EdgeRule::Design, EdgeRule::Exact}) {
        for (const FaceSides faces : {FaceSides::One, FaceSides::Two, FaceSides::Cull}) {
            const SweepOptions options(edges, faces);
            int found = 0;
            for (int i = 0; i < 600; ++i) {
                const SweptSphere sphere = sweepNumber(i, i % 2 == 0 ? 3.0f : 30.0f);
                const SweepHit expected = bruteForce(*wide, sphere, options);
                for (const CollisionMesh* scene : {wide.get(), binary.get(), linked.get()}) {
                    const SweepHit hit = sweepFirst(*scene, sphere, options);
                    ASSERT_EQ(hit.found, expected.found) << i;
                    ASSERT_EQ(std::bit_cast<std::uint32_t>(hit.time), std::bit_cast<std::uint32_t>(expected.time)) << i;
                    ASSERT_EQ(hit.triangle, expected.triangle) << i;
                    // A start inside turns the normal into the way out.
                    ASSERT_TRUE(hit.startsInside || sameBits(hit.normal, expected.normal)) << i;
                    ASSERT_TRUE(sameBits(hit.point, expected.point)) << i;
                    ASSERT_EQ(hit.feature, expected.feature) << i;
                    // The start's overlap, found in the same walk: the nearest point's.
                    const ClosestPoint near = closestPoint(*scene, sphere.position, sphere.radius, faces);
                    ASSERT_EQ(hit.startsInside, near.found && near.distance < sphere.radius) << i;
                    ASSERT_EQ(hit.depth, hit.startsInside ? sphere.radius - near.distance : 0.0f) << i;
                }
                found += expected.found;
            }
            EXPECT_GT(found, 200) << static_cast<int>(faces);
        }
    }
}

// A floor met from above and from below: culling skips the floor when the
// sphere comes from behind, where two-sided faces stop it and flag the back.
TEST(SweepFirst, CullingSkipsBackFacesAndHitsSayWhichSideTheyMet) {
    const auto floor = buildScene({{-10, -10, 0}, {10, -10, 0}, {0, 10, 0}}, {meshTriangle(0, 1, 2)});
    const SweptSphere down(Vec3(0, 0, 3), Vec3(0, 0, -4), 1.0f);
    const SweptSphere up(Vec3(0, 0, -3), Vec3(0, 0, 4), 1.0f);
    for (const FaceSides faces : {FaceSides::One, FaceSides::Two, FaceSides::Cull}) {
        const SweepHit front = sweepFirst(*floor, down, SweepOptions(EdgeRule::Exact, faces));
        EXPECT_TRUE(front.found && !front.backFace);
        EXPECT_EQ(front.time, (2.0f - DEFAULT_SWEEP_TOLERANCE) / 4.0f);
        EXPECT_EQ(front.normal, Vec3(0, 0, 1));
        EXPECT_EQ(front.point, Vec3(0, 0, 0));
        EXPECT_EQ(front.feature, ContactFeature::Face);
    }
    const SweepHit twoSided = sweepFirst(*floor, up, SweepOptions(EdgeRule::Exact, FaceSides::Two));
    EXPECT_TRUE(twoSided.found && twoSided.backFace);
    EXPECT_EQ(twoSided.normal, Vec3(0, 0, -1));
    EXPECT_FALSE(sweepFirst(*floor, up, SweepOptions(EdgeRule::Exact, FaceSides::Cull)).found);
    EXPECT_FALSE(sweepFirst(*floor, up, SweepOptions(EdgeRule::Exact, FaceSides::One)).found);
    // Moving past the floor's edge from behind: One meets the edge, Cull skips it whole.
    const SweptSphere pastEdge(Vec3(0, -10.5f, -3), Vec3(0, 0, 6), 1.0f);
    EXPECT_EQ(sweepFirst(*floor, pastEdge, SweepOptions(EdgeRule::Exact, FaceSides::One)).feature,
              ContactFeature::Edge);
    EXPECT_FALSE(sweepFirst(*floor, pastEdge, SweepOptions(EdgeRule::Exact, FaceSides::Cull)).found);
}

// A start within the radius of the floor (at z = 0): reported whether or not
// the motion meets anything, with the depth and the way out; moving deeper
// into an edge meets it at once, moving out is free; a centre behind a
// one-sided face does not count.
TEST(SweepFirst, StartOverlapTable) {
    const auto floor = buildScene({{-10, -10, 0}, {10, -10, 0}, {0, 10, 0}}, {meshTriangle(0, 1, 2)});
    struct Case {
        const char* name;
        Vec3 start, motion;
        FaceSides faces;
        bool inside;
        float depth;
        Vec3 normal;
        bool found;
    };
    const Case cases[] = {
        {"inside the face", {0, 0, 0.5f}, {1, 0, 0}, FaceSides::One, true, 0.5f, {0, 0, 1}, false},
        {"touching, leaving", {0, 0, 1}, {0, 0, 1}, FaceSides::One, false, 0.0f, {}, false},
        {"moving into an edge", {0, -10.5f, 0}, {0, 1, 0}, FaceSides::One, true, 0.5f, {0, -1, 0}, true},
        {"moving out of it", {0, -10.5f, 0}, {0, -1, 0}, FaceSides::One, true, 0.5f, {0, -1, 0}, false},
        {"behind, one-sided", {0, 0, -0.5f}, {1, 0, 0}, FaceSides::One, false, 0.0f, {}, false},
        {"behind, two-sided", {0, 0, -0.5f}, {1, 0, 0}, FaceSides::Two, true, 0.5f, {0, 0, -1}, false},
    };
    for (const Case& c : cases) {
        const SweepHit hit = sweepFirst(*floor, SweptSphere(c.start, c.motion, 1.0f), SweepOptions(EdgeRule::Exact, c.faces));
        EXPECT_EQ(hit.startsInside, c.inside) << c.name;
        EXPECT_NEAR(hit.depth, c.depth, 1e-6f) << c.name;
        EXPECT_EQ(hit.found, c.found) << c.name;
        if (c.inside) {
            EXPECT_EQ(hit.normal, c.normal) << c.name;
        }
        if (c.found) {
            EXPECT_EQ(hit.time, 0.0f) << c.name;
            EXPECT_EQ(hit.feature, ContactFeature::Edge) << c.name;
        }
    }
}

// The batch: what one by one gives, on one and on two threads, and the work
// of its threads summed into the caller's record.
TEST(SweepFirst, BatchGivesTheHitsOfOneByOne) {
    const auto scene = randomScene(3, 3000, 20.0f, 4.0f);
    std::vector<SweptSphere> spheres;
    for (int i = 0; i < 2000; ++i) {
        spheres.push_back(sweepNumber(i, 8.0f));
    }
    QueryCounters alone;
    std::vector<SweepHit> expected;
    for (const SweptSphere& sphere : spheres) {
        SweepOptions options(EdgeRule::Exact);
        options.stats = &alone;
        expected.push_back(sweepFirst(*scene, sphere, options));
    }
    for (const int threads : {1, 2}) {
        QueryCounters counted;
        SweepOptions options(EdgeRule::Exact);
        options.stats = &counted;
        std::vector<SweepHit> hits(spheres.size());
        sweepFirstBatch(*scene, spheres, hits, threads, options);
        for (std::size_t i = 0; i < hits.size(); ++i) {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(hits[i].time), std::bit_cast<std::uint32_t>(expected[i].time));
            ASSERT_EQ(hits[i].triangle, expected[i].triangle);
        }
        EXPECT_EQ(counted.sweeps, 2000u);
        EXPECT_EQ(counted.triangleTests, alone.triangleTests);
        EXPECT_EQ(counted.boxTests, alone.boxTests);
    }
}

}  // namespace
