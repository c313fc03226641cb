#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <random>

#include "collision/closest_point.h"
#include "collision/query_counters.h"
#include "collision/sweep_first.h"
#include "collision/sweep_query.h"
#include "collision/sweep_triangle.h"
#include "scene/compiled_tree.h"
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

// The same scene as wide (when small enough), binary and linked trees.
struct ThreeWalks {
    std::unique_ptr<CollisionMesh> wide, binary, linked;
};

ThreeWalks threeWalks(const std::function<std::unique_ptr<CollisionMesh>()>& make) {
    ThreeWalks walks{make(), make(), make()};
    walks.binary->compiled->wide.clear();
    walks.linked->compiled.reset();
    return walks;
}

// On each walk, found, time and triangle of the brute force, bit for bit;
// the normal, point and feature of that triangle's test; the start's
// overlap as the nearest point gives it. Returns whether it found a contact.
bool expectBruteForceOnEveryWalk(const ThreeWalks& walks, const SweptSphere& sphere, const SweepOptions& options,
                                 int i) {
    const SweepHit expected = bruteForce(*walks.wide, sphere, options);
    for (const CollisionMesh* scene : {walks.wide.get(), walks.binary.get(), walks.linked.get()}) {
        const SweepHit hit = sweepFirst(*scene, sphere, options);
        EXPECT_EQ(hit.found, expected.found) << i;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(hit.time), std::bit_cast<std::uint32_t>(expected.time)) << i;
        EXPECT_EQ(hit.triangle, expected.triangle) << i;
        // A start inside turns the normal into the way out.
        EXPECT_TRUE(hit.startsInside || sameBits(hit.normal, expected.normal)) << i;
        EXPECT_TRUE(sameBits(hit.point, expected.point)) << i;
        EXPECT_EQ(hit.feature, expected.feature) << i;
        const ClosestPoint near = closestPoint(*scene, sphere.position, sphere.radius, options.faces);
        EXPECT_EQ(hit.startsInside, near.found && near.distance < sphere.radius) << i;
        EXPECT_EQ(hit.depth, hit.startsInside ? sphere.radius - near.distance : 0.0f) << i;
    }
    return expected.found;
}

// The wide walk (a small scene), the binary walk (the wide form dropped) and
// a scene without a compiled form, on every rule and side, short and long
// sweeps.
TEST(SweepFirst, EqualsATestOfEveryTriangleOnEveryWalkRuleAndSide) {
    const ThreeWalks walks = threeWalks([] { return randomScene(5, 1500, 20.0f, 4.0f); });
    ASSERT_FALSE(walks.wide->compiled->wide.empty());
    for (const EdgeRule edges : {EdgeRule::Design, EdgeRule::Exact}) {
        for (const FaceSides faces : {FaceSides::One, FaceSides::Two, FaceSides::Cull}) {
            const SweepOptions options(edges, faces);
            int found = 0;
            for (int i = 0; i < 600 && !testing::Test::HasFailure(); ++i) {
                found += expectBruteForceOnEveryWalk(walks, sweepNumber(i, i % 2 == 0 ? 3.0f : 30.0f), options, i);
            }
            EXPECT_GT(found, 200) << static_cast<int>(faces);
        }
    }
}

// A tree of more than 65,536 triangles, whose wide walk queues the leaves it
// reaches and tests them a few at a time, runs of them in one slot, and whose
// start overlap waits for the triangles tested: the same result as every
// triangle tested.
TEST(SweepFirst, ABigTreeQueuesItsLeavesAndKeepsTheFirstContact) {
    const ThreeWalks walks = threeWalks([] { return randomScene(11, 66000, 40.0f, 2.5f); });
    ASSERT_FALSE(walks.wide->compiled->wide.empty());
    int found = 0;
    int inside = 0;
    for (int i = 0; i < 48 && !testing::Test::HasFailure(); ++i) {
        const SweepOptions options(i % 2 == 0 ? EdgeRule::Exact : EdgeRule::Design, static_cast<FaceSides>(i % 3));
        const SweptSphere sphere = sweepNumber(i, i % 4 < 2 ? 3.0f : 30.0f);
        found += expectBruteForceOnEveryWalk(walks, sphere, options, i);
        inside += sweepFirst(*walks.wide, sphere, options).startsInside;
    }
    EXPECT_GT(found, 30);
    EXPECT_GT(inside, 12);
}

