#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

#include "collision/query_counters.h"
#include "collision/sweep_batch.h"
#include "collision/sweep_box.h"
#include "collision/simd_lanes.h"
#include "collision/sweep_query.h"
#include "collision/sweep_triangle.h"
#include "geometry/collision_epsilon.h"
#include "scene/dorn_reader.h"
#include "scene/dorn_writer.h"
#include "support/test_scenes.h"

using namespace sweepview;

namespace {

// Horizontal triangles facing up at the given heights, one per leaf, met in
// the leaf order given. Falling from z = 6.001 by 10 with radius 1, the one at
// height 0 is met at t = 0.5; -0.0005 gives 0.50005, +2 gives 0.3, and so on.
class SweepQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        useViewerEpsilon();
        state = ContactState{};
    }

    std::int32_t fall(const std::vector<float>& heights, const std::vector<int>& leafOrder) {
        std::vector<Vec3> vertices;
        std::vector<MeshTriangle> triangles;
        for (float h : heights) {
            const auto base = static_cast<std::int32_t>(vertices.size());
            vertices.insert(vertices.end(),
                            {Vec3(-10, -10, h), Vec3(10, -10, h), Vec3(-10, 10, h)});
            triangles.push_back(meshTriangle(base, base + 1, base + 2));
        }
        scene = chainScene(vertices, triangles, leafOrder, NodeBox(Vec3(), Vec3(10, 10, 10)));
        return sweepQuery(*scene, SweptSphere(Vec3(-5, -5, 6.001f), Vec3(0, 0, -10), 1.0f), state);
    }

    std::unique_ptr<CollisionMesh> scene;
    ContactState state;
    using List = std::vector<std::int32_t>;
};

// Each case: heights, leaf order, the list before, then the list, time and
// normal's z after. The first contact appends to the list (not emptied);
// contacts within the band are summed at the time of the one found first; the
// band is measured from nearestTime; an earlier contact replaces the list; a
// later one is ignored but still gives a result of 1; a triangle named by two
// leaves is listed and summed twice.
TEST_F(SweepQueryTest, RecordingRules) {
    const struct {
        std::vector<float> heights;
        std::vector<int> order;
        List before, after;
        float time, normalZ;
    } cases[] = {
        {{0}, {0}, {7}, {7, 0}, 0.5f, 1},
        {{0, -0.0005f}, {1, 0}, {}, {1, 0}, 0.50005f, 2},
        {{0, 0.0005f}, {0, 1}, {}, {0, 1}, 0.5f, 2},
        {{0, -0.0009f, -0.0018f}, {0, 1, 2}, {}, {0, 1}, 0.5f, 2},
        {{0, 2}, {0, 1}, {7}, {1}, 0.3f, 1},
        {{2, 0}, {0, 1}, {}, {0}, 0.3f, 1},
        {{0}, {0, 0}, {}, {0, 0}, 0.5f, 2},
    };
    for (const auto& c : cases) {
        state.hitTriangles = c.before;
        ASSERT_EQ(fall(c.heights, c.order), 1);
        EXPECT_EQ(state.hitTriangles, c.after) << c.heights.size();
        EXPECT_NEAR(state.nearestTime, c.time, 1e-6f);
        EXPECT_EQ(state.contactNormal, Vec3(0, 0, c.normalZ));
    }
}

TEST_F(SweepQueryTest, MissesAndScenesBreakingTheInvariants) {
    fall({0}, {0});
    state.contactNormal = Vec3(1, 2, 3);
    state.hitTriangles = {7};  // a miss changes only the time and found
    EXPECT_EQ(sweepQuery(*scene, SweptSphere(Vec3(50, 50, 50), Vec3(1, 0, 0), 1.0f), state), 0);
    EXPECT_EQ(state.nearestTime, std::numeric_limits<float>::infinity());
    EXPECT_EQ(state.found, 0);
    EXPECT_EQ(state.contactNormal, Vec3(1, 2, 3));
    EXPECT_EQ(state.hitTriangles, List{7});
    CollisionMesh empty;
    EXPECT_EQ(sweepQuery(empty, SweptSphere(Vec3(), Vec3(1, 0, 0), 1.0f), state), 0);
    EXPECT_EQ(fall({0}, {1}), 0);  // a leaf naming no triangle, one past the last
    const SweptSphere down(Vec3(-5, -5, 6), Vec3(0, 0, -10), 1.0f);
    compileScene(*scene);
    EXPECT_EQ(sweepQuery(*scene, down, state), 0);
    scene->triangles[0].vertex2 = 99;
    scene->root->triangle = 0;
    EXPECT_EQ(sweepQuery(*scene, down, state), 0);
    compileScene(*scene);  // and in the compiled form
    EXPECT_EQ(sweepQuery(*scene, down, state), 0);
    scene->triangles[0].vertex2 = 2;
    compileScene(*scene);
    EXPECT_EQ(sweepQuery(*scene, down, state), 1);
}

