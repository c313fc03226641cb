#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

#include "collision/sweep_edge.h"
#include "collision/sweep_query.h"
#include "scene/dorn_reader.h"
#include "scene/dorn_writer.h"
#include "support/test_scenes.h"

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
        scene = std::make_unique<CollisionMesh>();
        for (float h : heights) {
            const auto base = static_cast<std::int32_t>(scene->vertices.size());
            scene->vertices.insert(scene->vertices.end(),
                                   {Vec3(-10, -10, h), Vec3(10, -10, h), Vec3(-10, 10, h)});
            scene->triangles.push_back(meshTriangle(base, base + 1, base + 2));
        }
        VolumeNode** slot = &scene->root;
        for (std::size_t i = 0; i < leafOrder.size(); ++i) {
            auto* leaf = new VolumeNode();
            leaf->box = NodeBox(Vec3(), Vec3(10, 10, 10));
            leaf->triangle = leafOrder[i];
            if (i + 1 < leafOrder.size()) {
                auto* inner = new VolumeNode();
                inner->box = leaf->box;
                inner->left = leaf;
                *slot = inner;
                slot = &inner->right;
            } else {
                *slot = leaf;
            }
        }
        return sweepQuery(*scene, SweptSphere(Vec3(-5, -5, 6.001f), Vec3(0, 0, -10), 1.0f), state);
    }

    std::unique_ptr<CollisionMesh> scene;
    ContactState state;
    using List = std::vector<std::int32_t>;
};

TEST_F(SweepQueryTest, MissingEveryBoxChangesOnlyTimeAndFound) {
    fall({0}, {0});
    state.contactNormal = Vec3(1, 2, 3);
    state.hitTriangles = {7};
    EXPECT_EQ(sweepQuery(*scene, SweptSphere(Vec3(50, 50, 50), Vec3(1, 0, 0), 1.0f), state), 0);
    EXPECT_EQ(state.nearestTime, std::numeric_limits<float>::infinity());
    EXPECT_EQ(state.found, 0);
    EXPECT_EQ(state.contactNormal, Vec3(1, 2, 3));
    EXPECT_EQ(state.hitTriangles, List{7});
}

TEST_F(SweepQueryTest, RecordingRules) {
    state.hitTriangles = {7};  // the first contact appends: the list is not emptied
    ASSERT_EQ(fall({0}, {0}), 1);
    EXPECT_NEAR(state.nearestTime, 0.5f, 1e-6f);
    EXPECT_EQ(state.hitTriangles, (List{7, 0}));
    EXPECT_EQ(state.contactNormal, Vec3(0, 0, 1));

    state.hitTriangles.clear();  // 0.5 and 0.50005 in either order: both, normals summed
    fall({0, -0.0005f}, {1, 0});
    EXPECT_EQ(state.hitTriangles, (List{1, 0}));
    EXPECT_NEAR(state.nearestTime, 0.50005f, 1e-6f);  // the time of the one found first
    EXPECT_EQ(state.contactNormal, Vec3(0, 0, 2));

    state.hitTriangles.clear();  // 0.5 then 0.49995: within the band, time kept
    fall({0, 0.0005f}, {0, 1});
    EXPECT_NEAR(state.nearestTime, 0.5f, 1e-6f);
    EXPECT_EQ(state.hitTriangles, (List{0, 1}));

    state.hitTriangles.clear();  // 0.5, 0.50009, 0.50018: the band is measured from nearestTime
    fall({0, -0.0009f, -0.0018f}, {0, 1, 2});
    EXPECT_EQ(state.hitTriangles, (List{0, 1}));

    state.hitTriangles = {7};  // 0.5 then 0.3: replaced
    fall({0, 2}, {0, 1});
    EXPECT_NEAR(state.nearestTime, 0.3f, 1e-6f);
    EXPECT_EQ(state.hitTriangles, List{1});
    EXPECT_EQ(state.contactNormal, Vec3(0, 0, 1));

    state.hitTriangles.clear();  // 0.3 then 0.5: ignored, still a result of 1
    EXPECT_EQ(fall({2, 0}, {0, 1}), 1);
    EXPECT_EQ(state.hitTriangles, List{0});

    state.hitTriangles.clear();  // one triangle in two leaves: listed and summed twice
    fall({0}, {0, 0});
    EXPECT_EQ(state.hitTriangles, (List{0, 0}));
    EXPECT_EQ(state.contactNormal, Vec3(0, 0, 2));
}

TEST_F(SweepQueryTest, ScenesBreakingTheInvariantsAreReadSafely) {
    CollisionMesh empty;
    EXPECT_EQ(sweepQuery(empty, SweptSphere(Vec3(), Vec3(1, 0, 0), 1.0f), state), 0);
    EXPECT_EQ(fall({0}, {5}), 0);  // a leaf naming no triangle
    scene->triangles[0].vertex2 = 99;
    scene->root->triangle = 0;
    EXPECT_EQ(sweepQuery(*scene, SweptSphere(Vec3(-5, -5, 6), Vec3(0, 0, -10), 1.0f), state), 0);
}