// Walls one behind the other across a long sweep: once the first wall is met,
// the ones behind it hold only later contacts, so the walk tests the first
// few and skips the rest, on the wide and the binary walk alike.
TEST(SweepFirst, AContactSkipsTheWallsBehindIt) {
    const auto walls = [] {
        std::vector<Vec3> vertices;
        std::vector<MeshTriangle> triangles;
        for (std::int32_t i = 0; i < 64; ++i) {
            const float x = 1.0f + i;
            const std::int32_t a = static_cast<std::int32_t>(vertices.size());
            vertices.insert(vertices.end(), {Vec3(x, -2, -2), Vec3(x, 2, -2), Vec3(x, 2, 2), Vec3(x, -2, 2)});
            triangles.push_back(meshTriangle(a, a + 2, a + 1));
            triangles.push_back(meshTriangle(a, a + 3, a + 2));
        }
        return buildScene(std::move(vertices), std::move(triangles));
    };
    const ThreeWalks scenes = threeWalks(walls);
    ASSERT_FALSE(scenes.wide->compiled->wide.empty());
    for (const CollisionMesh* scene : {scenes.wide.get(), scenes.binary.get()}) {
        for (const FaceSides faces : {FaceSides::One, FaceSides::Two, FaceSides::Cull}) {
            QueryCounters counted;
            SweepOptions options(EdgeRule::Exact, faces);
            options.stats = &counted;
            const SweepHit hit = sweepFirst(*scene, SweptSphere(Vec3(-0.5f, 0.1f, 0.2f), Vec3(100, 0, 0), 0.5f), options);
            ASSERT_TRUE(hit.found);
            EXPECT_LT(hit.time, 0.01f);
            EXPECT_LE(counted.triangleTests, 4u);
            EXPECT_LE(counted.boxTests, 60u);
        }
    }
}

// Slivers (down to no width at all) and triangles a little off their own
// plane: a face test's rounding can place their contacts beyond their
// corners, by a bound the boxes above them are grown by (or, thinner, never
// skipped). Sweeps aimed at them, every walk, rule and side.
TEST(SweepFirst, SliversKeepTheFirstContactOfEveryTriangle) {
    const auto slivers = [] {
        std::mt19937 random(11);
        std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
        std::vector<Vec3> vertices;
        std::vector<MeshTriangle> triangles;
        for (std::int32_t i = 0; i < 800; ++i) {
            const Vec3 a(unit(random) * 20, unit(random) * 20, unit(random) * 20);
            const Vec3 b = a + Vec3(unit(random), unit(random), unit(random)) * 6.0f;
            const float width = i % 5 == 0 ? 0.0f : std::pow(10.0f, -1.5f * (unit(random) + 2.0f));
            const Vec3 side(unit(random), unit(random), unit(random));
            vertices.insert(vertices.end(), {a, b, a + (b - a) * (0.5f + 0.5f * unit(random)) + side * width});
            triangles.push_back(meshTriangle(3 * i, 3 * i + 1, 3 * i + 2));
        }
        return buildScene(std::move(vertices), std::move(triangles));
    };
    const ThreeWalks walks = threeWalks(slivers);
    const CompiledTree& tree = *walks.wide->compiled;
    std::string why;
    ASSERT_TRUE(checkCompiledTree(tree, 800, &why)) << why;
    ASSERT_FALSE(tree.wide.empty());
    ASSERT_EQ(tree.slack.size(), tree.nodes.size());
    std::mt19937 random(3);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    int found = 0;
    for (int i = 0; i < 1200 && !testing::Test::HasFailure(); ++i) {
        const MeshTriangle& t = walks.wide->triangles[static_cast<std::size_t>(i % 800)];
        const Vec3 target = walks.wide->vertices[static_cast<std::size_t>(t.vertex2)];
        const Vec3 from = target + Vec3(unit(random), unit(random), unit(random)) * 4.0f;
        const float radius = i % 2 == 0 ? 0.5f : 2.0f;
        const SweptSphere sphere(from, (target - from) * 2.0f, radius);
        const SweepOptions options(i % 3 == 0 ? EdgeRule::Design : EdgeRule::Exact,
                                   static_cast<FaceSides>(i % 3));
        found += expectBruteForceOnEveryWalk(walks, sphere, options, i);
        // The all-contacts query's pruning too: the linked walk's contacts.
        ContactState linked;
        sweepQuery(*walks.linked, sphere, linked, options);
        for (const CollisionMesh* scene : {walks.wide.get(), walks.binary.get()}) {
            ContactState state;
            sweepQuery(*scene, sphere, state, options);
            EXPECT_EQ(state.hitTriangles, linked.hitTriangles) << i;
            EXPECT_EQ(std::bit_cast<std::uint32_t>(state.nearestTime), std::bit_cast<std::uint32_t>(linked.nearestTime));
        }
    }
    EXPECT_GT(found, 600);
    // A hand-built tree whose boxes miss its triangle by about 50: grown by that.
    auto off = chainScene({Vec3(0, 0, 0), Vec3(4, 0, 0), Vec3(0, 4, 0)}, {meshTriangle(0, 1, 2)}, {0, 0, 0},
                          NodeBox(Vec3(50, 50, 50), Vec3(1, 1, 1)));
    compileScene(*off);
    ASSERT_EQ(off->compiled->nodes[0].triangle, COMPILED_INNER_SLACK);
    const SweptSphere down(Vec3(1, 1, 3), Vec3(0, 0, -4), 1.0f);
    for (const bool wide : {true, false}) {
        if (!wide) {
            off->compiled->wide.clear();
        }
        EXPECT_EQ(sweepFirst(*off, down, SweepOptions(EdgeRule::Exact, FaceSides::One)).time,
                  (2.0f - DEFAULT_SWEEP_TOLERANCE) / 4.0f);
    }
}