// Walls facing -x at x, one triangle each, as leaves: the first wall's leaf,
// then an inner node of two far walls (at 40 and 60, out of reach, their box
// wider so that the walk over wide nodes takes them up into its root), then
// an inner node of the second and third walls whose box spans x from boxLow
// to boxHigh. Compiled, with the wide form or without.
std::unique_ptr<CollisionMesh> wallScene(std::vector<float> walls, float boxLow, float boxHigh,
                                         bool wide) {
    walls.insert(walls.end(), {40, 60});
    auto scene = std::make_unique<CollisionMesh>();
    for (const float x : walls) {
        const auto base = static_cast<std::int32_t>(scene->vertices.size());
        scene->vertices.insert(scene->vertices.end(),
                               {Vec3(x, 0, 5), Vec3(x, 5, -5), Vec3(x, -5, -5)});
        scene->triangles.push_back(meshTriangle(base, base + 1, base + 2));
    }
    const auto node = [](float low, float high, VolumeNode* left, VolumeNode* right, int triangle) {
        auto* n = new VolumeNode();
        n->box = NodeBox(Vec3(0.5f * (low + high), 0, 0), Vec3(0.5f * (high - low), 5, 5));
        n->left = left;
        n->right = right;
        n->triangle = triangle;
        return n;
    };
    const auto leaf = [&](int i) { return node(walls[i], walls[i], nullptr, nullptr, i); };
    scene->root = node(-5, 65, leaf(0),
                       node(-5, 65, node(40, 60, leaf(3), leaf(4), NO_TRIANGLE),
                            node(boxLow, boxHigh, leaf(1), leaf(2), NO_TRIANGLE), NO_TRIANGLE),
                       NO_TRIANGLE);
    compileScene(*scene);
    if (!wide) {
        scene->compiled->wide.clear();
    }
    return scene;
}

// Walls met after the first leaf's contact: skipping a box by time must leave
// the contacts recordContact keeps, with either edge rule and either walk.
// - A box that leaves out its second child's wall (as a file may have it): a
//   sweep by 10 meets the walls at 8, then at 9.5 inside a box from 9 to 10,
//   and at 3 outside it, which is met first.
// - A box whose nearest point lies one radius less a tenth beyond the centre
//   at the first contact (a sweep by 20 meets walls at 15, 14.9 and 17): the
//   wall at 14.9 is met earlier, so the bounds along the path and (exact
//   rule) around the start must reach a whole radius.
// - A step of 1e37 meets every wall (the far ones too) within the tolerance:
//   how far the box from 40 to 45 lies along the step, and how far it may
//   lie, both overflow, and equal infinities must not skip it.
TEST(SweepQueryBoxes, BoxesSkippedByTimeKeepTheEarliestContact) {
    useViewerEpsilon();
    using List = std::vector<std::int32_t>;
    struct Case {
        std::vector<float> walls;
        float boxLow, boxHigh, step, radius, time;
        List hits;
    } cases[] = {{{8, 9.5f, 3}, 9, 10, 10, 0.5f, 0.2499f, {2}},
                 {{15, 14.9f, 17}, 14.9f, 17, 20, 1, 0.69495f, {1}},
                 {{50, 40, 45}, 40, 45, 1e37f, 0.5f, 4.9499e-36f, {0, 3, 4, 1, 2}}};
    for (const Case& c : cases) {
        for (const bool wide : {true, false}) {
            const auto scene = wallScene(c.walls, c.boxLow, c.boxHigh, wide);
            for (const EdgeRule rule : {EdgeRule::Design, EdgeRule::Exact}) {
                ContactState state;
                const SweptSphere sphere(Vec3(), Vec3(c.step, 0, 0), c.radius);
                ASSERT_EQ(sweepQuery(*scene, sphere, state, rule), 1);
                EXPECT_NEAR(state.nearestTime, c.time, c.time * 1e-5f) << c.step << wide;
                EXPECT_EQ(state.hitTriangles, c.hits) << c.step << wide;
            }
        }
    }
}

// Walls facing -x, one triangle each in the plane x = c spanning y and z from
// -5 to 5, in a balanced tree in the order given, every box exactly round its
// triangles: a sphere of radius 1 on the x axis meets only their faces (their
// edges lie 2.2 or more from the axis). Compiled with the wide form, without
// it, or not at all (the linked walk).
enum class Walk { Wide, Compiled, Linked };

// On axis 1 the same turned about (1, 1, 1): walls facing -y, met moving +y.
Vec3 onAxis(int axis, float x, float y, float z) { return axis == 0 ? Vec3(x, y, z) : Vec3(z, x, y); }

std::unique_ptr<CollisionMesh> rowOfWalls(const std::vector<float>& xs, Walk walk, int axis = 0,
                                          bool leftDeep = false) {
    auto scene = std::make_unique<CollisionMesh>();
    for (const float x : xs) {
        const auto base = static_cast<std::int32_t>(scene->vertices.size());
        scene->vertices.insert(scene->vertices.end(), {onAxis(axis, x, 0, 5), onAxis(axis, x, 5, -5),
                                                       onAxis(axis, x, -5, -5)});
        scene->triangles.push_back(meshTriangle(base, base + 1, base + 2));
    }
    const auto build = [&](auto& self, std::size_t first, std::size_t last) -> VolumeNode* {
        auto* node = new VolumeNode();
        if (last - first == 1) {
            node->triangle = static_cast<std::int32_t>(first);
            node->box = NodeBox(onAxis(axis, xs[first], 0, 0), onAxis(axis, 0, 5, 5));
            return node;
        }
        const std::size_t split = leftDeep ? last - 1 : (first + last) / 2;
        node->left = self(self, first, split);
        node->right = self(self, split, last);
        node->triangle = NO_TRIANGLE;
        const float low = xs[first];
        const float high = xs[last - 1];
        node->box = NodeBox(onAxis(axis, 0.5f * (low + high), 0, 0), onAxis(axis, 0.5f * (high - low), 5, 5));
        return node;
    };
    scene->root = build(build, 0, xs.size());
    compileScene(*scene);
    if (walk == Walk::Compiled) {
        scene->compiled->wide.clear();
    } else if (walk == Walk::Linked) {
        scene->compiled.reset();
    }
    return scene;
}