// The edge rule is exact only for motion at right angles to the edge. At a
// slant it accepts paths passing the edge's line up to radius / sin(angle)
// away, so it can report a contact with the centre further than the radius
// from the edge; a tight box around that triangle then prunes the contact.
TEST(SweepQueryCrossCheck, SlantedEdgeContactBeyondTheRadiusIsPrunedByATightBox) {
    useViewerEpsilon();
    const Vec3 a(10.2525f, 3.54923f, -7.34734f);
    const Vec3 b(10.1383f, 4.09158f, -8.90278f);
    const SweptSphere sphere(Vec3(10.5718f, 7.98956f, -9.42359f),
                             Vec3(0.917121f, -1.39629f, 0.670267f), 2.5f);
    float time = 0;
    float fraction = 0;
    ASSERT_EQ(sweepHitsEdge(sphere, Segment(a, b), time, fraction), 1);
    EXPECT_GT(length(sphere.position + sphere.displacement * time - (a + (b - a) * fraction)),
              2.9f);
    auto tight = buildScene({Vec3(8.18249f, 2.35615f, -6.5731f), a, b}, {meshTriangle(0, 1, 2)});
    ContactState state;
    EXPECT_EQ(sweepQuery(*tight, sphere, state), 0);
    EXPECT_EQ(sweepAllLeaves(*tight, sphere, state), 1);
}

// Box pruning must not change a result: the query against the walk over every
// leaf in the same order without box tests, on many random sweeps. Boxes are
// grown by 12 radii, enough to hold every contact the slanted edge rule can
// report (its path passes at most 10 radii from the edge's line).
TEST(SweepQueryCrossCheck, PruningGivesExactlyTheSameStateAsTheFullWalk) {
    useViewerEpsilon();
    std::mt19937 random(2024);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    int contacts = 0;
    for (std::uint32_t meshSeed = 1; meshSeed <= 4; ++meshSeed) {
        auto scene = randomScene(meshSeed, 1500, 20.0f, 4.0f, 12 * 0.5f);
        for (int i = 0; i < 1500; ++i) {
            const Vec3 position(unit(random) * 22, unit(random) * 22, unit(random) * 22);
            const Vec3 direction = normalized(Vec3(unit(random), unit(random), unit(random)));
            const SweptSphere sphere(position, direction * (i % 2 ? 15.0f : 1.8f),
                                     i % 3 ? 0.25f : 0.5f);
            ContactState pruned;
            ContactState full;
            pruned.hitTriangles = full.hitTriangles = {i};
            ASSERT_EQ(sweepQuery(*scene, sphere, pruned), sweepAllLeaves(*scene, sphere, full));
            EXPECT_EQ(std::memcmp(&pruned.nearestTime, &full.nearestTime, sizeof(float)), 0);
            EXPECT_EQ(pruned.contactNormal, full.contactNormal);
            EXPECT_EQ(pruned.hitTriangles, full.hitTriangles);
            contacts += pruned.found;
        }
    }
    EXPECT_GT(contacts, 1000);  // the sweeps do meet the mesh
}

// The tuned walk (setup computed once per query, first child taken without
// the stack) against the plain walk, with tight boxes, so that every pruning
// decision counts too; on scenes linked node by node and on a scene read back
// from a file, whose nodes lie in one pool.
TEST(SweepQueryCrossCheck, TunedWalkGivesExactlyThePlainWalksState) {
    useViewerEpsilon();
    std::mt19937 random(77);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    auto written = randomScene(9, 800, 15.0f, 3.0f);
    TempFile file("");
    ASSERT_EQ(saveDornFile(*written, file.path()), 1);
    std::vector<std::unique_ptr<CollisionMesh>> scenes;
    scenes.push_back(loadDornFile(file.path()));
    scenes.push_back(randomScene(10, 1500, 20.0f, 4.0f));
    scenes.push_back(randomScene(11, 300, 20.0f, 12.0f));
    int contacts = 0;
    for (auto& scene : scenes) {
        ASSERT_NE(scene, nullptr);
        for (int i = 0; i < 3000; ++i) {
            const Vec3 position(unit(random) * 22, unit(random) * 22, unit(random) * 22);
            const Vec3 direction = normalized(Vec3(unit(random), unit(random), unit(random)));
            const float length = i % 7 == 0 ? 0.0f : (i % 2 ? 12.0f : 1.7f);
            const SweptSphere sphere(position, direction * length, i % 3 ? 0.3f : 2.5f);
            ContactState tuned;
            ContactState plain;
            ASSERT_EQ(sweepQuery(*scene, sphere, tuned), sweepAllLeaves(*scene, sphere, plain, true));
            EXPECT_EQ(std::memcmp(&tuned.nearestTime, &plain.nearestTime, sizeof(float)), 0);
            EXPECT_EQ(std::memcmp(&tuned.contactNormal, &plain.contactNormal, sizeof(Vec3)), 0);
            EXPECT_EQ(tuned.hitTriangles, plain.hitTriangles);
            contacts += tuned.found;
        }
    }
    EXPECT_GT(contacts, 2000);
}

}  // namespace
