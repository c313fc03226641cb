#include "bench/sweep_generator.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Published figures were measured on these sweeps: the same seed must give the
// same bits (the first sweep is pinned), whatever the count; starts lie in the
// box and every sweep has the length asked for.
TEST(SweepGenerator, SeededSweepsAreReproducibleInTheBoxWithTheLengthAskedFor) {
    const Vec3 min(-50, -2, 10);
    const Vec3 max(50, 3, 20);
    const auto sweeps = makeSweeps(min, max, 2.0f, 3000);
    EXPECT_EQ(sweeps[0].from, Vec3(42.9616089f, 2.45077372f, 13.1637554f));
    EXPECT_EQ(sweeps[0].displacement, Vec3(-1.0304445f, -1.2039175f, 1.22015023f));
    const auto longer = makeSweeps(min, max, 2.0f, 4000);
    EXPECT_EQ(std::memcmp(sweeps.data(), longer.data(), sweeps.size() * sizeof(BenchSweep)), 0);
    EXPECT_NE(makeSweeps(min, max, 2.0f, 1, 7)[0].from, sweeps[0].from);
    for (const BenchSweep& s : sweeps) {
        ASSERT_TRUE(s.from.x >= min.x && s.from.y >= min.y && s.from.z >= min.z &&
                    s.from.x <= max.x && s.from.y <= max.y && s.from.z <= max.z);
        ASSERT_NEAR(length(s.displacement), 2.0f, 1e-5f);
    }
}

}  // namespace