// The wide form of a balanced tree with an odd number of levels, four slots
// to a node: its groups of eight leaves, split into pairs, make four nodes of
// two leaves each. A big tree keeps their fours whole instead, two nodes of
// four; a bigger one puts each four in its parent's slot as a run. 8,192
// leaves: 1,365 nodes down to the 1,024 groups, 4,096 pairs; 32,768: 5,461
// down to the groups, 8,192 fours; 131,072: 21,845 down to the groups.
TEST(SweepQueryWork, BigTreesKeepTheirFoursWhole) {
    for (const auto& [levels, nodes] :
         {std::pair(13, 1365u + 4096u), std::pair(15, 5461u + 8192u), std::pair(17, 21845u)}) {
        std::vector<float> xs(std::size_t{1} << levels);
        for (std::size_t i = 0; i < xs.size(); ++i) {
            xs[i] = 0.5f * static_cast<float>(i);
        }
        EXPECT_EQ(rowOfWalls(xs, Walk::Wide)->compiled->wide.size(), nodes) << levels;
    }
}

// The work of a sweep, exactly, on each walk. Thirty-two walls: sixteen at
// x = 10, 10.2, ... 13 (H0, two groups of eight: H0a, H0b), eight at 20 to
// 21.4 (Q2) and eight at 30 to 31.4 (Q3), each group of eight two fours of
// two pairs: 63 nodes. The wide form's root holds H0a, H0b, Q2 and Q3, each
// of those a node of four pairs, each pair a node of two leaves. Counts: box
// tests, leaves reached, triangle tests; contacts are all faces.
// - The compiled walk queues sixteen leaves before it tests one, so its
//   bounds by time act only after H0's sixteen leaves; the wide walk's, from
//   the first contact. Every wall after the first contact's (0.2 or more
//   beyond it, the reach is 1.01) is skipped before its triangle test.
// - The linked walk skips nothing but boxes the sweep does not reach.
TEST(SweepQueryWork, BoxesAndTrianglesTestedOnEachWalk) {
    useViewerEpsilon();
    std::vector<float> xs;
    for (const auto& [first, count] : {std::pair(10.0f, 16), std::pair(20.0f, 8), std::pair(30.0f, 8)}) {
        for (int k = 0; k < count; ++k) {
            xs.push_back(first + 0.2f * static_cast<float>(k));
        }
    }
    struct Work {
        std::uint64_t boxes, leaves, triangles, faces;
    };
    struct Case {
        const char* what;
        float start, step;
        EdgeRule rule;
        Work wide, compiled, linked;
    } cases[] = {
        // From 31.9: every box but Q3's lies out of reach, and Q3's (and the
        // root's) lie behind the start: skipped on the wide root's four tests
        // and on the compiled root. The linked walk reaches R, H1, Q3, Q3b,
        // both its pairs, and the leaves at 31, 31.2 and 31.4, and tests the
        // boxes of H0, Q2, Q3a and the leaf at 30.8 in vain: 13 tests.
        {"behind", 31.9f, 10, EdgeRule::Exact, {4, 0, 0, 0}, {1, 0, 0, 0}, {13, 3, 3, 0}},
        // Ends at 15, before H1 (from 20, 19 grown by the radius): the
        // compiled walk tests R, H0 and its 30 nodes, then H1 in vain; the
        // wide walk the root, H0a and its four pairs, and H0b, whose pairs
        // lie beyond the contact at the wall at 10 (centre at 9).
        {"ends before", 0, 15, EdgeRule::Exact, {20, 8, 1, 1}, {33, 16, 1, 1}, {33, 16, 16, 16}},
        // The viewer's rule on this step, too short for its slab bound (24
        // radii) but not for the bound along the path, which skips H0b.
        {"ends before", 0, 15, EdgeRule::Design, {20, 8, 1, 1}, {33, 16, 1, 1}, {33, 16, 16, 16}},
        // Runs on to 40: H1 (from 20) is skipped by the compiled walk once
        // the sixteen leaves are tested, H0b, Q2 and Q3 by the wide root's
        // and H0b's tests. The linked walk meets every wall.
        {"far beyond", 0, 40, EdgeRule::Exact, {28, 8, 1, 1}, {33, 16, 1, 1}, {63, 32, 32, 32}},
        // The viewer's rule: its slab bound reaches twelve radii, which H1
        // (11 beyond the contact) lies within; the bound along the path alone
        // skips it.
        {"far beyond", 0, 40, EdgeRule::Design, {28, 8, 1, 1}, {33, 16, 1, 1}, {63, 32, 32, 32}},
        // From 21.5: Q2 lies behind the start (reached, its walls within the
        // radius), the contact is the wall at 30. The linked walk reaches 13
        // of Q2's 15 boxes, the leaves at 20.6 to 21.4 among them, then Q3's.
        {"behind and ahead", 21.5f, 10, EdgeRule::Exact, {16, 8, 1, 1}, {19, 8, 1, 1}, {31, 13, 13, 8}},
    };
    for (const auto& [walk, axis] : {std::pair(Walk::Wide, 0), std::pair(Walk::Compiled, 0),
                                     std::pair(Walk::Linked, 0), std::pair(Walk::Wide, 1),
                                     std::pair(Walk::Compiled, 1)}) {
        const auto scene = rowOfWalls(xs, walk, axis);
        // The exact rule's sweeps again as a batch: each thread counts the
        // same walks, whichever sweeps it takes.
        std::vector<SweptSphere> batch;
        QueryCounters expected;
        for (const Case& c : cases) {
            QueryCounters counted;
            SweepOptions options(c.rule);
            options.stats = &counted;
            ContactState state;
            const SweptSphere sphere(onAxis(axis, c.start, 0, 0), onAxis(axis, c.step, 0, 0), 1.0f);
            EXPECT_EQ(sweepQuery(*scene, sphere, state, options), c.wide.faces != 0 ? 1 : 0);
            // Without SSE lanes the wide form is walked as the compiled one.
            const Work& w = walk == Walk::Wide && SWEEP_SSE_LANES ? c.wide
                            : walk == Walk::Linked               ? c.linked
                                                                 : c.compiled;
            SCOPED_TRACE(testing::Message() << c.what << " walk " << static_cast<int>(walk) << " axis " << axis);
            EXPECT_EQ(counted.sweeps, 1u);
            EXPECT_EQ(counted.boxTests, w.boxes);
            EXPECT_EQ(counted.leavesReached, w.leaves);
            EXPECT_EQ(counted.triangleTests, w.triangles);
            EXPECT_EQ(counted.faceContacts, w.faces);
            EXPECT_EQ(counted.edgeContacts + counted.cornerContacts, 0u);
            if (c.rule == EdgeRule::Exact) {
                batch.push_back(sphere);
                addCounters(expected, counted);
            }
        }
        for (const int threads : {1, 2}) {
            QueryCounters counted;
            SweepOptions options(EdgeRule::Exact);
            options.stats = &counted;
            std::vector<ContactState> results(batch.size());
            sweepBatch(*scene, batch, results, threads, options);
            EXPECT_EQ(counted.sweeps, 4u);
            EXPECT_EQ(counted.boxTests, expected.boxTests) << threads;
            EXPECT_EQ(counted.leavesReached, expected.leavesReached) << threads;
            EXPECT_EQ(counted.triangleTests, expected.triangleTests) << threads;
            EXPECT_EQ(counted.faceContacts, expected.faceContacts) << threads;
        }
    }
    // The compiled walk's slab bound alone, along x and along y. With the
    // tolerance 0.05 it reaches two tolerances less far than the bounds along
    // the path and around the start (the radius, 2 or 4 tolerances and twice
    // the margin 0.004): from the contact's centre at 8.95 (plus 0.004, the
    // nearest time's band) a box beyond 10.06 is skipped by it, beyond 10.16
    // by them. Sixteen walls from 10.11 to 10.26 under H1 (met after the
    // band) are skipped on the slab bound alone: R, H0's 31 nodes and H1.
    // From 9.98 on they are not (the reach holds the two tolerances a contact
    // is stopped short by): the wall at 9.98 is met first. A step of 2 from
    // 8.5, too short for the bound along the path, keeps the slab bound (H0's
    // walls 0.05 apart, all within reach, each tested).
    const float previous = setCollisionEpsilon(0.05f);
    const struct {
        float start, step, spacing, from;
        std::int32_t first;
        std::uint64_t triangles;
    } windows[] = {{0, 40, 0.2f, 10.11f, 0, 1}, {0, 40, 0.2f, 9.98f, 16, 0}, {8.5f, 2, 0.05f, 10.11f, 0, 16}};
    for (const auto& w : windows) {
        std::vector<float> window;
        for (int k = 0; k < 32; ++k) {
            window.push_back(k < 16 ? 10.0f + w.spacing * static_cast<float>(k)
                                    : w.from + 0.01f * static_cast<float>(k - 16));
        }
        for (const int axis : {0, 1}) {
            const auto scene = rowOfWalls(window, Walk::Compiled, axis);
            QueryCounters counted;
            SweepOptions options(EdgeRule::Exact);
            options.stats = &counted;
            ContactState state;
            const SweptSphere sphere(onAxis(axis, w.start, 0, 0), onAxis(axis, w.step, 0, 0), 1.0f);
            EXPECT_EQ(sweepQuery(*scene, sphere, state, options), 1);
            EXPECT_EQ(state.hitTriangles, std::vector<std::int32_t>{w.first}) << axis;
            if (w.first == 0) {
                EXPECT_EQ(counted.boxTests, 33u) << axis << ' ' << w.step;
                EXPECT_EQ(counted.leavesReached, 16u) << axis;
                EXPECT_EQ(counted.triangleTests, w.triangles) << axis;
            }
        }
    }
    setCollisionEpsilon(previous);
    // A chain of 399 inner nodes, each with its chain first and a leaf second
    // (walls at 10 to 29.95, 0.05 apart, the first the deepest): each wide
    // node of four slots holds three levels, the chain and three leaves
    // (133 of them, 532 box tests), and the walk holds 396 leaves on its
    // stack on the way down. Every leaf is reached, one triangle tested.
    std::vector<float> chain;
    for (int k = 0; k < 400; ++k) {
        chain.push_back(10.0f + 0.05f * static_cast<float>(k));
    }
    const auto deep = rowOfWalls(chain, Walk::Wide, 0, true);
    QueryCounters counted;
    SweepOptions options(EdgeRule::Exact);
    options.stats = &counted;
    ContactState state;
    EXPECT_EQ(sweepQuery(*deep, SweptSphere(Vec3(), Vec3(40, 0, 0), 1.0f), state, options), 1);
    EXPECT_EQ(state.hitTriangles, std::vector<std::int32_t>{0});
    if (SWEEP_SSE_LANES) {  // the wide walk's count; without lanes the compiled walk runs
        EXPECT_EQ(counted.boxTests, 532u);
    }
    EXPECT_EQ(counted.leavesReached, 400u);
    EXPECT_EQ(counted.triangleTests, 1u);

    // The wide root opens its widest inner slot first, by surface: of A (two
    // walls at 50 and 51, 1 x 10 x 10) and B (two small triangles at 10 and
    // 16 facing away, 6 x 1 x 1) it opens A. A sweep to 35 then tests the
    // root's four boxes (A's walls out of reach, B, the wall at 30) and B's
    // two: 6 box tests, 3 leaves and triangles, no contact (the walls in reach
    // face away).
    auto opened = std::make_unique<CollisionMesh>();
    const auto addTriangle = [&](float x, float half, bool away) {
        const auto base = static_cast<std::int32_t>(opened->vertices.size());
        opened->vertices.insert(opened->vertices.end(),
                                {Vec3(x, 0, half), Vec3(x, half, -half), Vec3(x, -half, -half)});
        opened->triangles.push_back(away ? meshTriangle(base, base + 2, base + 1) : meshTriangle(base, base + 1, base + 2));
    };
    const auto node = [](float low, float high, float half, VolumeNode* left, VolumeNode* right, int triangle) {
        auto* n = new VolumeNode();
        n->box = NodeBox(Vec3(0.5f * (low + high), 0, 0), Vec3(0.5f * (high - low), half, half));
        n->left = left;
        n->right = right;
        n->triangle = triangle;
        return n;
    };
    for (const auto& [x, half, away] : {std::tuple(50.0f, 5.0f, false), std::tuple(51.0f, 5.0f, false),
                                        std::tuple(10.0f, 0.5f, true), std::tuple(16.0f, 0.5f, true),
                                        std::tuple(30.0f, 5.0f, true)}) {
        addTriangle(x, half, away);
    }
    VolumeNode* a = node(50, 51, 5, node(50, 50, 5, nullptr, nullptr, 0), node(51, 51, 5, nullptr, nullptr, 1), NO_TRIANGLE);
    VolumeNode* b = node(10, 16, 0.5f, node(10, 10, 0.5f, nullptr, nullptr, 2), node(16, 16, 0.5f, nullptr, nullptr, 3), NO_TRIANGLE);
    opened->root = node(10, 51, 5, node(10, 51, 5, a, b, NO_TRIANGLE), node(30, 30, 5, nullptr, nullptr, 4), NO_TRIANGLE);
    compileScene(*opened);
    QueryCounters work;
    options.stats = &work;
    EXPECT_EQ(sweepQuery(*opened, SweptSphere(Vec3(), Vec3(35, 0, 0), 0.1f), state, options), 0);
    if (SWEEP_SSE_LANES) {
        EXPECT_EQ(work.boxTests, 6u);
    }
    EXPECT_EQ(work.leavesReached, 3u);
    EXPECT_EQ(work.triangleTests, 3u);
}