// Far from the origin the corner test's expanded squared distance rounds to
// far more than a tiny radius, so it meets corners well beyond the radius:
// the boxes entered must allow for that at the sweep's own magnitude. A
// jittered grid of small cells 100 out, sweeps of tiny radii aimed past its
// corners.
TEST(SweepFirst, TinyRadiiFarFromTheOriginKeepTheCornersRoundingMeets) {
    const auto grid = [] {
        std::mt19937 random(7);
        std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
        const Vec3 base(-61.3f, 87.9f, 100.0f);
        std::vector<Vec3> vertices;
        std::vector<MeshTriangle> triangles;
        for (std::int32_t i = 0; i <= 12; ++i) {
            for (std::int32_t j = 0; j <= 12; ++j) {
                vertices.push_back(base + Vec3(i + 0.3f * unit(random), 0.5f * unit(random), j + 0.3f * unit(random)) * 0.05f);
                if (i > 0 && j > 0) {
                    const std::int32_t a = (i - 1) * 13 + j - 1;
                    triangles.push_back(meshTriangle(a, a + 1, a + 13));
                    triangles.push_back(meshTriangle(a + 1, a + 14, a + 13));
                }
            }
        }
        return buildScene(std::move(vertices), std::move(triangles));
    };
    const ThreeWalks walks = threeWalks(grid);
    ASSERT_FALSE(walks.wide->compiled->wide.empty());
    std::mt19937 random(0);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    int found = 0;
    for (int i = 0; i < 1500 && !testing::Test::HasFailure(); ++i) {
        const Vec3& corner = walks.wide->vertices[random() % walks.wide->vertices.size()];
        const float radius = i % 2 == 0 ? 5e-5f : 5e-3f;
        const Vec3 direction(unit(random), unit(random), unit(random));
        const Vec3 aim = corner + Vec3(unit(random), unit(random), unit(random)) * (radius * 1.05f);
        const float length = i % 4 < 2 ? 0.025f : 0.25f;
        const SweptSphere sphere(aim - direction * (0.5f * length), direction * length, radius);
        const SweepOptions options(i % 3 == 0 ? EdgeRule::Design : EdgeRule::Exact, static_cast<FaceSides>(i % 3));
        found += expectBruteForceOnEveryWalk(walks, sphere, options, i);
    }
    EXPECT_GT(found, 600);
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
    // A non-number corner elsewhere makes the scale of the overlap's rounding
    // a non-number: the floor's overlap is still found.
    const auto withNaN = buildScene({{-10, -10, 0}, {10, -10, 0}, {0, 10, 0}, {50, 50, 50}, {51, 50, 50}, {NAN, 51, 50}},
                                    {meshTriangle(0, 1, 2), meshTriangle(3, 4, 5)});
    const SweepHit nanScene = sweepFirst(*withNaN, SweptSphere({0, 0, 0.5f}, {1, 0, 0}, 1.0f));
    EXPECT_TRUE(nanScene.startsInside);
    EXPECT_NEAR(nanScene.depth, 0.5f, 1e-6f);
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
