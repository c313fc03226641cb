#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <thread>

#include "collision/query_counters.h"
#include "collision/sweep_batch.h"
#include "collision/sweep_query.h"
#include "support/test_scenes.h"

using namespace sweepview;

namespace {

// Sweeps through and around a random scene, most of them meeting it, with a
// non-number and a motionless one among them.
std::vector<SweptSphere> spheres(std::size_t count) {
    std::vector<SweptSphere> out;
    for (std::size_t i = 0; i < count; ++i) {
        const Vec3 from(std::sin(i * 1.1f) * 22, std::sin(i * 2.3f) * 22, std::sin(i * 3.7f) * 22);
        const Vec3 motion(std::sin(i * 5.9f) * 8, std::sin(i * 7.3f) * 8, std::sin(i * 9.1f) * 8);
        out.emplace_back(from, i == 1 ? Vec3() : motion, 2.5f);
    }
    out.at(2).position.y = std::numeric_limits<float>::quiet_NaN();
    return out;
}

// The batch against sweepQuery one sphere at a time on new states, into results
// left over from other sweeps; returns how many met the scene.
int expectSameAsOneByOne(CollisionMesh& scene, const std::vector<SweptSphere>& batch,
                         int threads, SweepOptions options) {
    std::vector<ContactState> results(batch.size(), ContactState{0.0f, 1, Vec3(1, 2, 3), {9, 9}, {}});
    sweepBatch(scene, batch, results, threads, options);
    int contacts = 0;
    for (std::size_t i = 0; i < batch.size(); ++i) {
        ContactState alone;
        const std::int32_t found = sweepQuery(scene, batch[i], alone, options);
        EXPECT_EQ(results[i].found, found) << i;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(results[i].nearestTime),
                  std::bit_cast<std::uint32_t>(alone.nearestTime)) << i;
        EXPECT_TRUE(sameBits(results[i].contactNormal, alone.contactNormal)) << i;
        EXPECT_EQ(results[i].hitTriangles, alone.hitTriangles) << i;
        contacts += found;
    }
    return contacts;
}

TEST(SweepBatch, SameBitsAsOneByOneInInputOrderOnAnyThreadCount) {
    useViewerEpsilon();
    const auto scene = randomScene(3, 3000, 20.0f, 4.0f);
    const auto batch = spheres(3000);
    for (const SweepOptions options : {SweepOptions(EdgeRule::Design), SweepOptions(EdgeRule::Exact),
                                       SweepOptions(EdgeRule::Design, FaceSides::Two),
                                       SweepOptions(EdgeRule::Exact, FaceSides::Two)}) {
        for (const int threads : {0, 1, 2, 5}) {
            EXPECT_GT(expectSameAsOneByOne(*scene, batch, threads, options), 1000) << threads;
        }
        expectSameAsOneByOne(*scene, spheres(3), 8, options);  // more threads than sweeps
    }
    std::vector<ContactState> none;
    sweepBatch(*scene, {}, none, 2);
}

// Linked nodes with empty caches: the batch fills them before its threads
// start (the ThreadSanitizer build reports the race otherwise).
TEST(SweepBatch, SceneWithoutACompiledTree) {
    useViewerEpsilon();
    const auto scene = randomScene(4, 2000, 20.0f, 4.0f);
    scene->compiled.reset();
    for (VolumeNode& node : scene->nodePool) {
        node.box.boundsValid = 0;
    }
    EXPECT_GT(expectSameAsOneByOne(*scene, spheres(2000), 4, EdgeRule::Exact), 500);

    CollisionMesh empty;  // no root: nothing found, results reset
    EXPECT_EQ(expectSameAsOneByOne(empty, spheres(600), 3, {}), 0);
}

// The helper threads serve every caller: batches called at once from two
// threads, on scenes of their own, each get their own results.
TEST(SweepBatch, CallsFromTwoThreadsAtOnce) {
    useViewerEpsilon();
    const auto first = randomScene(6, 1500, 20.0f, 4.0f);
    const auto second = randomScene(7, 1500, 20.0f, 4.0f);
    const auto batch = spheres(1500);
    std::thread other([&] {
        for (int i = 0; i < 4; ++i) {
            expectSameAsOneByOne(*second, batch, 3, EdgeRule::Exact);
        }
    });
    for (int i = 0; i < 4; ++i) {
        expectSameAsOneByOne(*first, batch, 2, {});
    }
    other.join();
}

// Each thread counts its own work; the sums are those of the sweeps one by one.
TEST(SweepBatch, CountersSumTheThreadsWork) {
    useViewerEpsilon();
    const auto scene = randomScene(5, 500, 20.0f, 4.0f);
    const std::vector<SweptSphere> batch = spheres(4000);
    QueryCounters alone;
    SweepOptions counting;
    counting.stats = &alone;
    for (const SweptSphere& sphere : batch) {
        ContactState state;
        sweepQuery(*scene, sphere, state, counting);
    }
    for (const int threads : {1, 4}) {
        QueryCounters counters;
        counting.stats = &counters;
        std::vector<ContactState> results(batch.size());
        sweepBatch(*scene, batch, results, threads, counting);
        EXPECT_EQ(counters.sweeps, 4000u);
        EXPECT_EQ(counters.boxTests, alone.boxTests);
        EXPECT_EQ(counters.triangleTests, alone.triangleTests);
        EXPECT_EQ(counters.faceContacts + counters.edgeContacts + counters.cornerContacts,
                  alone.faceContacts + alone.edgeContacts + alone.cornerContacts);
        EXPECT_GT(alone.triangleTests, 0u);
    }
}

}  // namespace