// A box is skipped when it lies wholly behind the sphere's start (measured
// along the step): no test meets a feature the sphere moves away from. A
// face contact at time 0 puts the contact's point exactly on that plane,
// under a box whose far side lies on it: the box must still be searched.
TEST(SweepQueryBoxes, ABoxEndingOnTheStartPlaneIsStillSearched) {
    useViewerEpsilon();
    for (const bool wide : {true, false}) {
        auto scene = std::make_unique<CollisionMesh>();
        scene->vertices = {Vec3(0, -5, 0),   Vec3(0, 5, 0),   Vec3(-10, 0, 0),
                           Vec3(-10, 20, 0), Vec3(-6, 20, 0), Vec3(-8, 25, 0),
                           Vec3(30, 0, 0),   Vec3(35, 0, 0),  Vec3(32, 5, 0)};
        scene->triangles = {meshTriangle(0, 1, 2), meshTriangle(3, 4, 5), meshTriangle(6, 7, 8)};
        const auto node = [](Vec3 low, Vec3 high, VolumeNode* left, VolumeNode* right,
                             int triangle) {
            auto* n = new VolumeNode();
            n->box = NodeBox((low + high) * 0.5f, (high - low) * 0.5f);
            n->left = left;
            n->right = right;
            n->triangle = triangle;
            return n;
        };
        VolumeNode* behind =
            node(Vec3(-10, -5, 0), Vec3(0, 25, 0),
                 node(Vec3(-10, -5, 0), Vec3(0, 5, 0), nullptr, nullptr, 0),
                 node(Vec3(-10, 20, 0), Vec3(-6, 25, 0), nullptr, nullptr, 1), NO_TRIANGLE);
        scene->root = node(Vec3(-10, -5, 0), Vec3(35, 25, 0), behind,
                           node(Vec3(30, 0, 0), Vec3(35, 5, 0), nullptr, nullptr, 2), NO_TRIANGLE);
        compileScene(*scene);
        ASSERT_EQ(scene->compiled->nodes[1].triangle, COMPILED_INNER);
        if (!wide) {
            scene->compiled->wide.clear();
        }
        for (const EdgeRule rule : {EdgeRule::Design, EdgeRule::Exact}) {
            ContactState state;
            ASSERT_EQ(sweepQuery(*scene, SweptSphere(Vec3(0, 0, 1), Vec3(5, 0, 0), 1), state, rule),
                      1) << wide;
            EXPECT_EQ(state.nearestTime, 0.0f);
            EXPECT_EQ(state.hitTriangles, std::vector<std::int32_t>{0});
            EXPECT_EQ(state.contactNormal, Vec3(0, 0, 1));
        }
    }
}

