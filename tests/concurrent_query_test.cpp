#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <thread>

#include "collision/query_counters.h"
#include "collision/sweep_query.h"
#include "geometry/collision_epsilon.h"
#include "scene/dorn_reader.h"
#include "scene/dorn_writer.h"
#include "scene/scene_builder.h"
#include "support/test_scenes.h"

using namespace sweepview;

namespace {

// A scene as the reader leaves it, walked in its compiled form, and the same
// scene walked as linked nodes: swept from four threads at once, the same
// bits as one thread counting its work. The threads go first, so that a walk that wrote to the
// scene (the boxes' lazily filled bounds) would do so concurrently, which the
// ThreadSanitizer build of this test reports.
TEST(ConcurrentQueries, FourThreadsOnAPreparedSceneGiveTheResultsOfOne) {
    useViewerEpsilon();
    TempFile file("");
    ASSERT_EQ(saveDornFile(*randomScene(3, 3000, 20.0f, 4.0f), file.path()), 1);
    for (int linked = 0; linked < 2; ++linked) {
        const auto scene = loadDornFile(file.path());
        ASSERT_NE(scene, nullptr);
        if (linked) {
            scene->compiled.reset();
        }
        const auto sweepEvery = [&](std::size_t first, std::size_t stride, ContactState* states,
                                    QueryCounters* stats) {
            for (std::size_t i = first; i < 8000; i += stride) {  // the same sweeps as one thread
                const Vec3 from(std::sin(i * 1.1f) * 22, std::sin(i * 2.3f) * 22,
                                std::sin(i * 3.7f) * 22);
                const Vec3 motion(std::sin(i * 5.9f) * 8, std::sin(i * 7.3f) * 8,
                                  std::sin(i * 9.1f) * 8);
                // Two tolerances interleaved: each call's own, nothing shared.
                SweepOptions options;
                options.tolerance = i % 2 == 0 ? 0.001f : 0.05f;
                options.stats = stats;
                sweepQuery(*scene, SweptSphere(from, motion, 2.5f), states[i], options);
            }
        };
        std::vector<ContactState> together(8000);
        std::vector<std::jthread> threads;
        for (std::size_t t = 0; t < 4; ++t) {
            threads.emplace_back(sweepEvery, t, 4, together.data(), nullptr);
        }
        threads.clear();  // joins
        std::vector<ContactState> alone(8000);
        QueryCounters counted;  // counting changes no bit of the results
        sweepEvery(0, 1, alone.data(), &counted);
        int contacts = 0;
        for (std::size_t i = 0; i < 8000; ++i) {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(together[i].nearestTime),
                      std::bit_cast<std::uint32_t>(alone[i].nearestTime))
                << i;
            ASSERT_EQ(together[i].contactNormal, alone[i].contactNormal) << i;
            ASSERT_EQ(together[i].hitTriangles, alone[i].hitTriangles) << i;
            contacts += alone[i].found;
        }
        EXPECT_GT(contacts, 1000);
        EXPECT_EQ(counted.sweeps, 8000u);
        EXPECT_GE(counted.faceContacts + counted.edgeContacts + counted.cornerContacts,
                  static_cast<std::uint64_t>(contacts));
    }
}

// The tolerance travels with the call: a face contact stops the sphere that
// far short along the normal, the process-wide value gives the same bits
// through withProcessTolerance, and a refused value falls back to the default.
TEST(ConcurrentQueries, EachCallStopsItsOwnToleranceShort) {
    const auto floor = buildScene({{-10, -10, 0}, {10, -10, 0}, {0, 10, 0}}, {meshTriangle(0, 1, 2)});
    // Leading point 2 above the floor, descending 4: time (2 - tolerance) / 4.
    const SweptSphere sphere(Vec3(0, 0, 3), Vec3(0, 0, -4), 1.0f);
    const auto timeWith = [&](SweepOptions options) {
        ContactState state;
        EXPECT_EQ(sweepQuery(*floor, sphere, state, options), 1);
        EXPECT_EQ(state.contacts.at(0).feature, ContactFeature::Face);
        return state.nearestTime;
    };
    for (const float tolerance : {0.001f, 0.5f, MIN_COLLISION_EPSILON}) {
        SweepOptions options;
        options.tolerance = tolerance;
        EXPECT_EQ(timeWith(options), (2.0f - tolerance) / 4.0f) << tolerance;
    }
    const float before = setCollisionEpsilon(0.25f);
    EXPECT_EQ(timeWith(withProcessTolerance()), (2.0f - 0.25f) / 4.0f);
    setCollisionEpsilon(before);
    for (const float refused : {std::nanf(""), 0.0f, -1.0f, MIN_COLLISION_EPSILON / 2}) {
        SweepOptions options;
        options.tolerance = refused;
        EXPECT_EQ(timeWith(options), (2.0f - DEFAULT_SWEEP_TOLERANCE) / 4.0f) << refused;
    }
}

}  // namespace
