#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "collision/sweep_edge.h"
#include "collision/sweep_query.h"
#include "support/test_scenes.h"

namespace {

const float INF = std::numeric_limits<float>::infinity();

// Horizontal triangles facing +z at the given heights, one per leaf, the leaves
// met in the order given (a chain: leaf, then the rest). A sphere of radius 1
// falling from z = 6.001 by 10 meets the one at height 0 at t = 0.5.
class SweepQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        useViewerEpsilon();
        contactState = ContactState{};
    }

    void makeScene(const std::vector<float>& heights, const std::vector<int>& leafOrder) {
        scene = std::make_unique<CollisionMesh>();
        for (float h : heights) {
            const auto base = static_cast<std::int32_t>(scene->vertices.size());
            scene->vertices.insert(scene->vertices.end(),
                                   {Vec3(-10, -10, h), Vec3(10, -10, h), Vec3(-10, 10, h)});
            scene->triangles.push_back(meshTriangle(base, base + 1, base + 2));
        }
        const NodeBox all(Vec3(0, 0, 0), Vec3(10, 10, 10));
        VolumeNode** slot = &scene->root;
        for (std::size_t i = 0; i < leafOrder.size(); ++i) {
            auto* leaf = new VolumeNode();
            leaf->box = all;
            leaf->triangle = leafOrder[i];
            if (i + 1 == leafOrder.size()) {
                *slot = leaf;
                break;
            }
            auto* inner = new VolumeNode();
            inner->box = all;
            inner->left = leaf;
            *slot = inner;
            slot = &inner->right;
        }
    }

    std::int32_t fall() {
        return sweepQuery(*scene, SweptSphere(Vec3(-5, -5, 6.001f), Vec3(0, 0, -10), 1.0f));
    }
    // Heights that give the times 0.5, 0.50005, 0.50009, 0.50018, 0.49995, 0.3.
    static constexpr float AT_HALF = 0.0f;
    static constexpr float LATER_005 = -0.0005f;
    static constexpr float LATER_009 = -0.0009f;
    static constexpr float LATER_018 = -0.0018f;
    static constexpr float EARLIER_005 = 0.0005f;
    static constexpr float AT_0_3 = 2.0f;

    std::unique_ptr<CollisionMesh> scene;
};

TEST_F(SweepQueryTest, MissingEveryBoxChangesOnlyTimeAndFound) {
    makeScene({AT_HALF}, {0});
    contactState.contactNormal = Vec3(1, 2, 3);
    contactState.hitTriangles = {7};
    contactState.found = 1;
    EXPECT_EQ(sweepQuery(*scene, SweptSphere(Vec3(50, 50, 50), Vec3(1, 0, 0), 1.0f)), 0);
    EXPECT_EQ(contactState.nearestTime, INF);
    EXPECT_EQ(contactState.found, 0);
    EXPECT_EQ(contactState.contactNormal, Vec3(1, 2, 3));
    EXPECT_EQ(contactState.hitTriangles, std::vector<std::int32_t>{7});
}

TEST_F(SweepQueryTest, SingleContactAppendsToTheExistingList) {
    makeScene({AT_HALF}, {0});
    contactState.hitTriangles = {7};
    contactState.contactNormal = Vec3(5, 5, 5);
    ASSERT_EQ(fall(), 1);
    EXPECT_EQ(contactState.found, 1);
    EXPECT_NEAR(contactState.nearestTime, 0.5f, 1e-6f);
    EXPECT_EQ(contactState.contactNormal, Vec3(0, 0, 1));
    EXPECT_EQ(contactState.hitTriangles, (std::vector<std::int32_t>{7, 0}));
}