// Near x = 100,500, where floats lie 1/128 apart, a step whose end just
// reaches a wall: the wide walk's quick test, grown by its margin (a
// ten-thousandth of the coordinates, far above their rounding), still reaches
// the wall's box, as the compiled walk's exact test does.
TEST(SweepQueryBoxes, AWallJustReachedFarFromTheOriginIsMetOnEitherWalk) {
    useViewerEpsilon();
    const float w = 0x1.888be8p+16f;
    const SweptSphere sphere(Vec3(0x1.8888p+16f, 0, 0), Vec3(0x1.65f11cp+1f, 0, 0), 0x1.1c9b4p+0f);
    for (const bool wide : {true, false}) {
        auto scene = buildScene({{w, 0, 5}, {w, 5, -5}, {w, -5, -5}, {w + 64, 0, 5}, {w + 64, 5, -5}, {w + 64, -5, -5}},
                                {meshTriangle(0, 1, 2), meshTriangle(3, 4, 5)});
        ASSERT_EQ(scene->compiled->wide.empty(), false);
        if (!wide) {
            scene->compiled->wide.clear();
        }
        ContactState state;
        ASSERT_EQ(sweepQuery(*scene, sphere, state, EdgeRule::Exact), 1) << wide;
        EXPECT_EQ(state.nearestTime, 0x1.ffd124p-1f);
        EXPECT_EQ(state.hitTriangles, std::vector<std::int32_t>{0});
    }
}

