#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <thread>

#include "collision/sweep_query.h"
#include "scene/dorn_reader.h"
#include "scene/dorn_writer.h"
#include "scene/scene_builder.h"
#include "support/test_scenes.h"

namespace {

// A scene as the reader leaves it, walked in its compiled form, and the same
// scene walked as linked nodes once its boxes' caches are filled: swept from
// four threads at once, the same bits as one thread. The threads go first, so
// that a walk that wrote to the scene would do so concurrently, which the
// ThreadSanitizer build of this test reports (it does for linked nodes
// without fillBoundsCaches).
TEST(ConcurrentQueries, FourThreadsOnAPreparedSceneGiveTheResultsOfOne) {
    useViewerEpsilon();
    TempFile file("");
    ASSERT_EQ(saveDornFile(*randomScene(3, 3000, 20.0f, 4.0f), file.path()), 1);
    for (int linked = 0; linked < 2; ++linked) {
        const auto scene = loadDornFile(file.path());
        ASSERT_NE(scene, nullptr);
        if (linked) {
            scene->compiled.reset();
            fillBoundsCaches(*scene);
        }
        std::mt19937 random(1);
        std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
        std::vector<SweptSphere> sweeps;
        for (int i = 0; i < 8000; ++i) {
            const Vec3 start(unit(random) * 22, unit(random) * 22, unit(random) * 22);
            sweeps.emplace_back(start, Vec3(unit(random), unit(random), unit(random)) * 8.0f, 2.5f);
        }
        const auto sweepEvery = [&](std::size_t first, std::size_t stride, ContactState* states) {
            for (std::size_t i = first; i < sweeps.size(); i += stride) {
                sweepQuery(*scene, sweeps[i], states[i]);
            }
        };
        std::vector<ContactState> together(sweeps.size());
        std::vector<std::jthread> threads;
        for (std::size_t t = 0; t < 4; ++t) {
            threads.emplace_back(sweepEvery, t, 4, together.data());
        }
        threads.clear();  // joins
        std::vector<ContactState> alone(sweeps.size());
        sweepEvery(0, 1, alone.data());
        int contacts = 0;
        for (std::size_t i = 0; i < sweeps.size(); ++i) {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(together[i].nearestTime),
                      std::bit_cast<std::uint32_t>(alone[i].nearestTime))
                << i;
            ASSERT_EQ(together[i].contactNormal, alone[i].contactNormal) << i;
            ASSERT_EQ(together[i].hitTriangles, alone[i].hitTriangles) << i;
            contacts += alone[i].found;
        }
        EXPECT_GT(contacts, 1000);
    }
}

}  // namespace