TEST_F(SweepQueryTest, SimultaneousHitsInEitherOrderAreSummed) {
    makeScene({AT_HALF, LATER_005}, {0, 1});
    ASSERT_EQ(fall(), 1);
    const float first = contactState.nearestTime;
    EXPECT_EQ(contactState.hitTriangles, (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(contactState.contactNormal, Vec3(0, 0, 2));

    makeScene({AT_HALF, LATER_005}, {1, 0});
    contactState.hitTriangles.clear();
    ASSERT_EQ(fall(), 1);
    EXPECT_EQ(contactState.hitTriangles, (std::vector<std::int32_t>{1, 0}));
    EXPECT_GT(contactState.nearestTime, first);  // the time of the one found first
    EXPECT_EQ(contactState.contactNormal, Vec3(0, 0, 2));
}

TEST_F(SweepQueryTest, SlightlyEarlierWithinTheBandKeepsTheFirstTime) {
    makeScene({AT_HALF, EARLIER_005}, {0, 1});
    ASSERT_EQ(fall(), 1);
    EXPECT_NEAR(contactState.nearestTime, 0.5f, 1e-6f);
    EXPECT_EQ(contactState.hitTriangles, (std::vector<std::int32_t>{0, 1}));
}

TEST_F(SweepQueryTest, TheBandIsMeasuredFromNearestTimeNotThePreviousHit) {
    makeScene({AT_HALF, LATER_009, LATER_018}, {0, 1, 2});
    ASSERT_EQ(fall(), 1);
    EXPECT_EQ(contactState.hitTriangles, (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(contactState.contactNormal, Vec3(0, 0, 2));
}

TEST_F(SweepQueryTest, AnEarlierHitReplacesAndALaterOneIsIgnored) {
    makeScene({AT_HALF, AT_0_3}, {0, 1});
    contactState.hitTriangles = {7};
    ASSERT_EQ(fall(), 1);
    EXPECT_NEAR(contactState.nearestTime, 0.3f, 1e-6f);
    EXPECT_EQ(contactState.hitTriangles, std::vector<std::int32_t>{1});

    makeScene({AT_0_3, AT_HALF}, {0, 1});
    contactState.hitTriangles.clear();
    ASSERT_EQ(fall(), 1);  // still 1 although the second hit changed nothing
    EXPECT_EQ(contactState.hitTriangles, std::vector<std::int32_t>{0});
    EXPECT_NEAR(contactState.nearestTime, 0.3f, 1e-6f);
}

TEST_F(SweepQueryTest, ATriangleNamedByTwoLeavesCountsTwice) {
    makeScene({AT_HALF}, {0, 0});
    ASSERT_EQ(fall(), 1);
    EXPECT_EQ(contactState.hitTriangles, (std::vector<std::int32_t>{0, 0}));
    EXPECT_EQ(contactState.contactNormal, Vec3(0, 0, 2));
}

TEST_F(SweepQueryTest, ScenesBreakingTheInvariantsAreReadSafely) {
    CollisionMesh empty;
    EXPECT_EQ(sweepQuery(empty, SweptSphere(Vec3(), Vec3(1, 0, 0), 1.0f)), 0);
    EXPECT_EQ(contactState.found, 0);
    makeScene({AT_HALF}, {5});  // leaf names a triangle that does not exist
    EXPECT_EQ(fall(), 0);
    makeScene({AT_HALF}, {0});
    scene->triangles[0].vertex2 = 99;
    EXPECT_EQ(fall(), 0);
}

TEST(SweepQueryDepth, AChainFiftyThousandLevelsDeepIsWalkedWithoutRecursion) {
    useViewerEpsilon();
    auto scene = chainScene(50'000);
    ContactState state;
    const SweptSphere sphere(Vec3(2, 2, 5), Vec3(0, 0, -10), 1.0f);
    ASSERT_EQ(sweepQuery(*scene, sphere, state), 1);
    EXPECT_EQ(state.hitTriangles.size(), 50'001u);
    EXPECT_EQ(state.contactNormal, Vec3(0, 0, 50'001));
}

// The edge rule is exact only for motion at right angles to the edge. At a
// slant it accepts paths that pass the edge's line up to radius / sin(angle)
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
    const Vec3 centre = sphere.position + sphere.displacement * time;
    EXPECT_GT(length(centre - (a + (b - a) * fraction)), 2.9f);

    auto tight = buildScene({Vec3(8.18249f, 2.35615f, -6.5731f), a, b}, {meshTriangle(0, 1, 2)});
    ContactState state;
    EXPECT_EQ(sweepQuery(*tight, sphere, state), 0);
    EXPECT_EQ(sweepAllLeaves(*tight, sphere, state), 1);
}

// Box pruning must not change a result: the query against the walk over every
// leaf in the same order without box tests, on many random sweeps. The boxes
// are grown by 12 radii, enough to hold every contact the slanted edge rule
// can report (its path passes at most 10 radii from the edge's line).
TEST(SweepQueryCrossCheck, PruningGivesExactlyTheSameStateAsTheFullWalk) {
    useViewerEpsilon();
    std::mt19937 random(2024);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    int contacts = 0;
    for (std::uint32_t meshSeed = 1; meshSeed <= 4; ++meshSeed) {
        auto scene = randomScene(meshSeed, 1500, 20.0f, 4.0f, 12 * 0.5f);
        for (int i = 0; i < 1500; ++i) {
            const float length = i % 2 == 0 ? 1.8f : 15.0f;
            const Vec3 position(unit(random) * 22, unit(random) * 22, unit(random) * 22);
            const Vec3 direction = normalized(Vec3(unit(random), unit(random), unit(random)));
            const SweptSphere sphere(position, direction * length, i % 3 == 0 ? 0.5f : 0.25f);
            ContactState pruned;
            ContactState full;
            pruned.hitTriangles = full.hitTriangles = {static_cast<std::int32_t>(i)};
            const std::int32_t prunedResult = sweepQuery(*scene, sphere, pruned);
            const std::int32_t fullResult = sweepAllLeaves(*scene, sphere, full);
            ASSERT_EQ(prunedResult, fullResult) << meshSeed << " " << i;
            EXPECT_EQ(std::memcmp(&pruned.nearestTime, &full.nearestTime, sizeof(float)), 0);
            EXPECT_EQ(pruned.found, full.found);
            EXPECT_EQ(pruned.contactNormal, full.contactNormal);
            EXPECT_EQ(pruned.hitTriangles, full.hitTriangles);
            contacts += prunedResult;
        }
    }
    EXPECT_GT(contacts, 1000);  // the sweeps do meet the mesh
}

}  // namespace