// The quick box test of the walk over wide nodes reaches a box the exact test
// rejects (a path touching the grown box's edge only), and the viewer's
// slanted edge test reports a contact with the triangle inside it: the
// design's walk never tests that triangle, so the query must not keep it.
TEST(SweepQueryBoxes, AContactUnderABoxTheExactTestRejectsIsNotKept) {
    useViewerEpsilon();
    auto scene = std::make_unique<CollisionMesh>();
    scene->vertices = {Vec3(0.3f, 0.4f, 0.6f), Vec3(0.2f, 0.6f, -0.2f), Vec3(0.8f, 0.8f, 0.4f),
                       Vec3(9, 9, 0), Vec3(9.5f, 9, 0), Vec3(9, 9.5f, 0)};
    scene->triangles = {meshTriangle(0, 1, 2), meshTriangle(3, 4, 5)};
    const auto node = [](Vec3 centre, Vec3 half, VolumeNode* left, VolumeNode* right, int triangle) {
        auto* n = new VolumeNode();
        n->box = NodeBox(centre, half);
        n->left = left;
        n->right = right;
        n->triangle = triangle;
        return n;
    };
    scene->root = node(Vec3(5, 5, 0), Vec3(5, 5, 1),
                       node(Vec3(0.5f, 0.5f, 0), Vec3(0.5f, 0.5f, 1), nullptr, nullptr, 0),
                       node(Vec3(9.25f, 9.25f, 0), Vec3(0.25f, 0.25f, 0), nullptr, nullptr, 1),
                       NO_TRIANGLE);
    const SweptSphere sphere(Vec3(-1.5f, 0.5f, 0), Vec3(2, 2, 0), 0.5f);
    Triangle inside;
    inside.init(scene->vertices[0], scene->vertices[1], scene->vertices[2]);
    Vec3 normal;
    float time = 0.0f;
    ASSERT_EQ(sweepHitsTriangle(sphere, inside, normal, time), 1);  // the slanted edge rule
    ASSERT_EQ(sweepHitsBox(sphere, scene->root->left->box), 0);
    compileScene(*scene);
    ContactState state;
    EXPECT_EQ(sweepQuery(*scene, sphere, state), 0);
    EXPECT_TRUE(state.hitTriangles.empty());
}

// Stacks of floors a few hundred-thousandths of the step apart: chains of
// contacts each within the tolerance of the next, recorded in the tree's
// order, which depends on where the floors lie across. Walked nearest boxes
// first, the query must record what the tree's order records, or walk that
// order itself where the chain reaches beyond the contacts it kept.
TEST(SweepQueryCrossCheck, ChainsOfNearlySimultaneousContactsAsTheTreeOrderRecordsThem) {
    useViewerEpsilon();
    std::mt19937 random(77);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::vector<Vec3> vertices;
    std::vector<MeshTriangle> triangles;
    for (int stack = 0; stack < 16; ++stack) {
        const Vec3 base(40.0f * static_cast<float>(stack % 4), 40.0f * static_cast<float>(stack / 4), 0.0f);
        for (int floor = 0; floor < 12 + stack % 3; ++floor) {
            // Every other stack lies deeper floors first along x, which the
            // tree's split follows: the chain then runs from late to early.
            const float across = stack % 2 ? -0.25f * static_cast<float>(floor) : unit(random) * 2.0f;
            const Vec3 corner = base + Vec3(across, unit(random) * 0.1f,
                                            -6e-4f * static_cast<float>(floor) * (1.0f + 0.05f * unit(random)));
            const auto first = static_cast<std::int32_t>(vertices.size());
            vertices.insert(vertices.end(), {corner + Vec3(-20, -20, 0), corner + Vec3(20, -20, 0),
                                             corner + Vec3(0, 25, 0)});
            triangles.push_back(meshTriangle(first, first + 1, first + 2));
        }
    }
    auto scene = buildScene(vertices, triangles);
    int chains = 0;
    for (int i = 0; i < 3000; ++i) {
        const int stack = i % 16;
        const Vec3 start(40.0f * static_cast<float>(stack % 4) + unit(random) * 4.0f,
                         40.0f * static_cast<float>(stack / 4) + unit(random) * 4.0f, 3.0f + unit(random));
        const SweptSphere sphere(start, Vec3(unit(random) * 0.5f, unit(random) * 0.5f, -10.0f), 1.0f);
        const SweepOptions rule(i % 2 ? EdgeRule::Exact : EdgeRule::Design, FaceSides::One);
        ContactState query;
        ContactState oracle;
        ASSERT_EQ(sweepQuery(*scene, sphere, query, rule), sweepAllLeaves(*scene, sphere, oracle, true, rule));
        ASSERT_EQ(std::memcmp(&query.nearestTime, &oracle.nearestTime, sizeof(float)), 0) << i;
        ASSERT_EQ(std::memcmp(&query.contactNormal, &oracle.contactNormal, sizeof(Vec3)), 0) << i;
        ASSERT_EQ(query.hitTriangles, oracle.hitTriangles) << i;
        chains += query.contacts.size() > 1 ? 1 : 0;
    }
    EXPECT_GT(chains, 1000);  // the floors do give several contacts at once
}

// The query against two oracles on many random sweeps:
// - the walk over every leaf without box tests, with boxes grown by 12 radii,
//   enough to hold every contact the slanted edge rule can report (at most
//   10 radii from the edge's line): box pruning changes no result;
// - the plain walk (every node's box by the stand-alone test, every test
//   computing all it needs itself) with tight boxes, so that every pruning
//   decision counts: the compiled tree (walked four boxes at a time, and for
//   one scene node by node with its leaves queued, as big trees are) and the
//   tuned walk of linked nodes (setup once per query, first child taken
//   without the stack) change no result either, nor does the exact rule's
//   pruning by the nearest time (every fourth sweep, and every eighth with
//   two-sided faces), also on a scene read back from a file (its boxes'
//   caches left to the plain walk to fill); half the sweeps start with an
//   empty hitTriangles, where long ones walk the nearest boxes first.
TEST(SweepQueryCrossCheck, QueryGivesExactlyTheStateOfTheUntunedWalks) {
    useViewerEpsilon();
    std::mt19937 random(2024);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    TempFile file("");
    ASSERT_EQ(saveDornFile(*randomScene(9, 800, 15.0f, 3.0f), file.path()), 1);
    struct Case {
        std::unique_ptr<CollisionMesh> scene;
        bool grown;
    };
    Case cases[] = {{randomScene(1, 1500, 20.0f, 4.0f, 12 * 2.5f), true},
                    {randomScene(2, 1500, 20.0f, 4.0f, 12 * 2.5f), true},
                    {loadDornFile(file.path()), false},
                    {randomScene(10, 1500, 20.0f, 4.0f), false},  // node by node, as big trees
                    {randomScene(12, 1500, 20.0f, 4.0f), false},  // walked as linked nodes
                    {randomScene(11, 300, 20.0f, 12.0f), false}};
    cases[3].scene->compiled->wide.clear();
    cases[4].scene->compiled.reset();
    int contacts = 0;
    for (Case& c : cases) {
        ASSERT_NE(c.scene, nullptr);
        for (int i = 0; i < 2000; ++i) {
            const Vec3 position(unit(random) * 22, unit(random) * 22, unit(random) * 22);
            const Vec3 direction = normalized(Vec3(unit(random), unit(random), unit(random)));
            const float length = i % 7 == 0 ? 0.0f : (i % 2 ? 12.0f : 1.7f);
            const SweptSphere sphere(position, direction * length, i % 3 ? 0.3f : 2.5f);
            const SweepOptions rule(i % 4 == 1 || i % 8 == 3 ? EdgeRule::Exact : EdgeRule::Design,
                                    i % 8 == 3 ? FaceSides::Two : FaceSides::One);
            ContactState query;
            ContactState oracle;
            if (i % 4 < 2) {
                query.hitTriangles = oracle.hitTriangles = {i};  // kept, not emptied
            }
            ASSERT_EQ(sweepQuery(*c.scene, sphere, query, rule),
                      sweepAllLeaves(*c.scene, sphere, oracle, !c.grown, rule));
            ASSERT_EQ(std::memcmp(&query.nearestTime, &oracle.nearestTime, sizeof(float)), 0) << i;
            ASSERT_EQ(std::memcmp(&query.contactNormal, &oracle.contactNormal, sizeof(Vec3)), 0)
                << i;
            ASSERT_EQ(query.hitTriangles, oracle.hitTriangles) << i;
            // Each contact record is its triangle's own test: time, point and feature.
            ASSERT_LE(query.contacts.size(), query.hitTriangles.size()) << i;
            ASSERT_EQ(query.contacts.empty(), query.found == 0) << i;
            const auto setup = prepareSweep(sphere, rule);
            for (std::size_t k = 0; k < query.contacts.size(); ++k) {
                const ContactRecord& r = query.contacts[k];
                ASSERT_EQ(r.triangle, query.hitTriangles[query.hitTriangles.size() - query.contacts.size() + k]);
                const MeshTriangle& t = c.scene->triangles[static_cast<std::size_t>(r.triangle)];
                Triangle triangle;
                triangle.init(c.scene->vertices[t.vertex0], c.scene->vertices[t.vertex1], c.scene->vertices[t.vertex2]);
                Vec3 normal;
                float time = 0.0f;
                TriangleContact where;
                ASSERT_EQ(sweepHitsTriangle(sphere, setup, prepareTriangle(triangle), normal, time, &where), 1);
                ASSERT_EQ(std::memcmp(&r.time, &time, sizeof time), 0) << i;
                ASSERT_EQ(std::memcmp(&r.point, &where.point, sizeof(Vec3)), 0) << i;
                ASSERT_EQ(r.feature, where.feature) << i;
            }
            contacts += query.found;
        }
    }
    EXPECT_GT(contacts, 3000);  // the sweeps do meet the meshes
}

// One triangle in the plane y = 0, facing up, met by a sphere of radius 1 on
// its face, each edge and each corner, and once starting within reach of an
// edge and moving in: the feature, a point on the triangle near the expected
// one, and the time its own test gives, on the compiled and the linked walk
// (the face with either edge rule).
TEST(SweepQueryContacts, EachContactSaysWhichFeatureAndWhereOnTheTriangle) {
    useViewerEpsilon();
    struct Case {
        Vec3 start, move, point;
        ContactFeature feature;
    } cases[] = {
        {{2, 5, 2}, {0, -10, 0}, {2, 0, 2}, ContactFeature::Face},
        {{-5, 0, 5}, {10, 0, 0}, {0, 0, 5}, ContactFeature::Edge},
        {{5, 0, -5}, {0, 0, 10}, {5, 0, 0}, ContactFeature::Edge},
        {{8, 0, 8}, {-5, 0, -5}, {5, 0, 5}, ContactFeature::Edge},
        {{-5, 0, -5}, {5, 0, 5}, {0, 0, 0}, ContactFeature::Corner},
        {{-5, 0, 15}, {5, 0, -5}, {0, 0, 10}, ContactFeature::Corner},
        {{15, 0, -5}, {-5, 0, 5}, {10, 0, 0}, ContactFeature::Corner},
        {{-0.5f, 0, 5}, {2, 0, 0}, {0, 0, 5}, ContactFeature::Edge},  // starts touching
    };
    for (const bool compiled : {true, false}) {
        auto built = buildScene({{0, 0, 0}, {0, 0, 10}, {10, 0, 0}}, {meshTriangle(0, 1, 2)});
        if (!compiled) {
            built->compiled.reset();
        }
        const CollisionMesh& scene = *built;
        for (const Case& c : cases) {
          for (const EdgeRule rule : {EdgeRule::Exact, EdgeRule::Design}) {
            if (rule == EdgeRule::Design && c.feature != ContactFeature::Face) {
                continue;  // the viewer's rule meets edges and corners its own way
            }
            const SweptSphere sphere(c.start, c.move, 1.0f);
            SweepOptions exact(rule);
            QueryCounters counted;
            exact.stats = &counted;
            ContactState state;
            ASSERT_EQ(sweepQuery(scene, sphere, state, exact), 1) << c.start.x << ' ' << c.start.z;
            ASSERT_EQ(state.contacts.size(), 1u);
            // One triangle tested, its contact counted under its feature.
            EXPECT_EQ(counted.triangleTests, 1u);
            EXPECT_EQ(counted.faceContacts, c.feature == ContactFeature::Face ? 1u : 0u);
            EXPECT_EQ(counted.edgeContacts, c.feature == ContactFeature::Edge ? 1u : 0u);
            EXPECT_EQ(counted.cornerContacts, c.feature == ContactFeature::Corner ? 1u : 0u);
            const ContactRecord& r = state.contacts[0];
            EXPECT_EQ(r.feature, c.feature) << c.start.x << ' ' << c.start.z;
            EXPECT_EQ(r.triangle, 0);
            EXPECT_NEAR(r.point.y, 0.0f, 1e-5f);  // on the triangle
            EXPECT_TRUE(r.point.x >= -1e-5f && r.point.z >= -1e-5f && r.point.x + r.point.z <= 10.00001f);
            EXPECT_LT(length(r.point - c.point), 2e-3f) << c.start.x << ' ' << c.start.z;
            Triangle triangle;
            triangle.init(scene.vertices[0], scene.vertices[1], scene.vertices[2]);
            Vec3 normal;
            float time = 0.0f;
            sweepHitsTriangle(sphere, prepareSweep(sphere, exact), triangle, normal, time);
            EXPECT_EQ(std::memcmp(&r.time, &time, sizeof time), 0);
            EXPECT_EQ(std::memcmp(&r.time, &state.nearestTime, sizeof time), 0);
          }
        }
    }
}

}  // namespace
